#pragma once
// What a Process run asks of the comparison dialog window besides its values: enabling
// and focusing controls and running the dialog's own file commands. The window
// implements it; the run logic never touches a widget, so a whole run works without one.
//
// Controls are named by their objectName ("Command5", "Combo2", "DBGrid1").
#include <string_view>

namespace varnoke {

class DialogControls {
public:
    virtual ~DialogControls() = default;

    virtual void setEnabled(std::string_view control, bool enabled) = 0;
    virtual void setFocus(std::string_view control) = 0;
    // Whether a list or combo box holds at least one entry (Combo1, Combo10).
    virtual bool hasEntries(std::string_view control) const = 0;
    // Record count of the criteria table the dialog shows (SSysCriteria).
    virtual long criteriaRowCount() const = 0;
    // Back to the normal mouse pointer after a busy one.
    virtual void restoreMousePointer() {}

    // The dialog's own commands, run by Process when a file is missing.
    virtual void openFileA() = 0;      // Command1: "&Open File" / "&Open File A"
    virtual void openFileB() = 0;      // Command4: "Open File &B"
    virtual void openExportFile() = 0; // Command6: "&Export to..."
};

} // namespace varnoke
