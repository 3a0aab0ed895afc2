#include "platform/qt/window_faces.h"

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

} // namespace varnoke
