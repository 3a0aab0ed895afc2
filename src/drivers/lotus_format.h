#pragma once
// Lotus 1-2-3 worksheets (.wks, .wk1, .wk3, .wk4, .123): every value and its type
// decoded by our own reading of the records, in the program's own process (the read
// is bounded by the file: a few bytes a cell, one walk of the records and a sort).
#include "drivers/foreign_reader.h"
#include "drivers/reader_support.h"

#include <filesystem>

namespace varnoke::drivers {

// Sends the first sheet: its first row that holds a value names the fields. Raises
// 3274 for a file that is not a readable worksheet, 3051 for one protected by a
// password.
void readLotusImage(ByteSpan image, std::string_view fileName, ForeignTableSink& sink);

// The link's read of a worksheet file, mapped into memory.
void readLotusFile(const std::filesystem::path& file, ForeignTableSink& sink);

} // namespace varnoke::drivers
