#include "process/step_loop.h"

#include "engine/engine_error.h"
#include "process/process_command.h"
#include "process_fixture.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

constexpr const char* kStep = "twoEqualRepFirstFromAWithB";

// A headless run: File B drives, File A is changed; the double step records each pass.
class StepLoop : public ProcessFixture {
protected:
    void SetUp() override {
        exec("CREATE TABLE Table1 (Name TEXT(50), Amount DOUBLE)");
        exec("CREATE TABLE Table2 (Name TEXT(50), Amount DOUBLE)");
        exec("INSERT INTO Table1 VALUES ('a', 1)");
        exec("INSERT INTO Table2 VALUES ('x', 1)");
        exec("INSERT INTO Table2 VALUES ('y', 2)");
        form.controls.combo3 = "replace";
        form.controls.combo4 = "File A.Name";
        form.controls.combo5 = "File B.Name";
        form.controls.combo7 = std::string(choice::NonParallelFirstOccurrence);
    }

    // Walks File B: an "and" row hands the record to the next row, otherwise the driving
    // record moves on; past the last record the run is done.
    void registerWalkingStep() {
        registry.addStep(kStep, [this](RunContext& c) {
            c.run.runStarted = "y";
            const std::string row = criteriaText(c, "If_This");
            passes.push_back(std::to_string(c.run.recNo) + ":" + row + ":" + c.run.findCriteria);
            c.run.findCriteria += row;
            if (criteriaText(c, "conjunction") == "and") {
                c.run.nextCriteriaRow = "y";
                return;
            }
            c.shared.rsFileB.moveNext();
            ++c.run.recNo;
            if (c.shared.rsFileB.eof()) c.shared.recordDone = "y";
        });
    }

    std::vector<std::string> passes;
};

TEST_F(StepLoop, WalksRowsAndRecordsToProcessingComplete) {
    setCriteria({{"Name", "is equal to", "File B.Name", "and"},
                 {"Amount", "is greater than", "File B.Amount", ""}});
    registerWalkingStep();
    sp.prompter.answer(answer::Ok);
    processTwo(ctx);
    EXPECT_EQ(passes,
              (std::vector<std::string>{"1:Name:", "1:Amount:Name", "2:Name:", "2:Amount:Name"}));
    EXPECT_EQ(messages(), std::vector<std::string>{"Processing complete."});
    EXPECT_EQ(sp.prompter.last().title, "Varnoke");
    EXPECT_EQ(form.run.runFinished, "y");
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_FALSE(progress.visible());
    EXPECT_EQ(controls.state("Command5"), "off");
    EXPECT_EQ(controls.state("Command2"), "on");
    EXPECT_FALSE(shared.runInProgress);
    EXPECT_FALSE(shared.rsFileA.isOpen());
}

TEST_F(StepLoop, StopEndsTheRunAfterTheCurrentStep) {
    setCriteria({{"Name", "is equal to", "File B.Name", ""}});
    registerWalkingStep();
    sp.events.onYield = [this](int n) {
        if (n == 2) stopCommand(shared);
    };
    processTwo(ctx);
    EXPECT_EQ(passes, std::vector<std::string>{"1:Name:"});
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(form.run.runFinished, "");
}

TEST_F(StepLoop, FinishedRunRefreshesTheVisibleViewers) {
    setCriteria({{"Name", "is equal to", "File B.Name", ""}});
    registry.addStep(kStep, [](RunContext& c) { c.shared.recordDone = "y"; });
    viewers.shown = {Viewer::FileA, Viewer::ExportTable};
    sp.prompter.answer(answer::Ok);
    processTwo(ctx);
    EXPECT_EQ(viewers.calls, (std::vector<std::string>{"refresh Form8", "refresh Form11"}));
    EXPECT_EQ(messages(), std::vector<std::string>{"Processing complete."});
}

TEST_F(StepLoop, ConditionNotOfTheSixRefusesTheRun) {
    setCriteria(
        {{"Name", "is equal to", "File B.Name", "or"}, {"Name", "is like", "File B.Name", ""}});
    registry.addStep(kStep, [](RunContext& c) { c.run.nextCriteriaRow = "y"; });
    sp.prompter.answer(answer::Ok);
    processTwo(ctx);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Please select a condition from the given choices."});
    EXPECT_EQ(controls.focused, std::vector<std::string>{"Combo2"});
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(StepLoop, StepWithoutAProcedureStopsTheRunLoudly) {
    setCriteria({{"Name", "is not equal to", "File B.Name", ""}});
    sp.prompter.answer(answer::Ok);
    processTwo(ctx);
    EXPECT_EQ(messages(),
              std::vector<std::string>{
                  "This operation is not available yet: twoNotEqualRepFirstFromAWithB"});
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(StepLoop, TableInTheWayIsDroppedAndTheStepTriedOnce) {
    setCriteria({{"Name", "is equal to", "File B.Name", ""}});
    exec("CREATE TABLE [Exported Data] (F TEXT(10))");
    shared.exportFileOpen = "y";
    int calls = 0;
    registry.addStep(kStep, [&](RunContext& c) {
        if (++calls == 1) throw EngineError(3010, "Table 'Exported Data' already exists.");
        c.shared.recordDone = "y";
    });
    sp.prompter.answer(answer::Ok);
    processTwo(ctx);
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(shared.workDb.tableDefs().contains("Exported Data"));
    EXPECT_EQ(shared.exportFileOpen, "");
    EXPECT_EQ(messages(), std::vector<std::string>{"Processing complete."});
}

TEST_F(StepLoop, TableStillInTheWayAfterTheRetryIsReported) {
    setCriteria({{"Name", "is equal to", "File B.Name", ""}});
    exec("CREATE TABLE [Exported Data] (F TEXT(10))");
    int calls = 0;
    registry.addStep(kStep, [&](RunContext&) {
        ++calls;
        throw EngineError(3010, "Table 'Exported Data' already exists.");
    });
    sp.prompter.answer(answer::Ok);
    processTwo(ctx);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(messages(), std::vector<std::string>{"Table 'Exported Data' already exists."});
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(StepLoop, ErrorAfterTheFirstStepIsReported) {
    setCriteria({{"Name", "is equal to", "File B.Name", ""}});
    registry.addStep(kStep, [](RunContext& c) {
        c.run.runStarted = "y";
        throw EngineError(3021, "No current record.");
    });
    sp.prompter.answer(answer::Ok);
    processTwo(ctx);
    EXPECT_EQ(messages(), std::vector<std::string>{"No current record."});
    EXPECT_EQ(sp.prompter.last().title, "Varnoke - Sorry...");
}

} // namespace
} // namespace varnoke::test
