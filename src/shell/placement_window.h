#pragma once
// Where windows open: within reach inside the main window.
class QMdiSubWindow;
class QWidget;

namespace varnoke {

// Moves (and, when it is larger, shrinks) a child window so that it lies wholly in the
// visible part of its work area, title bar and buttons within reach. In a work area
// narrower than its least size it is shrunk further: its frame's buttons stay in reach.
void keepInsideArea(QMdiSubWindow& child);

// Moves a child window (shrinking it where the room calls for it, never below its least
// size) out from under the windows that stay in front of the main window, such as the
// query windows, to the largest place in its work area where it lies wholly in view.
// Where no such place is wide or high enough, it goes where they hide least of it. It
// stays where it is when nothing covers it.
void keepClearOfToolWindows(QMdiSubWindow& child);

// Moves a window of its own so that it lies over the main window's work area, below its
// menu bar, as far as its size allows; it keeps its size.
void keepOverMainWindow(QWidget& window, const QWidget& mainWindow);

} // namespace varnoke
