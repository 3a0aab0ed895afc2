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

// A prompt of a tool window (a query window, say) gives the keyboard back to it, even
// where the window manager hands it to the main window when the prompt goes.
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
    const std::vector<std::pair<const char*, std::function<void()>>> prompts = {
        {"message box", [&] { prompter.messageBox("Saved.", 0, "Varnoke"); }},
        {"input box", [&] { prompter.inputBox("Name:", "Varnoke", ""); }},
    };
    for (const auto& [kind, prompt] : prompts) {
        whenModalShows(tool, [&](QWidget& box) {
            static_cast<QDialog&>(box).reject();
            main.activateWindow(); // what the window manager does when the prompt goes
        });
        prompt();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return QApplication::activeWindow() == &tool && edit->hasFocus(); }, kPatienceMs))
            << kind;
    }
}
