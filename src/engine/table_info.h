#pragma once
// What the catalogue knows of a table: its name, schema, columns with their types, and
// indexes; and the kinds of index a find may ask for.
#include "engine/field.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnoke::detail {

// The index a find asks for: a column of numbers or dates, a text compared without
// regard to case, or a text compared exactly (which also serves the case-blind test
// of the same find, so one index answers both).
enum class IndexKind { Plain, NoCase, Exact };

struct ColumnInfo {
    std::string name;
    ColumnType type;
    // A COUNTER: the table's rowid under a name, the row's identity in every open row
    // set, which no write may change.
    bool counter = false;
};

// Raises 3164 for a column no write may change (a COUNTER).
void requireChangeable(const ColumnInfo& column);

struct TableInfo {
    std::string name;   // as stored
    std::string schema; // "main" or "temp"
    std::vector<ColumnInfo> columns;
    std::vector<std::string> indexes;
    int columnIndex(std::string_view column) const; // -1 when missing
    std::string sqlName() const;                    // schema."name"
};

} // namespace varnoke::detail
