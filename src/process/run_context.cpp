#include "process/run_context.h"

#include "process/field_reference.h"
#include "value/convert.h"

namespace varnoke {

const std::string& criteriaText(const RunContext& ctx, std::string_view column) {
    auto row = ctx.criteria.rowStamp();
    auto& memo = ctx.criteriaTexts;
    // Off a readable record the read raises as it always did.
    if (!row) return memo.offRow = textOrBlank(ctx.criteria.value(column));
    if (memo.row != row) {
        memo.row = row;
        memo.texts.clear();
    }
    for (const auto& [name, text] : memo.texts)
        if (name == column) return text;
    return memo.texts.emplace_back(std::string(column), textOrBlank(ctx.criteria.value(column)))
        .second;
}

bool isFileBRow(const RunContext& ctx) {
    const std::optional<FieldReference> operand = fieldReference(ctx, criteriaText(ctx, "This"));
    return operand && operand->file == FileSide::B;
}

} // namespace varnoke
