// The query windows and the remote result's grid show their texts whole: captions,
// titles and column names.
#include "queries/local_queries_window.h"
#include "queries/login_form.h"
#include "shell/main_window_api.h"
#include "support/query_windows_gui.h"
#include "support/text_fit_gui.h"
#include "support/waits.h"
#include "viewers/grid_viewer_window.h"
#include "viewers/viewer_hub_window.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

using namespace varnoke;
using namespace varnoke::test;

namespace varnoke {
void PrintTo(ViewerForm form, std::ostream* os) {
    *os << profileOf(form).formName;
}
} // namespace varnoke

namespace {

using Lines = std::vector<std::string>;

class QueryWindowFit : public ProgramWindowTest {};

TEST_F(QueryWindowFit, BothQueryWindowsShowEveryTextWhole) {
    triggerMenu(*program, menu::QueriesDefineLocal);
    FrmQuerys* local = queryWindows(*program).localWindow();
    ASSERT_NE(local, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(local, kPatienceMs));
    EXPECT_EQ(unfitTexts(*local), Lines{});

    triggerMenu(*program, menu::QueriesDefineRemote);
    FrmRemoteQuerys* remote = queryWindows(*program).remoteWindow();
    ASSERT_NE(remote, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(remote, kPatienceMs));
    // Every button enabled, as after Connect with both boxes filled.
    typeInto(remote, "Text1", "DSN=sales");
    typeInto(remote, "txtSQLStatement", "select 1");
    EXPECT_EQ(unfitTexts(*remote), Lines{});
}

TEST(LoginWindowFit, ShowsEveryTextWhole) {
    Form14 login;
    login.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&login, kPatienceMs));
    EXPECT_EQ(unfitTexts(login), Lines{});
}

TEST_F(QueryWindowFit, TheRemoteResultShowsLongColumnNamesWhole) {
    db().execute("CREATE TABLE Temp2 ([Customer Delivery Address Line One] TEXT(50), "
                 "[Id] LONG, [Outstanding Balance In Local Currency] DOUBLE)");
    db().execute("INSERT INTO Temp2 VALUES ('12 High Street', 1, 250.5)");
    auto& viewers = static_cast<GridViewerHub&>(*program->hub().viewers);
    viewers.showRemoteQueryResult(db().openRecordset("Temp2", RecordsetType::Dynaset));
    GridViewerWindow* grid = viewers.loaded(ViewerForm::Form15);
    ASSERT_NE(grid, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewers.visible(ViewerForm::Form15); }, kPatienceMs));
    EXPECT_EQ(unfitTexts(*grid), Lines{});
}

// Each button of a grid in view, whole: inside its window's frame and clear of the window
// in front of the main window; one line per button that is not.
Lines buttonsOutOfView(const GridViewerWindow& grid, const QWidget& cover) {
    const QWidget* frame = grid.parentWidget() ? grid.parentWidget() : &grid;
    Lines out;
    for (const QPushButton* button : grid.findChildren<QPushButton*>()) {
        const QRect inFrame(button->mapTo(frame, QPoint(0, 0)), button->size());
        if (!frame->rect().contains(inFrame))
            out.push_back(button->text().toStdString() + " is cut by the window's edge");
        const QRect global(button->mapToGlobal(QPoint(0, 0)), button->size());
        if (global.intersects(cover.frameGeometry()))
            out.push_back(button->text().toStdString() + " lies under the query window");
    }
    return out;
}

TEST_F(QueryWindowFit, TheRemoteResultKeepsEveryButtonInViewBesideTheQueryWindow) {
    triggerMenu(*program, menu::QueriesDefineRemote);
    FrmRemoteQuerys* remote = queryWindows(*program).remoteWindow();
    ASSERT_NE(remote, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(remote, kPatienceMs));
    db().execute("CREATE TABLE Temp2 (Customer TEXT(50), Total DOUBLE)");
    db().execute("INSERT INTO Temp2 VALUES ('Anna', 250.5)");
    auto& viewers = static_cast<GridViewerHub&>(*program->hub().viewers);
    viewers.showRemoteQueryResult(db().openRecordset("Temp2", RecordsetType::Dynaset));
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewers.visible(ViewerForm::Form15); }, kPatienceMs));
    GridViewerWindow* grid = viewers.loaded(ViewerForm::Form15);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(buttonsOutOfView(*grid, *remote), Lines{});
}

class GridLeastWidth : public ProgramWindowTest,
                       public ::testing::WithParamInterface<ViewerForm> {};

// However far a grid is shrunk, its least size keeps its row of buttons.
TEST_P(GridLeastWidth, HoldsTheRowOfButtons) {
    auto& viewers = static_cast<GridViewerHub&>(*program->hub().viewers);
    GridViewerWindow& grid = viewers.form(GetParam());
    int right = 0;
    for (const QPushButton* button : grid.findChildren<QPushButton*>())
        right = std::max(right, button->mapTo(&grid, QPoint(0, 0)).x() + button->width());
    EXPECT_GE(grid.minimumSizeHint().width(), right);
}

INSTANTIATE_TEST_SUITE_P(Forms, GridLeastWidth, ::testing::ValuesIn(kAllViewerForms),
                         [](const auto& info) {
                             return std::string(profileOf(info.param).formName);
                         });

} // namespace
