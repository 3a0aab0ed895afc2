// The comparison dialog's window: its controls where they were designed, and a user
// opening two files and stating criteria with the mouse and keyboard.
#include "form4_window_fixture.h"
#include "support/text_fit_gui.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

namespace varnoke::test {
namespace {

class Form4WindowTest : public Form4Window {
protected:
    void pick(const char* comboName, const QString& text) {
        auto* combo = child<QComboBox>(comboName);
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void type(const char* comboName, const QString& text) {
        auto* combo = child<QComboBox>(comboName);
        combo->lineEdit()->clear();
        QTest::keyClicks(combo->lineEdit(), text);
    }
};

TEST_F(Form4WindowTest, ControlsSitWhereTheyWereDesigned) {
    EXPECT_EQ(form->windowTitle(), "Varnoke - Packed with possibilities!");
    EXPECT_EQ(form->size(), QSize(575, 400));
    EXPECT_EQ(child("Command1")->geometry(), QRect(480, 8, 89, 17));
    EXPECT_EQ(child("Combo7")->geometry(), QRect(188, 317, 276, 19));
    EXPECT_EQ(child("DBGrid1")->parentWidget()->objectName(), "Frame3");
    EXPECT_EQ(child("DBGrid1")->geometry(), QRect(10, 14, 446, 83));
    EXPECT_EQ(child<QGroupBox>("Frame4")->title(), "Specify Action");
    EXPECT_EQ(child<QPushButton>("Command9")->text(), "&Update Criteria");
    EXPECT_EQ(child<QRadioButton>("Option2")->text(), "Fields in TWO databases");
    EXPECT_TRUE(child<QRadioButton>("Option1")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("Option3")->isChecked());
    EXPECT_EQ(child<QComboBox>("Combo1")->toolTip(), "Select field, enter data, or blank.");
    EXPECT_FALSE(child("Combo9")->isVisible());
    EXPECT_FALSE(child("List3")->isVisible());
    EXPECT_FALSE(child("Command2")->isEnabled());
    EXPECT_TRUE(child("Command1")->isEnabled());

    // Tab order: Option1 ... Command7, Option3, Option4, DBGrid1, Command8 ...
    QWidget* w = child("Command7");
    for (const char* next : {"Option3", "Option4", "DBGrid1", "Command8"}) {
        do {
            w = w->nextInFocusChain();
        } while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty());
        EXPECT_EQ(w->objectName(), next);
    }
}

// Regression: the boxes showed the end of their text ("eplace", "on-parallel records;
// one record: first occurrence only"), since setting a line edit's text puts the cursor
// after it.
TEST_F(Form4WindowTest, ChoicesShowTheirBeginningInNarrowBoxes) {
    auto* action = child<QComboBox>("Combo3");
    ASSERT_EQ(action->currentText(), "replace");
    EXPECT_EQ(action->lineEdit()->cursorPosition(), 0);

    click("Option2");
    EXPECT_EQ(action->currentText(), "delete");
    EXPECT_EQ(action->lineEdit()->cursorPosition(), 0);

    pick("Combo7", "non-parallel records; one record: first occurrence only");
    auto* method = child<QComboBox>("Combo7");
    EXPECT_EQ(method->currentText(), "non-parallel records; one record: first occurrence only");
    EXPECT_EQ(method->lineEdit()->cursorPosition(), 0);
}

// Regression: the main window's errors never reached the dialog's reporter, so they
// showed as bare "Error: n ..." texts and left stopFlag alone.
TEST_F(Form4WindowTest, MainWindowErrorsAreReportedByTheLoadedDialog) {
    Form4Windows windows(Form4Services{shared, scripted.platform(), mainWindow, viewers}, nullptr);
    const RuntimeError readOnly(3027, "Cannot update. Database or object is read-only.");
    EXPECT_FALSE(windows.handleError(readOnly));

    windows.showCompareDialog();
    scripted.prompter.answer(answer::Ok);
    EXPECT_TRUE(windows.handleError(readOnly));
    EXPECT_EQ(scripted.prompter.last().text,
              "Varnoke cannot update the file because it is currently in Read-only mode.  It "
              "might be currently opened by another application.\nCannot update. Database or "
              "object is read-only.");
    EXPECT_EQ(scripted.prompter.last().title, "Varnoke - Sorry...");
    EXPECT_EQ(shared.stopFlag, "y");
    delete windows.dialog();
}

TEST_F(Form4WindowTest, UserOpensTwoFilesAndStatesCriteria) {
    const auto dbf = (dir.path() / "people.dbf").string();
    std::filesystem::copy_file(dialogData("people.dbf"), dbf);
    const auto csv = dir.write("cities.csv", "ID,CITY\n1,Oslo\n2,Lima\n");

    click("Option2");
    EXPECT_EQ(child<QPushButton>("Command1")->text(), "&Open File A");
    EXPECT_TRUE(child("Command4")->isEnabled());

    scripted.files.choosePath(dbf);
    click("Command1");
    EXPECT_EQ(child<QLineEdit>("Text1")->text().toStdString(), dbf);
    EXPECT_EQ(child<QListWidget>("List1")->count(), 2);

    type("Combo6", "Comma-delimited text (CSV)");
    scripted.files.choosePath(csv);
    click("Command4");
    EXPECT_EQ(child<QListWidget>("List2")->item(1)->text(), "CITY");
    EXPECT_EQ(child<QComboBox>("Combo1")->itemText(1), "File B.CITY");
    EXPECT_TRUE(child("Command7")->isEnabled());

    pick("Combo10", "NAME");
    pick("Combo1", "File B.CITY");
    click("Command7");
    click("Option4");
    pick("Combo10", "BIRTHDATE");
    pick("Combo2", "is before");
    type("Combo1", "1/1/1985");
    click("Command7");

    auto* grid = child<QTableWidget>("DBGrid1");
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "If File A.");
    EXPECT_EQ(grid->item(0, 2)->text(), "File B.CITY");
    EXPECT_EQ(grid->item(0, 3)->text(), "and");
    EXPECT_EQ(grid->item(1, 1)->text(), "is before");
    EXPECT_EQ(grid->item(1, 2)->text(), "1/1/1985");
    EXPECT_EQ(grid->item(1, 3)->text(), "");
    EXPECT_TRUE(child("Command2")->isEnabled());

    pick("Combo3", "replace");
    EXPECT_EQ(child<QComboBox>("Combo4")->count(), 4);
    EXPECT_TRUE(child("Combo8")->isEnabled());

    if (const auto shot = qEnvironmentVariable("VARNOKE_FORM4_SCREENSHOT"); !shot.isEmpty())
        form->grab().save(shot);
}

// Every caption and choice shows whole at the designed positions, in both modes, with
// the longest choices of each box shown (and, with two files open, a criteria row).
TEST_F(Form4WindowTest, EveryTextShowsWholeInBothModes) {
    const auto dbf = (dir.path() / "people.dbf").string();
    std::filesystem::copy_file(dialogData("people.dbf"), dbf);
    const auto csv = dir.write("cities.csv", "ID,CITY\n1,Oslo\n2,Lima\n");
    using Lines = std::vector<std::string>;

    click("Option2");
    scripted.files.choosePath(dbf);
    click("Command1");
    type("Combo6", "Comma-delimited text (CSV)");
    scripted.files.choosePath(csv);
    click("Command4");
    pick("Combo10", "NAME");
    pick("Combo1", "File B.CITY");
    click("Command7");
    pick("Combo7", "non-parallel records; one record: first occurrence only");
    EXPECT_EQ(unfitTexts(*form), Lines{});
    pick("Combo3", "replace");
    EXPECT_EQ(unfitTexts(*form), Lines{});

    click("Option1");
    type("Combo6", "Comma-delimited text (CSV)");
    pick("Combo3", "replace");
    pick("Combo7", "non-parallel records; all records");
    EXPECT_EQ(unfitTexts(*form), Lines{});
}

} // namespace
} // namespace varnoke::test
