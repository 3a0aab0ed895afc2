#pragma once
// Data statements that differ only in their texts share one parsed and rendered
// statement: a run executes one UPDATE per record with other values.
#include "engine/sql_render.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace varnoke::detail {

// An UPDATE or DELETE whose WHERE is one case-blind comparison of a text column with a
// bound text (keyedEquality): an open recordset's key index knows the rows it may
// change, which are then written one by one by rowid, each still tested against the
// condition.
struct KeyedWhere {
    std::string column;
    int keyBind = 0;
    std::string byRowidSql; // the statement on one row, its rowid in bind rowidBind
    int rowidBind = 0;
};

// An UPDATE, DELETE or INSERT ... VALUES as rendered for SQLite.
struct DataStatement {
    std::string sql;
    std::vector<Value> binds;
    std::string written;                  // the key of the table it writes
    bool deletes = false;                 // open recordsets hear of the rows it deletes
    std::vector<SearchedColumn> searched; // the find indexes its WHERE asks for
    std::vector<std::string> indexKeys;   // of searched (Connection::findIndexKey)
    // For an UPDATE or a DELETE: the columns it sets (none for a DELETE; a key index on
    // any other column still holds), and how its WHERE may be answered by key.
    std::optional<std::vector<std::string>> setColumns;
    std::optional<KeyedWhere> keyed;
};

// A data statement kept by its shape, with the bind each text goes to and, for a text
// stored into a field, that field (another text must fit it as the first did).
struct KeptStatement {
    DataStatement statement;
    std::vector<int> textBinds;
    std::vector<std::optional<ColumnInfo>> storedInto;
};

// The kept statements of one database handle, by shape key. Holds a bounded number,
// dropping the least recently used, so a user's many distinct statements cannot grow
// it; forgets everything when the schema changes, since names, types and sizes were
// resolved against the catalogue.
class StatementCache {
public:
    const KeptStatement* find(const std::string& key, std::uint64_t schemaVersion);
    void keep(std::string key, KeptStatement kept, std::uint64_t schemaVersion);
    std::size_t size() const { return entries_.size(); }

    static constexpr std::size_t kCapacity = 64;

private:
    struct Entry {
        KeptStatement kept;
        std::uint64_t lastUse = 0;
    };
    void forgetIfStale(std::uint64_t schemaVersion);
    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t schemaVersion_ = 0;
    std::uint64_t clock_ = 0;
};

} // namespace varnoke::detail
