// The key index of a recordset: one text column of a row set in stored order, kept in
// memory so a find of "[F] = 'text'" needs no SQLite index, and lent to statements that
// select rows of the same table by that column.
//
// Invariant: the key index is held in the row cache (row_cache.h), on its one stamp: it
// answers only at the data version it was read or carried to, and covers a row set in
// stored order (natural_) only.
#include "engine/recordset_state.h"
#include "value/case_fold.h"

#include <algorithm>
#include <cassert>

namespace varnoke::detail {

namespace {

// The slots that left the row set, which never come back to it (see KeyIndex).
auto goneFrom(const std::vector<char>& alive) {
    return [&alive](std::size_t slot) { return !alive[slot]; };
}

} // namespace

std::optional<std::vector<std::int64_t>> RecordsetState::keyedRows(std::string_view column,
                                                                   std::string_view text) {
    if (!open || !natural_) return std::nullopt;
    const int served = columnOfBase(column);
    KeyIndex* keys = served < 0 ? nullptr : keysServe(served);
    if (!keys || !keys->coversTable()) return std::nullopt;
    std::vector<std::int64_t> found;
    keys->firstCandidate(text, KeyIndex::Walk::Forwards, 0, goneFrom(alive_),
                         [&](std::size_t slot) {
                             const auto kept = keys->textOf(slot);
                             if (!kept || sameFolded(*kept, text)) found.push_back(rows_[slot]);
                             return false;
                         });
    return found;
}

// A scan of the table stands in for many index searches, but a table written between
// finds would be scanned for each: after the index goes stale, finds go to SQLite until
// their number reaches a quarter of the rows, so scans cost no more than the finds.
KeyIndex* RecordsetState::keysServe(int column) {
    assert(natural_);
    cache_.sync(dataVersion());
    if (KeyIndex* keys = cache_.keys(column)) return keys;
    if (keysScanned_ && findsSinceScan_ * 4 < rows_.size()) {
        ++findsSinceScan_;
        return nullptr;
    }
    keysScanned_ = true;
    findsSinceScan_ = 0;
    // value() answers from the kept texts as it would from the row's text.
    assert(stypeOf(columns[static_cast<std::size_t>(column)].type) == SType::Text);
    cache_.holdKeys(column, KeyIndex::scan(conn(), base_, baseName(column), rows_, alive_));
    return cache_.keys(column);
}

std::optional<std::optional<std::size_t>>
RecordsetState::keyedFind(const FindQuery& q, std::optional<std::size_t> after) {
    if (q.keyColumn < 0 || !natural_) return std::nullopt;
    KeyIndex* keys = keysServe(q.keyColumn);
    if (!keys) return std::nullopt;
    const std::string& text = q.binds[static_cast<std::size_t>(q.keyBind - 1)].asText();
    auto hit = [&](std::size_t slot) {
        // The row itself is read when a value other than the key is asked for.
        if (auto kept = keys->textOf(slot)) return sameFolded(*kept, text);
        if (!readRowAt(slot)) return false;
        const Value& v = cache_.row()[static_cast<std::size_t>(q.keyColumn)];
        return v.isText() && sameFolded(v.asText(), text);
    };
    // A find from a record starts at its place among the candidates.
    if (q.backwards)
        return std::make_optional(keys->firstCandidate(
            text, KeyIndex::Walk::Backwards, after.value_or(rows_.size()), goneFrom(alive_), hit));
    return std::make_optional(keys->firstCandidate(text, KeyIndex::Walk::Forwards,
                                                   after ? *after + 1 : 0, goneFrom(alive_), hit));
}

} // namespace varnoke::detail
