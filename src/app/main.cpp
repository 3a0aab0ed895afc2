// Varnoke: compares and changes the records of data files through a working database.
//
// main() owns the shared state, the platform services and the procedures a run calls by
// name, builds the main window and plugs the other windows into its hub.
#include "dialog/form4_form.h"
#include "evaluate/register_file_a.h"
#include "platform/qt/qt_platform.h"
#include "process/process_runner.h"
#include "process/registry.h"
#include "shell/main_window.h"
#include "shell/shared_state.h"
#include "shell/window_hub.h"
#include "steps/replace_steps.h"
#include "viewers/viewer_hub_window.h"
#include "viewers/viewer_texts.h"

#include <QApplication>
#include <QTimer>

#include <filesystem>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Varnoke");

    varnoke::Registry registry;
    varnoke::registerReplaceSteps(registry);
    varnoke::registerFileAEvaluators(registry);
    varnoke::Form4ProcessRunner runner(registry);

    varnoke::QtPlatform qt;
    varnoke::SharedState state;
    varnoke::WindowHub hub;
    varnoke::MDIForm1 window(state, qt.platform(), hub);
    qt.setParent(&window);
    hub.viewers = std::make_unique<varnoke::GridViewerHub>(state, qt.prompter, window.mdiArea());
    hub.compare = std::make_unique<varnoke::Form4Windows>(
        varnoke::Form4Services{state, qt.platform(), window, *hub.viewers, &runner}, &window);
    if (!window.MDIForm_Load(std::filesystem::current_path())) return 1;
    window.show();

    // Edits made through recordsets are gathered into one transaction; commit them once
    // the program falls idle, so a user's change never waits on the next write.
    QTimer idleCommit;
    QObject::connect(&idleCommit, &QTimer::timeout, [&] {
        if (!state.workDb.isOpen()) return;
        try {
            state.workDb.flush();
        } catch (const varnoke::RuntimeError& e) {
            varnoke::Prompter& prompter = qt.prompter;
            prompter.messageBox(varnoke::errorReport(e.number(), e.description()));
        }
    });
    idleCommit.start(1000);
    return QApplication::exec();
}
