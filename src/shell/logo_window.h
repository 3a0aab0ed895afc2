#pragma once
// The program's picture, shown by the splash and the About box.
#include <QPixmap>

namespace varnoke {

// A teal rounded square with a white "V", size pixels across.
QPixmap varnokeLogo(int size);

} // namespace varnoke
