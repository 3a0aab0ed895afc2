#include "process/process_command.h"

#include "process_fixture.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

class ProcessCommand : public ProcessFixture {
protected:
    void SetUp() override {
        exec("CREATE TABLE Table1 (Name TEXT(50))");
        exec("CREATE TABLE Table2 (Name TEXT(50))");
        form.controls.combo3 = "replace";
        form.controls.combo4 = "File A.Name";
        form.controls.combo5 = "BLANK";
        form.controls.combo7 = std::string(choice::ParallelOneRecord);
        registry.addStep("twoEqualRepOneFromAWithBlank", [this](RunContext& c) {
            ++steps;
            c.shared.recordDone = "y";
        });
    }
    int steps = 0;
};

TEST_F(ProcessCommand, NonParallelMethodNeedsAFileBRow) {
    setCriteria({{"Name", "is equal to", "file B.Name", ""}, {"Name", "is equal to", "7", ""}});
    form.controls.combo7 = std::string(choice::NonParallelAllRecords);
    sp.prompter.answer(answer::Ok);
    processCommand(ctx);
    EXPECT_EQ(messages(), std::vector<std::string>{
                              "If the compare method is NOT 'paralled records; one record only', "
                              "at least one criteria must contain a field in File B."});
    EXPECT_EQ(controls.focused, std::vector<std::string>{"Combo1"});
    EXPECT_TRUE(mainWindow.menus.empty()); // nothing was locked
    EXPECT_EQ(steps, 0);
}

// Before the run opens the files, a File B field is still told from a typed value by
// File B's definition: only "File B." and a field File B has counts.
class FileBRowCheck : public ProcessCommand,
                      public ::testing::WithParamInterface<std::pair<std::string, bool>> {};

TEST_P(FileBRowCheck, CountsOnlyAFieldOfFileB) {
    const auto& [operand, isField] = GetParam();
    registry.addStep("twoEqualRepAllFromAWithBlank", [this](RunContext& c) {
        ++steps;
        c.shared.recordDone = "y";
    });
    exec("INSERT INTO Table1 (Name) VALUES ('a')");
    setCriteria({{"Name", "is equal to", operand, ""}});
    form.controls.combo7 = std::string(choice::NonParallelAllRecords);
    sp.prompter.answer(answer::Ok);
    processCommand(ctx);
    EXPECT_EQ(messages(), std::vector<std::string>{isField ? "Processing complete."
                                                           : "If the compare method is NOT "
                                                             "'paralled records; one record "
                                                             "only', at least one criteria must "
                                                             "contain a field in File B."});
    EXPECT_EQ(steps, isField ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Operands, FileBRowCheck,
                         ::testing::Values(std::pair{std::string("File B.Name"), true},
                                           std::pair{std::string("File B.name"), true},
                                           std::pair{std::string("File Bravo"), false},
                                           std::pair{std::string("File B.Nosuch"), false},
                                           std::pair{std::string("File B."), false}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(ProcessCommand, ExportWithoutAnExportFileOpensOneAndRunsNothing) {
    setCriteria({{"Name", "is equal to", "x", ""}});
    form.controls.combo3 = "export";
    processCommand(ctx);
    EXPECT_EQ(controls.commands, std::vector<std::string>{"openExportFile"});
    EXPECT_TRUE(messages().empty());
}

TEST_F(ProcessCommand, MissingFilesAreAskedForInTurnAndNoRunStarts) {
    setCriteria({{"Name", "is equal to", "x", ""}});
    shared.fileAName.clear();
    shared.fileBName.clear();
    // Opening File A now does not make the run start: both had to be open at the press.
    controls.onOpenFileA = [this] { shared.fileAName = "y"; };
    sp.prompter.answer(answer::Ok).answer(answer::Ok);
    processCommand(ctx);
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"Please open File A, then hit Process again.",
                                        "Please open File B, then hit Process again."}));
    EXPECT_EQ(controls.commands, (std::vector<std::string>{"openFileA", "openFileB"}));
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(controls.state("Command2"), "on"); // unlocked again
}

TEST_F(ProcessCommand, OneDatabaseModeAsksForAFile) {
    setCriteria({{"Name", "is equal to", "x", ""}});
    shared.runMode = "1";
    shared.fileAName.clear();
    sp.prompter.answer(answer::Ok);
    processCommand(ctx);
    EXPECT_EQ(messages(), std::vector<std::string>{"Please open a file, then hit Process again."});
    EXPECT_EQ(controls.commands, std::vector<std::string>{"openFileA"});
}

TEST_F(ProcessCommand, RunsThenReopensViewersAndUnlocks) {
    setCriteria({{"Name", "is equal to", "x", ""}});
    form.run.askBadDate = "y";
    shared.addNewMode = "n";
    viewers.shown = {Viewer::FileB, Viewer::ExportFile};
    form.controls.combo8 = std::string(choice::NoRecordsCanBeAdded);
    form.controls.option2 = true;
    sp.prompter.answer(answer::Ok);
    processCommand(ctx);
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(messages(), std::vector<std::string>{"Processing complete."});
    EXPECT_EQ(form.run.askBadDate, "");
    EXPECT_EQ(shared.addNewMode, "");
    EXPECT_EQ(mainWindow.calls,
              (std::vector<std::string>{"menuViewFileB_Click", "menuViewExportedData_Click"}));
    EXPECT_TRUE(mainWindow.menus.at("menuView"));
    EXPECT_EQ(controls.state("Command4"), "on"); // Option2 stands for two databases
    EXPECT_EQ(controls.state("Command6"), "off");
    EXPECT_EQ(controls.state("Combo7"), "on");
    EXPECT_EQ(controls.state("Combo8"), "off");
    EXPECT_EQ(controls.state("Command5"), "off");
    EXPECT_EQ(shared.skipFormInit, "");
}

} // namespace
} // namespace varnoke::test
