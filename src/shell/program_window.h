#pragma once
// The program put together: the procedures a run calls by name, the state every window
// shares, the main window, and the comparison dialog and grid viewers plugged into the
// main window's hub. main() builds one over the Qt platform; tests build one over a
// scripted platform, so they run the program exactly as it is wired.
#include "platform/platform.h"
#include "process/process_runner.h"
#include "process/registry.h"
#include "shell/main_window.h"
#include "shell/shared_state.h"
#include "shell/window_hub.h"

#include <QTimer>

#include <memory>

namespace varnoke {

// Every step and evaluator that has been built, registered under its name.
void registerProcedures(Registry& registry);

class Program {
public:
    explicit Program(Platform platform);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    MDIForm1& window() { return *window_; }
    SharedState& state() { return state_; }
    WindowHub& hub() { return hub_; }

private:
    // Edits made through recordsets are gathered into one transaction; this commits them
    // once the program falls idle, so a user's change never waits on the next write.
    void commitGatheredWrites();

    Platform platform_;
    Registry registry_;
    Form4ProcessRunner runner_{registry_};
    SharedState state_;
    WindowHub hub_;
    std::unique_ptr<MDIForm1> window_;
    QTimer idleCommit_;
};

} // namespace varnoke
