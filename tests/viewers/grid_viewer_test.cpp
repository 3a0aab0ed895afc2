#include "viewers/grid_viewer.h"

#include "shell/run_guard.h"
#include "support/scripted_platform.h"
#include "support/viewers_tables.h"
#include "viewers/viewer_texts.h"

#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

namespace {

// Records what the logic asks of its window.
struct RecordingView : GridViewerView {
    int resets = 0;
    int beeps = 0;
    int busyOn = 0;
    bool busy = false;
    std::vector<std::string> focused;
    long current = -2;
    void rowsReset() override { ++resets; }
    void rowsChanged(long, long) override {}
    void rowsInserted(long, long) override {}
    void rowsRemoved(long, long) override {}
    void stateChanged() override {}
    void focusControl(std::string_view name) override { focused.emplace_back(name); }
    void setCurrentRow(long row) override { current = row; }
    void beep() override { ++beeps; }
    void setBusy(bool b) override {
        busy = b;
        if (b) ++busyOn;
    }
};

class GridViewerTest : public ::testing::Test {
protected:
    ViewerDb data;
    SharedState state;
    ScriptedPrompter prompter;
    RecordingView view;

    GridViewer make(ViewerForm form, const std::string& source = "Table1") {
        GridViewer v(form, state, prompter);
        v.setView(&view);
        v.bind(data.open(source));
        v.countRecs();
        return v;
    }

    // The given column of every row the viewer shows, in its order.
    static std::vector<std::string> shown(GridViewer& v, int column = 1) {
        v.fetch(0, v.source().rowCount() - 1);
        std::vector<std::string> out;
        for (long r = 0; r < v.source().rowCount(); ++r)
            out.push_back(cellOf(v.source().row(r)->values[static_cast<std::size_t>(column)]));
        return out;
    }
};

using Names = std::vector<std::string>;

} // namespace

// --- Filter

TEST_F(GridViewerTest, ASecondFilterNarrowsTheFirst) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("Amount >= 100").type("Name like 'korv*'");
    v.cmdFilter_Click();
    EXPECT_EQ(shown(v), (Names{"Korvath", "Anna", "korvik"}));
    EXPECT_EQ(v.refreshCaption(), "Re-Filter");
    EXPECT_TRUE(v.showAllEnabled());
    EXPECT_EQ(view.focused.back(), "Command1");
    EXPECT_EQ(v.counterCaption(), "Record: 1 of 3");
    v.cmdFilter_Click();
    EXPECT_EQ(shown(v), (Names{"Korvath", "korvik"}));
    EXPECT_EQ(v.counterCaption(), "Record: 1 of 2");
    EXPECT_EQ(prompter.shown()[0].text, filterPrompt(false));
    EXPECT_EQ(prompter.shown()[0].title, "Varnoke");
    EXPECT_EQ(view.busyOn, 2);
    EXPECT_FALSE(view.busy);
}

TEST_F(GridViewerTest, AFilterWithASyntaxErrorIsReportedAndChangesNothing) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("Amount >= 100").type("Name = 'Anna' and (").answer(answer::Ok);
    v.cmdFilter_Click();
    v.cmdFilter_Click();
    const auto messages = prompter.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Error:3075 ", 0), 0u) << messages[0];
    EXPECT_EQ(prompter.last().style, msgbox::OkOnly);
    EXPECT_EQ(prompter.last().title, "Varnoke");
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(shown(v), (Names{"Korvath", "Anna", "korvik"}));
    EXPECT_EQ(v.refreshCaption(), "Re-Filter");
    EXPECT_TRUE(v.showAllEnabled());
}

TEST_F(GridViewerTest, AFilterCannotSmuggleAStatement) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("1=1; drop table Table1").answer(answer::Ok);
    v.cmdFilter_Click();
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].rfind("Error:", 0), 0u);
    EXPECT_TRUE(data.db.tableDefs().contains("Table1"));
    EXPECT_EQ(data.count("Table1"), 5);
    EXPECT_EQ(shown(v).size(), 5u);
    EXPECT_FALSE(v.showAllEnabled());
}

TEST_F(GridViewerTest, CancelledFilterChangesNothingAndShowsNoHourglass) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("");
    v.cmdFilter_Click();
    EXPECT_EQ(view.busyOn, 0);
    EXPECT_EQ(v.refreshCaption(), "&Refresh");
    EXPECT_EQ(shown(v).size(), 5u);
}

TEST_F(GridViewerTest, AFilterMatchingNothingShowsNoRecord) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("Amount > 5000");
    v.cmdFilter_Click();
    EXPECT_EQ(v.counterCaption(), "No record on file.");
    EXPECT_EQ(view.current, -1);
}

TEST_F(GridViewerTest, TheRemoteResultWindowWordsItsPromptMoreEagerly) {
    GridViewer v = make(ViewerForm::Form15);
    prompter.type("");
    v.cmdFilter_Click();
    EXPECT_EQ(prompter.shown()[0].text, filterPrompt(true));
}

// --- Sort, heading clicks, Show All

TEST_F(GridViewerTest, SortTextIsUsedAsTypedAndKeepsTheFilter) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("Amount >= 75").type("[Amount] desc");
    v.cmdFilter_Click();
    v.cmdSort_Click();
    EXPECT_EQ(shown(v), (Names{"korvik", "Anna", "Korvath", "Bertil"}));
    EXPECT_EQ(prompter.shown()[1].text, viewertext::kSortPrompt);
    // Sort leaves the Refresh caption and Show All as the filter set them.
    EXPECT_EQ(v.refreshCaption(), "Re-Filter");
    EXPECT_TRUE(v.showAllEnabled());
}

TEST_F(GridViewerTest, ASortAloneNeverEnablesShowAll) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("Name");
    v.cmdSort_Click();
    EXPECT_EQ(shown(v), (Names{"Anna", "Bertil", "Korvath", "korvik", "Zed"}));
    EXPECT_FALSE(v.showAllEnabled());
    EXPECT_EQ(v.refreshCaption(), "&Refresh");
}

TEST_F(GridViewerTest, HeadingClickSortsAscendingAndWithAModifierDescendingOnce) {
    GridViewer v = make(ViewerForm::Form8);
    v.grdDataGrid_trackShift(2); // Ctrl held on the heading
    v.grdDataGrid_HeadClick(2);
    EXPECT_EQ(shown(v), (Names{"korvik", "Anna", "Korvath", "Bertil", "Zed"}));
    v.grdDataGrid_HeadClick(2);
    EXPECT_EQ(shown(v), (Names{"Zed", "Bertil", "Korvath", "Anna", "korvik"}));
    EXPECT_TRUE(prompter.shown().empty()); // no Sort box for a heading click
}

TEST_F(GridViewerTest, ShowAllReturnsEveryRowInSourceOrder) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("Amount < 500");
    v.cmdFilter_Click();
    v.grdDataGrid_HeadClick(1);
    v.command1_Click();
    EXPECT_EQ(shown(v), (Names{"Korvath", "Anna", "Bertil", "korvik", "Zed"}));
    EXPECT_EQ(v.refreshCaption(), "Refresh");
    EXPECT_FALSE(v.showAllEnabled());
    EXPECT_EQ(view.focused.back(), "cmdFilter");
    EXPECT_EQ(v.counterCaption(), "Record: 1 of 5");
}

TEST_F(GridViewerTest, ATableRecordsetRefusesFilterAndSortAndIgnoresHeadings) {
    GridViewer v(ViewerForm::Form13, state, prompter);
    v.setView(&view);
    v.bind(data.open("Table1", RecordsetType::Table));
    prompter.answer(answer::Ok).answer(answer::Ok);
    v.cmdFilter_Click();
    v.cmdSort_Click();
    v.grdDataGrid_HeadClick(1);
    EXPECT_EQ(prompter.messages(), (Names{"You Cannot Filter a Table Recordset!",
                                          "You Cannot Sort a Table Recordset!"}));
    EXPECT_EQ(prompter.last().style, msgbox::OkOnly | msgbox::Exclamation);
    EXPECT_EQ(view.beeps, 2);
}

// --- Refresh

TEST_F(GridViewerTest, RefreshKeepsTheFilterAndSeesChangedData) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.type("Amount >= 100");
    v.cmdFilter_Click();
    data.db.execute("UPDATE Table1 SET Name = 'Anneli' WHERE ID = 2");
    v.cmdRefresh_Click();
    EXPECT_EQ(shown(v), (Names{"Korvath", "Anneli", "korvik"}));
    EXPECT_EQ(view.focused.back(), "Command1");
}

TEST_F(GridViewerTest, RemoteResultRefreshSkipsFailuresSilently) {
    GridViewer v = make(ViewerForm::Form15, "Temp");
    data.db.execute("DROP TABLE Temp");
    v.cmdRefresh_Click(); // an unexpected message box would fail the test
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(GridViewerTest, RefreshFailureIsReportedInTheOtherWindows) {
    GridViewer v = make(ViewerForm::Form13, "Temp");
    data.db.execute("DROP TABLE Temp");
    prompter.answer(answer::Ok);
    v.cmdRefresh_Click();
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].rfind("Error:", 0), 0u);
}

TEST_F(GridViewerTest, ExportTableRefreshOnlyCounts) {
    data.db.execute("INSERT INTO [Varnoke's Export TABLE] VALUES ('one')");
    GridViewer v = make(ViewerForm::Form11, "Varnoke's Export TABLE");
    data.db.execute("INSERT INTO [Varnoke's Export TABLE] VALUES ('two')");
    v.cmdRefresh_Click();
    // Without a requery the row set stays the one bound.
    EXPECT_EQ(v.counterCaption(), "Record: 1 of 1");
}

// --- Counter

TEST_F(GridViewerTest, CounterFollowsTheCurrentRow) {
    GridViewer v = make(ViewerForm::Form8);
    EXPECT_EQ(v.counterCaption(), "Record: 1 of 5");
    v.data1_Reposition(2);
    EXPECT_EQ(v.counterCaption(), "Record: 3 of 5");
    v.data1_Reposition(-1);
    EXPECT_EQ(v.counterCaption(), "Record: 0 of 5");
}

// The counter's wording when no record is current: the template asks whether the rows
// are at their end, the remote result's window asks the count.
struct CounterCase {
    const char* name;
    ViewerForm form;
    const char* pastLastRow;    // countRecs with the cursor past the last row
    const char* emptyAfterMove; // a move once every row is gone
};

class CounterWording : public GridViewerTest, public ::testing::WithParamInterface<CounterCase> {};

TEST_P(CounterWording, NoCurrentRecordFollowsTheWindowsRule) {
    GridViewer empty = make(GetParam().form, "Temp");
    EXPECT_EQ(empty.counterCaption(), "No record on file.");
    empty.data1_Reposition(-1);
    EXPECT_EQ(empty.counterCaption(), "Record: 0 of 0");

    GridViewer v = make(GetParam().form);
    v.data1_Reposition(-1); // the new-row line: the rows are at their end
    EXPECT_EQ(v.counterCaption(), "Record: 0 of 5");
    v.countRecs();
    EXPECT_EQ(v.counterCaption(), GetParam().pastLastRow);

    v.data1_Reposition(0);
    data.db.execute("DELETE * FROM Table1 WHERE ID <> 1");
    v.countRecs();
    v.fetch(0, 0);
    prompter.answer(answer::Yes);
    ASSERT_TRUE(v.deleteRow(0));
    EXPECT_EQ(v.counterCaption(), GetParam().emptyAfterMove);
}

INSTANTIATE_TEST_SUITE_P(Viewers, CounterWording,
                         ::testing::Values(CounterCase{"FileA", ViewerForm::Form8,
                                                       "No record on file.", "Record: 0 of 0"},
                                           CounterCase{"OpenedTable", ViewerForm::Form13,
                                                       "No record on file.", "Record: 0 of 0"},
                                           CounterCase{"RemoteQuery", ViewerForm::Form15,
                                                       "Record: 0 of 5", "Record: 0 of 0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridViewerTest, CountRecsSeesRowsDeletedElsewhereAndKeepsThePosition) {
    GridViewer v = make(ViewerForm::Form8);
    v.data1_Reposition(1);
    data.db.execute("DELETE * FROM Table1 WHERE ID = 5");
    v.countRecs();
    EXPECT_EQ(v.counterCaption(), "Record: 2 of 4");
}

// --- Own cursor

TEST_F(GridViewerTest, BrowsingNeverMovesTheOpenersRecordset) {
    Recordset run = data.open("Table1");
    run.moveNext(); // a run standing on the second record
    GridViewer v(ViewerForm::Form8, state, prompter);
    v.bind(run);
    v.fetch(0, 4);
    prompter.type("ID > 3");
    v.cmdFilter_Click();
    EXPECT_EQ(run.absolutePosition(), 1);
    EXPECT_EQ(cellOf(run.value("Name")), "Anna");
}

// --- Editing

TEST_F(GridViewerTest, AConfirmedEditIsWritten) {
    GridViewer v = make(ViewerForm::Form8);
    v.fetch(0, 4);
    v.editCell(1, 1, Value::text("Annika"));
    v.editCell(1, 2, Value::text("12"));
    EXPECT_EQ(v.pendingValue(1, 1), Value::text("Annika"));
    prompter.answer(answer::Yes);
    EXPECT_TRUE(v.commitPendingEdit());
    EXPECT_EQ(prompter.last().text, "Commit changes?");
    EXPECT_EQ(prompter.last().style, msgbox::YesNo | msgbox::Question);
    EXPECT_EQ(data.column("Table1", "Name")[1], "Annika");
    EXPECT_EQ(data.column("Table1", "Amount")[1], "12");
    EXPECT_EQ(cellOf(v.source().row(1)->values[1]), "Annika");
}

TEST_F(GridViewerTest, ADeclinedEditIsDroppedAndTheStoredValueShows) {
    GridViewer v = make(ViewerForm::Form8);
    v.fetch(0, 4);
    v.editCell(1, 1, Value::text("Annika"));
    prompter.answer(answer::No);
    EXPECT_FALSE(v.commitPendingEdit());
    EXPECT_FALSE(v.pendingValue(1, 1).has_value());
    EXPECT_EQ(data.column("Table1", "Name")[1], "Anna");
}

TEST_F(GridViewerTest, MovingToAnotherRowCommitsThePendingOneFirst) {
    GridViewer v = make(ViewerForm::Form8);
    v.fetch(0, 4);
    v.editCell(0, 1, Value::text("K"));
    prompter.answer(answer::Yes);
    v.editCell(3, 1, Value::text("L"));
    EXPECT_EQ(data.column("Table1", "Name")[0], "K");
    EXPECT_EQ(v.pendingValue(3, 1), Value::text("L"));
}

TEST_F(GridViewerTest, AnEditTheEngineRefusesIsReportedAndTheRowReverts) {
    GridViewer v = make(ViewerForm::Form8);
    v.fetch(0, 4);
    v.editCell(2, 1, Value::text("Bert"));
    v.editCell(2, 2, Value::text("plenty"));
    prompter.answer(answer::Yes).answer(answer::Ok);
    EXPECT_FALSE(v.commitPendingEdit());
    EXPECT_EQ(prompter.messages().back().rfind("Error:3421 ", 0), 0u) << prompter.messages().back();
    EXPECT_FALSE(v.hasPendingEdit());
    EXPECT_EQ(cellOf(v.source().row(2)->values[1]), "Bertil");
    EXPECT_EQ(data.column("Table1", "Name")[2], "Bertil");
    EXPECT_EQ(data.column("Table1", "Amount")[2], "75");
}

TEST_F(GridViewerTest, ATooLongTextIsReportedWithTheEnginesNumber) {
    GridViewer v = make(ViewerForm::Form8);
    v.fetch(0, 4);
    v.editCell(0, 1, Value::text(std::string(40, 'x')));
    prompter.answer(answer::Yes).answer(answer::Ok);
    EXPECT_FALSE(v.commitPendingEdit());
    EXPECT_EQ(prompter.messages().back().rfind("Error:3163 ", 0), 0u);
    EXPECT_EQ(data.column("Table1", "Name")[0], "Korvath");
}

TEST_F(GridViewerTest, TheNewRowLineAddsARow) {
    GridViewer v = make(ViewerForm::Form8);
    ASSERT_TRUE(v.offersNewRow());
    v.editCell(5, 0, Value::text("6"));
    v.editCell(5, 1, Value::text("Nils"));
    prompter.answer(answer::Yes);
    EXPECT_TRUE(v.commitPendingEdit());
    EXPECT_EQ(data.column("Table1", "Name"),
              (Names{"Korvath", "Anna", "Bertil", "korvik", "Zed", "Nils"}));
    EXPECT_EQ(v.source().rowCount(), 6);
    EXPECT_EQ(v.counterCaption(), "Record: 1 of 6");
}

TEST_F(GridViewerTest, TheLocalQueryWindowOffersNoNewRow) {
    GridViewer v = make(ViewerForm::Form12, "SELECT * FROM Table1 WHERE Amount > 80");
    EXPECT_FALSE(v.offersNewRow());
    v.editCell(v.source().rowCount(), 1, Value::text("x"));
    EXPECT_FALSE(v.hasPendingEdit());
}

TEST_F(GridViewerTest, DeleteAsksAndYesDeletes) {
    GridViewer v = make(ViewerForm::Form8);
    v.fetch(0, 4);
    prompter.answer(answer::No).answer(answer::Yes);
    EXPECT_FALSE(v.deleteRow(2));
    EXPECT_EQ(data.count("Table1"), 5);
    EXPECT_TRUE(v.deleteRow(2));
    EXPECT_EQ(prompter.messages(), (Names{"Delete Current Row?", "Delete Current Row?"}));
    EXPECT_EQ(prompter.last().style, msgbox::YesNo | msgbox::Question);
    EXPECT_EQ(data.column("Table1", "Name"), (Names{"Korvath", "Anna", "korvik", "Zed"}));
    EXPECT_EQ(shown(v), (Names{"Korvath", "Anna", "korvik", "Zed"}));
    // The row that followed the deleted one is current.
    EXPECT_EQ(v.counterCaption(), "Record: 3 of 4");
}

// While the program itself writes rows, some windows let edits through unasked.
struct QuietCase {
    const char* name;
    ViewerForm form;
    bool quiet;
};

class BulkWriteQuestions : public GridViewerTest,
                           public ::testing::WithParamInterface<QuietCase> {};

TEST_P(BulkWriteQuestions, EditAndDeleteAskUnlessTheWindowIsQuiet) {
    state.bulkWriteOn = "y";
    GridViewer v = make(GetParam().form);
    v.fetch(0, 4);
    if (!GetParam().quiet) prompter.answer(answer::Yes).answer(answer::Yes);
    v.editCell(0, 1, Value::text("Kay"));
    EXPECT_TRUE(v.commitPendingEdit());
    EXPECT_TRUE(v.deleteRow(4));
    EXPECT_EQ(prompter.shown().size(), GetParam().quiet ? 0u : 2u);
    EXPECT_EQ(data.column("Table1", "Name"), (Names{"Kay", "Anna", "Bertil", "korvik"}));
}

INSTANTIATE_TEST_SUITE_P(Viewers, BulkWriteQuestions,
                         ::testing::Values(QuietCase{"FileA", ViewerForm::Form8, false},
                                           QuietCase{"FileB", ViewerForm::Form9, false},
                                           QuietCase{"ExportFile", ViewerForm::Form10, true},
                                           QuietCase{"ExportTable", ViewerForm::Form11, true},
                                           QuietCase{"OpenedTable", ViewerForm::Form13, true},
                                           QuietCase{"RemoteQuery", ViewerForm::Form15, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridViewerTest, TheRunsTablesAreReadOnlyWhileARunGoes) {
    GridViewer fileA = make(ViewerForm::Form8);
    GridViewer opened = make(ViewerForm::Form13);
    state.runInProgress = true;
    EXPECT_FALSE(fileA.canEdit());
    EXPECT_TRUE(opened.canEdit());
    fileA.editCell(0, 1, Value::text("x"));
    EXPECT_FALSE(fileA.hasPendingEdit());
    prompter.answer(answer::Ok);
    EXPECT_FALSE(fileA.deleteRow(0));
    EXPECT_EQ(prompter.messages(), (Names{std::string(kRunBusyMessage)}));
    EXPECT_EQ(data.count("Table1"), 5);
    state.runInProgress = false;
    EXPECT_TRUE(fileA.canEdit());
}

TEST_F(GridViewerTest, AnEditPendingWhenARunStartsIsNotWritten) {
    GridViewer v = make(ViewerForm::Form9);
    v.fetch(0, 4);
    v.editCell(0, 1, Value::text("x"));
    state.runInProgress = true;
    prompter.answer(answer::Ok);
    EXPECT_FALSE(v.commitPendingEdit());
    EXPECT_EQ(data.column("Table1", "Name")[0], "Korvath");
}

// --- Naming the table for Save TABLE As

TEST_F(GridViewerTest, ActivationNamesTheTableAndClosingClearsIt) {
    GridViewer remote = make(ViewerForm::Form15, "Temp");
    remote.form_Activate();
    EXPECT_EQ(state.currentTable, "SQL Results");
    EXPECT_EQ(state.activeViewer, "Form15");

    GridViewer opened = make(ViewerForm::Form13);
    opened.setTag("Table1");
    opened.form_Activate();
    EXPECT_EQ(state.currentTable, "Table1");
    EXPECT_EQ(state.activeViewer, "Form13");
    opened.form_QueryUnload();
    EXPECT_EQ(state.currentTable, "");
    EXPECT_EQ(state.activeViewer, "");

    GridViewer fileA = make(ViewerForm::Form8);
    fileA.form_Activate();
    EXPECT_EQ(state.activeViewer, "");
}

TEST_F(GridViewerTest, TheRemoteResultsActivationPutsTheGridBackOnItsRecord) {
    GridViewer remote = make(ViewerForm::Form15);
    remote.data1_Reposition(3);
    view.current = -2;
    remote.form_Activate();
    EXPECT_EQ(view.current, 3);

    // No current record: the grid is left alone.
    remote.data1_Reposition(-1);
    view.current = -2;
    remote.form_Activate();
    EXPECT_EQ(view.current, -2);

    GridViewer opened = make(ViewerForm::Form13);
    opened.data1_Reposition(3);
    view.current = -2;
    opened.form_Activate();
    EXPECT_EQ(view.current, -2);
}

TEST_F(GridViewerTest, ExportTableWindowNamesTheTableItShowsAndClosingKeepsIt) {
    GridViewer v = make(ViewerForm::Form11, "Varnoke's Export TABLE");
    v.form_Activate();
    EXPECT_EQ(state.currentTable, "Varnoke's Export TABLE");
    EXPECT_EQ(state.activeViewer, "Form11");
    v.form_QueryUnload();
    EXPECT_EQ(state.currentTable, "Varnoke's Export TABLE");
    EXPECT_EQ(state.activeViewer, "Form11");
    // Save TABLE As rebinds it to the saved copy: a second save copies what is shown.
    data.db.execute("SELECT * INTO [Export Copy] FROM [Varnoke's Export TABLE]");
    v.bind(data.open("Export Copy"));
    v.form_Activate();
    EXPECT_EQ(state.currentTable, "Export Copy");
}

TEST_F(GridViewerTest, ABindingStartsFromThePlainButtonStrip) {
    GridViewer v = make(ViewerForm::Form9);
    prompter.type("ID > 2");
    v.cmdFilter_Click();
    v.bind(data.open("Table1"));
    EXPECT_EQ(v.refreshCaption(), "&Refresh");
    EXPECT_FALSE(v.showAllEnabled());
    EXPECT_EQ(v.source().rowCount(), 5);
}

TEST_F(GridViewerTest, BindingNothingIsReportedAndKeepsTheRowsShown) {
    GridViewer v = make(ViewerForm::Form8);
    prompter.answer(answer::Ok);
    v.bind(Recordset());
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].rfind("Error:3420 ", 0), 0u) << prompter.messages()[0];
    EXPECT_EQ(shown(v).size(), 5u);
}
