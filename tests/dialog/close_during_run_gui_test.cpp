// Closing the comparison dialog, or the program, while a Process run works in the dialog:
// every way is refused with one message and the run ends as it would have undisturbed.
#include "dialog/form4_form.h"
#include "shell/info_notes.h"
#include "shell/program_window.h"
#include "shell/run_guard.h"
#include "support/query_windows_gui.h"
#include "value/convert.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace varnoke::test {
namespace {

std::filesystem::path e2eData(const std::string& name) {
    return std::filesystem::path(VARNOKE_TEST_DATA).parent_path() / "e2e" / "data" / name;
}

struct CloseWay {
    const char* name;
    void (*close)(MDIForm1& window, Form4& dialog);
};

void PrintTo(const CloseWay& way, std::ostream* os) {
    *os << way.name;
}

QMdiSubWindow* frameOf(Form4& dialog) {
    return qobject_cast<QMdiSubWindow*>(dialog.parentWidget());
}

const CloseWay kWays[] = {
    {"Escape", [](MDIForm1&, Form4& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
    {"TitleBarClose", [](MDIForm1&, Form4& d) { frameOf(d)->close(); }},
    {"WindowMenuClose",
     [](MDIForm1&, Form4& d) {
         for (QAction* action : frameOf(d)->systemMenu()->actions())
             if (action->text().remove('&') == "Close") action->trigger();
     }},
    // Alt+F4 and the main window's title bar close the main window.
    {"MainWindowClose", [](MDIForm1& w, Form4&) { w.close(); }},
    {"Exit", [](MDIForm1& w, Form4&) { w.findChild<QAction*>("menuExit")->trigger(); }},
    {"CloseFiles", [](MDIForm1&, Form4& d) { d.model().command3Click(); }},
};

class CloseDuringRun : public ProgramWindowTest, public ::testing::WithParamInterface<CloseWay> {
protected:
    void prepare() override {
        fileA = (dir.path() / "customers.dbf").string();
        fileB = (dir.path() / "changes.csv").string();
        std::filesystem::copy_file(e2eData("customers.dbf"), fileA);
        std::filesystem::copy_file(e2eData("changes.csv"), fileB);
        setNoteWanted(db(), InfoNote::Pairing, false);
    }

    Form4* dialog() { return static_cast<Form4Windows&>(*program->hub().compare).dialog(); }
    void click(const char* name) { clickButton(dialog(), name); }
    void choose(const char* name, const QString& text) { test::choose(dialog(), name, text); }
    // File A's NAMEs, in order.
    std::vector<std::string> names() {
        Recordset rs = db().openRecordset("Table1", RecordsetType::Dynaset);
        std::vector<std::string> out;
        for (; !rs.eof(); rs.moveNext())
            out.push_back(textOf(rs.value("NAME")));
        return out;
    }

    std::string fileA, fileB;
};

} // namespace

// Esc once deleted the dialog under a replace run, which then crashed in it.
TEST_P(CloseDuringRun, IsRefusedAndTheRunEndsUndisturbed) {
    window->findChild<QAction*>("menuFileCompare")->trigger();
    ASSERT_NE(dialog(), nullptr);
    click("Option2");
    choose("Combo6", "dBase IV");
    scripted.files.choosePath(fileA);
    click("Command1");
    choose("Combo6", "Comma-delimited text (CSV)");
    scripted.files.choosePath(fileB);
    click("Command4");
    choose("Combo10", "CODE");
    choose("Combo2", "is equal to");
    choose("Combo1", "File B.CODE");
    click("Command7");
    choose("Combo3", "replace");
    choose("Combo4", "File A.NAME");
    choose("Combo5", "Zed");
    choose("Combo7", "non-parallel records; one record: first occurrence only");

    // Each File B code that File A holds renames File A's first record with it.
    std::vector<std::string> expected = names();
    {
        Recordset a = db().openRecordset("Table1", RecordsetType::Dynaset);
        Recordset b = db().openRecordset("Table2", RecordsetType::Dynaset);
        std::set<std::string> codes;
        for (; !b.eof(); b.moveNext())
            codes.insert(textOf(b.value("CODE")));
        for (std::size_t i = 0; !a.eof(); a.moveNext(), ++i)
            if (codes.erase(textOf(a.value("CODE"))) > 0) expected[i] = "Zed";
    }
    ASSERT_NE(expected, names());

    bool tried = false;
    scripted.events.onYield = [&](int) {
        if (tried || !program->state().runInProgress) return;
        tried = true;
        GetParam().close(*window, *dialog());
    };
    scripted.prompter.answer(answer::Ok).answer(answer::Ok);
    click("Command2");

    ASSERT_TRUE(tried) << "the run never yielded";
    EXPECT_EQ(scripted.prompter.messages(),
              (std::vector<std::string>{std::string(kRunBusyMessage), "Processing complete."}));
    ASSERT_NE(dialog(), nullptr);
    EXPECT_TRUE(program->hub().compare->compareDialogVisible());
    EXPECT_FALSE(window->cleanedUp());
    EXPECT_EQ(program->hub().compare->fileAPathText(), fileA);
    EXPECT_EQ(names(), expected);
}

INSTANTIATE_TEST_SUITE_P(Form4, CloseDuringRun, ::testing::ValuesIn(kWays),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace varnoke::test
