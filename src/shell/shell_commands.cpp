#include "shell/shell_commands.h"

#include "shell/run_guard.h"
#include "shell/table_names.h"

#include <array>

namespace varnoke {

namespace {

constexpr std::array<Viewer, 3> kTableViewers = {Viewer::ExportTable, Viewer::OpenedTable,
                                                 Viewer::RemoteQuery};

// Empties a flag when the scope ends, however it ends.
class FlagScope {
public:
    explicit FlagScope(std::string& flag) : flag_(flag) { flag_ = kFlagYes; }
    ~FlagScope() { flag_.clear(); }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    std::string& flag_;
};

} // namespace

std::string deleteTableQuestion(std::string_view table) {
    return "Delete this table: " + std::string(table) + "?";
}

std::string saveClashQuestion(std::string_view table) {
    return "This table called (" + std::string(table) +
           ") is already in the database.  Would you like to overwrite this table?";
}

ShellCommands::ShellCommands(SharedState& state, Platform platform, WindowHub& hub,
                             MenuSwitches& menus, TableListView& tableList)
    : state_(state), platform_(platform), hub_(hub), menus_(menus), tableList_(tableList) {}

void ShellCommands::reportError(const RuntimeError& e) {
    if (hub_.compare->handleError(e)) return;
    platform_.prompter.messageBox(errorReport(e), msgbox::OkOnly | msgbox::Exclamation,
                                  kSorryTitle);
}

bool ShellCommands::openDynaset(Recordset& rs, std::string_view table) {
    try {
        rs = state_.workDb.openRecordset(table, RecordsetType::Dynaset, rsoption::Inconsistent);
        return true;
    } catch (const RuntimeError& e) {
        reportError(e);
        return false;
    }
}

// --- menus ------------------------------------------------------------------

void ShellCommands::menuFile_Click() {
    menus_.setMenuEnabled(menu::FileOpenTable, false);
    menus_.setMenuEnabled(menu::FileDeleteTable, false);
    bool found = false;
    try {
        TableDefs tables = state_.workDb.tableDefs();
        tables.refresh();
        found = !userTableNames(tables).empty();
    } catch (const RuntimeError& e) {
        reportError(e);
    }
    menus_.setMenuEnabled(menu::FileOpenTable, found);
    menus_.setMenuEnabled(menu::FileDeleteTable, found);
    FlagScope skip(state_.skipFormInit);
    bool anyTableViewer = false;
    for (Viewer viewer : kTableViewers)
        anyTableViewer = anyTableViewer || hub_.viewers->visible(viewer);
    if (!found && !anyTableViewer) state_.currentTable.clear();
    menus_.setMenuEnabled(menu::FileCompare, !hub_.compare->compareDialogVisible());
    menus_.setMenuEnabled(menu::FileSaveTableAs, anyTableViewer);
}

void ShellCommands::menuView_Click() {
    try {
        TableDefs tables = state_.workDb.tableDefs();
        tables.refresh();
        bool exists = false;
        for (const TableDef& table : tables)
            exists = exists || table.name() == kExportTableName;
        menus_.setMenuEnabled(menu::ViewVarnokeExportTable, exists);
    } catch (const RuntimeError& e) {
        reportError(e);
    }
}

void ShellCommands::menuFileCompare_Click() {
    hub_.compare->showCompareDialog();
}

void ShellCommands::showViewer(Viewer viewer, Recordset& rs, std::string_view table,
                               const std::string* gridCaption) {
    if (!openDynaset(rs, table)) return;
    {
        FlagScope skip(state_.skipFormInit);
        hub_.viewers->bind(viewer, rs);
        if (gridCaption) hub_.viewers->setGridCaption(viewer, *gridCaption);
    }
    hub_.viewers->show(viewer);
}

void ShellCommands::menuViewFileA_Click() {
    const std::string caption = hub_.compare->fileAPathText();
    showViewer(Viewer::FileA, state_.rsFileA, "Table1", &caption);
}

void ShellCommands::menuViewFileB_Click() {
    const std::string caption = hub_.compare->fileBPathText();
    showViewer(Viewer::FileB, state_.rsFileB, "Table2", &caption);
}

void ShellCommands::menuViewExportedData_Click() {
    showViewer(Viewer::ExportFile, state_.rsExportFile, "Exported Data", nullptr);
}

void ShellCommands::menuViewVarnokeExportTable_Click() {
    if (!openDynaset(state_.rsExportTable, kExportTableName)) return;
    hub_.viewers->bind(Viewer::ExportTable, state_.rsExportTable);
    hub_.viewers->setCaption(Viewer::ExportTable, kExportTableName);
    hub_.viewers->setGridCaption(Viewer::ExportTable, kExportTableName);
    hub_.viewers->show(Viewer::ExportTable);
    state_.currentTable = kExportTableName;
    menus_.setMenuEnabled(menu::FileSaveTableAs, true);
}

void ShellCommands::menuQueriesSelectLocal_Click() {
    state_.queryMode = "select";
    hub_.queries->showLocalQueries();
}

void ShellCommands::menuQueriesDefineLocal_Click() {
    state_.queryMode = "define";
    hub_.queries->showLocalQueries();
}

void ShellCommands::menuQueriesSelectRemote_Click() {
    state_.queryMode = "select";
    hub_.queries->showRemoteQueries();
}

void ShellCommands::menuQueriesDefineRemote_Click() {
    state_.queryMode = "define";
    hub_.queries->showRemoteQueries();
}

// --- the table list ---------------------------------------------------------------

void ShellCommands::menuFileOpenTable_Click() {
    if (refusedDuringRun(state_, platform_.prompter)) return;
    createTableList();
    tableList_.showMode(kOpenTableCaption, kOpenTableLabel);
}

void ShellCommands::menuFileDeleteTable_Click() {
    if (refusedDuringRun(state_, platform_.prompter)) return;
    createTableList();
    tableList_.showMode(kDeleteTableCaption, kDeleteTableLabel);
}

void ShellCommands::createTableList() {
    menus_.setMenuEnabled(menu::FileOpenTable, false);
    menus_.setMenuEnabled(menu::FileDeleteTable, false);
    std::vector<std::string> names;
    try {
        TableDefs tables = state_.workDb.tableDefs();
        tables.refresh();
        names = userTableNames(tables);
    } catch (const RuntimeError& e) {
        reportError(e);
    }
    tableList_.setNames(names);
    if (names.empty() && tableList_.visible()) tableList_.unload();
}

void ShellCommands::List1_DblClick(const std::string& name) {
    if (name.empty()) return;
    if (refusedDuringRun(state_, platform_.prompter)) return;
    if (tableList_.label() != kOpenTableLabel) {
        deleteTable(name);
        createTableList();
        return;
    }
    // The list stays open when the table cannot be opened, so the user can pick again.
    if (!openDynaset(state_.rsOpenedTable, name)) return;
    menus_.setMenuEnabled(menu::FileSaveTableAs, true);
    state_.currentTable = name;
    hub_.viewers->bind(Viewer::OpenedTable, state_.rsOpenedTable);
    hub_.viewers->setCaption(Viewer::OpenedTable, "Table - " + name);
    hub_.viewers->setTag(Viewer::OpenedTable, name);
    hub_.viewers->setGridCaption(Viewer::OpenedTable, name);
    hub_.viewers->show(Viewer::OpenedTable);
    tableList_.unload();
}

void ShellCommands::closeViewerShowing(Viewer viewer, const std::string& table,
                                       std::string& nameSeen) {
    if (!hub_.viewers->visible(viewer)) return;
    const std::string caption = hub_.viewers->caption(viewer);
    if (caption.find('-') != std::string::npos) {
        nameSeen = tableNameFromCaption(caption);
    } else if (viewer == Viewer::RemoteQuery) {
        // Under its own caption the remote viewer shows the last result, kept in Temp.
        nameSeen = "Temp";
    }
    if (table == nameSeen) hub_.viewers->close(viewer);
}

bool ShellCommands::deleteTable(const std::string& name) {
    const int reply = platform_.prompter.messageBox(
        deleteTableQuestion(name), msgbox::YesNo | msgbox::Question | msgbox::DefaultButton2,
        kDeleteTableTitle);
    if (reply != answer::Yes) return false;

    state_.rsExportTable.close();
    if (hub_.viewers->visible(Viewer::ExportTable) &&
        hub_.viewers->gridCaption(Viewer::ExportTable) == name)
        hub_.viewers->close(Viewer::ExportTable);
    state_.rsOpenedTable.close();
    closeViewerShowing(Viewer::OpenedTable, name, openedTableName_);
    state_.rsRemoteQuery.close();
    closeViewerShowing(Viewer::RemoteQuery, name, remoteTableName_);

    bool deleted = false;
    try {
        TableDefs tables = state_.workDb.tableDefs();
        tables.remove(name);
        tables.refresh();
        deleted = true;
    } catch (const RuntimeError& e) {
        reportError(e);
    }

    state_.skipFormInit = kFlagYes;
    if (hub_.viewers->visible(Viewer::FileA)) menuViewFileA_Click();
    if (hub_.viewers->visible(Viewer::FileB)) menuViewFileB_Click();
    if (hub_.viewers->visible(Viewer::ExportFile)) menuViewExportedData_Click();
    if (hub_.viewers->visible(Viewer::ExportTable)) menuViewVarnokeExportTable_Click();
    refreshTableViewers();
    state_.skipFormInit.clear();
    return deleted;
}

void ShellCommands::refreshTableViewers() {
    if (hub_.viewers->visible(Viewer::OpenedTable) && !openedTableName_.empty() &&
        openDynaset(state_.rsOpenedTable, openedTableName_)) {
        hub_.viewers->bind(Viewer::OpenedTable, state_.rsOpenedTable);
        hub_.viewers->show(Viewer::OpenedTable);
    }
    if (hub_.viewers->visible(Viewer::RemoteQuery) && !remoteTableName_.empty() &&
        openDynaset(state_.rsRemoteQuery, remoteTableName_)) {
        hub_.viewers->bind(Viewer::RemoteQuery, state_.rsRemoteQuery);
        hub_.viewers->show(Viewer::RemoteQuery);
    }
}

// --- Save TABLE As ----------------------------------------------------------------

void ShellCommands::menuFileSaveTableAs_Click() {
    if (refusedDuringRun(state_, platform_.prompter)) return;
    tableCheck();
    if (state_.newTableName.empty() || state_.tableNameClash) return;
    const std::string problem = tableNameProblem(state_.newTableName);
    if (!problem.empty()) {
        platform_.prompter.messageBox(problem, msgbox::OkOnly | msgbox::Exclamation, kSorryTitle);
        return;
    }
    saveTableAs();
}

void ShellCommands::tableCheck() {
    state_.tableNameClash = true;
    int reply = answer::Yes;
    try {
        // "Yes" only asks for another name: nothing is ever overwritten.
        while (state_.tableNameClash && reply == answer::Yes) {
            state_.tableNameClash = false;
            state_.newTableName = platform_.prompter.inputBox(kSaveNamePrompt, state_.currentTable);
            TableDefs tables = state_.workDb.tableDefs();
            tables.refresh();
            state_.tableNameClash =
                !state_.newTableName.empty() && nameClashes(tables, state_.newTableName);
            if (state_.tableNameClash)
                reply = platform_.prompter.messageBox(saveClashQuestion(state_.newTableName),
                                                      msgbox::YesNo | msgbox::Question,
                                                      kSaveClashTitle);
        }
    } catch (const RuntimeError& e) {
        reportError(e);
    }
}

bool ShellCommands::saveTableAs() {
    FlagScope bulk(state_.bulkWriteOn);
    if (state_.currentTable == kRemoteResultsName) state_.currentTable = "Temp";

    Recordset source;
    Recordset target;
    try {
        source = state_.workDb.openRecordset(state_.currentTable, RecordsetType::Dynaset,
                                             rsoption::Inconsistent);
        TableDef def = state_.workDb.createTableDef(state_.newTableName);
        for (int i = 0; i < source.fieldCount(); ++i) {
            const Field field = source.field(i);
            def.appendField(def.createField(field.name(), field.type(), field.size()));
        }
        TableDefs tables = state_.workDb.tableDefs();
        tables.append(def);
        target = state_.workDb.openRecordset(state_.newTableName, RecordsetType::Dynaset,
                                             rsoption::Inconsistent);
    } catch (const RuntimeError& e) {
        reportError(e);
        return false;
    }

    const long total = source.recordCount();
    long copied = 0;
    long failed = 0;
    std::string firstFailure;
    if (total >= 1) {
        Progress* progress = hub_.compare->progressBar();
        if (progress) {
            progress->setRange(1, static_cast<int>(total));
            progress->setValue(1);
            progress->setVisible(true);
        }
        source.moveFirst();
        const int fieldCount = source.fieldCount();
        while (!source.eof()) {
            try {
                target.addNew();
                for (int i = 0; i < fieldCount; ++i)
                    target.field(i).setValue(source.field(i).value());
                target.update();
                ++copied;
            } catch (const RuntimeError& e) {
                target.cancelUpdate();
                if (failed++ == 0) firstFailure = errorReport(e);
            }
            if (progress) progress->setValue(static_cast<int>(copied + failed));
            source.moveNext();
        }
        source.moveFirst();
        if (progress) progress->setVisible(false);
    }
    source.close();
    target.close();
    try {
        state_.workDb.flush();
    } catch (const RuntimeError& e) {
        reportError(e);                   // the copied records are not in the file
        state_.workDb.forgetLostWrites(); // told
        return false;
    }
    if (failed > 0)
        platform_.prompter.messageBox(
            firstFailure + "\n\n" + std::to_string(failed) + " of " + std::to_string(total) +
                " records could not be copied into " + state_.newTableName + ".",
            msgbox::OkOnly | msgbox::Exclamation, kSorryTitle);

    if (state_.activeViewer == viewerFormName(Viewer::ExportTable))
        rebindAfterSave(Viewer::ExportTable, state_.rsExportTable);
    else if (state_.activeViewer == viewerFormName(Viewer::OpenedTable))
        rebindAfterSave(Viewer::OpenedTable, state_.rsOpenedTable);
    else if (state_.activeViewer == viewerFormName(Viewer::RemoteQuery))
        rebindAfterSave(Viewer::RemoteQuery, state_.rsRemoteQuery);

    menus_.setMenuEnabled(menu::FileDeleteTable, true);
    if (tableList_.visible()) createTableList();
    return true;
}

void ShellCommands::rebindAfterSave(Viewer viewer, Recordset& rs) {
    if (!openDynaset(rs, state_.newTableName)) return;
    {
        FlagScope skip(state_.skipFormInit);
        hub_.viewers->bind(viewer, rs);
        state_.currentTable = state_.newTableName;
        if (viewer != Viewer::ExportTable) hub_.viewers->setTag(viewer, state_.currentTable);
        hub_.viewers->setCaption(viewer, "Table - " + state_.newTableName);
        hub_.viewers->setGridCaption(viewer, state_.newTableName);
        if (hub_.viewers->visible(viewer)) hub_.viewers->refresh(viewer);
    }
    if (viewer != Viewer::ExportTable) hub_.viewers->show(viewer);
}

} // namespace varnoke
