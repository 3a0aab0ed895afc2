#pragma once
// Tables of Jet databases (.mdb), read through libmdb.
#include "drivers/reader_support.h"

namespace varnoke::drivers {

// Sends the table named `table` (without regard to case), else the first user table,
// of a database held in memory. Raises 3274 for a damaged database, 3078 for one with
// no table. The library is not bounded here: linking runs it in a child process.
void readJetImage(ByteSpan image, std::string_view fileName, std::string_view table,
                  ForeignTableSink& sink);

} // namespace varnoke::drivers
