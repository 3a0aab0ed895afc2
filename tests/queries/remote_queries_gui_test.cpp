#include "queries/local_queries_window.h"
#include "queries/login_form.h"
#include "queries/remote_queries_window.h"
#include "shell/main_window_api.h"
#include "shell/program_window.h"
#include "support/fake_query_server_gui.h"
#include "support/modal_gui.h"
#include "support/query_windows_gui.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"
#include "support/waits.h"
#include "viewers/grid_model_window.h"
#include "viewers/grid_viewer_window.h"
#include "viewers/viewer_hub_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <iostream>

using namespace varnoke;
using namespace varnoke::test;

namespace {

const std::string kOrders = "okCustomer^~*200^~*20^~*Total^~*131^~*19^~*endOfFieldNames^~*"
                            "Anna^~*250.5^~*endOfRow^~*Bertil^~*75^~*endOfRow^~*endOfData^~*";

class RemoteQueryWindowTest : public ProgramWindowTest {
protected:
    void prepare() override {
        // The remote window of this program talks to the test's server.
        RemoteClientSettings settings;
        settings.port = server.port();
        // No timer of the client's may fire while a busy machine completes a connection
        // or a reply: here every one of them waits as long as the test does.
        settings.connectTimeoutMs = kPatienceMs;
        settings.quietMs = kPatienceMs;
        program->hub().queries = std::make_unique<QueryWindowSet>(
            program->state(), scripted.platform(), *window, viewers(), window, settings);
        // The remote-query note stays off, so Connect asks only for the host.
        Recordset notes = db().openRecordset("Settings", RecordsetType::Table);
        notes.move(3);
        notes.edit();
        notes.setValue("showAgain", Value::boolean(false));
        notes.update();
    }

    GridViewerHub& viewers() { return static_cast<GridViewerHub&>(*program->hub().viewers); }
    FrmRemoteQuerys* openFromMenu(std::string_view item) {
        triggerMenu(*program, item);
        auto* frm = queryWindows(*program).remoteWindow();
        EXPECT_NE(frm, nullptr);
        return frm;
    }
    void click(QWidget* frm, const char* name) { clickButton(frm, name); }
    void type(QWidget* frm, const char* box, const QString& text) { typeInto(frm, box, text); }
    QString text(QWidget* frm, const char* box) {
        return control<QPlainTextEdit>(frm, box)->toPlainText();
    }
    bool enabled(QWidget* frm, const char* name) {
        return control<QPushButton>(frm, name)->isEnabled();
    }
    std::vector<std::pair<std::string, std::string>> connectRows() {
        std::vector<std::pair<std::string, std::string>> out;
        Recordset rs = db().openRecordset("ConnectStr", RecordsetType::Table);
        for (; !rs.eof(); rs.moveNext())
            out.emplace_back(rs.value("QueryName").asText(), rs.value("ConnectString").asText());
        return out;
    }
    // Types the name and password into Form14 once it shows, and presses Enter; the
    // window manager then hands the keyboard to the main window.
    void answerLogin(FrmRemoteQuerys* frm, const QString& name, const QString& password) {
        whenModalShows(
            *frm, [frm](const QWidget& modal) { return &modal == frm->loginWindow(); },
            [this, name, password](QWidget& login) {
                QTest::keyClicks(login.findChild<QLineEdit*>("Text1"), name);
                auto* box = login.findChild<QLineEdit*>("Text2");
                QTest::keyClicks(box, password);
                QTest::keyClick(box, Qt::Key_Return);
                window->activateWindow();
            });
    }

    FakeQueryServer server;
};

TEST_F(RemoteQueryWindowTest, OpensWithItsControlsAndStates) {
    FrmRemoteQuerys* frm = openFromMenu(menu::QueriesDefineRemote);
    ASSERT_NE(frm, nullptr);
    EXPECT_EQ(frm->objectName(), "frmRemoteQuerys");
    EXPECT_EQ(frm->windowTitle(), "Remote Queries");
    for (auto [name, caption, on] : {std::tuple{"Command1", "&Connect", true},
                                     {"cmdRemoveQuery", "&Delete", false},
                                     {"cmdExecuteSQL", "&Execute", false},
                                     {"Command2", "Clear Conn&Str", false},
                                     {"cmdSaveQueryDef", "&Save", false},
                                     {"Command3", "Clear S&QL", false}}) {
        auto* b = control<QPushButton>(frm, name);
        EXPECT_EQ(b->text(), caption);
        EXPECT_EQ(b->isEnabled(), on) << name;
    }
    auto* combo = control<QComboBox>(frm, "Combo1");
    EXPECT_EQ(combo->currentText(), "Samples");
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(0), "Access");

    type(frm, "Text1", "DSN=x");
    EXPECT_TRUE(enabled(frm, "Command2"));
    type(frm, "txtSQLStatement", "select 1");
    EXPECT_TRUE(enabled(frm, "cmdSaveQueryDef"));
    EXPECT_TRUE(enabled(frm, "Command3"));
    EXPECT_FALSE(enabled(frm, "cmdExecuteSQL"));
    click(frm, "Command2");
    EXPECT_EQ(text(frm, "Text1"), "");
    EXPECT_FALSE(enabled(frm, "Command2"));
    click(frm, "Command3");
    EXPECT_EQ(text(frm, "txtSQLStatement"), "");
}

TEST_F(RemoteQueryWindowTest, DefineModeListsNothingAndFocusesTheConnectionString) {
    db().createQueryDef("Orders", "select * from orders");
    FrmRemoteQuerys* frm = openFromMenu(menu::QueriesDefineRemote);
    EXPECT_EQ(control<QListWidget>(frm, "lstQueryDefs")->count(), 0);
    EXPECT_EQ(frm->logic().activateWindow(), RemoteFocus::ConnectionString);
    EXPECT_FALSE(enabled(frm, "cmdRemoveQuery"));

    frm = openFromMenu(menu::QueriesSelectRemote);
    EXPECT_EQ(control<QListWidget>(frm, "lstQueryDefs")->count(), 1);
    EXPECT_EQ(frm->logic().activateWindow(), RemoteFocus::List);
}

TEST_F(RemoteQueryWindowTest, ASampleFillsOnlyTheConnectionString) {
    FrmRemoteQuerys* frm = openFromMenu(menu::QueriesDefineRemote);
    type(frm, "txtSQLStatement", "select 1");
    auto* combo = control<QComboBox>(frm, "Combo1");
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    EXPECT_EQ(text(frm, "Text1"),
              "Driver={PostgreSQL};Server=dbhost;Port=5432;Database=sales;Uid=reader;Pwd=secret");
    EXPECT_EQ(text(frm, "txtSQLStatement"), "select 1");

    db().execute("DELETE FROM SampleConnStr WHERE DBName = 'Oracle'");
    scripted.prompter.answer(answer::Ok);
    emit combo->activated(1);
    EXPECT_EQ(scripted.prompter.last().text,
              "Sorry, a sample for the selected database is not on file.");
    EXPECT_EQ(scripted.prompter.last().title, "Varnoke - Info");
    EXPECT_EQ(scripted.prompter.last().style, msgbox::Information);
}

TEST_F(RemoteQueryWindowTest, SaveUpdateAndDeleteKeepTheConnectionStringRow) {
    FrmRemoteQuerys* frm = openFromMenu(menu::QueriesSelectRemote);
    type(frm, "Text1", "DSN=sales");
    type(frm, "txtSQLStatement", "select * from orders");
    scripted.prompter.type("Orders");
    click(frm, "cmdSaveQueryDef");
    auto* list = control<QListWidget>(frm, "lstQueryDefs");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(connectRows(),
              (std::vector<std::pair<std::string, std::string>>{{"Orders", "DSN=sales"}}));

    list->setCurrentRow(0);
    type(frm, "Text1", "DSN=archive");
    scripted.prompter.answer(answer::Yes);
    click(frm, "cmdSaveQueryDef");
    EXPECT_EQ(scripted.prompter.shown().back().text, "Update 'Orders'?");
    EXPECT_EQ(connectRows(),
              (std::vector<std::pair<std::string, std::string>>{{"Orders", "DSN=archive"}}));

    click(frm, "Command2");
    scripted.prompter.answer(answer::Yes);
    click(frm, "cmdSaveQueryDef");
    EXPECT_TRUE(connectRows().empty());

    // Selecting it again finds no connection string.
    scripted.prompter.answer(answer::Ok);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(scripted.prompter.last().text, "A corresponding Connection String is not on file.");
    EXPECT_EQ(text(frm, "txtSQLStatement"), "select * from orders");

    type(frm, "Text1", "DSN=sales");
    scripted.prompter.answer(answer::Yes);
    click(frm, "cmdSaveQueryDef");
    ASSERT_EQ(connectRows().size(), 1u);
    frm->Form_Activate(); // Delete follows the list from the window's activation on
    scripted.prompter.answer(answer::Yes);
    click(frm, "cmdRemoveQuery");
    EXPECT_EQ(scripted.prompter.last().text, "Delete this query: Orders?");
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(connectRows().empty());
    EXPECT_FALSE(enabled(frm, "cmdRemoveQuery"));
}

TEST_F(RemoteQueryWindowTest, ConnectLoginAndExecuteShowTheRowsInTheRemoteQueryGrid) {
    db().createQueryDef("Orders", "select * from orders");
    FrmRemoteQuerys* frm = openFromMenu(menu::QueriesSelectRemote);
    server.replies.push_back({kOrders});

    scripted.prompter.type("127.0.0.1");
    answerLogin(frm, "ann", "secret");
    click(frm, "Command1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return enabled(frm, "cmdExecuteSQL"); }, kPatienceMs));
    EXPECT_EQ(frm->windowTitle(), "Varnoke - Connected to: 127.0.0.1");
    EXPECT_EQ(server.messages().at(0), "lo_ann,secret^~*");
    EXPECT_EQ(frm->loginWindow()->findChild<QLineEdit*>("Text2")->text(), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == frm; }, kPatienceMs))
        << "the keyboard goes back to the query window after the login";

    auto* list = control<QListWidget>(frm, "lstQueryDefs");
    scripted.prompter.answer(answer::Ok); // no connection string on file
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(scripted.prompter.messages(),
              std::vector<std::string>{"A corresponding Connection String is not on file."});
    type(frm, "Text1", "DSN=sales");
    click(frm, "cmdExecuteSQL");
    EXPECT_FALSE(enabled(frm, "cmdExecuteSQL"));
    GridViewerWindow* form15 = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            form15 = viewers().loaded(ViewerForm::Form15);
            return form15 && viewers().visible(ViewerForm::Form15);
        },
        kPatienceMs));
    EXPECT_EQ(server.messages().at(1), "sqDSN=sales,select * from orders^~*");
    EXPECT_EQ(form15->windowTitle(), "Remote Query");
    EXPECT_EQ(form15->viewer().source().rowCount(), 2);
    EXPECT_TRUE(hiddenPart(*form15, *frm).isEmpty()) << "the result opens behind the query window";
    EXPECT_TRUE(enabled(frm, "cmdExecuteSQL"));

    // The next result replaces Temp under the grid, which shows it rather than the old
    // table's recordset, closed with it.
    server.replies.push_back({"okCustomer^~*200^~*20^~*endOfFieldNames^~*Cecilia^~*endOfRow^~*"
                              "endOfData^~*"});
    click(frm, "cmdExecuteSQL");
    // The grid shows the new result (in the Form15 loaded now) with no error.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            form15 = viewers().loaded(ViewerForm::Form15);
            return enabled(frm, "cmdExecuteSQL") && server.messages().size() == 3 && form15 &&
                   viewers().visible(ViewerForm::Form15) &&
                   form15->viewer().source().rowCount() == 1;
        },
        kPatienceMs));
    GridViewer& grid = form15->viewer();
    grid.fetch(0, 0);
    ASSERT_NE(grid.source().row(0), nullptr);
    EXPECT_EQ(grid.source().row(0)->values.at(0), Value::text("Cecilia"));
    EXPECT_EQ(scripted.prompter.messages().size(), 1u); // no error from the closed one

    // The server closed the connection after the result, so closing sends nothing more.
    frm->close();
    EXPECT_EQ(text(frm, "txtSQLStatement"),
              "select * from orders\n\nZaredAzirozi, your connection has been terminated.");
    QTest::qWait(100);
    EXPECT_EQ(server.messages().size(), 3u);
}

TEST_F(RemoteQueryWindowTest, ThePasswordBoxShowsOneStarPerCharacter) {
    Form14 login;
    login.show();
    auto* box = login.findChild<QLineEdit*>("Text2");
    QTest::keyClicks(box, "ab");
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, "c");
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier); // a control character is dropped
    EXPECT_EQ(box->text(), "**");
    box->insert("pasted");
    EXPECT_EQ(box->text(), "**");
    whenModalShows(login, [&](QWidget&) {
        QTest::keyClicks(login.findChild<QLineEdit*>("Text1"), "ann");
        QTest::keyClicks(box, "xy");
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Return);
    });
    std::optional<LoginAnswer> answer = login.ask();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->name, "ann");
    EXPECT_EQ(answer->password, "x");

    whenModalShows(login, [&](QWidget&) { login.reject(); }); // closing the window is Cancel
    EXPECT_FALSE(login.ask());
}

// Not a test: a query server on the program's port, to try remote queries by hand
// without a server of one's own (the README tells how). It acts as a real server: a
// login on the first connection of a session, none on Execute's reconnections.
//   VARNOKE_SERVE_SECONDS=300 build/tests/queries_gui_tests --gtest_also_run_disabled_tests
//       --gtest_filter='*ServeOnTheProgramPort*'
TEST(RemoteQueryServer, DISABLED_ServeOnTheProgramPort) {
    FakeQueryServer server(FakeQueryServer::Mode::Normal, 61234);
    ASSERT_EQ(server.port(), 61234);
    server.sessions = true;
    for (int i = 0; i < 100; ++i)
        server.replies.push_back({kOrders});
    const int seconds = qEnvironmentVariableIntValue("VARNOKE_SERVE_SECONDS");
    QTest::qWait((seconds > 0 ? seconds : 60) * 1000);
    std::cout << "received: " << server.received() << "\n";
}

} // namespace
