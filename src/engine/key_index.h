#pragma once
// The rows of one text column by their case-blind key, held in memory: a run makes one
// find per driving record, and a lookup here costs far less than an index search in
// SQLite. Every candidate is checked against its row (value/case_fold.h, as the
// collation of the same find in SQLite), so the key only narrows the search.
//
// Invariant: a slot that a walk's `gone` says has left the row set never comes back to
// it while the index stands (a row set adds rows only in new slots, and a row added
// drops the index; a lost batch gives back the rows deleted in it only after it moved
// every data version, which drops the index), so no walk meets it again.
#include "engine/connection.h"
#include "engine/skip_links.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
    enum class Walk { Forwards, Backwards };
    // The first slot of the rows whose value may equal `text`, in the walk's direction
    // from slot `from` (forwards: the slots from `from` on; backwards: those before it),
    // that `hit(slot)` holds for. The slots `gone(slot)` says have left the row set
    // are passed over, and cost no later walk anything.
    template <typename Gone, typename Hit>
    std::optional<std::size_t> firstCandidate(std::string_view text, Walk walk, std::size_t from,
                                              Gone gone, Hit hit);
    // The column's text in that row, when the index holds the texts (up to a bound) and
    // the row a text: a find checks its candidates without reading their rows.
    std::optional<std::string_view> textOf(std::size_t slot) const;
    // True when every row of the table was among the rows scanned: the candidates of a
    // text are then all the table's rows that may hold it.
    bool coversTable() const { return coversTable_; }
    // The links its walks followed past rows that left (SkipLinks::steps).
    std::uint64_t linkSteps() const { return forwards_.steps() + backwards_.steps(); }

private:
    // The entries that may hold `text`: [first, second), by ascending slot.
    std::pair<std::size_t, std::size_t> candidates(std::string_view text) const;
    // The first of the entries [first, last) whose slot is `slot` or later.
    std::size_t firstFrom(std::size_t first, std::size_t last, std::size_t slot) const;

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
    // The entries passed over, by position forwards and by position from the last
    // backwards.
    SkipLinks forwards_{0};
    SkipLinks backwards_{0};
};

template <typename Gone, typename Hit>
std::optional<std::size_t> KeyIndex::firstCandidate(std::string_view text, Walk walk,
                                                    std::size_t from, Gone gone, Hit hit) {
    const auto [first, last] = candidates(text);
    const std::size_t at = firstFrom(first, last, from);
    const std::size_t n = entries_.size();
    // Walks the walk's own positions [begin, end), the entry of each at entryAt(i).
    const auto walkOn = [&](SkipLinks& links, std::size_t begin, std::size_t end,
                            auto entryAt) -> std::optional<std::size_t> {
        const auto left = [&](std::size_t i) { return gone(entries_[entryAt(i)].slot); };
        for (std::size_t i = begin; (i = links.firstKept(i, end, left)) < end; ++i)
            if (const std::size_t slot = entries_[entryAt(i)].slot; hit(slot)) return slot;
        return std::nullopt;
    };
    if (walk == Walk::Forwards) return walkOn(forwards_, at, last, [](std::size_t i) { return i; });
    return walkOn(backwards_, n - at, n - first, [n](std::size_t i) { return n - 1 - i; });
}

} // namespace varnoke::detail
