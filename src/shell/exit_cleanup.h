#pragma once
// What the program does to the working database as it ends.
#include "shell/shared_state.h"

#include <string>
#include <vector>

namespace varnoke {

// Closes the shared recordsets, empties the program's own working tables (see
// emptiedAtExit), compacts the file when it can, and closes workDb. A table that cannot be emptied
// keeps its rows and the walk goes on. Returns the tables it emptied, in the collection's order.
std::vector<std::string> exitCleanup(SharedState& state);

} // namespace varnoke
