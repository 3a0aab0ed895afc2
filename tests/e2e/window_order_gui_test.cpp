// Where the program's windows open: the comparison dialog and the grid windows share the
// main window's work area, a grid opened while the dialog is up comes in front of it,
// and no child window lies partly outside the area's visible part.
#include "dialog/form4_form.h"
#include "queries/local_queries_window.h"
#include "shell/main_window.h"
#include "shell/program_window.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"
#include "support/waits.h"
#include "viewers/grid_viewer_window.h"
#include "viewers/viewer_hub_window.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTest>
#include <QWindow>
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
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, kPatienceMs));
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
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, kPatienceMs));
    trigger(menu::ViewVarnokeExportTable);
    ASSERT_NE(exportTable(), nullptr);
    EXPECT_TRUE(inside(*childOf(exportTable())));
}

// A query window is a tool window of the main window, so the window manager keeps it in
// front of it (also after a prompt of the main window closes), and it opens over the
// work area, leaving the menu bar free.
TEST_F(WindowOrder, QueryWindowsStayInFrontOfTheMainWindowBelowItsMenuBar) {
    window->setGeometry(200, 150, 900, 700);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, kPatienceMs));
    trigger(menu::FileCompare);
    const QWidget* area = window->centralWidget();
    const QRect workArea(area->mapToGlobal(QPoint(0, 0)), area->size());
    for (auto [item, name] : {std::pair{menu::QueriesDefineLocal, "frmQuerys"},
                              {menu::QueriesDefineRemote, "frmRemoteQuerys"}}) {
        trigger(item);
        QWidget* query = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name && w->isVisible()) query = w;
        ASSERT_NE(query, nullptr) << name;
        EXPECT_EQ(query->windowType(), Qt::Tool) << name;
        EXPECT_EQ(query->parentWidget(), window) << name;
        ASSERT_NE(query->windowHandle(), nullptr);
        EXPECT_EQ(query->windowHandle()->transientParent(), window->windowHandle()) << name;
        const QRect frame = query->frameGeometry();
        EXPECT_TRUE(workArea.contains(frame.topLeft()))
            << name << " at " << frame.x() << "," << frame.y();
        EXPECT_GT(frame.top(), window->menuBar()->mapToGlobal(QPoint(0, 0)).y()) << name;
    }
}

} // namespace
} // namespace varnoke::test
