#pragma once
// What the program does to the working database as it ends.
#include "platform/prompter.h"
#include "shell/shared_state.h"

#include <string>
#include <vector>

namespace varnoke {

// Closes the shared recordsets, drops the transient tables a link left behind (saying so
// through prompter when one cannot be dropped), empties the program's own working tables
// (see emptiedAtExit), compacts the file and closes workDb. A table that cannot be
// emptied keeps its rows and the walk goes on. The first of a commit, a compaction and
// the close that fails is shown through prompter (a compaction fails while any
// recordset of the file is still open: close every window first). Returns the tables
// it emptied, in the collection's order.
std::vector<std::string> exitCleanup(SharedState& state, Prompter& prompter);

} // namespace varnoke
