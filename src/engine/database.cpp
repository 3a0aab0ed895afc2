// The Database handle: statements, recordsets, flush, compact, replacing a table and
// closing. Handles of one file share its Connection.
#include "engine/database.h"

#include "engine/database_state.h"
#include "engine/engine_error.h"
#include "engine/recordset_state.h"
#include "engine/sql_name.h"
#include "engine/sql_parser.h"

#include <algorithm>

namespace varnoke {
namespace detail {

Connection& DatabaseState::connection() const {
    if (!open || !conn) throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    return *conn;
}

void DatabaseState::checkWritable() const {
    if (readOnly)
        throw EngineError(err::ReadOnly, "Cannot update.  Database or object is read-only.");
    // Also for the writes that do not join the gathered transaction (saved queries).
    if (conn && conn->lostWrites()) throw *conn->lostWrites();
}

namespace {

std::string stripBrackets(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    std::size_t end = 0;
    if (!s.empty() && s.front() == '[') {
        if (auto name = readBracketedName(s, 0, end); name && end == s.size()) return *name;
    }
    return std::string(s);
}

} // namespace
} // namespace detail

// ---- Database

Database::Database(std::shared_ptr<detail::DatabaseState> state) : state_(std::move(state)) {}

detail::DatabaseState& Database::state() const {
    if (!state_ || !state_->open)
        throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    return *state_;
}

bool Database::isOpen() const {
    return state_ && state_->open;
}
const std::string& Database::name() const {
    return state().path;
}
bool Database::readOnly() const {
    return state().readOnly;
}

long Database::execute(std::string_view sqlText, int) {
    return detail::executeText(state(), sqlText);
}

std::vector<std::string> Database::explainStatement(std::string_view sqlText) {
    auto& s = state();
    return detail::explainStatement(s, sql::parseStatement(sqlText));
}

std::uint64_t Database::statementsRun() const {
    return state().connection().statementsRun();
}

std::uint64_t Database::findsParsed() const {
    return state().connection().findsParsed();
}

long Database::recordsAffected() const {
    return state().recordsAffected;
}

Recordset Database::openRecordset(std::string_view source, std::optional<RecordsetType> type, int) {
    auto& s = state();
    auto& c = s.connection();
    detail::RecordsetSpec spec;
    // A table may be named like a statement ("Select list"): the table wins.
    if (sql::looksLikeStatement(source) && !c.table(detail::stripBrackets(source))) {
        spec.source = std::string(source);
        spec.isSql = true;
        spec.type = type.value_or(RecordsetType::Dynaset);
        if (spec.type == RecordsetType::Table)
            throw EngineError(err::InvalidOperation, "Invalid operation.");
    } else {
        const auto name = detail::stripBrackets(source);
        if (const auto* t = c.table(name)) {
            spec.source = t->name;
            spec.type = type.value_or(RecordsetType::Table);
        } else if (auto q = detail::loadQueryDef(state_, name)) {
            return QueryDef(q).openRecordset(type);
        } else {
            throw EngineError(err::TableNotFound, "Cannot find the input table or query '" + name +
                                                      "'.  Make sure it exists and that its "
                                                      "name is spelled correctly.");
        }
    }
    auto rs = std::make_shared<detail::RecordsetState>(state_, std::move(spec));
    rs->build();
    return Recordset(rs);
}

void Database::flush() {
    detail::Connection& conn = state().connection();
    conn.commit();
    conn.restoreCache();
}

void Database::flushIfDue() {
    state().connection().commitIfDue();
}

std::optional<EngineError> Database::lostWrites() const {
    if (!isOpen()) return std::nullopt;
    return state().connection().lostWrites();
}

void Database::forgetLostWrites() {
    if (isOpen()) state().connection().forgetLostWrites();
}

void Database::compact() {
    detail::DatabaseState& st = state();
    detail::Connection& conn = st.connection();
    // Lost writes come first: the user must hear of them before anything else.
    if (conn.lostWrites()) throw *conn.lostWrites();
    // VACUUM renumbers the rowids of a table without INTEGER PRIMARY KEY, which every
    // open row set holds its records by.
    if (conn.hasOpenRowSets())
        throw EngineError(err::FileInUse, "Cannot compact the database '" + st.path +
                                              "' while a recordset of it is open.");
    conn.commit();
    conn.exec("VACUUM");
}

void Database::replaceTable(std::string_view target, std::string_view staged) {
    replaceTables({{std::string(target), std::string(staged)}});
}

void Database::replaceTables(
    const std::vector<std::pair<std::string, std::string>>& targetsAndStaged) {
    detail::DatabaseState& st = state();
    st.checkWritable();
    detail::Connection& conn = st.connection();
    // The SQL names are read before anything changes: the catalogue is stale after a drop.
    std::vector<std::string> steps;
    std::vector<detail::TableInfo> gone;
    for (const auto& [target, staged] : targetsAndStaged) {
        const detail::TableInfo* from = conn.table(staged);
        if (!from) throw EngineError(err::NotInCollection, "Item not found in this collection.");
        gone.push_back(*from);
        if (const detail::TableInfo* old = conn.table(target)) {
            gone.push_back(*old);
            steps.push_back("DROP TABLE " + old->sqlName());
        }
        steps.push_back("ALTER TABLE " + from->sqlName() + " RENAME TO " +
                        detail::quoteName(target));
    }
    conn.commit();
    try {
        conn.atomically([&] {
            for (const std::string& step : steps)
                conn.exec(step);
        });
    } catch (...) {
        conn.schemaChanged();
        throw;
    }
    // A recordset of either table would read the other's rows at its rowids.
    for (const detail::TableInfo& table : gone)
        conn.tableGone(table);
    conn.schemaChanged();
}

void Database::close() {
    if (!state_ || !state_->open) return;
    state_->conn->closeRowSetsOf(state_.get());
    try {
        state_->conn->commit();
    } catch (...) {
        state_->open = false;
        state_->conn.reset();
        throw;
    }
    state_->open = false;
    state_->conn.reset();
}

} // namespace varnoke
