#pragma once
// What a connection asks of an open row set of one of its tables, without knowing the
// recordset behind it: rows deleted by others leave it, a statement may borrow its key
// index, and closing its database handle closes it. The connection holds row sets
// weakly, by table, in its one registry of them (open_row_sets.cpp).
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

class OpenRowSet {
public:
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // These rowids of the table are gone.
    virtual void rowsDeleted(std::span<const std::int64_t> rowids) = 0;
    // The rowids of every row of the table whose `column` may equal `text` without
    // regard to case, from this row set's key index when it covers the whole table;
    // nothing when it does not serve. A statement checks each row against its own
    // condition.
    virtual std::optional<std::vector<std::int64_t>> keyedRows(std::string_view column,
                                                               std::string_view text) = 0;
    // An UPDATE of the table that set only these columns has run since `before`: a key
    // index current then on another column still holds.
    virtual void keysSurvive(DataVersion before, const std::vector<std::string>& setColumns) = 0;

protected:
    ~OpenRowSet() = default;
};

} // namespace varnoke::detail
