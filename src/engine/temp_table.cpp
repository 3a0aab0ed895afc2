#include "engine/temp_table.h"

#include "engine/connection.h"
#include "engine/engine_error.h"

namespace varnoke::detail {

TempTable::~TempTable() {
    if (!conn) return;
    try {
        conn->exec("DROP TABLE IF EXISTS temp." + quoteName(name));
    } catch (...) {
        // A temp table left behind goes with the connection.
    }
}

std::shared_ptr<TempTable> makeTempTable(const std::shared_ptr<Connection>& conn,
                                         std::string_view prefix, const std::string& columns) {
    // Made inside the gathered writes, the table would go with them when SQLite gives
    // them up (a full disk), under the recordsets that still read it; so they are
    // committed first. A run makes its temp tables (its record counts) before it writes,
    // so it commits nothing more. A commit that fails (a full disk, a file held
    // elsewhere past the wait) loses the batch: the loss is kept and raised by the next
    // write. Should one ever keep it, a read of a table lost with it later says so (see
    // Connection::errorFor).
    try {
        conn->commit();
    } catch (const EngineError&) {
    }
    std::string name = conn->newTempName(prefix);
    conn->exec("CREATE TEMP TABLE " + quoteName(name) + " (" + columns + ")");
    return std::make_shared<TempTable>(conn, std::move(name));
}

} // namespace varnoke::detail
