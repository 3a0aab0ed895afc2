#pragma once
// Moving values between the program's Value and SQLite, by column type.
#include "engine/field.h"
#include "value/value.h"

#include <sqlite3.h>

#include <string>
#include <string_view>

namespace varnoke::detail {

// The value a column of this type stores for v: converted as an assignment to a field
// converts (3421 when it cannot be, 3163 when a text is longer than the field).
Value storeValue(const Value& v, ColumnType type, std::string_view fieldName = {});
// Whether storeValue would give v back as it is: it may then be stored without a copy.
bool storesAsIs(const Value& v, ColumnType type);

// A column's stored value as the program sees it: a date column gives a date, a
// yes/no column a Boolean, and so on.
Value readColumn(sqlite3_stmt* stmt, int column, ColumnType type);
// The same for a column stored as a number, and as a text.
Value numberColumn(double number, ColumnType type);
Value textColumn(std::string text, ColumnType type);

// A value of no known column type (function arguments, computed columns).
Value readUntyped(sqlite3_value* v);

// `kept`: the value outlives the statement's use of it, so a text is bound without a copy.
void bindValue(sqlite3_stmt* stmt, int index, const Value& v, bool kept = false);
void resultValue(sqlite3_context* ctx, const Value& v);

// The number of characters of a UTF-8 text.
std::size_t characterCount(std::string_view text);

} // namespace varnoke::detail
