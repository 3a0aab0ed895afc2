#include "shell/run_guard.h"

namespace varnoke {

bool refusedDuringRun(const SharedState& state, Prompter& prompter) {
    if (!state.runInProgress && !state.linkInProgress) return false;
    prompter.messageBox(state.linkInProgress ? kLinkBusyMessage : kRunBusyMessage,
                        msgbox::OkOnly | msgbox::Exclamation, kRunBusyTitle);
    return true;
}

} // namespace varnoke
