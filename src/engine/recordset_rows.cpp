// The values of a recordset's rows: the current row, the rows read ahead of a walk in
// stored order, and the store of every row, each valid while the table's data version
// is the one it was read at; a recordset's own write of one row drops that row only.
#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/recordset_state.h"

#include <algorithm>

namespace varnoke::detail {

bool RecordsetState::aheadCurrent() const {
    return ahead_ && ahead_->version == conn().dataVersion(versionSlot_);
}

RecordsetState::OwnWrite RecordsetState::beginOwnWrite(bool keyWritten) {
    const OwnWrite w{keysCurrent() && !keyWritten, aheadCurrent(), storeCurrent()};
    noteOwnWrite();
    return w;
}

// After this recordset wrote one row, what it held before of the other rows is still as
// read, and the key index holds while the key was not written.
void RecordsetState::endOwnWrite(const OwnWrite& w, std::size_t written) {
    const auto version = conn().dataVersion(versionSlot_);
    if (w.keys) keysVersion_ = version;
    if (w.ahead) {
        if (written >= ahead_->first && written - ahead_->first < ahead_->count)
            ahead_->held[written - ahead_->first] = 0;
        ahead_->version = version;
    }
    if (w.store) {
        store_->drop(written);
        storeVersion_ = version;
    }
}

bool RecordsetState::readRowAt(std::size_t slot) {
    auto st = conn().prepare(rowSql_);
    sqlite3_bind_int64(st.get(), 1, rows_[slot]);
    if (!st.step()) return false;
    keepRow(st.get(), 0, slot);
    return true;
}

void RecordsetState::loadRow() {
    const auto version = conn().dataVersion(versionSlot_);
    if (cacheValid_ && cachedSlot_ == slot_ && cachedVersion_ == version) return;
    const bool walking = natural_ && lastLoaded_ + 1 == slot_;
    lastLoaded_ = slot_;
    if (takeAhead(version)) return;
    if (walking) {
        readAhead();
        if (takeAhead(version)) return;
    }
    if (takeStored(version)) return;
    auto st = conn().prepare(rowSql_);
    sqlite3_bind_int64(st.get(), 1, rows_[slot_]);
    if (!st.step()) recordDeleted();
    keepRow(st.get(), 0, slot_);
}

void RecordsetState::readAhead() {
    constexpr std::size_t kAhead = 64;
    const std::size_t end = std::min(rows_.size(), slot_ + kAhead);
    const std::size_t width = columns.size();
    // The buffers of the rows read before serve again.
    ReadAhead ahead = ahead_ ? std::move(*ahead_) : ReadAhead{};
    ahead_.reset();
    ahead.first = slot_;
    ahead.count = end - slot_;
    ahead.values.resize(ahead.count * width);
    ahead.held.assign(ahead.count, 0);
    ahead.version = conn().dataVersion(versionSlot_);
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
    ahead_ = std::move(ahead);
}

// The rowid and every column of the row set, from the base table.
std::string RecordsetState::rowsQuery() const {
    return "SELECT rowid, " + columnList(base_, columns) + " FROM " + base_.sqlName();
}

bool RecordsetState::storeCurrent() const {
    return store_ && storeVersion_ == conn().dataVersion(versionSlot_);
}

// A scan of the table costs about as much as an eighth of its rows read one by one, and
// is made only after that many such reads, up to a bound of memory.
bool RecordsetState::takeStored(Connection::DataVersion version) {
    constexpr std::size_t kMaxStoreBytes = 8 * 1024 * 1024;
    if (!natural_ || storeTooBig_) return false;
    if (!store_ || storeVersion_ != version) {
        store_.reset();
        if (++readsUnstored_ * 8 < rows_.size()) return false;
        readsUnstored_ = 0;
        std::vector<ColumnType> types;
        for (const auto& c : columns)
            types.push_back(c.type);
        store_ =
            RowStore::scan(conn(), rowsQuery() + " ORDER BY rowid", types, rows_, kMaxStoreBytes);
        storeVersion_ = version;
        if (!store_) {
            storeTooBig_ = true;
            return false;
        }
    }
    if (!store_->values(slot_, cached_)) return false;
    cachedSlot_ = slot_;
    cachedVersion_ = version;
    cacheValid_ = true;
    return true;
}

// The current row from the rows read ahead, when they hold it and are still current.
bool RecordsetState::takeAhead(Connection::DataVersion version) {
    if (!natural_ || !ahead_ || ahead_->version != version || slot_ < ahead_->first ||
        slot_ - ahead_->first >= ahead_->count)
        return false;
    const std::size_t row = slot_ - ahead_->first;
    if (!ahead_->held[row]) return false;
    ahead_->held[row] = 0;
    const auto first = ahead_->values.begin() + static_cast<std::ptrdiff_t>(row * columns.size());
    cached_.assign(std::make_move_iterator(first),
                   std::make_move_iterator(first + static_cast<std::ptrdiff_t>(columns.size())));
    cachedSlot_ = slot_;
    cachedVersion_ = version;
    cacheValid_ = true;
    return true;
}

// The values of a row, from the columns of a statement's current result row on.
void RecordsetState::keepRow(sqlite3_stmt* st, int firstColumn, std::size_t slot) {
    cached_.clear();
    for (std::size_t i = 0; i < columns.size(); ++i)
        cached_.push_back(readColumn(st, firstColumn + static_cast<int>(i), columns[i].type));
    cachedSlot_ = slot;
    cachedVersion_ = conn().dataVersion(versionSlot_);
    cacheValid_ = true;
}

Value RecordsetState::value(int column) {
    checkOpen();
    const auto i = static_cast<std::size_t>(column);
    if (editMode != 0 && pending_[i]) return *pending_[i];
    if (editMode == 2) return Value::null();
    requireCurrent();
    if (column == keysColumn_ && keysCurrent())
        if (auto kept = keys_->textOf(slot_)) return Value::text(std::string(*kept));
    loadRow();
    return cached_[i];
}

} // namespace varnoke::detail
