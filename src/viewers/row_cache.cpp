#include "viewers/row_cache.h"

#include <algorithm>
#include <stdexcept>

namespace varnoke {

RowCache::RowCache(long chunkSize) : chunkSize_(std::max(1L, chunkSize)) {}

void RowCache::reset(long count) {
    rowCount_ = std::max(0L, count);
    chunks_.assign(static_cast<std::size_t>((rowCount_ + chunkSize_ - 1) / chunkSize_), {});
}

long RowCache::heldRowCount() const {
    long held = 0;
    for (const auto& chunk : chunks_)
        held += static_cast<long>(chunk.size());
    return held;
}

const CachedRow* RowCache::row(long index) const {
    if (index < 0 || index >= rowCount_) return nullptr;
    const auto& chunk = chunks_[static_cast<std::size_t>(index / chunkSize_)];
    const auto offset = static_cast<std::size_t>(index % chunkSize_);
    return offset < chunk.size() ? &chunk[offset] : nullptr;
}

std::optional<RowRange> RowCache::missing(long first, long last) const {
    first = std::max(0L, first);
    last = std::min(rowCount_ - 1, last);
    if (first > last) return std::nullopt;
    std::optional<long> from;
    long to = 0;
    for (long c = first / chunkSize_; c <= last / chunkSize_; ++c) {
        const long expected = std::min(chunkSize_, rowCount_ - c * chunkSize_);
        if (static_cast<long>(chunks_[static_cast<std::size_t>(c)].size()) == expected) continue;
        if (!from) from = c;
        to = c;
    }
    if (!from) return std::nullopt;
    return RowRange{*from * chunkSize_, std::min(rowCount_, (to + 1) * chunkSize_) - 1};
}

void RowCache::store(long first, std::vector<CachedRow> rows) {
    if (first < 0 || first % chunkSize_ != 0)
        throw std::invalid_argument("rows must be stored from the start of a chunk");
    long index = first;
    auto it = rows.begin();
    while (it != rows.end() && index < rowCount_) {
        auto& chunk = chunks_[static_cast<std::size_t>(index / chunkSize_)];
        const long chunkEnd = std::min(rowCount_, (index / chunkSize_ + 1) * chunkSize_);
        const auto take = std::min<long>(chunkEnd - index, rows.end() - it);
        // A short read leaves the chunk partly filled; missing() still names it, so the
        // next fetch rereads it whole.
        chunk.assign(std::make_move_iterator(it), std::make_move_iterator(it + take));
        it += take;
        index += take;
    }
}

void RowCache::replace(long index, CachedRow row) {
    if (index < 0 || index >= rowCount_) return;
    auto& chunk = chunks_[static_cast<std::size_t>(index / chunkSize_)];
    const auto offset = static_cast<std::size_t>(index % chunkSize_);
    if (offset < chunk.size()) chunk[offset] = std::move(row);
}

void RowCache::invalidateFrom(long index, long newCount) {
    const long keepChunks = std::max(0L, index) / chunkSize_;
    rowCount_ = std::max(0L, newCount);
    chunks_.resize(static_cast<std::size_t>((rowCount_ + chunkSize_ - 1) / chunkSize_));
    for (std::size_t c = static_cast<std::size_t>(keepChunks); c < chunks_.size(); ++c)
        chunks_[c].clear();
}

} // namespace varnoke
