#pragma once
// Export fields are matched to their sources by exact name: the engine's own lookup
// ignores case, but a field NAME must not receive the value meant for Name.
#include <optional>
#include <string_view>

namespace varnoke {

class Recordset;

// Position of the first field of rs named exactly name.
std::optional<int> exactField(const Recordset& rs, std::string_view name);

// Copies the first count fields of the source's current record into the pending new
// record of target, each to the first target field of exactly its name. True when a
// value was assigned. An assignment the engine refuses raises its error.
bool copyByName(const Recordset& source, int count, Recordset& target);

} // namespace varnoke
