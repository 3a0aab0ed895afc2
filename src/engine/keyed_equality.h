#pragma once
// Which conditions an engine key index can answer, read from the syntax tree: one
// case-blind equality of a text column with a text literal. Finds, UPDATEs and DELETEs
// ask the same question here, so no change in how the renderer prints a comparison can
// turn their fast paths off.
#include "engine/sql_render.h"

#include <cstddef>
#include <optional>
#include <string>

namespace varnoke::detail {

struct KeyedEquality {
    std::string column; // as the table names it
    int keyBind = 0;    // the bind that holds the literal's text
};

// `condition` as `r` has just rendered it in a scope whose searched columns begin at
// `firstSearched`: is it "[F] = 'text'" (either way round) with F a text column of
// `table`?
std::optional<KeyedEquality> keyedEquality(const sql::Expr& condition, const Renderer& r,
                                           std::size_t firstSearched, const TableInfo& table);

} // namespace varnoke::detail
