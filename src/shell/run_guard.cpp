#include "shell/run_guard.h"

namespace varnoke {

bool refusedDuringRun(const SharedState& state, Prompter& prompter) {
    if (!state.runInProgress) return false;
    prompter.messageBox(kRunBusyMessage, msgbox::OkOnly | msgbox::Exclamation, kRunBusyTitle);
    return true;
}

} // namespace varnoke
