#include "shell/placement_window.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>
#include <vector>

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

// The frames, in the area's viewport, of the visible tool windows of the area's main
// window: they stay in front of every child window.
std::vector<QRect> toolWindowsOver(const QMdiArea& area) {
    std::vector<QRect> covers;
    const QWidget* viewport = area.viewport();
    const QRect room = viewport->rect();
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowType() != Qt::Tool || !w->isVisible() || !w->parentWidget() ||
            w->parentWidget()->window() != area.window())
            continue;
        const QRect frame = w->frameGeometry();
        const QRect r(viewport->mapFromGlobal(frame.topLeft()), frame.size());
        if (r.intersects(room)) covers.push_back(r & room);
    }
    return covers;
}

// How much of r the covers hide.
int hiddenArea(const QRect& r, const std::vector<QRect>& covers) {
    int hidden = 0;
    for (const QRect& c : covers) {
        const QRect part = c & r;
        hidden += part.width() * part.height();
    }
    return hidden;
}

int area(const QRect& r) {
    return r.width() * r.height();
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

void keepClearOfToolWindows(QMdiSubWindow& child) {
    const QMdiArea* mdi = child.mdiArea();
    if (!mdi || child.isMaximized() || child.isMinimized()) return;
    const std::vector<QRect> covers = toolWindowsOver(*mdi);
    const QRect now = child.geometry();
    if (hiddenArea(now, covers) == 0) return;
    const QRect room = mdi->viewport()->rect();
    const QSize least = child.minimumSizeHint().boundedTo(now.size());
    // The place that hides least of the window, the larger of two that hide as much:
    // within each strip beside a cover, taken as far as the room reaches, but never
    // smaller than the window's least size. Where a strip is narrower, the window goes
    // over the cover rather than lose its controls.
    QRect best = now;
    for (const QRect& c : covers) {
        for (const QRect& strip :
             {QRect(QPoint(room.left(), room.top()), QPoint(c.left() - 1, room.bottom())),
              QRect(QPoint(c.right() + 1, room.top()), room.bottomRight()),
              QRect(room.topLeft(), QPoint(room.right(), c.top() - 1)),
              QRect(QPoint(room.left(), c.bottom() + 1), room.bottomRight())}) {
            if (strip.isEmpty()) continue;
            const QSize size = now.size().boundedTo(strip.size()).expandedTo(least);
            const QRect r = within(within(QRect(now.topLeft(), size), strip), room);
            const int hidden = hiddenArea(r, covers);
            const int bestHidden = hiddenArea(best, covers);
            if (hidden < bestHidden || (hidden == bestHidden && area(r) > area(best))) best = r;
        }
    }
    if (best != now) child.setGeometry(best);
}

} // namespace varnoke
