#include "shell/idle_commit.h"

namespace varnoke {

void commitIdleWrites(SharedState& state, Prompter& prompter) {
    if (!state.workDb.isOpen()) return;
    try {
        // A run's writes are committed as they go, spaced by what a commit costs.
        if (state.runInProgress)
            state.workDb.flushIfDue();
        else
            state.workDb.flush();
    } catch (const RuntimeError& e) {
        // A run meets the same error at its next write or at its end, and stops with it.
        if (state.runInProgress) return;
        prompter.messageBox(errorReport(e.number(), e.description()));
        state.workDb.forgetLostWrites(); // told
    }
}

} // namespace varnoke
