#pragma once
// A sparse store of the rows a grid has fetched, in fixed chunks, so a grid over a
// large table reads only what is on screen and never asks the database per cell.
#include "value/value.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace varnoke {

struct CachedRow {
    std::int64_t bookmark = 0; // the row's identity in its recordset, for edits
    std::vector<Value> values;
};

struct RowRange {
    long first = 0;
    long last = 0; // inclusive
    bool operator==(const RowRange&) const = default;
};

class RowCache {
public:
    explicit RowCache(long chunkSize = 256);

    long chunkSize() const { return chunkSize_; }
    long rowCount() const { return rowCount_; }
    // How many rows are held: a large row set must not be read whole to show a screen.
    long heldRowCount() const;

    // Forgets every row; the row set now holds count rows.
    void reset(long count);
    // The row, or nullptr when it has not been fetched.
    const CachedRow* row(long index) const;
    // The rows between first and last (inclusive, clipped to the row set) that are not
    // held, widened to whole chunks: what one fetch should read. Empty when all are held.
    std::optional<RowRange> missing(long first, long last) const;
    // Keeps rows read from position first on; first must start a chunk (missing() gives
    // such ranges) and rows beyond the row set are ignored.
    void store(long first, std::vector<CachedRow> rows);
    // Replaces one held row (after an edit); a row not held stays unfetched.
    void replace(long index, CachedRow row);
    // The row set changed from index on (a row added or deleted there): forget those
    // rows and take the new count.
    void invalidateFrom(long index, long newCount);

private:
    long chunkSize_;
    long rowCount_ = 0;
    std::vector<std::vector<CachedRow>> chunks_; // a chunk shorter than its span is not held
};

} // namespace varnoke
