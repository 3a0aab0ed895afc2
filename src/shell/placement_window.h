#pragma once
// Where windows open: within reach inside the main window.
class QMdiSubWindow;
class QWidget;

namespace varnoke {

// Moves (and, when it is larger, shrinks) a child window so that it lies wholly in the
// visible part of its work area, title bar and buttons within reach.
void keepInsideArea(QMdiSubWindow& child);

// Moves a window of its own so that it lies over the main window's work area, below its
// menu bar, as far as its size allows; it keeps its size.
void keepOverMainWindow(QWidget& window, const QWidget& mainWindow);

} // namespace varnoke
