#include "process/registry.h"

#include "process/decision_table.h"
#include "process/field_class.h"
#include "process/run_questions.h"
#include "process_fixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace varnoke::test {
namespace {

TEST(Registry, SameNameTwiceIsAProgrammingError) {
    Registry registry;
    registry.addStep("twoEqualExport", [](RunContext&) {});
    EXPECT_THROW(registry.addStep("twoEqualExport", [](RunContext&) {}), std::logic_error);
    registry.addRepEvaluator("list1ValValEqualRep", [](RunContext&, Value&, Value&) {});
    EXPECT_THROW(registry.addDelEvaluator("list1ValValEqualRep", [](RunContext&, Value&) {}),
                 std::logic_error);
}

TEST(Registry, ListsTheNamesStillMissing) {
    Registry registry;
    registry.addStep("twoEqualExport", [](RunContext&) {});
    registry.addDelEvaluator("list2DateValNotEqualDel", [](RunContext&, Value&) {});
    const auto missing =
        registry.missing({"twoEqualExport", "list2DateValNotEqualDel", "twoNotEqualExport"});
    EXPECT_EQ(missing, std::vector<std::string>{"twoNotEqualExport"});
    EXPECT_EQ(allEvaluatorNames().size(), 72u);
    EXPECT_EQ(registry.missing(allStepNames()).size(), 49u);
}

class RegistryRun : public ProcessFixture {};

TEST_F(RegistryRun, MissingEvaluatorIsToldAndStopsTheRun) {
    Value operand = Value::text("x");
    sp.prompter.answer(answer::Ok);
    registry.callDel("list1TextTextEqualDel", ctx, operand);
    EXPECT_EQ(messages(), std::vector<std::string>{
                              "This operation is not available yet: list1TextTextEqualDel"});
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(RegistryRun, EvaluatorGetsTheCallersVariables) {
    registry.addRepEvaluator("list1ValValEqualRep", [](RunContext&, Value& c, Value& i) { c = i; });
    Value operand = Value::text("x");
    Value replacement = Value::number(3);
    registry.callRep("list1ValValEqualRep", ctx, operand, replacement);
    EXPECT_EQ(operand, Value::number(3));
}

TEST_F(RegistryRun, TotalsCountTheDrivingAndTheOtherTable) {
    exec("CREATE TABLE Table1 (N LONG)");
    exec("CREATE TABLE Table2 (N LONG)");
    for (int i = 0; i < 5; ++i)
        exec("INSERT INTO Table2 VALUES (1)");
    calcTotRecs(ctx, "tableOne");
    EXPECT_EQ(shared.totRecsDriving, 0);
    EXPECT_EQ(shared.totRecsOther, 5);
    calcTotRecs(ctx, "anything else");
    EXPECT_EQ(shared.totRecsDriving, 5);
    EXPECT_EQ(shared.totRecsOther, 0);
}

} // namespace
} // namespace varnoke::test
