#pragma once
// What a connection asks of an open row set of one of its tables, without knowing the
// recordset behind it: rows deleted by others leave it, a statement may borrow its key
// index, and closing its database handle or dropping its table closes it. The connection
// holds row sets weakly, by table, in its one registry of them (open_row_sets.cpp).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::detail {

// Versions of the data, so caches know when what they hold may be stale: a write to
// one table bumps that table's version only; a change of every table (definitions,
// writes whose table is not known, undone work) bumps `all`.
struct DataVersion {
    std::uint64_t all = 0;
    std::uint64_t table = 0;
    bool operator==(const DataVersion&) const = default;
};

class OpenRowSet;

// What one write did to a table's rows, as every open row set of the table hears of it.
struct TableChange {
    // Set when it only changed the columns in setColumns of rows that stay, or deleted
    // rows: no row was added, and a key index of another column still holds.
    bool onlySets = false;
    std::span<const std::string> setColumns;
    // The rowids it deleted: they leave every row set.
    std::span<const std::int64_t> deleted;
    // The row set that wrote one row itself, and that row's slot in it: it forgets that
    // row and keeps what it holds of the others.
    const OpenRowSet* writer = nullptr;
    std::size_t writerSlot = 0;
};

class OpenRowSet {
public:
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // A write took the table's rows from version `before` to `after` (see TableChange).
    virtual void written(DataVersion before, DataVersion after, const TableChange& change) = 0;
    // The rowids of every row of the table whose `column` may equal `text` without
    // regard to case, from this row set's key index when it covers the whole table;
    // nothing when it does not serve. A statement checks each row against its own
    // condition.
    virtual std::optional<std::vector<std::int64_t>> keyedRows(std::string_view column,
                                                               std::string_view text) = 0;
    // The gathered batch of that number (Connection::batch) was undone, after every data
    // version moved on: the rows added in it are gone, and a row added later may take
    // one's rowid; the rows deleted in it stand again.
    virtual void batchLost(std::uint64_t batch) noexcept = 0;

protected:
    ~OpenRowSet() = default;
};

} // namespace varnoke::detail
