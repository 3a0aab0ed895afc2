#include "support/scripted_platform.h"
#include "support/viewers_tables.h"
#include "viewers/form_printer_window.h"
#include "viewers/grid_model_window.h"
#include "viewers/grid_viewer_window.h"
#include "viewers/viewer_hub_window.h"
#include "viewers/viewer_texts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

namespace {

using Names = std::vector<std::string>;

class ViewerWindowTest : public ::testing::Test {
protected:
    ViewerDb data;
    SharedState state;
    ScriptedPrompter prompter;
    QMdiArea area;
    GridViewerHub hub{state, prompter, &area};

    ViewerWindowTest() {
        area.resize(900, 700);
        area.show();
    }

    GridViewerWindow& open(Viewer viewer, const std::string& source = "Table1") {
        state.skipFormInit = "y";
        hub.bind(viewer, data.open(source));
        state.skipFormInit.clear();
        hub.show(viewer);
        return *hub.loaded(formOf(viewer));
    }

    static QPushButton* button(GridViewerWindow& w, const char* name) {
        return w.findChild<QPushButton*>(name);
    }
    static std::string counter(GridViewerWindow& w) {
        return w.findChild<QLabel*>("Data1")->text().toStdString();
    }
    static std::string cell(GridViewerWindow& w, int row, int column) {
        w.model().ensureLoaded(row, row);
        return w.model().index(row, column).data().toString().toStdString();
    }
    static Names names(GridViewerWindow& w) {
        Names out;
        const long n = w.viewer().source().rowCount();
        for (int r = 0; r < n; ++r)
            out.push_back(cell(w, r, 1));
        return out;
    }
    static void clickHeading(GridViewerWindow& w, int section,
                             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QHeaderView* header = w.grid()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, at);
    }
};

// --- every window opens over real data with its own strip of buttons

struct WindowCase {
    const char* name;
    ViewerForm form;
    const char* title;
    std::vector<std::pair<const char*, const char*>> buttons; // objectName, caption
    bool newRowLine;
};

const std::vector<std::pair<const char*, const char*>> kTemplateButtons = {
    {"cmdSort", "&Sort"},
    {"cmdFilter", "&Filter"},
    {"cmdRefresh", "&Refresh"},
    {"Command1", "Show &All"},
    {"cmdClose", "&Close"}};

class EachViewerWindow : public ViewerWindowTest,
                         public ::testing::WithParamInterface<WindowCase> {};

TEST_P(EachViewerWindow, OpensOverRealDataWithItsButtonsAndCounter) {
    const WindowCase& c = GetParam();
    if (c.form == ViewerForm::Form12)
        hub.showLocalQueryResult(data.open("SELECT * FROM Table1"), "", "SELECT * FROM Table1");
    else if (c.form == ViewerForm::Form15)
        hub.showRemoteQueryResult(data.open("Table1"));
    else
        open(*viewerOf(c.form));
    GridViewerWindow& w = *hub.loaded(c.form);
    EXPECT_EQ(w.objectName().toStdString(), profileOf(c.form).formName);
    EXPECT_EQ(w.windowTitle().toStdString(), c.title);
    EXPECT_TRUE(hub.visible(c.form));
    for (const auto& [name, caption] : c.buttons) {
        QPushButton* b = button(w, name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text().toStdString(), caption);
        EXPECT_EQ(b->isEnabled(), std::string(name) != "Command1") << name;
    }
    EXPECT_EQ(w.findChildren<QPushButton*>().size(), c.buttons.size());
    EXPECT_EQ(w.grid()->objectName(), "grdDataGrid");
    EXPECT_EQ(counter(w), "Record: 1 of 5");
    EXPECT_EQ(cell(w, 1, 1), "Anna");
    EXPECT_EQ(cell(w, 1, 3), "8/7/2000");
    EXPECT_EQ(w.model().rowCount(), c.newRowLine ? 6 : 5);
}

std::vector<std::pair<const char*, const char*>> remoteButtons() {
    auto b = kTemplateButtons;
    b.insert(b.begin() + 4, {"Command2", "&Print"});
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Viewers, EachViewerWindow,
    ::testing::Values(
        WindowCase{"FileA", ViewerForm::Form8, "File A", kTemplateButtons, true},
        WindowCase{"FileB", ViewerForm::Form9, "File B", kTemplateButtons, true},
        WindowCase{"ExportFile", ViewerForm::Form10, "Export File", kTemplateButtons, true},
        WindowCase{"ExportTable", ViewerForm::Form11, "Varnoke's Export TABLE", kTemplateButtons,
                   true},
        WindowCase{"LocalQuery", ViewerForm::Form12, "Local Query - SELECT * FROM Table1",
                   kTemplateButtons, false},
        WindowCase{"OpenedTable", ViewerForm::Form13, "Opened Table", kTemplateButtons, true},
        WindowCase{"RemoteQuery", ViewerForm::Form15, "Remote Query", remoteButtons(), true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- buttons and headings

TEST_F(ViewerWindowTest, FilterButtonsNarrowTheGridAndShowAllBringsAllBack) {
    GridViewerWindow& w = open(Viewer::FileA);
    prompter.type("Amount >= 100").type("Name like 'korv*'");
    QTest::mouseClick(button(w, "cmdFilter"), Qt::LeftButton);
    QTest::mouseClick(button(w, "cmdFilter"), Qt::LeftButton);
    EXPECT_EQ(names(w), (Names{"Korvath", "korvik"}));
    EXPECT_EQ(button(w, "cmdRefresh")->text(), "Re-Filter");
    EXPECT_TRUE(button(w, "Command1")->isEnabled());
    EXPECT_EQ(counter(w), "Record: 1 of 2");
    QTest::mouseClick(button(w, "Command1"), Qt::LeftButton);
    EXPECT_EQ(names(w), (Names{"Korvath", "Anna", "Bertil", "korvik", "Zed"}));
    EXPECT_EQ(button(w, "cmdRefresh")->text(), "Refresh");
    EXPECT_FALSE(button(w, "Command1")->isEnabled());
}

TEST_F(ViewerWindowTest, SortButtonAsksForTheOrder) {
    GridViewerWindow& w = open(Viewer::FileB);
    prompter.type("[Joined] desc");
    QTest::mouseClick(button(w, "cmdSort"), Qt::LeftButton);
    EXPECT_EQ(names(w), (Names{"korvik", "Bertil", "Anna", "Korvath", "Zed"}));
    EXPECT_EQ(prompter.shown()[0].text, viewertext::kSortPrompt);
}

TEST_F(ViewerWindowTest, CtrlHeadingClickSortsDescendingThenAPlainClickAscending) {
    GridViewerWindow& w = open(Viewer::FileA);
    clickHeading(w, 2, Qt::ControlModifier);
    EXPECT_EQ(names(w), (Names{"korvik", "Anna", "Korvath", "Bertil", "Zed"}));
    clickHeading(w, 2);
    EXPECT_EQ(names(w), (Names{"Zed", "Bertil", "Korvath", "Anna", "korvik"}));
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(ViewerWindowTest, CounterFollowsTheGridsCurrentRow) {
    GridViewerWindow& w = open(Viewer::FileA);
    w.grid()->setCurrentIndex(w.model().index(3, 0));
    EXPECT_EQ(counter(w), "Record: 4 of 5");
    w.grid()->setCurrentIndex(w.model().index(5, 0)); // the new-row line
    EXPECT_EQ(counter(w), "Record: 0 of 5");
}

TEST_F(ViewerWindowTest, AnEmptyResultShowsNoRecordOnFile) {
    hub.showRemoteQueryResult(data.open("Temp"));
    EXPECT_EQ(counter(*hub.loaded(ViewerForm::Form15)), "No record on file.");
}

// --- editing in the grid

TEST_F(ViewerWindowTest, AnEditConfirmedOnLeavingTheRowIsWritten) {
    GridViewerWindow& w = open(Viewer::FileA);
    w.grid()->setCurrentIndex(w.model().index(1, 1));
    ASSERT_TRUE(w.model().setData(w.model().index(1, 1), "Annika", Qt::EditRole));
    EXPECT_EQ(cell(w, 1, 1), "Annika");
    prompter.answer(answer::Yes);
    w.grid()->setCurrentIndex(w.model().index(3, 1));
    EXPECT_EQ(prompter.messages(), (Names{"Commit changes?"}));
    EXPECT_EQ(data.column("Table1", "Name")[1], "Annika");
}

TEST_F(ViewerWindowTest, AnEditDeclinedShowsTheStoredValueAgain) {
    GridViewerWindow& w = open(Viewer::FileA);
    w.grid()->setCurrentIndex(w.model().index(1, 1));
    w.model().setData(w.model().index(1, 1), "Annika", Qt::EditRole);
    prompter.answer(answer::No);
    w.grid()->setCurrentIndex(w.model().index(3, 1));
    EXPECT_EQ(cell(w, 1, 1), "Anna");
    EXPECT_EQ(data.column("Table1", "Name")[1], "Anna");
}

TEST_F(ViewerWindowTest, AnEditTheEngineRefusesIsReportedAndReverted) {
    GridViewerWindow& w = open(Viewer::OpenedTable);
    w.grid()->setCurrentIndex(w.model().index(0, 2));
    w.model().setData(w.model().index(0, 2), "lots", Qt::EditRole);
    prompter.answer(answer::Yes).answer(answer::Ok);
    w.grid()->setCurrentIndex(w.model().index(2, 2));
    ASSERT_EQ(prompter.messages().size(), 2u);
    EXPECT_EQ(prompter.messages()[1].rfind("Error:3421 ", 0), 0u) << prompter.messages()[1];
    EXPECT_EQ(cell(w, 0, 2), "100");
}

TEST_F(ViewerWindowTest, DeleteKeyAsksForEachRow) {
    GridViewerWindow& w = open(Viewer::FileA);
    w.grid()->setCurrentIndex(w.model().index(2, 0));
    prompter.answer(answer::Yes);
    QTest::keyClick(w.grid(), Qt::Key_Delete);
    EXPECT_EQ(prompter.messages(), (Names{"Delete Current Row?"}));
    EXPECT_EQ(names(w), (Names{"Korvath", "Anna", "korvik", "Zed"}));
    EXPECT_EQ(data.count("Table1"), 4);
    EXPECT_EQ(counter(w), "Record: 3 of 4");
}

TEST_F(ViewerWindowTest, TheGridIsReadOnlyForARunsTablesWhileItGoes) {
    GridViewerWindow& w = open(Viewer::FileA);
    state.runInProgress = true;
    EXPECT_FALSE(w.model().flags(w.model().index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(w.model().setData(w.model().index(0, 1), "x", Qt::EditRole));
    state.runInProgress = false;
    EXPECT_TRUE(w.model().flags(w.model().index(0, 1)) & Qt::ItemIsEditable);
}

// --- Print

TEST_F(ViewerWindowTest, PrintWritesTheWindowToAPdf) {
    TempDir dir;
    const QString pdf = QString::fromStdString(dir.file("remote.pdf"));
    hub.setPrinter(std::make_unique<PdfFormPrinter>(pdf));
    hub.showRemoteQueryResult(data.open("Table1"));
    GridViewerWindow& w = *hub.loaded(ViewerForm::Form15);
    EXPECT_EQ(button(w, "Command2")->toolTip().toStdString(), viewertext::kPrintTip);
    QTest::mouseClick(button(w, "Command2"), Qt::LeftButton);
    EXPECT_TRUE(prompter.shown().empty());
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
    EXPECT_GT(file.size(), 1000);
}

TEST_F(ViewerWindowTest, AFailedPrintSaysSoAndChangesNothing) {
    hub.setPrinter(std::make_unique<PdfFormPrinter>("/no/such/folder/remote.pdf"));
    hub.showRemoteQueryResult(data.open("Table1"));
    GridViewerWindow& w = *hub.loaded(ViewerForm::Form15);
    prompter.answer(answer::Ok);
    QTest::mouseClick(button(w, "Command2"), Qt::LeftButton);
    EXPECT_EQ(prompter.messages(), (Names{"The form can't be printed."}));
    EXPECT_EQ(prompter.last().style, msgbox::OkOnly);
    EXPECT_EQ(prompter.last().title, "Varnoke");
    EXPECT_EQ(counter(w), "Record: 1 of 5");
}

// --- the shared values Save TABLE As reads

TEST_F(ViewerWindowTest, ClosingTheOpenedTableViewerEmptiesTheSharedValues) {
    data.db.execute("SELECT * INTO Saved FROM Table1");
    hub.setTag(Viewer::OpenedTable, "Saved");
    open(Viewer::OpenedTable, "Saved");
    EXPECT_EQ(state.currentTable, "Saved");
    EXPECT_EQ(state.activeViewer, "Form13");
    hub.close(Viewer::OpenedTable);
    EXPECT_EQ(state.currentTable, "");
    EXPECT_EQ(state.activeViewer, "");
    EXPECT_FALSE(hub.visible(Viewer::OpenedTable));
}

TEST_F(ViewerWindowTest, ClosingTheExportTableViewerLeavesTheSharedValues) {
    open(Viewer::ExportTable, "Varnoke's Export TABLE");
    EXPECT_EQ(state.currentTable, "Varnoke's Export TABLE");
    EXPECT_EQ(state.activeViewer, "Form11");
    hub.close(Viewer::ExportTable);
    EXPECT_EQ(state.currentTable, "Varnoke's Export TABLE");
    EXPECT_EQ(state.activeViewer, "Form11");
}

TEST_F(ViewerWindowTest, TheNextActiveTableViewerNamesItsTableAgain) {
    hub.showRemoteQueryResult(data.open("Temp"));
    hub.setTag(Viewer::OpenedTable, "Table1");
    open(Viewer::OpenedTable);
    EXPECT_EQ(state.activeViewer, "Form13");
    hub.close(Viewer::OpenedTable);
    // The area activates the remote result's window, which names "SQL Results".
    EXPECT_EQ(state.currentTable, "SQL Results");
    EXPECT_EQ(state.activeViewer, "Form15");
}

TEST_F(ViewerWindowTest, ExportTableViewerFollowsSaveTableAs) {
    data.db.execute("INSERT INTO [Varnoke's Export TABLE] VALUES ('exported')");
    open(Viewer::ExportTable, "Varnoke's Export TABLE");
    // What Save TABLE As does after copying the table: rebind, captions, refresh.
    data.db.execute("SELECT * INTO [My Copy] FROM [Varnoke's Export TABLE]");
    data.db.execute("INSERT INTO [My Copy] VALUES ('only in the copy')");
    state.skipFormInit = "y";
    hub.bind(Viewer::ExportTable, data.open("My Copy"));
    hub.setCaption(Viewer::ExportTable, "Table - My Copy");
    hub.setGridCaption(Viewer::ExportTable, "My Copy");
    state.skipFormInit.clear();
    state.currentTable = "My Copy";
    if (hub.visible(Viewer::ExportTable)) hub.refresh(Viewer::ExportTable);
    GridViewerWindow& w = *hub.loaded(ViewerForm::Form11);
    EXPECT_EQ(w.windowTitle(), "Table - My Copy");
    EXPECT_EQ(hub.gridCaption(Viewer::ExportTable), "My Copy");
    EXPECT_EQ(counter(w), "Record: 1 of 2");
    EXPECT_EQ(cell(w, 1, 0), "only in the copy");
    // Activated again, it names the table it now shows.
    hub.show(Viewer::ExportTable);
    w.form_Activate();
    EXPECT_EQ(state.currentTable, "My Copy");
}

TEST_F(ViewerWindowTest, RefreshViewersAfterARunRereadsTheVisibleWindows) {
    GridViewerWindow& fileA = open(Viewer::FileA);
    data.db.execute("UPDATE Table1 SET Name = 'Changed' WHERE ID = 1");
    data.db.execute("DELETE * FROM Table1 WHERE ID = 5");
    hub.refreshViewers();
    EXPECT_EQ(names(fileA), (Names{"Changed", "Anna", "Bertil", "korvik"}));
    EXPECT_EQ(counter(fileA), "Record: 1 of 4");
    EXPECT_EQ(state.skipFormInit, "");
    EXPECT_FALSE(hub.visible(Viewer::FileB));
    EXPECT_EQ(hub.loaded(ViewerForm::Form9), nullptr);
}

TEST_F(ViewerWindowTest, AClosedWindowStartsAfreshOnItsNextUse) {
    GridViewerWindow& w = open(Viewer::FileA);
    prompter.type("ID > 3");
    QTest::mouseClick(button(w, "cmdFilter"), Qt::LeftButton);
    QTest::mouseClick(button(w, "cmdClose"), Qt::LeftButton);
    EXPECT_FALSE(hub.visible(Viewer::FileA));
    GridViewerWindow& again = open(Viewer::FileA);
    EXPECT_EQ(button(again, "cmdRefresh")->text(), "&Refresh");
    EXPECT_EQ(again.viewer().source().rowCount(), 5);
}

TEST_F(ViewerWindowTest, RemoteWindowTakesItsOwnWidthOnlyWhenLoadedByItself) {
    EXPECT_EQ(hub.form(ViewerForm::Form15).width(), 499); // 7485 twips
    hub.close(Viewer::RemoteQuery);
    hub.showRemoteQueryResult(data.open("Table1"));
    EXPECT_EQ(hub.loaded(ViewerForm::Form15)->width(), 491); // 7368 twips
}

// --- a large table

TEST_F(ViewerWindowTest, AHundredThousandRowTableOpensWithoutReadingItWhole) {
    makeNumberedTable(data.db, "Big", 100000);
    QElapsedTimer timer;
    timer.start();
    GridViewerWindow& w = open(Viewer::OpenedTable, "Big");
    QCoreApplication::processEvents();
    const qint64 ms = timer.elapsed();
    std::printf("[ measure  ] 100000-row table bound and shown in %lld ms\n",
                static_cast<long long>(ms));
    EXPECT_EQ(counter(w), "Record: 1 of 100000");
    EXPECT_EQ(cell(w, 0, 1), "Row 1");
    EXPECT_LT(w.viewer().source().heldRowCount(), 1000);
    // Scrolling to the end reads only the rows that come into view.
    w.grid()->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_EQ(cell(w, 99999, 0), "100000");
    EXPECT_LT(w.viewer().source().heldRowCount(), 2000);
}

} // namespace
