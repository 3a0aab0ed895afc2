#include "evaluate/evaluator_side.h"

#include "process/replace_writers.h"
#include "process/run_context.h"

namespace varnoke {

namespace {

Recordset& fileA(RunContext& ctx) {
    return ctx.shared.rsFileA;
}

std::string ifThisField(const RunContext& ctx) {
    return criteriaText(ctx, "If_This");
}

constexpr EvaluatorSide kFileASide{FileSide::A, fileA, ifThisField, isFileBRow,
                                   replaceInTableOneBySql};

} // namespace

const EvaluatorSide& fileASide() {
    return kFileASide;
}

} // namespace varnoke
