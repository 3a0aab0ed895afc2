#include "queries/local_queries.h"
#include "support/scripted_platform.h"
#include "support/viewers_tables.h"

#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

namespace {

using Names = std::vector<std::string>;

constexpr int kYesNoQuestion = 36;
constexpr int kYesNoQuestionNo = 292;

struct Shown {
    Recordset rs;
    std::string name;
    std::string statement;
};

class RecordingResults : public LocalQueryResults {
public:
    std::vector<Shown> shown;
    void showLocalQueryResult(const Recordset& rs, std::string_view queryName,
                              std::string_view statement) override {
        shown.push_back({rs, std::string(queryName), std::string(statement)});
    }
};

class LocalQueriesTest : public ::testing::Test {
protected:
    ViewerDb data;
    SharedState state;
    ScriptedPlatform platform;
    RecordingResults results;
    LocalQueries window{state, platform.prompter, platform.settings, results};

    LocalQueriesTest() {
        state.workDbPath = data.db.name();
        state.workDb = data.db;
    }

    void saveQuery(const std::string& name, const std::string& sql) {
        data.db.createQueryDef(name, sql);
    }
    void open(const std::string& mode) {
        state.queryMode = mode;
        ASSERT_TRUE(window.formLoad());
        window.activate();
    }
    Names savedNames() {
        Names out;
        for (const QueryDef& def : data.db.queryDefs())
            out.push_back(def.name());
        return out;
    }
    std::string savedSql(const std::string& name) { return data.db.queryDefs().item(name).sql(); }
    void select(const std::string& name) {
        const auto& e = window.entries();
        const auto it = std::find(e.begin(), e.end(), name);
        ASSERT_NE(it, e.end()) << name;
        window.selectEntry(static_cast<int>(it - e.begin()));
    }
};

// --- the list

TEST_F(LocalQueriesTest, SelectModeListsSavedQueriesButNotTheEnginesOwn) {
    saveQuery("Rich", "SELECT * FROM Table1 WHERE Amount > 200");
    saveQuery("~sq_hidden", "SELECT * FROM Table1");
    saveQuery("All", "SELECT * FROM Table1");
    open("select");
    EXPECT_EQ(window.entries(), (Names{"All", "Rich"}));
    EXPECT_EQ(window.listIndex(), -1);
    EXPECT_TRUE(window.removeEnabled());
    EXPECT_EQ(window.activate(), QueryFocus::List);
}

TEST_F(LocalQueriesTest, DefineModeKeepsTheListEmptyAndDeleteDisabled) {
    saveQuery("Rich", "SELECT * FROM Table1");
    open("define");
    EXPECT_TRUE(window.entries().empty());
    EXPECT_FALSE(window.removeEnabled());
    EXPECT_EQ(window.activate(), QueryFocus::Text);
}

TEST_F(LocalQueriesTest, SelectingAnEntryShowsItsSqlAndTheTextEnablesTheButtons) {
    saveQuery("Rich", "SELECT * FROM Table1 WHERE Amount > 200");
    open("select");
    EXPECT_FALSE(window.executeEnabled());
    select("Rich");
    EXPECT_EQ(window.text(), "SELECT * FROM Table1 WHERE Amount > 200");
    EXPECT_TRUE(window.executeEnabled());
    EXPECT_TRUE(window.saveEnabled());
    EXPECT_TRUE(window.clearEnabled());
    window.clearSql();
    EXPECT_EQ(window.text(), "");
    EXPECT_FALSE(window.executeEnabled());
    EXPECT_FALSE(window.saveEnabled());
    EXPECT_FALSE(window.clearEnabled());
}

TEST_F(LocalQueriesTest, AnEntryDeletedElsewhereIsReportedOnSelection) {
    saveQuery("Rich", "SELECT * FROM Table1");
    open("select");
    data.db.queryDefs().remove("Rich");
    platform.prompter.answer(answer::Ok);
    window.selectEntry(0);
    EXPECT_EQ(platform.prompter.messages(), (Names{"Item not found in this collection."}));
    EXPECT_EQ(window.text(), "");
}

// --- Save

TEST_F(LocalQueriesTest, SaveAsksForANameAndStoresTheText) {
    open("select");
    window.setText("SELECT Name FROM Table1");
    platform.prompter.type("Names").answer(answer::No);
    window.cmdSaveQueryDef_Click();

    const auto& shown = platform.prompter.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Enter New Query Name:");
    EXPECT_EQ(shown[1].text, "Is this a SQLPassThrough QueryDef?");
    EXPECT_EQ(shown[1].style, kYesNoQuestionNo);
    EXPECT_EQ(savedSql("Names"), "SELECT Name FROM Table1");
    EXPECT_EQ(window.entries(), (Names{"Names"}));
}

TEST_F(LocalQueriesTest, SaveInDefineModeDoesNotListTheNewQuery) {
    open("define");
    window.setText("SELECT Name FROM Table1");
    platform.prompter.type("Names").answer(answer::No);
    window.cmdSaveQueryDef_Click();
    EXPECT_EQ(savedNames(), (Names{"Names"}));
    EXPECT_TRUE(window.entries().empty());
}

TEST_F(LocalQueriesTest, CancellingTheNameSavesNothing) {
    open("select");
    window.setText("SELECT Name FROM Table1");
    platform.prompter.type("");
    window.cmdSaveQueryDef_Click();
    EXPECT_TRUE(savedNames().empty());
}

TEST_F(LocalQueriesTest, SaveOfASelectedQueryAsksToUpdateIt) {
    saveQuery("Rich", "SELECT * FROM Table1 WHERE Amount > 200");
    open("select");
    select("Rich");
    window.setText("SELECT * FROM Table1 WHERE Amount > 500");
    platform.prompter.answer(answer::Yes);
    window.cmdSaveQueryDef_Click();

    EXPECT_EQ(platform.prompter.last().text, "Update 'Rich'?");
    EXPECT_EQ(platform.prompter.last().style, kYesNoQuestion);
    EXPECT_EQ(platform.prompter.shown().size(), 1u);
    EXPECT_EQ(savedSql("Rich"), "SELECT * FROM Table1 WHERE Amount > 500");
    EXPECT_EQ(window.listText(), "Rich");
}

TEST_F(LocalQueriesTest, NoToTheUpdateSavesASecondQueryAndKeepsTheFirst) {
    saveQuery("Rich", "SELECT * FROM Table1 WHERE Amount > 200");
    open("select");
    select("Rich");
    window.setText("SELECT * FROM Table1 WHERE Amount > 500");
    platform.prompter.answer(answer::No).type("Richer").answer(answer::No);
    window.cmdSaveQueryDef_Click();
    EXPECT_EQ(savedSql("Rich"), "SELECT * FROM Table1 WHERE Amount > 200");
    EXPECT_EQ(savedSql("Richer"), "SELECT * FROM Table1 WHERE Amount > 500");
    EXPECT_EQ(window.entries(), (Names{"Rich", "Richer"}));
}

TEST_F(LocalQueriesTest, APassThroughQueryKeepsItsConnectString) {
    open("select");
    window.setText("select top 5 * from orders");
    platform.prompter.type("Remote").answer(answer::Yes).type("ODBC;DSN=Sales").answer(answer::No);
    window.cmdSaveQueryDef_Click();
    EXPECT_EQ(platform.prompter.last().text, "Is the Query Row Returning?");
    EXPECT_EQ(platform.prompter.last().style, kYesNoQuestion);
    const QueryDef def = data.db.queryDefs().item("Remote");
    EXPECT_EQ(def.connect(), "ODBC;DSN=Sales");
    EXPECT_EQ(def.sql(), "select top 5 * from orders");
}

TEST_F(LocalQueriesTest, ATakenNameIsReportedAndTheSavedQueryStays) {
    saveQuery("Rich", "SELECT * FROM Table1 WHERE Amount > 200");
    open("define");
    window.setText("SELECT Name FROM Table1");
    platform.prompter.type("Rich").answer(answer::Ok);
    window.cmdSaveQueryDef_Click();
    EXPECT_EQ(platform.prompter.messages(), (Names{"Object 'Rich' already exists."}));
    EXPECT_EQ(savedSql("Rich"), "SELECT * FROM Table1 WHERE Amount > 200");
}

TEST_F(LocalQueriesTest, ARefusedTextLeavesNoEmptyQueryBehind) {
    open("select");
    window.setText("SELEKT Name FROM Table1");
    platform.prompter.type("Broken").answer(answer::No).answer(answer::Ok);
    window.cmdSaveQueryDef_Click();
    ASSERT_EQ(platform.prompter.messages(),
              (Names{"Is this a SQLPassThrough QueryDef?",
                     "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', "
                     "'SELECT', or 'UPDATE'."}));
    EXPECT_EQ(platform.prompter.last().style, msgbox::OkOnly);
    EXPECT_EQ(platform.prompter.last().title, "Varnoke");
    EXPECT_TRUE(savedNames().empty());
    EXPECT_TRUE(window.entries().empty());
}

// --- Delete

TEST_F(LocalQueriesTest, DeleteAsksUnderItsOwnTitleAndNoKeepsTheQuery) {
    saveQuery("Rich", "SELECT * FROM Table1");
    open("select");
    select("Rich");
    platform.prompter.answer(answer::No);
    window.cmdRemoveQuery_Click();
    EXPECT_EQ(platform.prompter.last().text, "Delete this query: Rich?");
    EXPECT_EQ(platform.prompter.last().style, kYesNoQuestionNo);
    EXPECT_EQ(platform.prompter.last().title, "PL/WB - Be careful");
    EXPECT_EQ(savedNames(), (Names{"Rich"}));
}

TEST_F(LocalQueriesTest, DeleteWithoutASelectionAsksForOne) {
    saveQuery("Rich", "SELECT * FROM Table1");
    open("select");
    platform.prompter.answer(answer::Ok);
    window.cmdRemoveQuery_Click();
    EXPECT_EQ(platform.prompter.messages(),
              (Names{"Please select a query from the list box and hit Remove again."}));
    EXPECT_TRUE(window.removeEnabled());
}

struct DeleteCase {
    const char* label;
    Names saved;
    std::string deleted;
    Names left;
    std::string selectedAfter; // "" when the list is empty
};

class LocalQueryDeleteTest : public LocalQueriesTest,
                             public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(LocalQueryDeleteTest, TheNeighbourTakesTheSelection) {
    const DeleteCase& c = GetParam();
    for (const auto& name : c.saved)
        saveQuery(name, "SELECT * FROM Table1 WHERE Name = '" + name + "'");
    open("select");
    select(c.deleted);
    platform.prompter.answer(answer::Yes);
    window.cmdRemoveQuery_Click();

    EXPECT_EQ(savedNames(), c.left);
    EXPECT_EQ(window.entries(), c.left);
    EXPECT_EQ(window.listText(), c.selectedAfter);
    EXPECT_EQ(window.text(), c.selectedAfter.empty()
                                 ? "SELECT * FROM Table1 WHERE Name = '" + c.deleted + "'"
                                 : savedSql(c.selectedAfter));
    EXPECT_EQ(window.removeEnabled(), !c.left.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Positions, LocalQueryDeleteTest,
    ::testing::Values(DeleteCase{"First", {"A", "B", "C"}, "A", {"B", "C"}, "B"},
                      DeleteCase{"Middle", {"A", "B", "C"}, "B", {"A", "C"}, "C"},
                      DeleteCase{"Last", {"A", "B", "C"}, "C", {"A", "B"}, "B"},
                      DeleteCase{"Only", {"A"}, "A", {}, ""}),
    [](const auto& info) { return std::string(info.param.label); });

// --- Execute

TEST_F(LocalQueriesTest, ASelectOpensItsRowsForTheLocalQueryGrid) {
    open("define");
    window.setText("select Name from Table1 where Amount > 200");
    window.cmdExecuteSQL_Click();
    ASSERT_EQ(results.shown.size(), 1u);
    const Shown& s = results.shown[0];
    EXPECT_EQ(s.name, "");
    EXPECT_EQ(s.statement, "select Name from Table1 where Amount > 200");
    Recordset rs = s.rs;
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_TRUE(platform.prompter.shown().empty());
}

TEST_F(LocalQueriesTest, AStoredSelectRunsUnderItsName) {
    saveQuery("Rich", "SELECT * FROM Table1 WHERE Amount > 200");
    open("select");
    select("Rich");
    window.cmdExecuteSQL_Click();
    ASSERT_EQ(results.shown.size(), 1u);
    EXPECT_EQ(results.shown[0].name, "Rich");
}

TEST_F(LocalQueriesTest, EditedTextOfASelectedQueryRunsUnsavedAsATemporaryQuery) {
    saveQuery("Rich", "SELECT * FROM Table1 WHERE Amount > 200");
    open("select");
    select("Rich");
    window.setText("SELECT * FROM Table1 WHERE Amount > 900");
    window.cmdExecuteSQL_Click();
    ASSERT_EQ(results.shown.size(), 1u);
    EXPECT_EQ(results.shown[0].name, "");
    Recordset rs = results.shown[0].rs;
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(savedSql("Rich"), "SELECT * FROM Table1 WHERE Amount > 200");
}

TEST_F(LocalQueriesTest, AnUpdateIsExecutedAndChangesTheData) {
    open("define");
    window.setText("UPDATE Table1 SET Amount = 5 WHERE Name = 'Anna'");
    window.cmdExecuteSQL_Click();
    EXPECT_TRUE(results.shown.empty());
    EXPECT_TRUE(platform.prompter.shown().empty());
    EXPECT_EQ(data.column("Table1", "Amount"), (Names{"100", "5", "75", "1000", "0"}));
}

TEST_F(LocalQueriesTest, ASyntaxErrorIsReportedAndChangesNothing) {
    open("define");
    window.setText("UPDATE Table1 SET Amount = = 5");
    platform.prompter.answer(answer::Ok);
    window.cmdExecuteSQL_Click();
    ASSERT_EQ(platform.prompter.shown().size(), 1u);
    EXPECT_EQ(platform.prompter.last().style, msgbox::OkOnly);
    EXPECT_EQ(platform.prompter.last().title, "Varnoke");
    EXPECT_EQ(platform.prompter.last().text, "Syntax error in query expression '='.");
    EXPECT_TRUE(results.shown.empty());
    EXPECT_EQ(data.column("Table1", "Amount"), (Names{"100", "250.5", "75", "1000", "0"}));
}

TEST_F(LocalQueriesTest, ASelectIntoIsExecutedAndMakesItsTable) {
    open("define");
    window.setText("select * into Rich from Table1 where Amount > 200");
    window.cmdExecuteSQL_Click();
    EXPECT_TRUE(results.shown.empty());
    EXPECT_TRUE(platform.prompter.shown().empty());
    EXPECT_EQ(data.count("Rich"), 2);
}

TEST_F(LocalQueriesTest, ASelectAfterBlanksIsExecutedAndTheEngineRefusesIt) {
    open("define");
    window.setText("  SELECT * FROM Table1");
    platform.prompter.answer(answer::Ok);
    window.cmdExecuteSQL_Click();
    EXPECT_TRUE(results.shown.empty());
    EXPECT_EQ(platform.prompter.messages(), (Names{"Cannot execute a select query."}));
}

TEST_F(LocalQueriesTest, AStoredQueryAsksForEachParameterAndCancelRunsNothing) {
    saveQuery("Between",
              "UPDATE Table1 SET Amount = 1 WHERE Amount > [Lowest] AND Amount < [Highest]");
    open("select");
    select("Between");
    platform.prompter.type("50").type("");
    window.cmdExecuteSQL_Click();
    const auto& shown = platform.prompter.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Enter Value for Parameter 'Lowest':");
    EXPECT_EQ(shown[1].text, "Enter Value for Parameter 'Highest':");
    EXPECT_EQ(data.column("Table1", "Amount"), (Names{"100", "250.5", "75", "1000", "0"}));
}

TEST_F(LocalQueriesTest, AnsweredParametersAreUsed) {
    saveQuery("Between",
              "UPDATE Table1 SET Amount = 1 WHERE Amount > [Lowest] AND Amount < [Highest]");
    open("select");
    select("Between");
    platform.prompter.type("80").type("300");
    window.cmdExecuteSQL_Click();
    EXPECT_EQ(data.column("Table1", "Amount"), (Names{"1", "1", "75", "1000", "0"}));
}

// --- closing and sizes

TEST_F(LocalQueriesTest, ClosingWritesThePositionUnlessMinimised) {
    open("select");
    window.queryUnload(true, 300, 450);
    EXPECT_TRUE(platform.settings.values.empty());
    window.queryUnload(false, 1200, 2250);
    EXPECT_EQ(platform.settings.values,
              (std::map<std::string, std::string>{{"Varnoke/Settings/QueryLeft", "1200"},
                                                  {"Varnoke/Settings/QueryTop", "2250"}}));
}

TEST_F(LocalQueriesTest, LoadDoesNothingWhileAnotherWindowBindsThisOne) {
    saveQuery("Rich", "SELECT * FROM Table1");
    state.queryMode = "select";
    state.skipFormInit = "y";
    EXPECT_FALSE(window.formLoad());
    EXPECT_TRUE(window.entries().empty());
}

TEST(LocalQueryRules, RowsComeFromSelectsWithoutInto) {
    EXPECT_TRUE(returnsRows("SELECT * FROM Table1"));
    EXPECT_TRUE(returnsRows("sElEcT * FROM Table1"));
    EXPECT_FALSE(returnsRows(" SELECT * FROM Table1"));
    EXPECT_FALSE(returnsRows("select * into X from Table1"));
    EXPECT_TRUE(returnsRows("select * from Table1 where Name = 'x\ninto'"));
    EXPECT_FALSE(returnsRows("UPDATE Table1 SET Amount = 1"));
}

TEST(LocalQueryRules, TheWindowKeepsItsMinimumAndStretchesTheText) {
    const QueryWindowSize small = fitQueryWindow(4000, 3000);
    EXPECT_EQ(small.width, 5220);
    EXPECT_EQ(small.height, 3884);
    const QueryWindowSize big = fitQueryWindow(8000, 7000);
    EXPECT_EQ(big.textWidth, 7680);
    EXPECT_EQ(big.textHeight, 2630);
}

} // namespace
