// The replace step table against the decision table: every name the table can choose
// for "replace" is registered, with the parameters that the choices leading to it say.
#include "process/decision_table.h"
#include "process/process_fixture.h"
#include "process/registry.h"
#include "steps/replace_steps.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace varnoke {
namespace {

Form4Choices choicesFor(const ReplaceStepSpec& spec) {
    Form4Choices c;
    c.combo3 = choice::Replace;
    const bool changesA = spec.changed == ChangedFile::A;
    c.combo4 = changesA ? "File A.name" : "File B.name";
    switch (spec.source) {
    case ReplaceSource::Field:
        c.combo5 = changesA ? "File B.name" : "File A.name";
        break;
    case ReplaceSource::Blank:
        c.combo5 = choice::Blank;
        break;
    case ReplaceSource::WhatEver:
        c.combo5 = "typed";
        break;
    }
    c.combo7 = spec.pairing == Pairing::Parallel          ? choice::ParallelOneRecord
               : spec.pairing == Pairing::FirstOccurrence ? choice::NonParallelFirstOccurrence
                                                          : choice::NonParallelAllRecords;
    return c;
}

class ReplaceStepChoice : public test::ProcessFixture {};

TEST_F(ReplaceStepChoice, EachRowIsWhatTheDecisionTableChoosesForItsChoices) {
    exec("CREATE TABLE Table1 (name TEXT(20));");
    exec("CREATE TABLE Table2 (name TEXT(20));");
    openFiles();
    for (const ReplaceStepSpec& spec : replaceSteps()) {
        const DispatchSide side =
            spec.polarity == StepPolarity::Equal ? DispatchSide::Equal : DispatchSide::NotEqual;
        const auto chosen = chooseStep(choicesFor(spec), side, shared.rsFileA, shared.rsFileB);
        ASSERT_TRUE(std::holds_alternative<std::string_view>(chosen)) << spec.name;
        EXPECT_EQ(std::get<std::string_view>(chosen), spec.name);
    }
}

TEST(ReplaceStepTable, RegistersEveryReplaceNameOfTheDecisionTableAndNoOther) {
    Registry registry;
    registerReplaceSteps(registry);
    std::vector<std::string> replaceNames;
    for (const std::string& name : allStepNames())
        if (name.find("Rep") != std::string::npos) replaceNames.push_back(name);

    EXPECT_EQ(replaceNames.size(), 36u);
    EXPECT_TRUE(registry.missing(replaceNames).empty());
    for (const ReplaceStepSpec& spec : replaceSteps())
        EXPECT_NE(std::find(replaceNames.begin(), replaceNames.end(), spec.name),
                  replaceNames.end())
            << spec.name;
    EXPECT_TRUE(registry.hasStep("twoEqualRepfirstFromBWithA"));
    EXPECT_FALSE(registry.hasStep("twoEqualRepFirstFromBWithA"));
}

} // namespace
} // namespace varnoke
