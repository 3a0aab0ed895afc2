// The one registry of a connection's open row sets, by table: how deletes made by
// statements reach every recordset, how statements borrow a recordset's key index,
// whether a compact would pull rowids from under a row set, and which row sets closing a
// database handle closes.
//
// Invariant: a row set stands in the registry once, under the table it was last built
// on (a requery builds again and moves it), with the handle that opened it; every
// recordset of the connection, whatever its table's schema, is in it.
#include "engine/connection.h"

namespace varnoke::detail {

void Connection::registerRecordset(const std::string& tableKey, std::weak_ptr<OpenRowSet> rs,
                                   const DatabaseState* handle) {
    const auto same = rs.lock();
    for (auto& [key, list] : recordsets_)
        std::erase_if(list, [&](const RowSetEntry& e) {
            return e.rowSet.expired() || e.rowSet.lock() == same;
        });
    recordsets_[tableKey].push_back({std::move(rs), handle});
}

bool Connection::hasRecordsets(const std::string& tableKey) {
    auto it = recordsets_.find(tableKey);
    if (it == recordsets_.end()) return false;
    std::erase_if(it->second, [](const RowSetEntry& e) { return e.rowSet.expired(); });
    return !it->second.empty();
}

bool Connection::hasOpenRowSets() const {
    for (const auto& [key, list] : recordsets_)
        for (const auto& e : list)
            if (auto rs = e.rowSet.lock(); rs && rs->isOpen()) return true;
    return false;
}

void Connection::closeRowSetsOf(const DatabaseState* handle) {
    for (auto& [key, list] : recordsets_)
        std::erase_if(list, [&](const RowSetEntry& e) {
            if (e.handle != handle) return e.rowSet.expired();
            if (auto rs = e.rowSet.lock()) rs->close();
            return true;
        });
}

// Calls `visit` with each open recordset on the table; true from it stops the walk.
template <typename F> bool Connection::eachRecordset(const std::string& tableKey, F visit) {
    auto it = recordsets_.find(tableKey);
    if (it == recordsets_.end()) return false;
    for (const auto& e : it->second)
        if (auto rs = e.rowSet.lock())
            if (visit(*rs)) return true;
    return false;
}

std::optional<std::vector<std::int64_t>>
Connection::keyedRows(const std::string& tableKey, std::string_view column, std::string_view text) {
    std::optional<std::vector<std::int64_t>> rows;
    eachRecordset(tableKey, [&](OpenRowSet& rs) {
        rows = rs.keyedRows(column, text);
        return rows.has_value();
    });
    return rows;
}

void Connection::keysSurvive(const std::string& tableKey, DataVersion before,
                             const std::vector<std::string>& setColumns) {
    eachRecordset(tableKey, [&](OpenRowSet& rs) {
        rs.keysSurvive(before, setColumns);
        return false;
    });
}

void Connection::rowsDeleted(const std::string& tableKey, std::span<const std::int64_t> rowids) {
    eachRecordset(tableKey, [&](OpenRowSet& rs) {
        rs.rowsDeleted(rowids);
        return false;
    });
}

} // namespace varnoke::detail
