#pragma once
// Puts the 36 File A evaluators (list1TextTextEqualRep ... list1DateDateNotEqualDel) into
// the registry under their names, where the dispatchers look them up. Called once at
// start-up with the other families' registrations.
namespace varnoke {

class Registry;

void registerFileAEvaluators(Registry& registry);

} // namespace varnoke
