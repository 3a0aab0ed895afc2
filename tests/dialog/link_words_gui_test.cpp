// The program's windows around a link: the main window's menus greyed with the dialog
// while the file is read, and the dialog naming the table it linked where it shows the
// file.
#include "dialog/form4_form.h"
#include "gated_reader.h"
#include "shell/program_window.h"
#include "support/query_windows_gui.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace varnoke::test {
namespace {

constexpr const char* kMenus[] = {"menuFile", "menuView", "menuQueries", "menuHelp"};

class LinkWords : public ProgramWindowTest {
protected:
    Form4* dialog() { return static_cast<Form4Windows&>(*program->hub().compare).dialog(); }
    QMenu* menu(const char* name) { return window->menuBar()->findChild<QMenu*>(name); }
    void openCompare() {
        triggerMenu(*program, "menuFileCompare");
        ASSERT_NE(dialog(), nullptr);
    }
};

TEST_F(LinkWords, TheMenusTakeNoClickWhileAFileIsRead) {
    GatedLotus lotus;
    openCompare();
    choose(dialog(), "Combo6", "Lotus WK4");
    scripted.files.choosePath(dir.write("sheet.wk4", "stands in for a worksheet"));
    std::vector<std::string> enabledDuring;
    bool opened = false;
    scripted.events.onDraw = [&](int) {
        for (const char* name : kMenus)
            if (menu(name)->menuAction()->isEnabled()) enabledDuring.push_back(name);
        // A click on File while the read goes on opens nothing.
        const QRect file = window->menuBar()->actionGeometry(menu("menuFile")->menuAction());
        QTest::mouseClick(window->menuBar(), Qt::LeftButton, {}, file.center());
        if (QWidget* popup = QApplication::activePopupWidget()) {
            opened = true;
            popup->close();
        }
        lotus.reader().open();
    };
    clickButton(dialog(), "Command1");
    scripted.events.onDraw = nullptr;

    EXPECT_TRUE(enabledDuring.empty()) << enabledDuring.front() << " took clicks";
    EXPECT_FALSE(opened);
    EXPECT_TRUE(scripted.prompter.messages().empty());
    for (const char* name : kMenus)
        EXPECT_TRUE(menu(name)->menuAction()->isEnabled()) << name;
    EXPECT_EQ(control<QLineEdit>(dialog(), "Text1")->text().toStdString(),
              (dir.path() / "sheet.wk4").string());
}

TEST_F(LinkWords, TheDialogNamesTheJetTableItLinked) {
    const auto path = dir.path() / "nwind.mdb";
    std::filesystem::copy_file(testData("mdb/DateTestDatabase.mdb"), path);
    openCompare();
    choose(dialog(), "Combo6", "Jet table");
    scripted.files.choosePath(path.string());
    clickButton(dialog(), "Command1");

    EXPECT_TRUE(scripted.prompter.messages().empty());
    const std::string shown = path.string() + " (table DateTest)";
    auto* text1 = control<QLineEdit>(dialog(), "Text1");
    EXPECT_EQ(text1->text().toStdString(), shown);
    EXPECT_EQ(text1->toolTip().toStdString(), shown);
}

} // namespace
} // namespace varnoke::test
