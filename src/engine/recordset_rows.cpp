// The values of a recordset's rows, read into its row cache (row_cache.h, which keeps the
// rule of when they may be used): the current row, the rows read ahead of a walk in
// stored order, and the store of every row.
//
// Invariant: a value is taken from the cache only after cache_.sync() with the table's
// data version of now; the read-ahead and the store serve only a row set in stored
// order (natural_), whose slots are the table's rows by ascending rowid.
#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/recordset_state.h"

#include <algorithm>
#include <cassert>

namespace varnoke::detail {

void RecordsetState::written(DataVersion before, DataVersion after, const TableChange& change) {
    if (!open) return;
    if (!change.deleted.empty()) rowsDeleted(change.deleted);
    if (!cache_.holds(before)) return; // stale already: the next sync drops it
    const int keyColumn = cache_.keysColumn();
    const bool keysHold =
        change.onlySets &&
        (keyColumn < 0 ||
         std::none_of(change.setColumns.begin(), change.setColumns.end(),
                      [&](const std::string& c) { return sameName(c, baseName(keyColumn)); }));
    // Only the writer knows which of its slots the written row is.
    cache_.written(before, after, change.writer == this ? change.writerSlot : RowCache::kNone,
                   keysHold);
}

bool RecordsetState::readRowAt(std::size_t slot) {
    auto st = conn().prepare(rowSql_);
    sqlite3_bind_int64(st.get(), 1, rows_[slot]);
    if (!st.step()) return false;
    keepRow(st.get(), 0, slot);
    return true;
}

// The current row into the cache, which value() has synced.
void RecordsetState::loadRow() {
    if (cache_.holdsRow(slot_)) return;
    const bool walking = natural_ && lastLoaded_ + 1 == slot_;
    lastLoaded_ = slot_;
    if (natural_ && cache_.takeAhead(slot_, columns.size())) return;
    if (walking) {
        readAhead();
        if (cache_.takeAhead(slot_, columns.size())) return;
    }
    if (takeStored()) return;
    if (!readRowAt(slot_)) recordDeleted();
}

// The next rows of a walk, from the current one on, by one statement.
void RecordsetState::readAhead() {
    constexpr std::size_t kAhead = 64;
    assert(natural_ && slot_ < rows_.size());
    const std::size_t end = std::min(rows_.size(), slot_ + kAhead);
    const std::size_t width = columns.size();
    // The buffers of the rows read before serve again.
    RowCache::Ahead ahead = cache_.takeAheadBuffers();
    ahead.first = slot_;
    ahead.count = end - slot_;
    ahead.values.resize(ahead.count * width);
    ahead.held.assign(ahead.count, 0);
    auto st = conn().prepare(rowsQuery() + " WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid");
    sqlite3_bind_int64(st.get(), 1, rows_[slot_]);
    sqlite3_bind_int64(st.get(), 2, rows_[end - 1]);
    std::size_t slot = slot_;
    while (st.step()) {
        const std::int64_t rowid = sqlite3_column_int64(st.get(), 0);
        while (slot < end && rows_[slot] < rowid)
            ++slot;
        if (slot == end) break;
        if (rows_[slot] != rowid) continue; // not in this row set
        const std::size_t row = slot - slot_;
        for (std::size_t i = 0; i < width; ++i)
            ahead.values[row * width + i] =
                readColumn(st.get(), static_cast<int>(i) + 1, columns[i].type);
        ahead.held[row] = 1;
    }
    cache_.holdAhead(std::move(ahead));
}

// The rowid and every column of the row set, from the base table.
std::string RecordsetState::rowsQuery() const {
    return "SELECT rowid, " + columnList(base_, columns) + " FROM " + base_.sqlName();
}

// A scan of the table costs about as much as an eighth of its rows read one by one, and
// is made only after that many such reads, up to a bound of memory.
bool RecordsetState::takeStored() {
    constexpr std::size_t kMaxStoreBytes = 8 * 1024 * 1024;
    if (!natural_ || storeTooBig_) return false;
    if (!cache_.hasStore()) {
        if (++readsUnstored_ * 8 < rows_.size()) return false;
        readsUnstored_ = 0;
        std::vector<ColumnType> types;
        for (const auto& c : columns)
            types.push_back(c.type);
        auto store =
            RowStore::scan(conn(), rowsQuery() + " ORDER BY rowid", types, rows_, kMaxStoreBytes);
        if (!store) {
            storeTooBig_ = true;
            return false;
        }
        cache_.holdStore(std::move(*store));
    }
    return cache_.takeStored(slot_);
}

// The values of a row, from the columns of a statement's current result row on.
void RecordsetState::keepRow(sqlite3_stmt* st, int firstColumn, std::size_t slot) {
    cache_.sync(dataVersion());
    auto& row = cache_.keepRow(slot);
    row.clear();
    for (std::size_t i = 0; i < columns.size(); ++i)
        row.push_back(readColumn(st, firstColumn + static_cast<int>(i), columns[i].type));
}

Value RecordsetState::value(int column) {
    checkOpen();
    const auto i = static_cast<std::size_t>(column);
    if (editMode != 0 && pending_[i]) return *pending_[i];
    if (editMode == 2) return Value::null();
    requireCurrent();
    cache_.sync(dataVersion());
    if (const KeyIndex* keys = cache_.keys(column))
        if (auto kept = keys->textOf(slot_)) return Value::text(std::string(*kept));
    loadRow();
    return cache_.row()[i];
}

} // namespace varnoke::detail
