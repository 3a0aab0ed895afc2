#include "process/run_context.h"

#include "value/convert.h"

namespace varnoke {

std::string criteriaText(const RunContext& ctx, std::string_view column) {
    return textOrBlank(ctx.criteria.value(column));
}

bool isFileBRow(const RunContext& ctx) {
    return criteriaText(ctx, "This").starts_with("File B");
}

} // namespace varnoke
