#include "shell/placement_window.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace varnoke {

namespace {

// The place for r inside room: moved the least, its top left corner first in reach.
QRect within(QRect r, const QRect& room) {
    r.moveLeft(std::max(room.left(), std::min(r.left(), room.right() + 1 - r.width())));
    r.moveTop(std::max(room.top(), std::min(r.top(), room.bottom() + 1 - r.height())));
    return r;
}

// The main window's work area on the screen; the whole window when it has none.
QRect workArea(const QWidget& mainWindow) {
    const auto* main = qobject_cast<const QMainWindow*>(&mainWindow);
    const QWidget* area = main ? main->centralWidget() : nullptr;
    if (!area) return mainWindow.frameGeometry();
    return QRect(area->mapToGlobal(QPoint(0, 0)), area->size());
}

} // namespace

void keepInsideArea(QMdiSubWindow& child) {
    QMdiArea* area = child.mdiArea();
    if (!area) return;
    const QRect room = area->viewport()->rect();
    if (room.isEmpty()) return;
    QRect g = child.geometry();
    g.setWidth(std::min(g.width(), room.width()));
    g.setHeight(std::min(g.height(), room.height()));
    g = within(g, room);
    if (g != child.geometry()) child.setGeometry(g);
}

void keepOverMainWindow(QWidget& window, const QWidget& mainWindow) {
    const QRect frame = window.frameGeometry();
    const QRect placed = within(frame, workArea(mainWindow));
    if (placed != frame) window.move(placed.topLeft());
}

} // namespace varnoke
