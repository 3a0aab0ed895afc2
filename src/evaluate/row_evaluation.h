#pragma once
// The frames of the criteria-row evaluators: one call tests the current criteria row for
// the current step on the side's file and replaces, deletes or exports there. It reports
// only through the run's flags: recordDone "y" when it acted, nextCriteriaRow "y" when
// the row is joined to the next by "and" and held. Errors go to handleError and end the
// call with neither flag set.
//
// Parallel records: the file's current record is tested. Otherwise the row's term joins
// findCriteria (a typed or blank operand is first searched on its own, and joins only
// an "and" chain or a find text that earlier rows began); the last row of a chain then
// acts on the first record that the whole find text selects and that meets the row.
// Under "all records" a replace is one update over findCriteria. On the File B side a
// typed row names no File B field: it is tested on the driving File A record, and when
// it holds, acts like any row on the records the other rows' terms select.
#include "evaluate/evaluator_side.h"
#include "evaluate/evaluator_table.h"
#include "value/value.h"

#include <string_view>

namespace varnoke {

struct RunContext;

// The export subsystem registers, as a step under this name, the writer of one export
// record from the current records of File A and File B.
inline constexpr std::string_view kExportIt = "exportIt";

// A replace member: writes inputThis into the target field (Combo4) of the record that
// meets the row. In add-new mode the equal members add a record holding it instead.
void evaluateRep(RunContext& ctx, const EvaluatorSide& side, const EvaluatorMember& member,
                 Value& compareThis, Value& inputThis);

// A delete or export member: by the action (Combo3) deletes the record that meets the
// row or hands it to kExportIt. The file's current record is where the call found it
// afterwards, as the export walks that file.
void evaluateDel(RunContext& ctx, const EvaluatorSide& side, const EvaluatorMember& member,
                 Value& compareThis);

} // namespace varnoke
