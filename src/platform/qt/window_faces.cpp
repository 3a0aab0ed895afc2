#include "platform/qt/window_faces.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

namespace varnoke {

namespace {

QFont face(const QStringList& families, int pixelSize) {
    QFont f;
    f.setFamilies(families);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    return f;
}

} // namespace

QFont smallFace(int pixelSize) {
    return face({"Liberation Sans", "Arial", "Nimbus Sans"}, pixelSize);
}

QFont narrowFace(int pixelSize) {
    return face({"Liberation Sans Narrow", "Arial Narrow", "Nimbus Sans Narrow"}, pixelSize);
}

int titleBarWidth(const QString& title) {
    QFont bold = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int button = metrics.height() + 4;
    return metrics.horizontalAdvance(title) + 4 * button + 2 * metrics.height();
}

int screenRoom(const QWidget& window) {
    // Before it shows, a window's screen is its owner's.
    const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : &window;
    const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return QWIDGETSIZE_MAX;
    // Room for a border a few pixels wide on either side.
    constexpr int kBorders = 8;
    return screen->availableGeometry().width() - kBorders;
}

} // namespace varnoke
