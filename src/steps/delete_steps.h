#pragma once
// The record steps of a delete run. Under the parallel and first-occurrence methods one
// call hands the row's operand for the current driving record to a field-type
// dispatcher, whose evaluator deletes at most one record of the changed file; under
// "all records" the rows of one driving record are turned into one condition and a
// single statement deletes every record it selects. Both then keep the driving record
// for the next row, move the driving file on, or end the run.
//
// Every step name the decision table can choose for "delete" is a row of one table.
#include "steps/step_kinds.h"

#include <span>
#include <string_view>

namespace varnoke {

struct RunContext;
class Registry;

// Shown (OK only) when the target field of an all-records row is of no kind a condition
// can be written for; the run stops.
inline constexpr std::string_view kDataTypesNotProcessed =
    "Varnoke could not process the data types involved.";

struct DeleteStepSpec {
    std::string_view name;
    StepPolarity polarity;
    Pairing pairing;
    ChangedFile changed; // the file records are deleted from
};

// All delete steps (12), in decision-table order.
std::span<const DeleteStepSpec> deleteSteps();

// One call of the step described by spec. Errors are reported through handleError.
void deleteStep(RunContext& ctx, const DeleteStepSpec& spec);

// Registers every delete step under its name.
void registerDeleteSteps(Registry& registry);

} // namespace varnoke
