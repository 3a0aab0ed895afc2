#pragma once
// Copying a foreign table into a new local table as a reader delivers it.
#include "engine/connection.h"
#include "engine/foreign_reader.h"

#include <functional>
#include <string>

namespace varnoke::detail {

// Creates `table` with the reader's fields and writes its rows. Raises the reader's
// error, or 3274 when the reader delivers no fields; run it inside a savepoint so a
// failure leaves nothing behind. whileWaiting, when set, runs as the reader waits.
// Returns the name of the table the reader chose where the link named none of the file's
// tables, else "".
std::string importForeignTable(Connection& c, const std::string& table, const ForeignReader& reader,
                               const LinkSource& source,
                               const std::function<void()>& whileWaiting = {});

} // namespace varnoke::detail
