#pragma once
// Whether a window's texts show whole where its controls stand: each label, button,
// option, frame caption, box choice and column name is measured in the face it is drawn
// with, and a window's title beside the title bar's buttons.
#include <QWidget>

#include <string>
#include <vector>

namespace varnoke::test {

// One line per text that does not fit (the control's name and what is cut); empty when
// every text of the window's visible controls shows whole. The window must be shown.
std::vector<std::string> unfitTexts(const QWidget& window);

} // namespace varnoke::test
