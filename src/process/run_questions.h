#pragma once
// The record totals of a run and the two Abort/Retry/Ignore questions that the
// dispatchers and writers ask when a value does not fit the comparison. An Ignore to
// either question silences both for the rest of the run.
#include <string_view>

namespace varnoke {

struct RunContext;

// totRecsDriving gets the record count of Table1 for "tableOne" and of Table2 for any
// other text; totRecsOther the count of the other table. Errors reach the caller.
void calcTotRecs(RunContext& ctx, std::string_view theTable);

// "The data cannot be converted to a date format. ..." Abort stops the run.
void badDate(RunContext& ctx);
// "The required comparison cannot be done. ..." Abort stops the run.
void getOuttaThere(RunContext& ctx);

} // namespace varnoke
