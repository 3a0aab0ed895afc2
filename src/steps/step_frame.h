#pragma once
// The pieces every record step family shares: the first-call set-up, the row's field
// types and operand, the conjunction rule after a row, and the moves of the driving
// file with the progress bar.
#include "steps/step_kinds.h"
#include "value/value.h"

#include <string_view>

namespace varnoke {

struct RunContext;
class Recordset;

// The driving and changed recordsets for the file a step changes, and the argument of
// calcTotRecs that counts the driving table.
struct StepFiles {
    Recordset& driving;
    Recordset& changed;
    std::string_view totalsArgument;
};
StepFiles stepFilesOf(RunContext& ctx, ChangedFile changed);

// "File B.code" -> "code".
std::string_view fieldNameOf(std::string_view reference);
// A blank operand travels as Null; a 0 is a value and stays.
Value blankAsNull(Value v);
int progressNumber(long count);
bool isOrderedCondition(std::string_view condition);
// Stop was pressed, an error was reported, or the run is over.
bool stopped(const RunContext& ctx);

// Counts the records and shows the bar on the first call of a run, then clears the
// flags every call starts from.
void beginStep(RunContext& ctx, std::string_view totalsArgument);

// An empty driving file: the run is over before any record is read. True when so.
bool nothingDrives(RunContext& ctx, Recordset& driving);

// The run ends here: the step loop says "Processing complete.".
void finishWalk(RunContext& ctx, int progressValue);

// ifThisType, thisType and criteriaValue for the current row and driving record: the
// File B field a row names (or the row's own typed value) when File A is changed, File
// A's If_This field when File B is changed.
void prepareOperand(RunContext& ctx, ChangedFile changed);

// After the row's dispatcher: true when the call ends with the driving record where it
// is (a stop, an "and" row that held, an "or" row that did nothing).
bool staysOnRecord(RunContext& ctx);

// The driving record is done: the bar shows it and the next one is taken.
void nextRecord(RunContext& ctx);

// Moves the driving file on, ending the run after its last record.
void advanceDriving(RunContext& ctx, Recordset& driving);

} // namespace varnoke
