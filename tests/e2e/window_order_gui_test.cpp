// Where the program's windows open: the comparison dialog and the grid windows share the
// main window's work area, a grid opened while the dialog is up comes in front of it,
// and no child window lies partly outside the area's visible part.
#include "dialog/form4_form.h"
#include "queries/local_queries_window.h"
#include "shell/main_window.h"
#include "shell/program_window.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"
#include "viewers/grid_viewer_window.h"
#include "viewers/viewer_hub_window.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

class WindowOrder : public ::testing::Test {
protected:
    void SetUp() override {
        dir.copyWorkDb();
        program = std::make_unique<Program>(scripted.platform());
        window = &program->window();
        ASSERT_TRUE(window->openWorkingDatabase(dir.path()));
    }
    void TearDown() override {
        window->close();
        program.reset();
    }
    void trigger(std::string_view name) {
        auto* action = window->findChild<QAction*>(QString::fromUtf8(name.data(), name.size()));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    QMdiSubWindow* childOf(QWidget* w) { return qobject_cast<QMdiSubWindow*>(w->parentWidget()); }
    Form4* dialog() { return static_cast<Form4Windows&>(*program->hub().compare).dialog(); }
    GridViewerWindow* exportTable() {
        return static_cast<GridViewerHub&>(*program->hub().viewers).loaded(ViewerForm::Form11);
    }
    static bool inside(const QMdiSubWindow& child) {
        return child.mdiArea()->viewport()->rect().contains(child.geometry());
    }

    TempDir dir;
    ScriptedPlatform scripted;
    std::unique_ptr<Program> program;
    MDIForm1* window = nullptr;
};

TEST_F(WindowOrder, AGridOpenedOverTheComparisonDialogComesInFront) {
    window->resize(900, 700);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    trigger(menu::FileCompare);
    ASSERT_NE(dialog(), nullptr);
    QMdiSubWindow* dialogChild = childOf(dialog());
    ASSERT_NE(dialogChild, nullptr) << "the dialog is not a child of the work area";
    EXPECT_TRUE(program->hub().compare->compareDialogVisible());

    trigger(menu::ViewVarnokeExportTable);
    ASSERT_NE(exportTable(), nullptr);
    QMdiSubWindow* gridChild = childOf(exportTable());
    ASSERT_NE(gridChild, nullptr);
    const auto order = window->mdiArea()->subWindowList(QMdiArea::StackingOrder);
    ASSERT_FALSE(order.isEmpty());
    EXPECT_EQ(order.last(), gridChild);
    EXPECT_TRUE(order.contains(dialogChild));
    EXPECT_TRUE(inside(*gridChild));
    EXPECT_TRUE(inside(*dialogChild));
}

TEST_F(WindowOrder, AGridInASmallMainWindowStaysWithinReach) {
    window->resize(380, 260);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    trigger(menu::ViewVarnokeExportTable);
    ASSERT_NE(exportTable(), nullptr);
    EXPECT_TRUE(inside(*childOf(exportTable())));
}

TEST_F(WindowOrder, AQueryWindowOpensOverTheMainWindow) {
    window->setGeometry(200, 150, 900, 700);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    trigger(menu::FileCompare);
    trigger(menu::QueriesDefineLocal);
    QWidget* local = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "frmQuerys" && w->isVisible()) local = w;
    ASSERT_NE(local, nullptr);
    EXPECT_TRUE(window->frameGeometry().contains(local->frameGeometry()))
        << local->frameGeometry().x() << "," << local->frameGeometry().y();
}

} // namespace
} // namespace varnoke::test
