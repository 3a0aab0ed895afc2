#pragma once
// What the main window MDIForm1 offers the other windows: its public procedures, the
// enabled state of its menu items (by their names, e.g. "menuViewFileA") and the info
// notes.
#include <string_view>

namespace varnoke {

// The three info notes, each tied to one row of the Settings table.
enum class InfoNote {
    ExportFile, // Form5, row 1: shown when the export file is chosen
    Remote,     // Form6, row 4: shown by the remote query window's Connect
    Pairing,    // Form7, row 3: shown when a pairing method is chosen
};

class MainWindowApi {
public:
    virtual ~MainWindowApi() = default;

    // Open a fresh dynaset on Table1 / Table2 / "Exported Data" / "Varnoke's Export
    // TABLE", bind it to its viewer and show the viewer.
    virtual void menuViewFileA_Click() = 0;
    virtual void menuViewFileB_Click() = 0;
    virtual void menuViewExportedData_Click() = 0;
    virtual void menuViewVarnokeExportTable_Click() = 0;
    // Rebuilds the table list Form3.
    virtual void createTableList() = 0;

    // Menu items by name: "menuFileCompare", "menuViewFileA", "menuView" (the whole
    // View menu) ...; an unknown name is ignored / reads as disabled.
    virtual void setMenuEnabled(std::string_view itemName, bool enabled) = 0;
    virtual bool menuEnabled(std::string_view itemName) const = 0;

    // Shows the note with text, modally, unless the user switched it off; returns once
    // it is closed (at once when it is not shown).
    virtual void showInfoNote(InfoNote note, std::string_view text) = 0;
};

} // namespace varnoke
