#include "engine/row_store.h"

#include "engine/column_value.h"

#include <algorithm>
#include <cstring>

namespace varnoke::detail {
namespace {

template <typename T> void put(std::string& out, T v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <typename T> T take(const char*& p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

// A column as SQLite stores it: a byte for its storage class, then its number or text.
// The program's value is made from it as a read of the column makes it.
enum class Stored : char { Null, Number, Text };

void encode(std::string& out, sqlite3_stmt* st, int column) {
    switch (sqlite3_column_type(st, column)) {
    case SQLITE_NULL:
        out.push_back(static_cast<char>(Stored::Null));
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        out.push_back(static_cast<char>(Stored::Number));
        put(out, sqlite3_column_double(st, column));
        return;
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
        const auto size = static_cast<std::uint32_t>(sqlite3_column_bytes(st, column));
        out.push_back(static_cast<char>(Stored::Text));
        put(out, size);
        if (p) out.append(p, size);
        return;
    }
    }
}

Value decode(const char*& p, ColumnType type) {
    switch (static_cast<Stored>(*p++)) {
    case Stored::Null:
        return Value::null();
    case Stored::Number:
        return numberColumn(take<double>(p), type);
    case Stored::Text:
        break;
    }
    const auto size = take<std::uint32_t>(p);
    std::string text(p, size);
    p += size;
    return textColumn(std::move(text), type);
}

} // namespace

std::optional<RowStore> RowStore::scan(Connection& c, const std::string& sql,
                                       const std::vector<ColumnType>& types,
                                       const std::vector<std::int64_t>& rows,
                                       std::size_t maxBytes) {
    RowStore store;
    store.types_ = types;
    // Grown as rows come, so a scan given up at the bound has not taken more.
    store.start_.reserve(std::min(rows.size(), maxBytes / 16));
    auto st = c.prepare(sql);
    std::size_t slot = 0;
    while (st.step()) {
        const std::int64_t rowid = sqlite3_column_int64(st.get(), 0);
        while (slot < rows.size() && rows[slot] < rowid)
            ++slot;
        if (slot == rows.size()) break;
        if (rows[slot] != rowid) continue; // not in this row set
        store.start_.resize(slot, kAbsent);
        store.start_.push_back(static_cast<std::uint32_t>(store.bytes_.size()));
        for (std::size_t i = 0; i < types.size(); ++i)
            encode(store.bytes_, st.get(), static_cast<int>(i) + 1);
        if (store.bytes_.size() > maxBytes) return std::nullopt;
    }
    store.start_.resize(rows.size(), kAbsent);
    return store;
}

bool RowStore::values(std::size_t slot, std::vector<Value>& out) const {
    if (slot >= start_.size() || start_[slot] == kAbsent) return false;
    out.clear();
    const char* p = bytes_.data() + start_[slot];
    for (const ColumnType& type : types_)
        out.push_back(decode(p, type));
    return true;
}

void RowStore::drop(std::size_t slot) {
    if (slot < start_.size()) start_[slot] = kAbsent;
}

} // namespace varnoke::detail
