#include "platform/qt/qt_platform.h"
#include "support/modal_gui.h"
#include "support/temp_dir.h"
#include "support/waits.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace varnoke;
using namespace varnoke::test;

TEST(QtPlatform, FilterTextBecomesQtFilters) {
    EXPECT_EQ(qtFilterFromPipes("dBase IV (*.dbf)|*.dbf|All Files (*.*)|*.*"),
              "dBase IV (*.dbf);;All Files (*.*)");
    EXPECT_EQ(qtFilterFromPipes("Text|*.csv;*.txt"), "Text (*.csv *.txt)");
}

// The picker opens on the previous file only where its list shows that file: a file the
// filter leaves out would stand in the name box, unlisted, and be taken by Open.
struct StartCase {
    const char* label;
    const char* previous; // the file picked last, in the test's folder
    const char* filter;
    bool offered;
};

class PickerStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(PickerStart, OffersThePreviousFileOnlyWhereItIsListed) {
    const StartCase& start = GetParam();
    const TempDir dir;
    const std::string previous = dir.write(start.previous, "x");
    QWidget owner;
    QtFilePicker picker(&owner);
    std::optional<QString> nameBox;
    std::optional<QString> folder;
    whenModalShows(owner, [&](QWidget& box) {
        auto& dialog = static_cast<QFileDialog&>(box);
        if (auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit")) nameBox = edit->text();
        folder = dialog.directory().absolutePath();
        dialog.reject();
    });
    picker.pickFile({"Open File B", start.filter, previous, 0, false});
    ASSERT_TRUE(nameBox.has_value());
    EXPECT_EQ(nameBox->toStdString(), start.offered ? std::string(start.previous) : "");
    EXPECT_EQ(folder, QString::fromStdString(dir.path().string()));
}

INSTANTIATE_TEST_SUITE_P(
    Filters, PickerStart,
    ::testing::Values(StartCase{"ListedByTheFirstChoice", "people.DBF",
                                "dBASE IV Files (*.DBF)|*.dbf|All Files (*.*)|*.*", true},
                      StartCase{"ListedByOneOfItsPatterns", "cities.txt",
                                "Text Files (*.CSV;*.TXT)|*.csv;*.txt|All Files (*.*)|*.*", true},
                      StartCase{"LeftOutByTheFirstChoice", "people.dbf",
                                "Text Files (*.CSV;*.TXT)|*.csv;*.txt|All Files (*.*)|*.*", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(QtPlatform, ProgressMirrorsTheClampedState) {
    QProgressBar bar;
    QtProgress progress(&bar);
    progress.setRange(1, 5);
    progress.setValue(9);
    progress.setVisible(true);
    EXPECT_EQ(bar.maximum(), 5);
    EXPECT_EQ(bar.value(), 5);
    EXPECT_FALSE(bar.isHidden());
}

// A prompt of a tool window (a query window, say) opens over it and gives the keyboard
// back to it, even where the window manager hands the keyboard to the main window when
// the prompt goes; so does a prompt that follows another at once.
TEST(QtPlatform, APromptGivesTheKeyboardBackToTheWindowItCameFrom) {
    QWidget main;
    main.show();
    QWidget tool(&main, Qt::Tool);
    auto* edit = new QLineEdit(&tool);
    tool.show();
    tool.activateWindow();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activeWindow() == &tool; }, kPatienceMs));
    edit->setFocus();
    QtPrompter prompter(&main);
    std::vector<QWidget*> owners;
    std::function<void(int)> answer = [&](int boxes) {
        whenModalShows(tool, [&, boxes](QWidget& box) {
            owners.push_back(box.parentWidget());
            if (boxes > 1) answer(boxes - 1);
            static_cast<QDialog&>(box).reject();
            main.activateWindow(); // what the window manager does when the prompt goes
        });
    };
    struct Case {
        const char* kind;
        int boxes;
        std::function<void()> prompt;
    };
    const std::vector<Case> cases = {
        {"message box", 1, [&] { prompter.messageBox("Saved.", 0, "Varnoke"); }},
        {"input box", 1, [&] { prompter.inputBox("Name:", "Varnoke", ""); }},
        {"input box, then message box", 2,
         [&] {
             prompter.inputBox("Name:", "Varnoke", "");
             prompter.messageBox("Is this a pass-through query?", 4, "Varnoke");
         }},
    };
    for (const auto& [kind, boxes, prompt] : cases) {
        owners.clear();
        answer(boxes);
        prompt();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return QApplication::activeWindow() == &tool && edit->hasFocus(); }, kPatienceMs))
            << kind;
        EXPECT_EQ(owners, std::vector<QWidget*>(owners.size(), &tool)) << kind;
    }
}
