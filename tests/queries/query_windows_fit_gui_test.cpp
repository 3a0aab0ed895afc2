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

#include <QTest>
#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

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

} // namespace
