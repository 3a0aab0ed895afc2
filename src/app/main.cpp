// Varnoke: compares and changes the records of data files through a working database.
//
// The program is assembled in shell/program_window; it starts by showing the splash and
// locating the working database in the current folder.
#include "platform/qt/qt_platform.h"
#include "shell/program_window.h"

#include <QApplication>

#include <filesystem>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Varnoke");

    varnoke::QtPlatform qt;
    varnoke::Program program(qt.platform());
    qt.setParent(&program.window());
    if (!program.window().MDIForm_Load(std::filesystem::current_path())) return 1;
    return QApplication::exec();
}
