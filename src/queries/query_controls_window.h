#pragma once
// The pieces both query windows are built from: controls placed in twips, the
// saved query list kept in step with its logic, and the busy pointer.
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QObject;
class QListWidget;
class QPushButton;
class QWidget;

namespace varnoke {

// The layout's sizes are the whole window's; Qt sizes the client area, so the borders
// and title bar of the original window are taken off.
inline constexpr int kQueryBorderWidth = 120;
inline constexpr int kQueryBorderHeight = 405;

void placeTwips(QWidget* widget, int left, int top, int width, int height);
// A command button of the query windows' size, disabled until its rule enables it.
QPushButton* queryButton(QWidget* parent, const char* name, const char* caption, int left, int top);
// A label lblSQL.
QLabel* queryLabel(QWidget* parent, const char* text, int left, int top, int width, int height);

// Puts the list's entries and selection into the widget (only what differs).
void showQueryList(QListWidget* list, const std::vector<std::string>& entries, int index);
// Calls select for every click on an entry, also when it was selected already, and for
// every selection by the keyboard or the program; a double click executes. Nothing
// runs while mirroring is set, as the window itself is then changing the list.
void wireQueryList(QListWidget* list, QObject* owner, const bool& mirroring,
                   std::function<void(int)> select, std::function<void()> execute);

// The hourglass over the whole program.
void setBusyPointer(bool busy);

} // namespace varnoke
