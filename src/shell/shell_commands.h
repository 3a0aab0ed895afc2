#pragma once
// The main window's commands without the window: the File and View menus, the table
// list Form3, Save TABLE As and the Queries menu. The window wires its menus here.
#include "platform/platform.h"
#include "shell/main_window_api.h"
#include "shell/shared_state.h"
#include "shell/window_hub.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

inline constexpr std::string_view kOpenTableCaption = "Varnoke - Open Table";
inline constexpr std::string_view kOpenTableLabel = "Double-click on a table name to open it:";
inline constexpr std::string_view kDeleteTableCaption = "Varnoke - Delete Table";
inline constexpr std::string_view kDeleteTableLabel = "Double-click on a table name to DELETE it:";
inline constexpr std::string_view kDeleteTableTitle = "Varnoke - Be careful";
inline constexpr std::string_view kSaveNamePrompt = "Please enter a name to save the table as:";
inline constexpr std::string_view kSaveClashTitle = "Varnoke - It's your choice...";
inline constexpr std::string_view kSorryTitle = "Varnoke - Sorry...";
inline constexpr std::string_view kRemoteResultsName = "SQL Results";

std::string deleteTableQuestion(std::string_view table);
std::string saveClashQuestion(std::string_view table);

// The table list window Form3, as the commands drive it.
class TableListView {
public:
    virtual ~TableListView() = default;
    virtual bool visible() const = 0;
    virtual void setNames(const std::vector<std::string>& names) = 0;
    // Sets the window's and Label1's captions, shows it and focuses List1.
    virtual void showMode(std::string_view caption, std::string_view label) = 0;
    virtual std::string label() const = 0; // Label1's caption: tells the mode
    virtual void unload() = 0;             // Form_Unload
};

class ShellCommands {
public:
    ShellCommands(SharedState& state, Platform platform, WindowHub& hub, MenuSwitches& menus,
                  TableListView& tableList);

    // Recomputes the File menu's states as it drops down.
    void menuFile_Click();
    // Recomputes the View menu's export-table entry as it drops down.
    void menuView_Click();

    void menuFileCompare_Click();
    void menuViewFileA_Click();
    void menuViewFileB_Click();
    void menuViewExportedData_Click();
    void menuViewVarnokeExportTable_Click();
    void menuQueriesSelectLocal_Click();
    void menuQueriesDefineLocal_Click();
    void menuQueriesSelectRemote_Click();
    void menuQueriesDefineRemote_Click();

    // The table list.
    void menuFileOpenTable_Click();
    void menuFileDeleteTable_Click();
    void createTableList();
    // A double-click on name ("" when nothing is selected).
    void List1_DblClick(const std::string& name);
    // Asks, then deletes name and re-opens the viewers that were showing other tables.
    // True when the table was deleted.
    bool deleteTable(const std::string& name);
    void refreshTableViewers();

    // Save TABLE As.
    void menuFileSaveTableAs_Click();
    void tableCheck();
    // Copies currentTable into newTableName and shows the copy in the active viewer.
    // False, after telling the user, when the copy could not be made.
    bool saveTableAs();

    // Form3's memory of the tables its viewers showed during the last delete.
    const std::string& openedTableName() const { return openedTableName_; }
    const std::string& remoteTableName() const { return remoteTableName_; }

private:
    // Opens a fresh dynaset on table into rs; reports a failure and returns false.
    bool openDynaset(Recordset& rs, std::string_view table);
    void showViewer(Viewer viewer, Recordset& rs, std::string_view table,
                    const std::string* gridCaption);
    void reportError(const RuntimeError& e);
    void closeViewerShowing(Viewer viewer, const std::string& table, std::string& nameSeen);
    void rebindAfterSave(Viewer viewer, Recordset& rs);

    SharedState& state_;
    Platform platform_;
    WindowHub& hub_;
    MenuSwitches& menus_;
    TableListView& tableList_;
    std::string openedTableName_;
    std::string remoteTableName_;
};

} // namespace varnoke
