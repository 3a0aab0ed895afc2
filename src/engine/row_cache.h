#pragma once
// What a recordset holds in memory of its table's rows, by slot: the current row, the
// rows read ahead of a walk in stored order, the store of every row, and the key index
// of one text column. Reading them (which rows, when, by which statement) is the
// recordset's (recordset_rows.cpp, recordset_keys.cpp); this class keeps the one rule
// of when what it holds may be used.
//
// Invariants:
//  - everything held was read at the table's data version in stamp_, or carried to it
//    by written(); a holder calls sync(now) before it trusts any of it, which drops all
//    of it once the table has moved on;
//  - the only way anything outlives a change of the version is written(): a write the
//    connection told every row set of its table of (Connection::writeRows). The row set
//    that wrote one row forgets that row and keeps the rest; the key index stays while
//    the write set no column of it and added no row;
//  - so whatever holds a slot (the current row, the rows ahead, the store) holds the
//    table's values of it at the stamp, and two of them never disagree.
#include "engine/key_index.h"
#include "engine/open_row_set.h"
#include "engine/row_store.h"
#include "value/value.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace varnoke::detail {

class RowCache {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Drops everything when the table's version is no longer the stamp; stamps `now`.
    void sync(DataVersion now) {
        if (stamp_ != now) {
            clear();
            stamp_ = now;
        }
    }
    void clear();
    // Whether what it holds was read at (or carried to) that version.
    bool holds(DataVersion version) const { return stamp_ == version; }
    // The table's rows went from `before` to `after` by a write that changed the row in
    // `slot` of this row set only (kNone: any row), added no row, and left the key index
    // standing or not.
    void written(DataVersion before, DataVersion after, std::size_t slot, bool keysHold);

    // --- the current row: the values of one slot
    bool holdsRow(std::size_t slot) const { return rowSlot_ == slot && slot != kNone; }
    const std::vector<Value>& row() const { return row_; }
    // The buffer to fill with the values of `slot`, which it then holds.
    std::vector<Value>& keepRow(std::size_t slot);

    // --- rows read ahead: `count` rows from slot `first`, every column of a row one
    // after another; held[i] is whether row i was read and is still as read.
    struct Ahead {
        std::size_t first = 0;
        std::size_t count = 0;
        std::vector<Value> values;
        std::vector<char> held;
    };
    // The buffers of the rows read ahead, for the next read ahead; it holds none then.
    Ahead takeAheadBuffers();
    void holdAhead(Ahead ahead) { ahead_ = std::move(ahead); }
    // Moves the row in `slot` from the rows ahead to the current row; false when they
    // do not hold it.
    bool takeAhead(std::size_t slot, std::size_t width);

    // --- every row, compactly
    bool hasStore() const { return store_.has_value(); }
    void holdStore(RowStore store) { store_ = std::move(store); }
    // The row in `slot` from the store to the current row; false when it is not held.
    bool takeStored(std::size_t slot);

    // --- the key index of one column
    // Not const: its walks link past the slots that left the row set.
    KeyIndex* keys(int column) { return keys_ && keysColumn_ == column ? &*keys_ : nullptr; }
    int keysColumn() const { return keys_ ? keysColumn_ : -1; }
    void holdKeys(int column, std::optional<KeyIndex> keys);
    void dropKeys() { keys_.reset(); }

private:
    void forget(std::size_t slot);

    std::optional<DataVersion> stamp_;
    std::vector<Value> row_;
    std::size_t rowSlot_ = kNone;
    std::optional<Ahead> ahead_;
    std::optional<RowStore> store_;
    std::optional<KeyIndex> keys_;
    int keysColumn_ = -1;
};

} // namespace varnoke::detail
