#include "process/registry.h"
#include "steps/delete_steps.h"

#include <array>
#include <string>

namespace varnoke {

namespace {

using enum StepPolarity;
using enum Pairing;
constexpr ChangedFile kA = ChangedFile::A;
constexpr ChangedFile kB = ChangedFile::B;

constexpr std::array<DeleteStepSpec, 12> kDeleteSteps = {{
    {"twoEqualDelOneFromA", Equal, Parallel, kA},
    {"twoEqualDelFirstFromA", Equal, FirstOccurrence, kA},
    {"twoEqualDelAllFromA", Equal, AllRecords, kA},
    {"twoEqualDelOneFromB", Equal, Parallel, kB},
    {"twoEqualDelFirstFromB", Equal, FirstOccurrence, kB},
    {"twoEqualDelAllFromB", Equal, AllRecords, kB},
    {"twoNotEqualDelOneFromA", NotEqual, Parallel, kA},
    {"twoNotEqualDelFirstFromA", NotEqual, FirstOccurrence, kA},
    {"twoNotEqualDelAllFromA", NotEqual, AllRecords, kA},
    {"twoNotEqualDelOneFromB", NotEqual, Parallel, kB},
    {"twoNotEqualDelFirstFromB", NotEqual, FirstOccurrence, kB},
    {"twoNotEqualDelAllFromB", NotEqual, AllRecords, kB},
}};

} // namespace

std::span<const DeleteStepSpec> deleteSteps() {
    return kDeleteSteps;
}

void registerDeleteSteps(Registry& registry) {
    for (const DeleteStepSpec& spec : kDeleteSteps)
        registry.addStep(std::string(spec.name),
                         [&spec](RunContext& ctx) { deleteStep(ctx, spec); });
}

} // namespace varnoke
