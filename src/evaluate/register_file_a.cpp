#include "evaluate/register_file_a.h"

#include "evaluate/evaluator_side.h"
#include "evaluate/evaluator_table.h"
#include "evaluate/register_family.h"

namespace varnoke {

void registerFileAEvaluators(Registry& registry) {
    registerFamily(registry, fileASide(), fileAEvaluators());
}

} // namespace varnoke
