#pragma once
// Puts the 36 File B evaluators (list2TextTextEqualRep ... list2DateDateNotEqualDel) into
// the registry under their names, where the File B dispatchers look them up. Called once
// at start-up with the other families' registrations.
namespace varnoke {

class Registry;

void registerFileBEvaluators(Registry& registry);

} // namespace varnoke
