#include "evaluate/register_family.h"

#include "evaluate/evaluator_side.h"
#include "evaluate/evaluator_table.h"
#include "evaluate/row_evaluation.h"
#include "process/registry.h"

#include <string>

namespace varnoke {

// The rows and sides are constants, so the procedures may keep references to them.
void registerFamily(Registry& registry, const EvaluatorSide& side,
                    std::span<const EvaluatorMember> members) {
    for (const EvaluatorMember& member : members) {
        if (member.action == Action::Rep)
            registry.addRepEvaluator(
                std::string(member.name),
                [&side, &member](RunContext& ctx, Value& compareThis, Value& inputThis) {
                    evaluateRep(ctx, side, member, compareThis, inputThis);
                });
        else
            registry.addDelEvaluator(std::string(member.name),
                                     [&side, &member](RunContext& ctx, Value& compareThis) {
                                         evaluateDel(ctx, side, member, compareThis);
                                     });
    }
}

} // namespace varnoke
