// The one registry of a connection's open row sets, by table: how deletes made by
// statements and a lost batch reach every recordset, how statements borrow a recordset's
// key index, whether a compact would pull rowids from under a row set, and which row
// sets closing a database handle or dropping their table closes.
//
// Invariants: a row set stands in the registry once, under the table it was last built
// on (a requery builds again and moves it), with the handle that opened it; every
// recordset of the connection, whatever its table's schema, is in it; so every row set
// of a table hears of each write through Connection::writeRows (tell).
#include "engine/connection.h"

#include <cassert>
#include <utility>

namespace varnoke::detail {

void Connection::registerRecordset(WatchedTable& t, std::weak_ptr<OpenRowSet> rs,
                                   const DatabaseState* handle) {
    const auto same = rs.lock();
    for (auto& [key, table] : watched_)
        std::erase_if(table.rowSets, [&](const RowSetEntry& e) {
            return e.rowSet.expired() || e.rowSet.lock() == same;
        });
    t.rowSets.push_back({std::move(rs), handle});
}

bool Connection::hasRecordsets(const std::string& tableKey) {
    auto it = watched_.find(tableKey);
    if (it == watched_.end()) return false;
    std::erase_if(it->second.rowSets, [](const RowSetEntry& e) { return e.rowSet.expired(); });
    return !it->second.rowSets.empty();
}

bool Connection::hasOpenRowSets() const {
    for (const auto& [key, table] : watched_)
        for (const auto& e : table.rowSets)
            if (auto rs = e.rowSet.lock(); rs && rs->isOpen()) return true;
    return false;
}

void Connection::closeRowSetsOf(const DatabaseState* handle) {
    for (auto& [key, table] : watched_)
        std::erase_if(table.rowSets, [&](const RowSetEntry& e) {
            if (e.handle != handle) return e.rowSet.expired();
            if (auto rs = e.rowSet.lock()) rs->close();
            return true;
        });
}

void Connection::tableGone(const TableInfo& table) {
    auto it = watched_.find(keyOf(table));
    if (it == watched_.end()) return;
    for (const auto& e : std::exchange(it->second.rowSets, {}))
        if (auto rs = e.rowSet.lock()) rs->close();
}

// Calls `visit` with each open recordset on the table; true from it stops the walk.
template <typename F> bool Connection::eachRecordset(const std::string& tableKey, F visit) {
    auto it = watched_.find(tableKey);
    if (it == watched_.end()) return false;
    for (const auto& e : it->second.rowSets)
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

void Connection::tellBatchLost(std::uint64_t batch) {
    // Rows deleted in the batch come back to row sets: nothing cached may still hold them
    // as gone.
    bumpData();
    for (auto& [key, table] : watched_)
        for (const auto& e : table.rowSets)
            if (auto rs = e.rowSet.lock()) rs->batchLost(batch);
}

void Connection::tell(WatchedTable& t, DataVersion before, const TableChange& change) {
    const DataVersion after = dataVersion(t);
    bool writerTold = change.writer == nullptr;
    for (const auto& e : t.rowSets)
        if (auto rs = e.rowSet.lock()) {
            rs->written(before, after, change);
            writerTold = writerTold || rs.get() == change.writer;
        }
    assert(writerTold); // a row set that writes is in the registry
}

} // namespace varnoke::detail
