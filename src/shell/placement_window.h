#pragma once
// Where windows open: within reach inside the main window.
class QMdiSubWindow;
class QWidget;

namespace varnoke {

// Moves (and, when it is larger, shrinks) a child window so that it lies wholly in the
// visible part of its work area, title bar and buttons within reach.
void keepInsideArea(QMdiSubWindow& child);

// Moves a child window (shrinking it where the room calls for it) out from under the
// windows that stay in front of the main window, such as the query windows, to the
// largest place in its work area where it lies wholly in view. It stays where it is
// when nothing covers it, or when no place is free of them.
void keepClearOfToolWindows(QMdiSubWindow& child);

// Moves a window of its own so that it lies over the main window's work area, below its
// menu bar, as far as its size allows; it keeps its size.
void keepOverMainWindow(QWidget& window, const QWidget& mainWindow);

} // namespace varnoke
