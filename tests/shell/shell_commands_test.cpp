// The main window's commands over a copy of the working database: the File menu's
// states, the table list, Save TABLE As, the exit clean-up, the note switches and the
// refusals during a run.
#include "engine/sql_name.h"
#include "shell/exit_cleanup.h"
#include "shell/info_notes.h"
#include "shell/shell_commands.h"

#include "shell_fakes.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

#include "value/convert.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace varnoke;

namespace {

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.copyWorkDb();
        state.workDbPath = path;
        state.workDb = Engine::instance().openDatabase(path, false, false, ";UID=Admin;PWD=x");
        auto compareFake = std::make_unique<test::FakeCompare>();
        compare = compareFake.get();
        hub.compare = std::move(compareFake);
        auto viewerFake = std::make_unique<test::FakeViewers>();
        viewers = viewerFake.get();
        hub.viewers = std::move(viewerFake);
    }
    void TearDown() override {
        if (state.workDb.isOpen()) state.workDb.close();
    }

    void makeTable(const std::string& name) {
        state.workDb.execute("CREATE TABLE " + bracketName(name) +
                             " (Name TEXT(40), Amount DOUBLE)");
        state.workDb.execute("INSERT INTO " + bracketName(name) +
                             " (Name, Amount) VALUES ('x', 1)");
    }
    long rowCount(const std::string& table) {
        return state.workDb.openRecordset(table, RecordsetType::Dynaset).recordCount();
    }
    std::vector<std::string> tableNames() {
        std::vector<std::string> names;
        TableDefs tables = state.workDb.tableDefs();
        tables.refresh();
        for (const TableDef& t : tables)
            names.push_back(t.name());
        return names;
    }
    bool hasTable(const std::string& name) {
        for (const auto& n : tableNames())
            if (n == name) return true;
        return false;
    }

    test::TempDir dir;
    std::string path;
    SharedState state;
    test::ScriptedPlatform scripted;
    WindowHub hub;
    test::FakeCompare* compare = nullptr;
    test::FakeViewers* viewers = nullptr;
    test::FakeMenus menus;
    test::FakeTableList tableList;
    ShellCommands commands{state, scripted.platform(), hub, menus, tableList};
};

} // namespace

// --- the File menu ---------------------------------------------------------------

TEST_F(Shell, WithOnlyProgramTablesOpenAndDeleteStayOff) {
    // The shipped AddedOr passes the name filter; without it only program tables remain.
    state.workDb.execute("DROP TABLE AddedOr");
    state.currentTable = "old";
    commands.menuFile_Click();
    EXPECT_FALSE(menus.menuEnabled(menu::FileOpenTable));
    EXPECT_FALSE(menus.menuEnabled(menu::FileDeleteTable));
    EXPECT_FALSE(menus.menuEnabled(menu::FileSaveTableAs));
    EXPECT_TRUE(menus.menuEnabled(menu::FileCompare));
    EXPECT_EQ(state.currentTable, "") << "no user table and no table viewer";
    EXPECT_EQ(state.skipFormInit, "");
}

TEST_F(Shell, AUserTableTurnsOpenAndDeleteOn) {
    makeTable("AddedOr2");
    commands.menuFile_Click();
    EXPECT_TRUE(menus.menuEnabled(menu::FileOpenTable));
    EXPECT_TRUE(menus.menuEnabled(menu::FileDeleteTable));
}

TEST_F(Shell, SaveAsFollowsTheTableViewersAndCompareTheDialog) {
    viewers->viewers[Viewer::FileA].visible = true;
    compare->visible = true;
    commands.menuFile_Click();
    EXPECT_FALSE(menus.menuEnabled(menu::FileSaveTableAs)) << "File A is no table viewer";
    EXPECT_FALSE(menus.menuEnabled(menu::FileCompare));
    viewers->viewers[Viewer::RemoteQuery].visible = true;
    commands.menuFile_Click();
    EXPECT_TRUE(menus.menuEnabled(menu::FileSaveTableAs));
}

TEST_F(Shell, TheExportTableEntryFollowsTheTable) {
    commands.menuView_Click();
    EXPECT_TRUE(menus.menuEnabled(menu::ViewVarnokeExportTable));
    state.workDb.execute("DROP TABLE [Varnoke's Export TABLE]");
    commands.menuView_Click();
    EXPECT_FALSE(menus.menuEnabled(menu::ViewVarnokeExportTable));
}

TEST_F(Shell, ViewingTheExportTableBindsShowsAndAllowsSaving) {
    commands.menuViewVarnokeExportTable_Click();
    const auto& v = viewers->viewers[Viewer::ExportTable];
    EXPECT_TRUE(v.bound.isOpen());
    EXPECT_EQ(v.caption, "Varnoke's Export TABLE");
    EXPECT_EQ(v.gridCaption, "Varnoke's Export TABLE");
    EXPECT_EQ(v.shows, 1);
    EXPECT_EQ(state.currentTable, "Varnoke's Export TABLE");
    EXPECT_TRUE(menus.menuEnabled(menu::FileSaveTableAs));
}

TEST_F(Shell, AViewOfAMissingTableIsReportedNotShown) {
    scripted.prompter.answer(answer::Ok);
    commands.menuViewFileA_Click();
    EXPECT_EQ(viewers->viewers[Viewer::FileA].shows, 0);
    EXPECT_EQ(scripted.prompter.last().title, "Varnoke - Sorry...");
    EXPECT_EQ(scripted.prompter.last().text.rfind("Error:3078 ", 0), 0u);
}

TEST_F(Shell, QueriesSetTheModeFirst) {
    commands.menuQueriesDefineRemote_Click();
    EXPECT_EQ(state.queryMode, "define");
    commands.menuQueriesSelectLocal_Click();
    EXPECT_EQ(state.queryMode, "select");
}

// --- the table list ----------------------------------------------------------------

TEST_F(Shell, TheListHoldsOnlyUserTablesInNameOrder) {
    makeTable("zeta");
    makeTable("Alpha");
    commands.menuFileOpenTable_Click();
    EXPECT_EQ(tableList.names, (std::vector<std::string>{"AddedOr", "Alpha", "zeta"}));
    EXPECT_EQ(tableList.caption, "Varnoke - Open Table");
    EXPECT_EQ(tableList.labelText, "Double-click on a table name to open it:");
    EXPECT_FALSE(menus.menuEnabled(menu::FileOpenTable));
}

TEST_F(Shell, OpeningATableShowsItAndClosesTheList) {
    makeTable("Customers");
    commands.menuFileOpenTable_Click();
    commands.List1_DblClick("Customers");
    const auto& v = viewers->viewers[Viewer::OpenedTable];
    EXPECT_EQ(v.caption, "Table - Customers");
    EXPECT_EQ(v.tag, "Customers");
    EXPECT_EQ(v.gridCaption, "Customers");
    EXPECT_EQ(v.bound.recordCount(), 1);
    EXPECT_EQ(state.currentTable, "Customers");
    EXPECT_TRUE(menus.menuEnabled(menu::FileSaveTableAs));
    EXPECT_FALSE(tableList.shown);
}

TEST_F(Shell, DeletingAsksFirstAndNoKeepsEverything) {
    makeTable("Customers");
    commands.menuFileDeleteTable_Click();
    EXPECT_EQ(tableList.caption, "Varnoke - Delete Table");
    scripted.prompter.answer(answer::No);
    commands.List1_DblClick("Customers");
    const auto& asked = scripted.prompter.last();
    EXPECT_EQ(asked.text, "Delete this table: Customers?");
    EXPECT_EQ(asked.style, 292);
    EXPECT_EQ(asked.title, "Varnoke - Be careful");
    EXPECT_TRUE(hasTable("Customers"));
}

TEST_F(Shell, DeletingTheShownTableClosesItsViewerAndKeepsOthers) {
    makeTable("Customers");
    makeTable("Orders");
    commands.menuFileOpenTable_Click();
    commands.List1_DblClick("Customers");
    viewers->viewers[Viewer::FileA].visible = true;
    state.workDb.execute("CREATE TABLE Table1 (F TEXT(10))");
    commands.menuFileDeleteTable_Click();

    scripted.prompter.answer(answer::Yes);
    commands.List1_DblClick("Orders");
    EXPECT_FALSE(hasTable("Orders"));
    EXPECT_TRUE(viewers->viewers[Viewer::OpenedTable].visible) << "it shows another table";
    EXPECT_TRUE(state.rsOpenedTable.isOpen()) << "re-opened on its own table";
    EXPECT_EQ(viewers->viewers[Viewer::FileA].shows, 1) << "File A viewer re-opened";
    EXPECT_EQ(tableList.names, (std::vector<std::string>{"AddedOr", "Customers"}));
    EXPECT_TRUE(tableList.shown) << "delete mode keeps the list open";

    scripted.prompter.answer(answer::Yes);
    commands.List1_DblClick("Customers");
    EXPECT_FALSE(viewers->viewers[Viewer::OpenedTable].visible);
    EXPECT_EQ(state.skipFormInit, "");
}

TEST_F(Shell, DeletingTheLastUserTableClosesTheList) {
    state.workDb.execute("DROP TABLE AddedOr");
    makeTable("Only");
    commands.menuFileDeleteTable_Click();
    scripted.prompter.answer(answer::Yes);
    commands.List1_DblClick("Only");
    EXPECT_TRUE(tableList.names.empty());
    EXPECT_FALSE(tableList.shown);
}

// --- Save TABLE As -----------------------------------------------------------------

TEST_F(Shell, SaveAsCopiesFieldsWithTheirTypesAndSizesAndEveryRow) {
    state.workDb.execute("CREATE TABLE Source (Name TEXT(40), Qty LONG, Price DOUBLE, "
                         "Sold DATETIME, Paid BIT, Notes LONGTEXT, Code TEXT(5))");
    state.workDb.execute("INSERT INTO Source VALUES ('Ann', 3, 2.5, #3/1/2024#, True, 'n', 'A1')");
    state.workDb.execute(
        "INSERT INTO Source VALUES ('Bob', 4, 1.25, #3/2/2024#, False, Null, 'B2')");
    state.currentTable = "Source";
    state.activeViewer = "Form13";
    viewers->viewers[Viewer::OpenedTable].visible = true;
    scripted.prompter.type("Saved Copy");

    commands.menuFileSaveTableAs_Click();

    const auto& prompt = scripted.prompter.shown().front();
    EXPECT_EQ(prompt.text, "Please enter a name to save the table as:");
    EXPECT_EQ(prompt.title, "Source");
    TableDefs tables = state.workDb.tableDefs();
    tables.refresh();
    const TableDef& copy = tables.item("Saved Copy");
    const TableDef& source = tables.item("Source");
    ASSERT_EQ(copy.fieldCount(), source.fieldCount());
    for (int i = 0; i < copy.fieldCount(); ++i) {
        EXPECT_EQ(copy.fields()[i].name(), source.fields()[i].name());
        EXPECT_EQ(copy.fields()[i].type(), source.fields()[i].type()) << copy.fields()[i].name();
        EXPECT_EQ(copy.fields()[i].size(), source.fields()[i].size()) << copy.fields()[i].name();
    }
    EXPECT_EQ(copy.field("Code").size(), 5);
    Recordset rows = state.workDb.openRecordset("Saved Copy", RecordsetType::Dynaset);
    ASSERT_EQ(rows.recordCount(), 2);
    rows.moveLast();
    EXPECT_EQ(textOf(rows.value("Name")), "Bob");
    EXPECT_DOUBLE_EQ(numberOf(rows.value("Price")), 1.25);
    EXPECT_TRUE(rows.value("Notes").isNull());

    const auto& v = viewers->viewers[Viewer::OpenedTable];
    EXPECT_EQ(v.caption, "Table - Saved Copy");
    EXPECT_EQ(v.tag, "Saved Copy");
    EXPECT_EQ(v.gridCaption, "Saved Copy");
    EXPECT_EQ(v.refreshes, 1);
    EXPECT_EQ(state.currentTable, "Saved Copy");
    EXPECT_TRUE(menus.menuEnabled(menu::FileDeleteTable));
    EXPECT_EQ(state.bulkWriteOn, "");
}

TEST_F(Shell, ARemoteResultIsSavedFromTemp) {
    state.workDb.execute("INSERT INTO Temp (Field1) VALUES ('r1')");
    state.currentTable = "SQL Results";
    state.activeViewer = "Form15";
    scripted.prompter.type("Results");
    commands.menuFileSaveTableAs_Click();
    EXPECT_EQ(rowCount("Results"), 1);
    EXPECT_EQ(viewers->viewers[Viewer::RemoteQuery].caption, "Table - Results");
}

TEST_F(Shell, ATakenNameInAnyCaseIsAClashAndNothingIsOverwritten) {
    state.currentTable = "Varnoke's Export TABLE";
    state.activeViewer = "Form11";
    const auto before = tableNames();
    scripted.prompter.type("TEMP").answer(answer::Yes).type("msysquerydefs").answer(answer::No);
    commands.menuFileSaveTableAs_Click();

    const auto messages = scripted.prompter.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "This table called (TEMP) is already in the database.  Would you like "
                           "to overwrite this table?");
    EXPECT_EQ(messages[1], "This table called (msysquerydefs) is already in the database.  Would "
                           "you like to overwrite this table?");
    EXPECT_EQ(scripted.prompter.last().style, 36);
    EXPECT_EQ(scripted.prompter.last().title, "Varnoke - It's your choice...");
    EXPECT_TRUE(state.tableNameClash);
    EXPECT_EQ(tableNames(), before) << "no table was added or replaced";
    EXPECT_EQ(viewers->viewers[Viewer::ExportTable].shows, 0);
}

TEST_F(Shell, YesAsksAgainAndAFreeNameIsSaved) {
    state.currentTable = "Temp";
    scripted.prompter.type("Settings").answer(answer::Yes).type("Fresh");
    commands.menuFileSaveTableAs_Click();
    EXPECT_FALSE(state.tableNameClash);
    EXPECT_TRUE(hasTable("Fresh"));
}

TEST_F(Shell, CancelOrABadNameSavesNothing) {
    state.currentTable = "Temp";
    const auto before = tableNames();
    scripted.prompter.type("");
    commands.menuFileSaveTableAs_Click();
    scripted.prompter.type("a.b").answer(answer::Ok);
    commands.menuFileSaveTableAs_Click();
    EXPECT_EQ(scripted.prompter.last().text,
              "A table name cannot hold the characters . ! ` [ ] or control characters.");
    EXPECT_EQ(tableNames(), before);
}

// --- refusals during a run --------------------------------------------------------

TEST_F(Shell, TableCommandsAreRefusedWhileARunIsGoing) {
    makeTable("Customers");
    state.runInProgress = true;
    scripted.prompter.answer(answer::Ok).answer(answer::Ok).answer(answer::Ok);
    commands.menuFileOpenTable_Click();
    commands.menuFileSaveTableAs_Click();
    tableList.labelText = std::string(kDeleteTableLabel);
    commands.List1_DblClick("Customers");
    EXPECT_EQ(scripted.prompter.messages(),
              std::vector<std::string>(3, "Varnoke is processing the files.  Press Stop and "
                                          "wait for the run to end first."));
    EXPECT_FALSE(tableList.shown);
    EXPECT_TRUE(hasTable("Customers"));
}

// --- exit --------------------------------------------------------------------------

TEST_F(Shell, ExitEmptiesExactlyTheProgramsWorkingTables) {
    for (const char* t : {"Table1", "Table2", "Exported Data", "1A", "2A", "3A"})
        state.workDb.execute("CREATE TABLE " + bracketName(t) + " (F TEXT(10))");
    for (const char* t : {"Table1", "Table2", "Exported Data", "1A", "2A", "3A",
                          "Varnoke's Export TABLE", "Temp", "AddedOr"})
        state.workDb.execute("INSERT INTO " + bracketName(t) + " VALUES ('v')");
    state.workDb.execute("INSERT INTO SSysCriteria (If_This) VALUES ('Name')");
    state.workDb.execute("INSERT INTO ConnectStr VALUES ('q', 'DSN=x;PWD=secret')");
    state.workDb.execute(
        "INSERT INTO MSysQueryDefs (Name, SQL) VALUES ('Q1', 'select * from Temp')");
    makeTable("My Saved Table");
    makeTable("settings copy");
    state.rsFileA = state.workDb.openRecordset("Table1", RecordsetType::Dynaset);

    const auto emptied = exitCleanup(state, scripted.prompter);

    // The transient tables are dropped, not emptied.
    EXPECT_EQ(emptied.size(), 8u);
    EXPECT_EQ(scripted.prompter.messages(), std::vector<std::string>{});
    EXPECT_FALSE(state.workDb.isOpen());
    EXPECT_FALSE(state.rsFileA.isOpen());
    state.workDb = Engine::instance().openDatabase(path);
    for (const char* t : {"Table1", "Table2", "Exported Data", "Varnoke's Export TABLE", "Temp",
                          "AddedOr", "SSysCriteria", "ConnectStr"})
        EXPECT_EQ(rowCount(t), 0) << t;
    for (const char* t : {"1A", "2A", "3A"})
        EXPECT_FALSE(state.workDb.tableDefs().contains(t)) << t;
    EXPECT_EQ(rowCount("Settings"), 4);
    EXPECT_EQ(rowCount("SampleConnStr"), 4);
    EXPECT_EQ(rowCount("MSysQueryDefs"), 1);
    EXPECT_EQ(rowCount("My Saved Table"), 1);
    EXPECT_EQ(rowCount("settings copy"), 1);
}

TEST_F(Shell, ExitGivesBackTheRoomOfTheEmptiedRows) {
    state.workDb.execute("CREATE TABLE Table1 (F TEXT(200))");
    state.workDb.execute("INSERT INTO Table1 VALUES ('" + std::string(200, 'x') + "')");
    for (int i = 0; i < 13; ++i)
        state.workDb.execute("INSERT INTO Table1 SELECT * FROM Table1");
    state.workDb.flush();
    const auto full = std::filesystem::file_size(path);
    ASSERT_GT(full, 1'500'000u);
    exitCleanup(state, scripted.prompter);
    EXPECT_LT(std::filesystem::file_size(path), full / 10);
    state.workDb = Engine::instance().openDatabase(path);
    EXPECT_EQ(rowCount("Table1"), 0);
    EXPECT_EQ(rowCount("Settings"), 4);
}

TEST_F(Shell, ExitWithNothingEverOpenedStillCloses) {
    EXPECT_NO_THROW(exitCleanup(state, scripted.prompter));
    EXPECT_FALSE(state.workDb.isOpen());
}

// --- the info notes' switches -----------------------------------------------------

TEST_F(Shell, ANoteSwitchedOffStaysOffAfterReopening) {
    EXPECT_TRUE(noteWanted(state.workDb, InfoNote::ExportFile));
    setNoteWanted(state.workDb, InfoNote::ExportFile, false);
    state.workDb.close();
    state.workDb = Engine::instance().openDatabase(path);
    EXPECT_FALSE(noteWanted(state.workDb, InfoNote::ExportFile));
    EXPECT_TRUE(noteWanted(state.workDb, InfoNote::Pairing)) << "row 3 untouched";
    EXPECT_TRUE(noteWanted(state.workDb, InfoNote::Remote));
    Recordset settings = state.workDb.openRecordset("Settings", RecordsetType::Table);
    settings.moveFirst();
    settings.move(1);
    EXPECT_EQ(settings.value("showAgain"), Value::boolean(true)) << "row 2 is never written";
}

TEST_F(Shell, TickingTheBoxAgainSwitchesTheNoteBackOn) {
    setNoteWanted(state.workDb, InfoNote::Remote, false);
    setNoteWanted(state.workDb, InfoNote::Remote, true);
    EXPECT_TRUE(noteWanted(state.workDb, InfoNote::Remote));
}

TEST_F(Shell, ANoteWhoseRowIsMissingShows) {
    state.workDb.execute("DELETE FROM Settings WHERE Note = 'Remote queries'");
    EXPECT_TRUE(noteWanted(state.workDb, InfoNote::Remote));
    EXPECT_NO_THROW(setNoteWanted(state.workDb, InfoNote::Remote, false));
}
