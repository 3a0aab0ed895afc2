// The comparison dialog's window while a file is read: drawn with the wait cursor and
// every control greyed before the read begins (a reader in this process lets nothing be
// drawn until it ends), and as it was once the read is over.
#include "form4_window_fixture.h"
#include "gated_reader.h"

#include <QApplication>
#include <QTest>

namespace varnoke::test {
namespace {

constexpr const char* kControls[] = {"Command1", "Command3", "Command4", "Command6", "Command7",
                                     "Option1",  "Option2",  "Option3",  "Combo6",   "Combo10",
                                     "Combo3",   "DBGrid1",  "List1",    "Text1"};

bool waitCursorShown() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

struct BusyCase {
    const char* label;
    const char* type;
    const char* name;     // the file opened second
    const char* contents; // what it holds
};

void PrintTo(const BusyCase& c, std::ostream* os) {
    *os << c.label;
}

class LinkBusy : public Form4Window, public ::testing::WithParamInterface<BusyCase> {
protected:
    GatedLotus lotus;
};

TEST_P(LinkBusy, GreysTheDialogAndShowsTheWaitCursorUntilTheReadEnds) {
    const BusyCase& busy = GetParam();
    auto& c = form->model().controls();
    c.combo6.text = "Comma-delimited text (CSV)";
    scripted.files.choosePath(dir.write("first.csv", "NAME,CITY\nAnn,Oslo\n"));
    click("Command1");
    ASSERT_EQ(c.list1.items, (Items{"NAME", "CITY"}));
    c.combo6.text = busy.type;
    form->render();
    std::map<std::string, bool> enabledBefore;
    for (const char* name : kControls)
        enabledBefore[name] = child(name)->isEnabled();
    ASSERT_TRUE(enabledBefore["Command1"] && enabledBefore["Command3"] && enabledBefore["Combo6"]);

    int draws = 0;
    std::vector<std::string> enabledDuring;
    bool cursorThroughout = true;
    scripted.events.onDraw = [&](int) {
        ++draws;
        for (const char* name : kControls)
            if (child(name)->isEnabled()) enabledDuring.push_back(name);
        cursorThroughout = cursorThroughout && waitCursorShown();
        lotus.reader().open();
    };
    scripted.files.choosePath(dir.write(busy.name, busy.contents));
    click("Command1");
    scripted.events.onDraw = nullptr;

    EXPECT_GE(draws, 1) << "the dialog was not drawn before the read";
    EXPECT_TRUE(enabledDuring.empty()) << enabledDuring.front() << " took clicks";
    EXPECT_TRUE(cursorThroughout);
    EXPECT_TRUE(scripted.prompter.messages().empty());
    EXPECT_FALSE(QApplication::overrideCursor());
    for (const char* name : kControls)
        EXPECT_EQ(child(name)->isEnabled(), enabledBefore[name]) << name;
    EXPECT_EQ(c.text1.text, (dir.path() / busy.name).string());
}

INSTANTIATE_TEST_SUITE_P(
    Readers, LinkBusy,
    ::testing::Values(BusyCase{"ReadInAChild", "Lotus WK4", "sheet.wk4", "stands for a sheet"},
                      BusyCase{"ReadInThisProcess", "Comma-delimited text (CSV)", "second.csv",
                               "ID,TOWN\n1,Rome\n"}),
    [](const auto& info) { return std::string(info.param.label); });

// The message of a failed read comes up over a dialog that takes clicks again.
TEST_F(LinkBusy, AFailedReadIsToldWithTheNormalCursor) {
    form->model().controls().combo6.text = "dBase IV";
    scripted.files.choosePath(dir.write("notes.dbf", "this is no dBase table"));
    scripted.prompter.answer(answer::Ok);
    std::optional<bool> cursorAtMessage, openEnabledAtMessage;
    scripted.prompter.onShow = [&](const ShownPrompt&) {
        cursorAtMessage = waitCursorShown();
        openEnabledAtMessage = child("Command1")->isEnabled();
    };
    click("Command1");
    scripted.prompter.onShow = nullptr;

    ASSERT_EQ(scripted.prompter.messages().size(), 1u);
    EXPECT_EQ(cursorAtMessage, false);
    EXPECT_EQ(openEnabledAtMessage, true);
    EXPECT_FALSE(QApplication::overrideCursor());
}

} // namespace
} // namespace varnoke::test
