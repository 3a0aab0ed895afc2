// Varnoke: compares and changes the records of data files through a working database.
#include "platform/qt/qt_platform.h"
#include "shell/main_window.h"
#include "shell/shared_state.h"
#include "shell/window_hub.h"
#include "viewers/viewer_hub_window.h"

#include <QApplication>

#include <filesystem>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Varnoke");
    varnoke::QtPlatform qt;
    varnoke::SharedState state;
    varnoke::WindowHub hub;
    varnoke::MDIForm1 window(state, qt.platform(), hub);
    qt.setParent(&window);
    hub.viewers = std::make_unique<varnoke::GridViewerHub>(state, qt.prompter, window.mdiArea());
    if (!window.MDIForm_Load(std::filesystem::current_path())) return 1;
    window.show();
    return QApplication::exec();
}
