#pragma once
// The faces the windows are set in. Their layouts were drawn for a small sans serif of
// about eleven pixels; these families share one set of widths (Arial's), so a text that
// fits with one fits with the others.
#include <QFont>
#include <QString>

class QWidget;

namespace varnoke {

// The plain face, at a size in pixels.
QFont smallFace(int pixelSize);
// The narrow cut of the same face, for windows whose boxes hold long choices.
QFont narrowFace(int pixelSize);

// The width a window needs for the window manager's title bar to show title whole: the
// title in the bold face title bars use, beside an icon and three buttons about as wide
// as the bar is high.
int titleBarWidth(const QString& title);

// The widest a window may be on the screen it opens on (its owner's): the screen's free
// width less the window manager's borders.
int screenRoom(const QWidget& window);

} // namespace varnoke
