// The comparison dialog's window while another program holds the working database: a
// press of an open button waits for it once and says so once, and the window goes on
// showing the criteria rows and field lists it showed.
#include "form4_window_fixture.h"
#include "support/busy_file.h"

#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace varnoke::test {
namespace {

struct ClockFirst {
    ManualEngineClock clock;
};

class HeldWindow : protected ClockFirst, public Form4Window {
protected:
    void press(const char* button, const std::string& path) {
        scripted.files.choosePath(path);
        click(button);
    }
    Items listed(const char* name) {
        Items out;
        auto* list = child<QListWidget>(name);
        for (int i = 0; i < list->count(); ++i)
            out.push_back(list->item(i)->text().toStdString());
        return out;
    }
    std::string workDbPath() {
        return std::filesystem::canonical(dir.path() / "varnoker.mdb").string();
    }
};

struct PressCase {
    const char* label;
    const char* button;
};

class HeldWindowPress : public HeldWindow, public ::testing::WithParamInterface<PressCase> {};

TEST_P(HeldWindowPress, WaitsOnceAndKeepsTheRowsAndLists) {
    auto& model = form->model();
    model.option2Click();
    model.controls().combo6.text = "Comma-delimited text (CSV)";
    press("Command1", dir.write("a.csv", "NAME,AGE\nAnn,3\n"));
    press("Command4", dir.write("b.csv", "CITY,SIZE\nOslo,7\n"));
    model.controls().combo10.text = "NAME";
    model.controls().combo1.text = "File B.CITY";
    QTest::mouseClick(child("Command7"), Qt::LeftButton);
    ASSERT_EQ(child<QTableWidget>("DBGrid1")->rowCount(), 1);
    ASSERT_TRUE(scripted.prompter.messages().empty());

    shared.workDb.flush();
    FileHolder other(workDbPath());
    other.lock();
    scripted.prompter.answer(answer::Ok);
    const int waitsBefore = clock.waits();
    press(GetParam().button, dir.write("c.csv", "X\n1\n"));
    const int waits = clock.waits() - waitsBefore;
    const int oneWait = [&] {
        const int start = clock.waits();
        EXPECT_THROW(shared.workDb.execute("delete * from SSysCriteria"), RuntimeError);
        return clock.waits() - start;
    }();

    EXPECT_EQ(scripted.prompter.messages(),
              Items{"Couldn't use '" + workDbPath() + "'; file already in use."});
    EXPECT_LE(waits, oneWait) << "the window waited for the file more than once";
    EXPECT_EQ(child<QTableWidget>("DBGrid1")->rowCount(), 1);
    EXPECT_EQ(listed("List1"), (Items{"NAME", "AGE"}));
    EXPECT_EQ(listed("List2"), (Items{"CITY", "SIZE"}));
    EXPECT_TRUE(child("Command2")->isEnabled());
    other.release();
}

INSTANTIATE_TEST_SUITE_P(Buttons, HeldWindowPress,
                         ::testing::Values(PressCase{"OpenFileA", "Command1"},
                                           PressCase{"OpenFileB", "Command4"}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
