#pragma once
// The record steps of a replace run: one call tests one criteria row against the
// current record of the driving file (the file that is not changed), hands the row's
// operand and the replacement to a field-type dispatcher, and then keeps the record
// for the next row, moves the driving file on, or ends the run, after appending the
// surplus records of the longer file when the user allowed it.
//
// Every step name the decision table can choose for "replace" is a row of one table;
// the rows differ only in the parameters below and share one procedure.
#include "steps/step_kinds.h"

#include <span>
#include <string_view>

namespace varnoke {

struct RunContext;
class Registry;

// Combo5: a field of either file, "BLANK", or a typed value.
enum class ReplaceSource { Field, Blank, WhatEver };

struct ReplaceStepSpec {
    std::string_view name;
    StepPolarity polarity;
    Pairing pairing;
    ChangedFile changed;
    ReplaceSource source;
};

// All replace steps (36), in decision-table order.
std::span<const ReplaceStepSpec> replaceSteps();

// One call of the step described by spec. Errors are reported through handleError.
void replaceStep(RunContext& ctx, const ReplaceStepSpec& spec);

// Registers every replace step under its name.
void registerReplaceSteps(Registry& registry);

} // namespace varnoke
