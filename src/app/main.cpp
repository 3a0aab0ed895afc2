// Varnoke: compares and changes the records of data files through a working database.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Varnoke");
    QMainWindow window;
    window.setWindowTitle("Varnoke");
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
