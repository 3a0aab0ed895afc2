#include "engine/key_index.h"

#include "engine/sql_name.h"
#include "value/case_fold.h"

#include <algorithm>
#include <cassert>

namespace varnoke::detail {
namespace {

// The texts an index keeps beside its keys; a column of longer texts is checked against
// its rows instead.
constexpr std::size_t kMaxTexts = 32 * 1024 * 1024;

// Texts equal without regard to case have equal keys: a hash of their folded units.
std::uint64_t keyOf(std::string_view text) {
    std::uint64_t h = 14695981039346656037ull;
    for (FoldedUnits u(text); !u.done();)
        h = (h ^ u.next()) * 1099511628211ull;
    return h ^ (h >> 29);
}

KeyIndex::Entry entryOf(std::uint64_t key, std::uint32_t slot) {
    return {static_cast<std::uint32_t>(key >> 32), static_cast<std::uint32_t>(key), slot};
}

} // namespace

std::optional<KeyIndex> KeyIndex::scan(Connection& c, const TableInfo& table,
                                       const std::string& column,
                                       const std::vector<std::int64_t>& rows,
                                       const std::vector<char>& alive) {
    assert(alive.size() == rows.size());
    if (rows.size() >= UINT32_MAX) return std::nullopt;
    KeyIndex index;
    index.entries_.reserve(rows.size());
    bool keepTexts = true;
    index.textStart_.reserve(rows.size() + 1);
    index.hasText_.assign(rows.size(), false);
    // Slots up to `upTo` begin where the texts end so far.
    auto openSlots = [&](std::size_t upTo) {
        while (keepTexts && index.textStart_.size() <= upTo)
            index.textStart_.push_back(static_cast<std::uint32_t>(index.texts_.size()));
    };
    auto st = c.prepare("SELECT rowid, " + quoteName(column) + " FROM " + table.sqlName() +
                        " ORDER BY rowid");
    std::size_t slot = 0;
    while (st.step()) {
        const std::int64_t rowid = sqlite3_column_int64(st.get(), 0);
        // Rows the row set does not hold are never found. A dead slot's rowid may have
        // been given to a row added since, which is not the row the slot held.
        while (slot < rows.size() && rows[slot] < rowid)
            ++slot;
        if (slot == rows.size() || rows[slot] != rowid || !alive[slot]) {
            index.coversTable_ = false;
            if (slot == rows.size()) break;
            continue;
        }
        const int type = sqlite3_column_type(st.get(), 1);
        if (type == SQLITE_NULL) continue;
        if (type != SQLITE_TEXT) return std::nullopt;
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(st.get(), 1));
        index.entries_.push_back(entryOf(keyOf({text, size}), static_cast<std::uint32_t>(slot)));
        openSlots(slot);
        if (keepTexts && index.texts_.size() + size > kMaxTexts) {
            keepTexts = false;
            std::string().swap(index.texts_);
            std::vector<std::uint32_t>().swap(index.textStart_);
            std::vector<bool>().swap(index.hasText_);
        }
        if (keepTexts) {
            index.texts_.append(text, size);
            index.hasText_[slot] = true;
        }
    }
    openSlots(rows.size());
    // About one directory slot per entry, up to 2^16 slots. The entries are spread over
    // the slots by their leading bits and sorted within each, which costs far less than
    // sorting them whole.
    index.directoryBits_ = 1;
    while (index.directoryBits_ < 16 && (std::size_t{1} << index.directoryBits_) < rows.size())
        ++index.directoryBits_;
    const std::size_t slots = std::size_t{1} << index.directoryBits_;
    const auto bucketOf = [&](const Entry& e) { return e.keyHigh >> (32 - index.directoryBits_); };
    index.directory_.assign(slots + 1, 0);
    for (const Entry& e : index.entries_)
        ++index.directory_[bucketOf(e) + 1];
    for (std::size_t b = 0; b < slots; ++b)
        index.directory_[b + 1] += index.directory_[b];
    // In place, so the index never needs twice its size.
    auto& entries = index.entries_;
    std::vector<std::uint32_t> next(index.directory_.begin(), index.directory_.end() - 1);
    for (std::size_t b = 0; b < slots; ++b) {
        while (next[b] < index.directory_[b + 1]) {
            Entry e = entries[next[b]];
            for (std::size_t d = bucketOf(e); d != b; d = bucketOf(e))
                std::swap(e, entries[next[d]++]);
            entries[next[b]++] = e;
        }
    }
    for (std::size_t b = 0; b < slots; ++b)
        if (index.directory_[b + 1] - index.directory_[b] > 1)
            std::sort(entries.begin() + index.directory_[b],
                      entries.begin() + index.directory_[b + 1]);
    index.forwards_ = SkipLinks(entries.size());
    index.backwards_ = SkipLinks(entries.size());
    return index;
}

std::optional<std::string_view> KeyIndex::textOf(std::size_t slot) const {
    if (slot >= hasText_.size() || !hasText_[slot]) return std::nullopt;
    return std::string_view(texts_).substr(textStart_[slot],
                                           textStart_[slot + 1] - textStart_[slot]);
}

std::pair<std::size_t, std::size_t> KeyIndex::candidates(std::string_view text) const {
    const auto key = keyOf(text);
    const auto bucket = static_cast<std::uint32_t>(key >> 32) >> (32 - directoryBits_);
    const auto first = entries_.begin() + directory_[bucket];
    const auto last = entries_.begin() + directory_[bucket + 1];
    const auto low = std::lower_bound(first, last, entryOf(key, 0));
    const auto high = std::upper_bound(low, last, entryOf(key, UINT32_MAX));
    return {static_cast<std::size_t>(low - entries_.begin()),
            static_cast<std::size_t>(high - entries_.begin())};
}

std::size_t KeyIndex::firstFrom(std::size_t first, std::size_t last, std::size_t slot) const {
    const auto begin = entries_.begin();
    const auto at = std::lower_bound(begin + static_cast<std::ptrdiff_t>(first),
                                     begin + static_cast<std::ptrdiff_t>(last), slot,
                                     [](const Entry& e, std::size_t s) { return e.slot < s; });
    return static_cast<std::size_t>(at - begin);
}

} // namespace varnoke::detail
