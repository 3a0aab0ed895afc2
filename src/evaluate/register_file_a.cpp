#include "evaluate/register_file_a.h"

#include "evaluate/evaluator_side.h"
#include "evaluate/evaluator_table.h"
#include "evaluate/row_evaluation.h"
#include "process/registry.h"

#include <string>

namespace varnoke {

void registerFileAEvaluators(Registry& registry) {
    for (const EvaluatorMember& member : fileAEvaluators()) {
        if (member.action == Action::Rep)
            registry.addRepEvaluator(
                std::string(member.name),
                [&member](RunContext& ctx, Value& compareThis, Value& inputThis) {
                    evaluateRep(ctx, fileASide(), member, compareThis, inputThis);
                });
        else
            registry.addDelEvaluator(std::string(member.name),
                                     [&member](RunContext& ctx, Value& compareThis) {
                                         evaluateDel(ctx, fileASide(), member, compareThis);
                                     });
    }
}

} // namespace varnoke
