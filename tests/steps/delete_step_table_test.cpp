// The delete step table against the decision table: every name the table can choose for
// "delete" is registered, with the parameters the choices leading to it say.
#include "engine/recordset.h"
#include "process/decision_table.h"
#include "process/registry.h"
#include "steps/delete_steps.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace varnoke {
namespace {

TEST(DeleteStepTable, EachRowIsWhatTheDecisionTableChoosesForItsChoices) {
    for (const DeleteStepSpec& spec : deleteSteps()) {
        Form4Choices c;
        c.combo3 = choice::Delete;
        c.combo4 = spec.changed == ChangedFile::A ? choice::EntireRecordFromFileA
                                                  : choice::EntireRecordFromFileB;
        c.combo7 = spec.pairing == Pairing::Parallel          ? choice::ParallelOneRecord
                   : spec.pairing == Pairing::FirstOccurrence ? choice::NonParallelFirstOccurrence
                                                              : choice::NonParallelAllRecords;
        const DispatchSide side =
            spec.polarity == StepPolarity::Equal ? DispatchSide::Equal : DispatchSide::NotEqual;
        const auto chosen = chooseStep(c, side, Recordset{}, Recordset{});
        ASSERT_TRUE(std::holds_alternative<std::string_view>(chosen)) << spec.name;
        EXPECT_EQ(std::get<std::string_view>(chosen), spec.name);
    }
}

TEST(DeleteStepTable, RegistersEveryDeleteNameOfTheDecisionTable) {
    Registry registry;
    registerDeleteSteps(registry);
    std::vector<std::string> deleteNames;
    for (const std::string& name : allStepNames())
        if (name.find("Del") != std::string::npos) deleteNames.push_back(name);

    EXPECT_EQ(deleteNames.size(), 12u);
    EXPECT_TRUE(registry.missing(deleteNames).empty());
    EXPECT_EQ(deleteSteps().size(), 12u);
}

} // namespace
} // namespace varnoke
