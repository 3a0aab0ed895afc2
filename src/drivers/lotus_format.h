#pragma once
// Lotus 1-2-3 worksheets (.wk1, .wk3, .wk4), read through libwps from memory.
#include "drivers/child_read.h"
#include "drivers/reader_support.h"

#include <filesystem>

namespace varnoke::drivers {

// Sends the first sheet: its first row names the fields. Raises 3274 for a file that
// is not a readable worksheet, 3051 for one protected by a password.
void readLotusImage(ByteSpan image, std::string_view fileName, ForeignTableSink& sink);

// The link's read of a worksheet file: in a child process within limits, by default
// those of the file's size and its count of cells.
void readLotusFile(const std::filesystem::path& file, ForeignTableSink& sink);
void readLotusFile(const std::filesystem::path& file, const ChildLimits& limits,
                   ForeignTableSink& sink);

} // namespace varnoke::drivers
