// Execute in the local query window while a Process run works on the tables.
#include "queries/local_queries.h"
#include "shell/run_guard.h"
#include "support/scripted_platform.h"
#include "support/viewers_tables.h"
#include "viewers/grid_viewer.h"

#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

namespace {

class CountingResults : public LocalQueryResults {
public:
    int shown = 0;
    void showLocalQueryResult(const Recordset&, std::string_view, std::string_view) override {
        ++shown;
    }
};

struct Statement {
    const char* name;
    const char* sql;
    // What the statement does once no run is going.
    long rowsAfter;
    int shownAfter;
    bool copyAfter;
};

class ExecuteDuringRun : public ::testing::TestWithParam<Statement> {
protected:
    ViewerDb data;
    SharedState state;
    ScriptedPlatform platform;
    CountingResults results;
    LocalQueries window{state, platform.prompter, platform.settings, results};

    ExecuteDuringRun() {
        state.workDbPath = data.db.name();
        state.workDb = data.db;
        state.queryMode = "define";
    }
    bool hasCopy() {
        TableDefs tables = data.db.tableDefs();
        tables.refresh();
        return tables.contains("Copy1");
    }
};

} // namespace

// Deleted File A records mid-run once, and the run still ended "Processing complete.".
TEST_P(ExecuteDuringRun, IsRefusedAndTheTablesStayAsTheRunLeftThem) {
    ASSERT_TRUE(window.formLoad());
    window.setText(GetParam().sql);
    state.runInProgress = true;
    platform.prompter.answer(answer::Ok);
    window.cmdExecuteSQL_Click();
    EXPECT_EQ(platform.prompter.messages(), std::vector<std::string>{std::string(kRunBusyMessage)});
    EXPECT_EQ(platform.prompter.last().title, kRunBusyTitle);
    EXPECT_EQ(data.count("Table1"), 5);
    EXPECT_EQ(results.shown, 0);
    EXPECT_FALSE(hasCopy());

    // Once the run has ended the same statement runs.
    state.runInProgress = false;
    window.cmdExecuteSQL_Click();
    EXPECT_EQ(platform.prompter.messages().size(), 1u);
    EXPECT_EQ(data.count("Table1"), GetParam().rowsAfter);
    EXPECT_EQ(results.shown, GetParam().shownAfter);
    EXPECT_EQ(hasCopy(), GetParam().copyAfter);
}

INSTANTIATE_TEST_SUITE_P(
    LocalQueries, ExecuteDuringRun,
    ::testing::Values(Statement{"Delete", "DELETE FROM Table1 WHERE ID > 2", 2, 0, false},
                      Statement{"SelectInto", "SELECT * INTO Copy1 FROM Table1", 5, 0, true},
                      Statement{"RowReturning", "SELECT * FROM Table1", 5, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A result shown before the run started is a grid over the run's own rows.
TEST(LocalQueryResultDuringRun, IsReadOnlyUntilTheRunEnds) {
    ViewerDb data;
    SharedState state;
    ScriptedPrompter prompter;
    GridViewer result(ViewerForm::Form12, state, prompter);
    result.bind(data.open("SELECT * FROM Table1"));
    state.runInProgress = true;
    EXPECT_FALSE(result.canEdit());
    prompter.answer(answer::Ok);
    EXPECT_FALSE(result.deleteRow(0));
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{std::string(kRunBusyMessage)});
    EXPECT_EQ(data.count("Table1"), 5);
    state.runInProgress = false;
    EXPECT_TRUE(result.canEdit());
}
