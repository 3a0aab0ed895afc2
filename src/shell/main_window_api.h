#pragma once
// What the main window MDIForm1 offers the other windows: its public procedures, the
// enabled state of its menu items and the info notes.
#include <string_view>

namespace varnoke {

// Menu and menu item names (the main window's objectNames).
namespace menu {
inline constexpr std::string_view File = "menuFile";
inline constexpr std::string_view FileCompare = "menuFileCompare";
inline constexpr std::string_view FileOpenTable = "menuFileOpenTable";
inline constexpr std::string_view FileSaveTableAs = "menuFileSaveTableAs";
inline constexpr std::string_view FileDeleteTable = "menuFileDeleteTable";
inline constexpr std::string_view Exit = "menuExit";
inline constexpr std::string_view View = "menuView";
inline constexpr std::string_view ViewFileA = "menuViewFileA";
inline constexpr std::string_view ViewFileB = "menuViewFileB";
inline constexpr std::string_view ViewExportedData = "menuViewExportedData";
inline constexpr std::string_view ViewVarnokeExportTable = "menuViewVarnokeExportTable";
inline constexpr std::string_view Queries = "menuQueries";
inline constexpr std::string_view QueriesSelectLocal = "menuQueriesSelectLocal";
inline constexpr std::string_view QueriesSelectRemote = "menuQueriesSelectRemote";
inline constexpr std::string_view QueriesDefineLocal = "menuQueriesDefineLocal";
inline constexpr std::string_view QueriesDefineRemote = "menuQueriesDefineRemote";
inline constexpr std::string_view Help = "menuHelp";
inline constexpr std::string_view About = "menuAbout";
} // namespace menu

// The three info notes, each tied to one row of the Settings table.
enum class InfoNote {
    ExportFile, // Form5, row 1: shown when the export file is chosen
    Remote,     // Form6, row 4: shown by the remote query window's Connect
    Pairing,    // Form7, row 3: shown when a pairing method is chosen
};

// Menu items by name (menu:: above; a whole menu such as "menuView" too). An unknown
// name is ignored and reads as disabled.
class MenuSwitches {
public:
    virtual ~MenuSwitches() = default;
    virtual void setMenuEnabled(std::string_view itemName, bool enabled) = 0;
    virtual bool menuEnabled(std::string_view itemName) const = 0;
};

class MainWindowApi : public MenuSwitches {
public:
    // Open a fresh dynaset on Table1 / Table2 / "Exported Data" / "Varnoke's Export
    // TABLE", bind it to its viewer and show the viewer.
    virtual void menuViewFileA_Click() = 0;
    virtual void menuViewFileB_Click() = 0;
    virtual void menuViewExportedData_Click() = 0;
    virtual void menuViewVarnokeExportTable_Click() = 0;
    // Rebuilds the table list Form3.
    virtual void createTableList() = 0;

    // Shows the note with text, modally, unless the user switched it off; returns once
    // it is closed (at once when it is not shown).
    virtual void showInfoNote(InfoNote note, std::string_view text) = 0;
};

} // namespace varnoke
