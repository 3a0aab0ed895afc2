#pragma once
// What the comparison dialog calls outside itself: the database error handler and the
// Process command (both the Process run's), and the main window's View items, viewers
// and info notes (the shell's). The dialog is given one of each; tests give doubles.
#include "value/runtime_error.h"

#include <string_view>

namespace varnoke {

class Form4Model;

// Reports a database or file error the way the whole program does. A cancelled file
// dialog (32755) is silent and sets attachFailed to "y"; every other error shows its
// message and sets stopFlag.
class ErrorHandler {
public:
    virtual ~ErrorHandler() = default;
    virtual void handleError(const RuntimeError& error) = 0;
};

// The "&Process" button: checks the choices, locks the dialog, runs and unlocks it.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    virtual void command2Click(Form4Model& dialog) = 0;
};

// The grid viewers of the working tables the dialog fills.
enum class Viewer {
    FileA,      // Form8 over Table1, View > "File &A"
    FileB,      // Form9 over Table2, View > "File &B"
    ExportFile, // Form10 over Exported Data, View > "&Export File"
};

// The info notes the dialog shows; each is switched by a row of Settings.
enum class InfoNote {
    ExportFile,    // Form5, Settings row 1
    PairingMethod, // Form7, Settings row 3
};

// The main window as the dialog sees it.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    // Enables or disables the viewer's item of the View menu.
    virtual void setViewItemEnabled(Viewer viewer, bool enabled) = 0;
    virtual bool viewerVisible(Viewer viewer) = 0;
    // Closes the viewer through its Close command (unloads it); nothing when not shown.
    virtual void closeViewer(Viewer viewer) = 0;
    // Re-opens the viewer's table and binds it again, as its View item does.
    virtual void rebindViewer(Viewer viewer) = 0;
    // The caption of the viewer's grid (the file's path, or empty).
    virtual void setViewerCaption(Viewer viewer, std::string_view caption) = 0;
    // Shows the note with this text modally and returns when it is closed. Whether it
    // is shown at all the dialog has already decided from Settings.
    virtual void showInfoNote(InfoNote note, std::string_view text) = 0;
};

} // namespace varnoke
