#pragma once
// The names a reader gives a table's fields: every field named, no name twice (letters
// compared without regard to case, as the engine compares names), and no more fields
// than a table can hold.
#include "drivers/foreign_reader.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace varnoke::drivers {

// Names the fields left without a name, and those whose name an earlier field holds,
// "F" and their position from 1, as the engine names them. The names the file gives
// come first: a generated name that one of them holds takes "_2", "_3", ... after it.
void makeNamesUnique(std::vector<ForeignField>& fields);

// Raises 3274 naming fileName when count fields are more than a table can hold; a
// reader asks before it does any work per field.
void checkFieldCount(std::size_t count, std::string_view fileName);

} // namespace varnoke::drivers
