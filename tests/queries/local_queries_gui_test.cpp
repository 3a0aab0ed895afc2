#include "queries/local_queries_window.h"
#include "shell/main_window_api.h"
#include "shell/program_window.h"
#include "support/query_windows_gui.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"
#include "support/text_fit_gui.h"
#include "support/waits.h"
#include "viewers/grid_model_window.h"
#include "viewers/grid_viewer_window.h"
#include "viewers/viewer_hub_window.h"

#include <QAction>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

namespace {

class LocalQueryWindowTest : public ProgramWindowTest {
protected:
    void prepare() override {
        db().execute("CREATE TABLE Table1 (Name TEXT(50), Amount DOUBLE)");
        db().execute("INSERT INTO Table1 (Name, Amount) VALUES ('Anna', 250)");
        db().execute("INSERT INTO Table1 (Name, Amount) VALUES ('Bertil', 75)");
    }

    FrmQuerys* openFromMenu(std::string_view item) {
        triggerMenu(*program, item);
        auto* frm = queryWindows(*program).localWindow();
        EXPECT_NE(frm, nullptr);
        return frm;
    }
    void click(QWidget* frm, const char* name) { clickButton(frm, name); }
    void typeSql(QWidget* frm, const QString& text) { typeInto(frm, "txtSQLStatement", text); }
    std::vector<double> amounts() {
        std::vector<double> out;
        Recordset rs = db().openRecordset("SELECT Amount FROM Table1 ORDER BY Name");
        for (; !rs.eof(); rs.moveNext())
            out.push_back(rs.field("Amount").value().asNumber());
        return out;
    }
};

TEST_F(LocalQueryWindowTest, TheHelpTextShowsWhole) {
    FrmQuerys* frm = openFromMenu(menu::QueriesDefineLocal);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frm, kPatienceMs));
    EXPECT_EQ(unfitTexts(*frm->findChild<QGroupBox*>("Frame1")), std::vector<std::string>{});
}

TEST_F(LocalQueryWindowTest, OpensWithItsControlsAndAllButtonsDisabled) {
    FrmQuerys* frm = openFromMenu(menu::QueriesDefineLocal);
    ASSERT_NE(frm, nullptr);
    EXPECT_EQ(frm->objectName(), "frmQuerys");
    EXPECT_EQ(frm->windowTitle(), "Local Queries");
    EXPECT_TRUE(frm->isVisible());
    for (auto [name, caption] : {std::pair{"cmdExecuteSQL", "&Execute"},
                                 {"cmdRemoveQuery", "&Delete"},
                                 {"cmdSaveQueryDef", "&Save"},
                                 {"Command1", "Clear S&QL"}}) {
        auto* b = control<QPushButton>(frm, name);
        EXPECT_EQ(b->text(), caption);
        EXPECT_FALSE(b->isEnabled()) << name;
    }
    EXPECT_EQ(control<QGroupBox>(frm, "Frame1")->title(), "In your SQL statement:");
    EXPECT_EQ(control<QListWidget>(frm, "lstQueryDefs")->count(), 0);
}

TEST_F(LocalQueryWindowTest, TypedSelectShowsItsRowsInTheLocalQueryViewer) {
    FrmQuerys* frm = openFromMenu(menu::QueriesDefineLocal);
    typeSql(frm, "select * from Table1 where Amount > 100");
    EXPECT_TRUE(control<QPushButton>(frm, "cmdExecuteSQL")->isEnabled());
    click(frm, "cmdExecuteSQL");

    auto& viewers = static_cast<GridViewerHub&>(*program->hub().viewers);
    GridViewerWindow* form12 = viewers.loaded(ViewerForm::Form12);
    ASSERT_NE(form12, nullptr);
    EXPECT_TRUE(viewers.visible(ViewerForm::Form12));
    EXPECT_EQ(form12->windowTitle(), "Local Query - select * from Table1 where Amoun");
    EXPECT_EQ(form12->model().rowCount(), 1);
    EXPECT_TRUE(hiddenPart(*form12, *frm).isEmpty()) << "the result opens behind the query window";
}

TEST_F(LocalQueryWindowTest, SaveListsTheQueryAndDeleteRemovesIt) {
    db().createQueryDef("Cheap", "SELECT * FROM Table1 WHERE Amount < 100");
    FrmQuerys* frm = openFromMenu(menu::QueriesSelectLocal);
    auto* list = control<QListWidget>(frm, "lstQueryDefs");
    ASSERT_EQ(list->count(), 1);
    EXPECT_TRUE(control<QPushButton>(frm, "cmdRemoveQuery")->isEnabled());

    typeSql(frm, "UPDATE Table1 SET Amount = Amount * 2");
    scripted.prompter.type("Double").answer(answer::No);
    click(frm, "cmdSaveQueryDef");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "Double");

    list->setCurrentRow(1);
    EXPECT_EQ(control<QPlainTextEdit>(frm, "txtSQLStatement")->toPlainText(),
              "UPDATE Table1 SET Amount = Amount * 2");
    click(frm, "cmdExecuteSQL");
    EXPECT_EQ(amounts(), (std::vector<double>{500, 150}));

    scripted.prompter.answer(answer::Yes);
    click(frm, "cmdRemoveQuery");
    EXPECT_EQ(scripted.prompter.last().text, "Delete this query: Double?");
    EXPECT_EQ(scripted.prompter.last().title, "PL/WB - Be careful");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(control<QPlainTextEdit>(frm, "txtSQLStatement")->toPlainText(),
              "SELECT * FROM Table1 WHERE Amount < 100");
    EXPECT_TRUE(control<QPushButton>(frm, "cmdRemoveQuery")->isEnabled());
}

TEST_F(LocalQueryWindowTest, ClosingSavesThePositionInTwips) {
    FrmQuerys* frm = openFromMenu(menu::QueriesDefineLocal);
    frm->move(40, 60);
    const QPoint at = frm->pos();
    frm->close();
    auto& values = scripted.settings.values;
    EXPECT_EQ(values["Varnoke/Settings/QueryLeft"], std::to_string(at.x() * 15));
    EXPECT_EQ(values["Varnoke/Settings/QueryTop"], std::to_string(at.y() * 15));
}

TEST_F(LocalQueryWindowTest, ClickOnTheSelectedEntryReloadsItsStoredSql) {
    db().createQueryDef("Cheap", "SELECT * FROM Table1 WHERE Amount < 100");
    FrmQuerys* frm = openFromMenu(menu::QueriesSelectLocal);
    auto* list = control<QListWidget>(frm, "lstQueryDefs");
    auto* box = control<QPlainTextEdit>(frm, "txtSQLStatement");
    const QPoint entry = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry);
    ASSERT_EQ(box->toPlainText(), "SELECT * FROM Table1 WHERE Amount < 100");

    typeSql(frm, "DELETE FROM Table1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry);
    EXPECT_EQ(box->toPlainText(), "SELECT * FROM Table1 WHERE Amount < 100");
}

} // namespace
