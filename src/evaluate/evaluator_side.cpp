#include "evaluate/evaluator_side.h"

#include "dialog/choice_texts.h"
#include "process/replace_writers.h"
#include "process/run_context.h"

namespace varnoke {

namespace {

Recordset& fileA(RunContext& ctx) {
    return ctx.shared.rsFileA;
}

Recordset& fileB(RunContext& ctx) {
    return ctx.shared.rsFileB;
}

std::string ifThisField(const RunContext& ctx) {
    return criteriaText(ctx, "If_This");
}

// A typed row has no File B field; its File A field stands in as criteriaField.
std::string thisField(const RunContext& ctx) {
    if (!isFileBRow(ctx)) return ifThisField(ctx);
    const std::string reference = criteriaText(ctx, "This");
    return reference.substr(std::min(choice::FieldPrefixLength, reference.size()));
}

constexpr EvaluatorSide kFileASide{FileSide::A, fileA, ifThisField, isFileBRow,
                                   replaceInTableOneBySql};

constexpr EvaluatorSide kFileBSide{
    FileSide::B, fileB, thisField, isFileBRow, replaceInTableTwoBySql, true, true};

} // namespace

const EvaluatorSide& fileASide() {
    return kFileASide;
}

const EvaluatorSide& fileBSide() {
    return kFileBSide;
}

} // namespace varnoke
