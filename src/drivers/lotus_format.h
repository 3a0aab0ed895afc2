#pragma once
// Lotus 1-2-3 worksheets (.wk1, .wk3, .wk4), read through libwps from memory.
#include "drivers/reader_support.h"

namespace varnoke::drivers {

// Sends the first sheet: its first row names the fields. Raises 3274 for a file that
// is not a readable worksheet, 3051 for one protected by a password.
void readLotusImage(ByteSpan image, std::string_view fileName, ForeignTableSink& sink);

} // namespace varnoke::drivers
