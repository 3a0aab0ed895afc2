// The key index of a recordset: one text column of a row set in stored order, kept in
// memory so a find of "[F] = 'text'" needs no SQLite index, and lent to statements that
// select rows of the same table by that column.
//
// Invariant: keys_ answers only while keysVersion_ equals the table's data version; an
// UPDATE (of this recordset or a statement) that sets another column carries it over.
#include "engine/recordset_state.h"
#include "value/case_fold.h"

#include <algorithm>

namespace varnoke::detail {

bool RecordsetState::keysCurrent() const {
    return keys_ && keysVersion_ == conn().dataVersion(versionSlot_);
}

std::optional<std::vector<std::int64_t>> RecordsetState::keyedRows(std::string_view column,
                                                                   std::string_view text) {
    if (!open || !natural_) return std::nullopt;
    const int served = columnOfBase(column);
    if (served < 0 || !keysServe(served) || !keys_->coversTable()) return std::nullopt;
    std::vector<std::int64_t> found;
    for (const auto& e : keys_->candidates(text)) {
        if (!alive_[e.slot]) continue;
        const auto kept = keys_->textOf(e.slot);
        if (!kept || sameFolded(*kept, text)) found.push_back(rows_[e.slot]);
    }
    return found;
}

void RecordsetState::keysSurvive(Connection::DataVersion before,
                                 const std::vector<std::string>& setColumns) {
    if (!keys_ || keysVersion_ != before) return;
    const auto& key = baseName(keysColumn_);
    if (std::any_of(setColumns.begin(), setColumns.end(),
                    [&](const std::string& c) { return sameName(c, key); }))
        return;
    keysVersion_ = conn().dataVersion(versionSlot_);
}

// A scan of the table stands in for many index searches, but a table written between
// finds would be scanned for each: after the index goes stale, finds go to SQLite until
// their number reaches a quarter of the rows, so scans cost no more than the finds.
bool RecordsetState::keysServe(int column) {
    if (keysColumn_ == column && keysCurrent()) return true;
    if (keysScanned_ && findsSinceScan_ * 4 < rows_.size()) {
        ++findsSinceScan_;
        return false;
    }
    keysScanned_ = true;
    findsSinceScan_ = 0;
    const auto version = conn().dataVersion(versionSlot_);
    keysColumn_ = column;
    keys_ = KeyIndex::scan(conn(), base_, baseName(keysColumn_), rows_);
    keysVersion_ = version;
    return keys_.has_value();
}

std::optional<std::optional<std::size_t>>
RecordsetState::keyedFind(const FindQuery& q, std::optional<std::size_t> after) {
    if (q.keyColumn < 0 || !natural_ || !keysServe(q.keyColumn)) return std::nullopt;
    const std::string& text = q.binds[static_cast<std::size_t>(q.keyBind - 1)].asText();
    auto found = keys_->candidates(text);
    auto tryHit = [&](std::size_t slot) {
        if (!alive_[slot]) return false;
        // The row itself is read when a value other than the key is asked for.
        if (auto kept = keys_->textOf(slot)) return sameFolded(*kept, text);
        if (!readRowAt(slot)) return false;
        const Value& v = cached_[static_cast<std::size_t>(q.keyColumn)];
        return v.isText() && sameFolded(v.asText(), text);
    };
    // Candidates are in slot order: a find from a record starts at its place among them.
    const auto bySlot = [](const KeyIndex::Entry& e, std::size_t slot) { return e.slot < slot; };
    if (q.backwards) {
        auto end =
            after ? std::lower_bound(found.begin(), found.end(), *after, bySlot) : found.end();
        for (auto it = end; it != found.begin();)
            if (--it; tryHit(it->slot)) return it->slot;
    } else {
        auto it = after ? std::lower_bound(found.begin(), found.end(), *after + 1, bySlot)
                        : found.begin();
        for (; it != found.end(); ++it)
            if (tryHit(it->slot)) return it->slot;
    }
    return std::optional<std::size_t>{};
}

} // namespace varnoke::detail
