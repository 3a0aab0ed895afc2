#pragma once
// Parser of the program's SQL dialect. Raises EngineError 3075 for a bad expression
// and 3129/3131 for a bad statement, quoting the offending text.
#include "engine/sql_ast.h"

#include <string_view>

namespace varnoke::sql {

// A criteria, filter or other lone expression (finds, filters, seeks).
ExprPtr parseExpression(std::string_view text);

// A sort text: "[Name] desc, City".
std::vector<OrderItem> parseOrderList(std::string_view text);

// One statement, with an optional PARAMETERS declaration and a trailing ";".
Statement parseStatement(std::string_view text);

// Whether a text is a statement rather than a table name: it begins with one of the
// statement keywords.
bool looksLikeStatement(std::string_view text);

} // namespace varnoke::sql
