#include "engine/row_cache.h"

#include <cassert>

#include <iterator>

namespace varnoke::detail {

void RowCache::clear() {
    rowSlot_ = kNone;
    ahead_.reset();
    store_.reset();
    keys_.reset();
    keysColumn_ = -1;
}

void RowCache::written(DataVersion before, DataVersion after, std::size_t slot, bool keysHold) {
    assert(before != after);
    if (stamp_ != before) return; // stale already: the next sync drops it
    if (slot == kNone) {
        rowSlot_ = kNone;
        ahead_.reset();
        store_.reset();
    } else {
        forget(slot);
    }
    if (!keysHold) keys_.reset();
    stamp_ = after;
}

void RowCache::forget(std::size_t slot) {
    if (rowSlot_ == slot) rowSlot_ = kNone;
    if (ahead_ && slot >= ahead_->first && slot - ahead_->first < ahead_->count)
        ahead_->held[slot - ahead_->first] = 0;
    if (store_) store_->drop(slot);
}

std::vector<Value>& RowCache::keepRow(std::size_t slot) {
    assert(stamp_.has_value());
    rowSlot_ = slot;
    return row_;
}

RowCache::Ahead RowCache::takeAheadBuffers() {
    Ahead ahead = ahead_ ? std::move(*ahead_) : Ahead{};
    ahead_.reset();
    return ahead;
}

bool RowCache::takeAhead(std::size_t slot, std::size_t width) {
    if (!ahead_ || slot < ahead_->first || slot - ahead_->first >= ahead_->count) return false;
    const std::size_t i = slot - ahead_->first;
    if (!ahead_->held[i]) return false;
    ahead_->held[i] = 0;
    const auto first = ahead_->values.begin() + static_cast<std::ptrdiff_t>(i * width);
    keepRow(slot).assign(std::make_move_iterator(first),
                         std::make_move_iterator(first + static_cast<std::ptrdiff_t>(width)));
    return true;
}

bool RowCache::takeStored(std::size_t slot) {
    if (!store_ || !store_->values(slot, row_)) return false;
    rowSlot_ = slot;
    return true;
}

void RowCache::holdKeys(int column, std::optional<KeyIndex> keys) {
    assert(stamp_.has_value());
    keys_ = std::move(keys);
    keysColumn_ = column;
}

} // namespace varnoke::detail
