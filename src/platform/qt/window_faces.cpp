#include "platform/qt/window_faces.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

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

} // namespace varnoke
