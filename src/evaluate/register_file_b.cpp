#include "evaluate/register_file_b.h"

#include "evaluate/evaluator_side.h"
#include "evaluate/evaluator_table.h"
#include "evaluate/register_family.h"

namespace varnoke {

void registerFileBEvaluators(Registry& registry) {
    registerFamily(registry, fileBSide(), fileBEvaluators());
}

} // namespace varnoke
