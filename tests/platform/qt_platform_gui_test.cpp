#include "platform/qt/qt_platform.h"
#include "support/modal_gui.h"
#include "support/waits.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

TEST(QtPlatform, FilterTextBecomesQtFilters) {
    EXPECT_EQ(qtFilterFromPipes("dBase IV (*.dbf)|*.dbf|All Files (*.*)|*.*"),
              "dBase IV (*.dbf);;All Files (*.*)");
    EXPECT_EQ(qtFilterFromPipes("Text|*.csv;*.txt"), "Text (*.csv *.txt)");
}

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
