#pragma once
// Puts one family of evaluators into the registry under their names, each bound to the
// side it changes and to its own table row.
#include <span>

namespace varnoke {

class Registry;
struct EvaluatorSide;
struct EvaluatorMember;

void registerFamily(Registry& registry, const EvaluatorSide& side,
                    std::span<const EvaluatorMember> members);

} // namespace varnoke
