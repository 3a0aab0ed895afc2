#pragma once
// handleError: the one reporter of database and file errors for the whole program. It
// puts the comparison dialog's buttons back where the user can go on, shows the message
// for the error number under "Varnoke - Sorry..." and sets the flags callers decide by:
// stopFlag after every message, dropExportedData for a table that already exists
// (3010, 3012), attachFailed for a cancelled file dialog (32755). A Stop the user
// pressed before the error is never forgotten.
#include "dialog/dialog_ports.h"
#include "platform/prompter.h"
#include "process/dialog_controls.h"
#include "shell/shared_state.h"
#include "value/runtime_error.h"

#include <string>
#include <string_view>

namespace varnoke {

struct RunContext;

// Whether `error` is the working database's lost writes (see Database::lostWrites): the
// writes gathered since the last commit are undone, not only the failing one.
bool isLostWrites(const SharedState& shared, const RuntimeError& error);

// The message shown for an error, or "" for the silent numbers 3010, 3012 and 32755. A
// file error's own text is followed by the engine's description on a new line.
std::string errorMessageFor(int number, std::string_view description);

// For the windows outside the comparison dialog (main window, remote queries): what
// handleError touches.
struct ErrorScope {
    SharedState& shared;
    DialogControls& controls;
    Prompter& prompter;
};

void handleError(const ErrorScope& scope, const RuntimeError& error);
void handleError(RunContext& ctx, const RuntimeError& error);

// handleError's message alone, for the windows that report errors its way without a
// run of their own (the remote queries): the dialog and stopFlag are left alone, so a
// run going on meanwhile is not stopped. Nothing is shown for the silent numbers; the
// answer, or 0 then.
int showErrorMessage(Prompter& prompter, const RuntimeError& error);

// The dialog's port onto handleError.
class RunErrorHandler : public ErrorHandler {
public:
    explicit RunErrorHandler(ErrorScope scope) : scope_(scope) {}
    void handleError(const RuntimeError& error) override;

private:
    ErrorScope scope_;
};

} // namespace varnoke
