// The SQLite indexes finds ask for, made once per column and collation.
//
// Invariant: a key in indexed_ means the index exists (or could not be made on a file
// SQLite may not write); schemaChanged() and a transaction SQLite gave up clear it.
#include "engine/connection.h"
#include "engine/engine_error.h"

namespace varnoke::detail {

std::string Connection::findIndexKey(const TableInfo& table, const std::string& column,
                                     IndexKind kind) {
    const char* suffix = kind == IndexKind::Exact ? "~exact" : "";
    return table.schema + "." + upperName(table.name) + "." + upperName(column) + suffix;
}

void Connection::ensureFindIndex(const TableInfo& table, const std::string& column,
                                 IndexKind kind) {
    // Case-blind indexes carry their collation in the name: an index in SQLite's own
    // NOCASE, which an older build left in a file, is never taken for one of them.
    const char* suffix = kind == IndexKind::Exact    ? "~exact~fold"
                         : kind == IndexKind::NoCase ? "~fold"
                                                     : "";
    std::string key = findIndexKey(table, column, kind);
    if (indexed_.count(key)) return;
    indexed_.insert(std::move(key));
    const std::string indexName = "vk~" + table.name + "~" + column + suffix;
    const std::string col = quoteName(column);
    const std::string columns = kind == IndexKind::Plain    ? col
                                : kind == IndexKind::NoCase ? col + kCaseBlind
                                                            : col + ", " + col + kCaseBlind;
    try {
        // Made with the gathered writes rather than as a durable transaction of its own.
        noteWrite();
        exec("CREATE INDEX IF NOT EXISTS " + table.schema + "." + quoteName(indexName) + " ON " +
             quoteName(table.name) + " (" + columns + ")");
    } catch (const EngineError&) {
        // A file SQLite may not write to still answers finds, only by a scan.
    }
}

} // namespace varnoke::detail
