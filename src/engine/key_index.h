#pragma once
// The rows of one text column by their case-blind key, held in memory: a run makes one
// find per driving record, and a lookup here costs far less than an index search in
// SQLite. Every candidate is checked against its row (value/case_fold.h, as the
// collation of the same find in SQLite), so the key only narrows the search.
#include "engine/connection.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::detail {

class KeyIndex {
public:
    // The alive slots of `rows` (ascending rowids) by the value of `column` in `table`;
    // nothing when the column holds a value other than text or Null, which the collation
    // would compare by other rules.
    static std::optional<KeyIndex> scan(Connection& c, const TableInfo& table,
                                        const std::string& column,
                                        const std::vector<std::int64_t>& rows,
                                        const std::vector<char>& alive);

    // Twelve bytes a row: the index of a million-row table stays near 12 MB.
    struct Entry {
        std::uint32_t keyHigh;
        std::uint32_t keyLow;
        std::uint32_t slot;
        auto operator<=>(const Entry&) const = default;
    };
    // The rows whose value may equal `text`, by ascending slot.
    std::span<const Entry> candidates(std::string_view text) const;
    // The column's text in that row, when the index holds the texts (up to a bound) and
    // the row a text: a find checks its candidates without reading their rows.
    std::optional<std::string_view> textOf(std::size_t slot) const;
    // True when every row of the table was among the rows scanned: the candidates of a
    // text are then all the table's rows that may hold it.
    bool coversTable() const { return coversTable_; }

private:
    std::vector<Entry> entries_; // sorted
    // Where the entries of each leading key bits begin, so a lookup searches a few
    // neighbouring entries rather than the whole index.
    std::vector<std::uint32_t> directory_;
    int directoryBits_ = 0;
    // The texts in slot order: slot s holds texts_[textStart_[s], textStart_[s + 1]).
    std::string texts_;
    std::vector<std::uint32_t> textStart_;
    std::vector<bool> hasText_;
    bool coversTable_ = true;
};

} // namespace varnoke::detail
