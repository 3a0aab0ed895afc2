#pragma once
// The one check of a table about to be made, whatever makes it (a link, a TableDef, a
// CREATE TABLE or SELECT INTO statement): a name the engine can hold, fields a table
// can hold, none named twice.
#include "engine/table_info.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnoke::detail {

// Raises 3125 when a table's name is blank or holds a control character (a NUL would
// end the name inside SQLite).
void checkTableName(std::string_view name);

// Checks cols as above, first their count (3190 past what a table holds, before any
// work per field), then each name (3125 naming the field and its position), then
// repeats (3191), and gives their definitions for CREATE TABLE.
std::string newTableColumns(const std::vector<ColumnInfo>& cols);

} // namespace varnoke::detail
