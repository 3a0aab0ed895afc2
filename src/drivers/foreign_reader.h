#pragma once
// The program's readers of foreign data files, by connect prefix; each implements the
// engine's ForeignReader.
#include "engine/foreign_reader.h"

#include <string_view>

namespace varnoke {

// The reader for a connect string, chosen by its prefix before the first ";"
// ("dBase IV", "Excel 8.0", "Text", ...), without regard to case. nullptr when no
// reader serves it; the engine then raises 3170.
const ForeignReader* findReader(std::string_view connect);

} // namespace varnoke
