#pragma once
// Paradox tables (.db) with their blob files (.mb), read from memory so the same
// code serves files and fuzzing.
#include "drivers/reader_support.h"

#include <functional>
#include <optional>

namespace varnoke::drivers {

struct ParadoxImage {
    ByteSpan table;
    std::optional<ByteSpan> blobs; // the .mb file, when there is one
    std::string_view fileName;
    std::string_view blobFileName;
    // Called now and then as the blocks are walked, so that mapped files can give back
    // the pages read so far.
    std::function<void()> release;
};

// Sends the table's fields and records in block order. Raises 3274 for a damaged
// or cut-short file, 3051 for a table protected by a password.
void readParadoxImage(const ParadoxImage& image, ForeignTableSink& sink);

// Whether a file's first bytes are a Paradox table's header (not an index's).
bool isParadoxTable(ByteSpan head);

} // namespace varnoke::drivers
