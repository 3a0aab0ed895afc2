#include "engine/temp_table.h"

#include "engine/connection.h"

namespace varnoke::detail {

TempTable::~TempTable() {
    if (!conn) return;
    try {
        conn->exec("DROP TABLE IF EXISTS temp." + quoteName(name));
    } catch (...) {
        // A temp table left behind goes with the connection.
    }
}

} // namespace varnoke::detail
