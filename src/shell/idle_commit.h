#pragma once
// The working database's gathered writes, committed once a second by the program's
// timer so a change never waits long for the next write; during a run only when due,
// as the run's own writes commit them spaced by their cost. A failure outside a run is
// shown; during a run it is left to the run, which the engine's lost writes stop.
#include "platform/prompter.h"
#include "shell/shared_state.h"

namespace varnoke {

void commitIdleWrites(SharedState& state, Prompter& prompter);

} // namespace varnoke
