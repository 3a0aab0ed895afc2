// Exit gives the room of the emptied working tables back to the file, whatever windows
// are open, and says so when it cannot.
#include "dialog/form4_form.h"
#include "shell/exit_cleanup.h"
#include "shell/program_window.h"
#include "shell/shell_commands.h"
#include "support/query_windows_gui.h"

#include <QAction>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace varnoke::test {
namespace {

class ExitCompacts : public ProgramWindowTest {
protected:
    void prepare() override {
        // File A and File B as a link leaves them; File A big enough to matter.
        db().execute("CREATE TABLE Table1 (F TEXT(250))");
        db().execute("CREATE TABLE Table2 (F TEXT(250))");
        Recordset rs = db().openRecordset("Table1", RecordsetType::Dynaset);
        for (int i = 0; i < 4000; ++i) {
            rs.addNew();
            rs.field(0).setValue(Value::text(std::string(200, static_cast<char>('a' + i % 26))));
            rs.update();
        }
        rs.close();
        db().execute("INSERT INTO Table2 (F) VALUES ('b')");
        db().flush();
    }
    SharedState& state() { return program->state(); }
    std::uintmax_t fileSize() const { return std::filesystem::file_size(dir.file("varnoker.mdb")); }
};

} // namespace

// With any window open the file used to stay as big as before.
TEST_F(ExitCompacts, WithTheDialogTheFileViewersAndATableViewerOpen) {
    window->findChild<QAction*>("menuFileCompare")->trigger();
    ASSERT_TRUE(program->hub().compare->compareDialogVisible());
    ShellCommands& commands = window->commands();
    commands.menuViewFileA_Click();
    commands.menuViewFileB_Click();
    commands.menuViewVarnokeExportTable_Click();
    for (Viewer v : {Viewer::FileA, Viewer::FileB, Viewer::ExportTable})
        ASSERT_TRUE(program->hub().viewers->visible(v)) << viewerFormName(v);

    const auto before = fileSize();
    ASSERT_GT(before, 800'000u);
    window->findChild<QAction*>("menuExit")->trigger();
    ASSERT_TRUE(window->cleanedUp());
    EXPECT_EQ(scripted.prompter.messages(), std::vector<std::string>{});
    EXPECT_LT(fileSize(), before / 4);
}

TEST_F(ExitCompacts, ACompactionThatFailsIsReported) {
    const Recordset held = state().workDb.openRecordset("Table2", RecordsetType::Dynaset);
    scripted.prompter.answer(answer::Ok);
    exitCleanup(state(), scripted.prompter);
    ASSERT_EQ(scripted.prompter.shown().size(), 1u);
    EXPECT_EQ(scripted.prompter.last().text.rfind("Error:3045 ", 0), 0u)
        << scripted.prompter.last().text;
    EXPECT_EQ(scripted.prompter.last().title, kSorryTitle);
}

} // namespace varnoke::test
