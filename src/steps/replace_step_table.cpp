#include "process/registry.h"
#include "steps/replace_steps.h"

#include <array>
#include <string>

namespace varnoke {

namespace {

using enum StepPolarity;
using enum Pairing;
using enum ReplaceSource;
constexpr ChangedFile kA = ChangedFile::A;
constexpr ChangedFile kB = ChangedFile::B;

// Two names keep a lower-case "first": the decision table calls them so.
constexpr std::array<ReplaceStepSpec, 36> kReplaceSteps = {{
    {"twoEqualRepOneFromAWithB", Equal, Parallel, kA, Field},
    {"twoEqualRepFirstFromAWithB", Equal, FirstOccurrence, kA, Field},
    {"twoEqualRepAllFromAWithB", Equal, AllRecords, kA, Field},
    {"twoEqualRepOneFromAWithBlank", Equal, Parallel, kA, Blank},
    {"twoEqualRepFirstFromAWithBlank", Equal, FirstOccurrence, kA, Blank},
    {"twoEqualRepAllFromAWithBlank", Equal, AllRecords, kA, Blank},
    {"twoEqualRepOneFromAWithWhatEver", Equal, Parallel, kA, WhatEver},
    {"twoEqualRepFirstFromAWithWhatEver", Equal, FirstOccurrence, kA, WhatEver},
    {"twoEqualRepAllFromAWithWhatEver", Equal, AllRecords, kA, WhatEver},
    {"twoEqualRepOneFromBWithA", Equal, Parallel, kB, Field},
    {"twoEqualRepfirstFromBWithA", Equal, FirstOccurrence, kB, Field},
    {"twoEqualRepAllFromBWithA", Equal, AllRecords, kB, Field},
    {"twoEqualRepOneFromBWithBlank", Equal, Parallel, kB, Blank},
    {"twoEqualRepFirstFromBWithBlank", Equal, FirstOccurrence, kB, Blank},
    {"twoEqualRepAllFromBWithBlank", Equal, AllRecords, kB, Blank},
    {"twoEqualRepOneFromBWithWhatEver", Equal, Parallel, kB, WhatEver},
    {"twoEqualRepFirstFromBWithWhatEver", Equal, FirstOccurrence, kB, WhatEver},
    {"twoEqualRepAllFromBWithWhatEver", Equal, AllRecords, kB, WhatEver},
    {"twoNotEqualRepOneFromAWithB", NotEqual, Parallel, kA, Field},
    {"twoNotEqualRepFirstFromAWithB", NotEqual, FirstOccurrence, kA, Field},
    {"twoNotEqualRepAllFromAWithB", NotEqual, AllRecords, kA, Field},
    {"twoNotEqualRepOneFromAWithBlank", NotEqual, Parallel, kA, Blank},
    {"twoNotEqualRepFirstFromAWithBlank", NotEqual, FirstOccurrence, kA, Blank},
    {"twoNotEqualRepAllFromAWithBlank", NotEqual, AllRecords, kA, Blank},
    {"twoNotEqualRepOneFromAWithWhatEver", NotEqual, Parallel, kA, WhatEver},
    {"twoNotEqualRepFirstFromAWithWhatEver", NotEqual, FirstOccurrence, kA, WhatEver},
    {"twoNotEqualRepAllFromAWithWhatEver", NotEqual, AllRecords, kA, WhatEver},
    {"twoNotEqualRepOneFromBWithA", NotEqual, Parallel, kB, Field},
    {"twoNotEqualRepfirstFromBWithA", NotEqual, FirstOccurrence, kB, Field},
    {"twoNotEqualRepAllFromBWithA", NotEqual, AllRecords, kB, Field},
    {"twoNotEqualRepOneFromBWithBlank", NotEqual, Parallel, kB, Blank},
    {"twoNotEqualRepFirstFromBWithBlank", NotEqual, FirstOccurrence, kB, Blank},
    {"twoNotEqualRepAllFromBWithBlank", NotEqual, AllRecords, kB, Blank},
    {"twoNotEqualRepOneFromBWithWhatEver", NotEqual, Parallel, kB, WhatEver},
    {"twoNotEqualRepFirstFromBWithWhatEver", NotEqual, FirstOccurrence, kB, WhatEver},
    {"twoNotEqualRepAllFromBWithWhatEver", NotEqual, AllRecords, kB, WhatEver},
}};

} // namespace

std::span<const ReplaceStepSpec> replaceSteps() {
    return kReplaceSteps;
}

void registerReplaceSteps(Registry& registry) {
    for (const ReplaceStepSpec& spec : kReplaceSteps)
        registry.addStep(std::string(spec.name),
                         [&spec](RunContext& ctx) { replaceStep(ctx, spec); });
}

} // namespace varnoke
