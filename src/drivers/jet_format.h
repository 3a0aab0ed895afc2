#pragma once
// Tables of Jet databases (.mdb), read through libmdb.
#include "drivers/child_read.h"
#include "drivers/reader_support.h"

#include <filesystem>

namespace varnoke::drivers {

// Sends the table named `table` (without regard to case), else the first user table,
// of a database held in memory. Raises 3274 for a damaged database, 3078 for one with
// no table. The library is not bounded here: linking runs it in a child process.
void readJetImage(ByteSpan image, std::string_view fileName, std::string_view table,
                  ForeignTableSink& sink);

// The link's read of a database file: in a child process within limits (the link
// gives limitsForFile of the file's size).
void readJetFile(const std::filesystem::path& file, std::string_view table,
                 const ChildLimits& limits, ForeignTableSink& sink);

} // namespace varnoke::drivers
