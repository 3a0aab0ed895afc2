#pragma once
// The step loop of a Process run: one pass per criteria row and driving record, each
// handing the row to the decision table, until the driving file is used up (recordDone)
// or the run is stopped (stopFlag). Stop is seen between passes, after the yield.
namespace varnoke {

struct RunContext;

void processTwoStart(RunContext& ctx);

// Commits what the run wrote. A commit that fails is an error of the run: reported
// through the error table, and the run is not complete (false).
bool commitRunWrites(RunContext& ctx);

// The decision table under an error trap, used until the first step has started the
// run: a table that already exists (3010, 3012) has "Exported Data" dropped and the
// step tried once more.
void twoEqual(RunContext& ctx);
void twoNotEqual(RunContext& ctx);

// Refreshes the visible File A, File B, Export File and export-table viewers.
void refreshViewers(RunContext& ctx);

} // namespace varnoke
