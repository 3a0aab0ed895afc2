#pragma once
// The "&Process" and "&Stop" buttons of the comparison dialog: the checks of the
// user's choices, the locking of the dialog, the set-up of a run (processTwo), the run
// itself and the unlocking afterwards.
namespace varnoke {

struct RunContext;
struct SharedState;

// Command2_Click.
void processCommand(RunContext& ctx);

// The set-up, the step loop and the closing of the run's recordsets. Only the Process
// command calls it; a test may call it with a filled context to run headless.
void processTwo(RunContext& ctx);

// Command5_Click: the run ends at its next test of stopFlag.
void stopCommand(SharedState& shared);

} // namespace varnoke
