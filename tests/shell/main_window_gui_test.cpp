// The main window as a user meets it: its menus, start-up over a copy of the working
// database, the info notes, the About box's links, the table list and the exit.
#include "shell/about_form.h"
#include "shell/info_note_form.h"
#include "shell/main_window.h"
#include "shell/table_list_form.h"

#include "support/modal_gui.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace varnoke;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.copyWorkDb("VARNOKER.MDB");
        window = std::make_unique<MDIForm1>(state, scripted.platform(), hub);
    }
    void TearDown() override {
        window.reset();
        if (state.workDb.isOpen()) state.workDb.close();
    }
    void start() { ASSERT_TRUE(window->openWorkingDatabase(dir.path())); }
    QAction* item(const char* name) { return window->findChild<QAction*>(name); }
    QMenu* menu(const char* name) { return window->menuBar()->findChild<QMenu*>(name); }
    long rowCount(const std::string& table) {
        return state.workDb.openRecordset(table, RecordsetType::Dynaset).recordCount();
    }
    // Runs action on the modal window that opens next.
    void whenModalOpens(std::function<void(QWidget*)> action) {
        test::whenModalShows(*window, [action](QWidget& modal) { action(&modal); });
    }

    test::TempDir dir;
    std::string path;
    SharedState state;
    test::ScriptedPlatform scripted;
    WindowHub hub;
    std::unique_ptr<MDIForm1> window;
};

struct MenuItemCase {
    const char* menu;
    const char* name;
    const char* caption;
    bool enabled;
};

class MenuItems : public MainWindow, public ::testing::WithParamInterface<MenuItemCase> {};

} // namespace

TEST_P(MenuItems, HaveTheirCaptionAndStartState) {
    QAction* action = item(GetParam().name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text().toStdString(), GetParam().caption);
    EXPECT_EQ(action->isEnabled(), GetParam().enabled);
    QMenu* owner = menu(GetParam().menu);
    ASSERT_NE(owner, nullptr);
    EXPECT_TRUE(owner->actions().contains(action));
}

INSTANTIATE_TEST_SUITE_P(
    MDIForm1, MenuItems,
    ::testing::Values(
        MenuItemCase{"menuFile", "menuFileCompare", "&Compare...", true},
        MenuItemCase{"menuFile", "menuFileOpenTable", "&Open Table...", false},
        MenuItemCase{"menuFile", "menuFileSaveTableAs", "&Save TABLE As...", false},
        MenuItemCase{"menuFile", "menuFileDeleteTable", "&Delete Table...", false},
        MenuItemCase{"menuFile", "menuExit", "E&xit", true},
        MenuItemCase{"menuView", "menuViewFileA", "File &A", false},
        MenuItemCase{"menuView", "menuViewFileB", "File &B", false},
        MenuItemCase{"menuView", "menuViewExportedData", "&Export File", false},
        MenuItemCase{"menuView", "menuViewVarnokeExportTable", "&Varnoke's Export TABLE", true},
        MenuItemCase{"menuQueries", "menuQueriesSelectLocal", "&Select and Run Local...", true},
        MenuItemCase{"menuQueries", "menuQueriesSelectRemote", "Select and Run &Remote...", true},
        MenuItemCase{"menuQueries", "menuQueriesDefineLocal", "&Define and Run Local...", true},
        MenuItemCase{"menuQueries", "menuQueriesDefineRemote", "&Define and Run Remote...", true},
        MenuItemCase{"menuHelp", "menuAbout", "&About Varnoke", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindow, MenusInOrderWithASeparatorBeforeExit) {
    QStringList titles;
    for (QAction* a : window->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&View", "&Queries", "&Help"}));
    const auto fileItems = menu("menuFile")->actions();
    ASSERT_EQ(fileItems.size(), 6);
    EXPECT_TRUE(fileItems[4]->isSeparator());
    EXPECT_EQ(fileItems[4]->objectName(), "spacer");
    EXPECT_EQ(window->windowTitle(), "Varnoke");
}

TEST_F(MainWindow, StartUpPlaysTheSplashAndOpensTheDatabaseFoundInAnyCase) {
    ASSERT_TRUE(window->MDIForm_Load(dir.path()));
    EXPECT_GE(scripted.clock.now, 7.0);
    EXPECT_EQ(state.workDbPath, path);
    EXPECT_TRUE(state.workDb.isOpen());
}

// A clock that lets the test act while the splash plays.
struct ActingClock : test::ManualClock {
    std::function<void(double)> onSleep;
    void sleep(double seconds) override {
        ManualClock::sleep(seconds);
        if (onSleep) onSleep(now);
    }
};

QWidget* splashWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "Form1") return w;
    return nullptr;
}

TEST_F(MainWindow, TheSplashIgnoresInputThenTheWindowShowsBeforeTheSearch) {
    ActingClock clock;
    Platform platform{scripted.prompter, scripted.files,  scripted.events,
                      scripted.settings, scripted.opener, clock};
    window = std::make_unique<MDIForm1>(state, platform, hub);
    bool pressed = false;
    bool shownAtTheEnd = false;
    clock.onSleep = [&](double now) {
        QWidget* splash = splashWindow();
        if (!pressed && now > 1.5) {
            pressed = true;
            ASSERT_NE(splash, nullptr);
            QTest::keyClick(splash, Qt::Key_Escape);
            QTest::mouseClick(splash->findChild<QWidget*>("Frame1"), Qt::LeftButton);
            splash->close();
        }
        if (now > 6.9 && now < 7.0) shownAtTheEnd = splash && splash->isVisible();
    };
    test::TempDir empty;
    bool windowShownAtPrompt = false;
    bool splashGoneAtPrompt = false;
    scripted.prompter.onShow = [&](const test::ShownPrompt&) {
        windowShownAtPrompt = window->isVisible();
        QWidget* splash = splashWindow();
        splashGoneAtPrompt = !splash || !splash->isVisible();
    };
    scripted.prompter.answer(answer::Cancel).answer(answer::Ok);
    EXPECT_FALSE(window->MDIForm_Load(empty.path()));
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(shownAtTheEnd) << "a key, a click or the close box ended the splash early";
    EXPECT_GE(clock.now, 7.0);
    EXPECT_TRUE(windowShownAtPrompt);
    EXPECT_TRUE(splashGoneAtPrompt);
    EXPECT_EQ(scripted.prompter.messages()[0], "Please find and open the database: varnoker.mdb");
}

TEST_F(MainWindow, TheFileMenuRecomputesAsItDropsDown) {
    start();
    state.workDb.execute("CREATE TABLE Customers (Name TEXT(20))");
    emit menu("menuFile")->aboutToShow();
    EXPECT_TRUE(item("menuFileOpenTable")->isEnabled());
    EXPECT_TRUE(item("menuFileDeleteTable")->isEnabled());
    EXPECT_FALSE(item("menuFileSaveTableAs")->isEnabled());
    window->setMenuEnabled("menuView", false);
    EXPECT_FALSE(window->menuEnabled("menuView"));
    EXPECT_FALSE(menu("menuView")->menuAction()->isEnabled());
}

TEST_F(MainWindow, TheTableListOpensATableOnDoubleClick) {
    start();
    state.workDb.execute("CREATE TABLE Customers (Name TEXT(20))");
    item("menuFileOpenTable")->setEnabled(true);
    item("menuFileOpenTable")->trigger();
    Form3& list = window->tableList();
    ASSERT_TRUE(list.isVisible());
    EXPECT_EQ(list.windowTitle(), "Varnoke - Open Table");
    QListWidget* list1 = list.findChild<QListWidget*>("List1");
    ASSERT_EQ(list1->count(), 2); // AddedOr, Customers
    QListWidgetItem* customers = list1->item(1);
    EXPECT_EQ(customers->text(), "Customers");
    const QPoint where = list1->visualItemRect(customers).center();
    QTest::mouseClick(list1->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(list1->viewport(), Qt::LeftButton, {}, where);
    EXPECT_EQ(state.currentTable, "Customers");
    EXPECT_TRUE(state.rsOpenedTable.isOpen());
    EXPECT_FALSE(list.isVisible());
}

TEST_F(MainWindow, ANoteSwitchedOffStaysOffAfterARestart) {
    start();
    whenModalOpens([](QWidget* note) {
        EXPECT_EQ(note->objectName(), "Form7");
        EXPECT_EQ(note->windowTitle(), "Varnoke - Info");
        EXPECT_EQ(note->findChild<QPlainTextEdit*>("Text1")->toPlainText(), "About pairing.");
        auto* check = note->findChild<QCheckBox*>("Check1");
        EXPECT_EQ(check->text(), "Show this message again.");
        EXPECT_TRUE(check->isChecked());
        QTest::mouseClick(check, Qt::LeftButton);
        auto* ok = note->findChild<QPushButton*>("Command1");
        EXPECT_EQ(ok->text(), "&OK");
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    window->showInfoNote(InfoNote::Pairing, "About pairing.");

    // A restart: the database is closed and found and opened again.
    window.reset();
    state.workDb.close();
    state.workDb = Database();
    window = std::make_unique<MDIForm1>(state, scripted.platform(), hub);
    start();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = true;
            modal->close();
        }
    });
    window->showInfoNote(InfoNote::Pairing, "About pairing.");
    QApplication::processEvents();
    EXPECT_FALSE(shown);

    whenModalOpens([](QWidget* note) {
        EXPECT_EQ(note->objectName(), "Form5");
        QTest::mouseClick(note->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    });
    window->showInfoNote(InfoNote::ExportFile, "The export note still shows.");
}

TEST_F(MainWindow, AboutLinksOpenTheShopAndAMailToTheSupport) {
    start();
    item("menuAbout")->trigger();
    Form2& about = window->aboutBox();
    ASSERT_TRUE(about.isVisible());
    EXPECT_EQ(about.windowTitle(), "About Varnoke");
    EXPECT_EQ(about.lblURL()->colour(), QColor(0, 0x80, 0x80));
    QTest::mouseClick(about.lblURL(), Qt::LeftButton);
    QTest::mouseClick(about.label6(), Qt::LeftButton);
    EXPECT_EQ(scripted.opener.opened,
              (std::vector<std::string>{"https://varnoke.example.org",
                                        "Mailto:support@varnoke.example.org"}));

    // Pressed on the link, released after leaving it: nothing opens.
    QTest::mousePress(about.label6(), Qt::LeftButton);
    QTest::mouseRelease(about.label6(), Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_EQ(scripted.opener.opened.size(), 2u);

    QTest::mouseClick(about.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(MainWindow, ExitIsRefusedDuringARunAndCleansUpAfterwards) {
    start();
    state.workDb.execute("INSERT INTO Temp (Field1) VALUES ('r')");
    state.workDb.execute("CREATE TABLE Mine (F TEXT(5))");
    state.workDb.execute("INSERT INTO Mine VALUES ('keep')");
    window->show();
    state.runInProgress = true;
    scripted.prompter.answer(answer::Ok);
    item("menuExit")->trigger();
    EXPECT_EQ(scripted.prompter.last().text,
              "Varnoke is processing the files.  Press Stop and wait for the run to end first.");
    EXPECT_FALSE(window->cleanedUp());
    EXPECT_TRUE(state.workDb.isOpen());

    state.runInProgress = false;
    item("menuExit")->trigger();
    EXPECT_TRUE(window->cleanedUp());
    EXPECT_FALSE(state.workDb.isOpen());
    state.workDb = Engine::instance().openDatabase(path);
    EXPECT_EQ(rowCount("Temp"), 0);
    EXPECT_EQ(rowCount("Mine"), 1);
    EXPECT_EQ(rowCount("Settings"), 4);
}
