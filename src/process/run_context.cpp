#include "process/run_context.h"

#include "value/convert.h"

namespace varnoke {

std::string criteriaText(const RunContext& ctx, std::string_view column) {
    auto row = ctx.criteria.rowStamp();
    // Off a readable record the read raises as it always did.
    if (!row) return textOrBlank(ctx.criteria.value(column));
    auto& memo = ctx.criteriaTexts;
    if (memo.row != row) {
        memo.row = row;
        memo.texts.clear();
    }
    for (const auto& [name, text] : memo.texts)
        if (name == column) return text;
    std::string text = textOrBlank(ctx.criteria.value(column));
    memo.texts.emplace_back(std::string(column), text);
    return text;
}

bool isFileBRow(const RunContext& ctx) {
    return criteriaText(ctx, "This").starts_with("File B");
}

} // namespace varnoke
