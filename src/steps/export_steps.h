#pragma once
// The record steps of an export run. Whatever the pairing method, File A and File B are
// walked side by side: each criteria row is applied to the File A record and the File B
// record at the same position, and a pair that meets the rows is written by exportIt.
// The first call asks the run's export questions; past the end of the shorter file the
// rest of the longer one may be exported as it is.
#include "steps/step_kinds.h"

#include <span>
#include <string_view>

namespace varnoke {

struct RunContext;
class Registry;

struct ExportStepSpec {
    std::string_view name;
    StepPolarity polarity;
};

// Both export steps, in decision-table order.
std::span<const ExportStepSpec> exportSteps();

// One call of the step described by spec. Errors are reported through handleError.
void exportStep(RunContext& ctx, const ExportStepSpec& spec);

// Registers both export steps and the export record writer under their names.
void registerExportSteps(Registry& registry);

} // namespace varnoke
