// Query definitions: saved ones live in the table MSysQueryDefs (name, SQL, Connect
// and whether it returns records); temporary ones only in their QueryDef.
#include "engine/database.h"

#include "engine/database_state.h"
#include "engine/engine_error.h"
#include "engine/recordset_state.h"
#include "engine/sql_parser.h"

#include <algorithm>

namespace varnoke {
namespace detail {
namespace {

constexpr const char* kQueryTable = "MSysQueryDefs";

// Whether a query returns records is kept with it; a file made before that column
// existed gets it on first use.
void ensureQueryTable(Connection& c) {
    if (const TableInfo* t = c.table(kQueryTable)) {
        if (t->columnIndex("ReturnsRecords") >= 0) return;
        c.exec("ALTER TABLE main.\"MSysQueryDefs\" ADD COLUMN \"ReturnsRecords\" BIT");
    } else {
        c.exec("CREATE TABLE main.\"MSysQueryDefs\" (\"Name\" TEXT(64) PRIMARY KEY COLLATE "
               "NOCASE, \"SQL\" LONGTEXT, \"Connect\" TEXT(255), \"ReturnsRecords\" BIT)");
    }
    c.schemaChanged();
}

// The stored switch, when one was set; NULL means "decide from the statement".
std::optional<bool> storedReturnsRecords(const TableInfo& table, sqlite3_stmt* st, int i) {
    if (table.columnIndex("ReturnsRecords") < 0 || sqlite3_column_type(st, i) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_int(st, i) != 0;
}

std::string queryColumns(const TableInfo& table) {
    return table.columnIndex("ReturnsRecords") >= 0
               ? "\"Name\", \"SQL\", \"Connect\", \"ReturnsRecords\""
               : "\"Name\", \"SQL\", \"Connect\", NULL";
}

std::string columnText(sqlite3_stmt* st, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return p ? p : "";
}

} // namespace

std::shared_ptr<QueryDefState> loadQueryDef(const std::shared_ptr<DatabaseState>& db,
                                            std::string_view name) {
    Connection& c = db->connection();
    const TableInfo* table = c.table(kQueryTable);
    if (!table) return nullptr;
    auto st = c.prepare("SELECT " + queryColumns(*table) +
                        " FROM main.\"MSysQueryDefs\" WHERE \"Name\" = ?1 COLLATE NOCASE");
    st.bind(1, Value::text(std::string(name)));
    if (!st.step()) return nullptr;
    auto q = std::make_shared<QueryDefState>();
    q->db = db;
    q->name = columnText(st.get(), 0);
    q->sql = columnText(st.get(), 1);
    q->connect = columnText(st.get(), 2);
    q->returnsRecords = storedReturnsRecords(*table, st.get(), 3);
    return q;
}

} // namespace detail

using detail::sameName;

// ---- QueryDef

QueryDef::QueryDef(std::shared_ptr<detail::QueryDefState> state) : state_(std::move(state)) {}

namespace {
detail::QueryDefState& qstate(const std::shared_ptr<detail::QueryDefState>& s) {
    if (!s || !s->db || !s->db->open)
        throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    return *s;
}

void storeQueryColumn(detail::QueryDefState& q, const char* column, const Value& value) {
    if (q.name.empty()) return;
    auto& c = q.db->connection();
    q.db->checkWritable();
    detail::ensureQueryTable(c);
    auto st = c.prepare(std::string("UPDATE main.\"MSysQueryDefs\" SET \"") + column +
                        "\" = ?1 WHERE \"Name\" = ?2 COLLATE NOCASE");
    st.bind(1, value);
    st.bind(2, Value::text(q.name));
    st.run();
    c.bumpData();
}
} // namespace

std::string QueryDef::name() const {
    return qstate(state_).name;
}
std::string QueryDef::sql() const {
    return qstate(state_).sql;
}

void QueryDef::setSql(std::string text) {
    auto& q = qstate(state_);
    // Text sent on to another server is not ours to parse.
    if (q.connect.empty()) sql::parseStatement(text);
    storeQueryColumn(q, "SQL", Value::text(text));
    q.sql = std::move(text);
}

std::string QueryDef::connect() const {
    return qstate(state_).connect;
}

void QueryDef::setConnect(std::string connect) {
    auto& q = qstate(state_);
    storeQueryColumn(q, "Connect", Value::text(connect));
    q.connect = std::move(connect);
}

bool QueryDef::returnsRecords() const {
    auto& q = qstate(state_);
    if (q.returnsRecords) return *q.returnsRecords;
    if (!q.connect.empty()) return true;
    try {
        auto st = sql::parseStatement(q.sql);
        auto* sel = std::get_if<sql::SelectStmt>(&st.body);
        return sel && sel->into.empty();
    } catch (const EngineError&) {
        return false;
    }
}

void QueryDef::setReturnsRecords(bool returns) {
    auto& q = qstate(state_);
    storeQueryColumn(q, "ReturnsRecords", Value::number(returns ? 1 : 0));
    q.returnsRecords = returns;
}

std::vector<Parameter> QueryDef::parameters() const {
    auto& q = qstate(state_);
    std::vector<Parameter> out;
    if (q.sql.empty() || !q.connect.empty()) return out;
    auto st = sql::parseStatement(q.sql);
    detail::Parameters params;
    params.declared = st.parameters;
    auto& c = q.db->connection();
    detail::Renderer r(c, &params);
    // Rendering finds the names that are no field of the statement's tables.
    std::visit(
        [&](const auto& body) {
            using T = std::decay_t<decltype(body)>;
            if constexpr (std::is_same_v<T, sql::SelectStmt>) {
                r.select(body);
            } else if constexpr (std::is_same_v<T, sql::UpdateStmt>) {
                const auto* t = c.table(body.table.name);
                if (!t) return;
                detail::ScopeTable s;
                s.info = *t;
                s.matchName = body.table.alias.empty() ? t->name : body.table.alias;
                s.sqlRef = detail::quoteName(t->name);
                r.pushScope({s});
                for (const auto& set : body.sets)
                    r.expr(*set.second);
                if (body.where) r.condition(*body.where);
            } else if constexpr (std::is_same_v<T, sql::DeleteStmt>) {
                const auto* t = c.table(body.table.name);
                if (!t || !body.where) return;
                detail::ScopeTable s;
                s.info = *t;
                s.matchName = body.table.alias.empty() ? t->name : body.table.alias;
                s.sqlRef = detail::quoteName(t->name);
                r.pushScope({s});
                r.condition(*body.where);
            } else if constexpr (std::is_same_v<T, sql::InsertStmt>) {
                if (body.select) r.select(*body.select);
                r.pushScope({});
                for (const auto& v : body.values)
                    r.expr(*v);
            }
        },
        st.body);
    auto valueOf = [&](const std::string& name) {
        auto it = q.parameterValues.find(detail::upperName(name));
        return it == q.parameterValues.end() ? Value() : it->second;
    };
    for (const auto& d : st.parameters)
        out.push_back({d.name, d.type, valueOf(d.name)});
    for (const auto& used : params.used) {
        const bool declared = std::any_of(st.parameters.begin(), st.parameters.end(),
                                          [&](const auto& d) { return sameName(d.name, used); });
        if (!declared) out.push_back({used, fieldtype::Text, valueOf(used)});
    }
    return out;
}

void QueryDef::setParameter(std::string_view name, const Value& value) {
    auto& q = qstate(state_);
    const auto params = parameters();
    if (std::none_of(params.begin(), params.end(),
                     [&](const Parameter& p) { return sameName(p.name, name); }))
        throw EngineError(err::NotInCollection, "Item not found in this collection.");
    q.parameterValues[detail::upperName(name)] = value;
}

namespace {
detail::Parameters parameterSet(const detail::QueryDefState& q) {
    detail::Parameters p;
    p.values = q.parameterValues;
    return p;
}
} // namespace

void QueryDef::execute(int) {
    auto& q = qstate(state_);
    if (!q.connect.empty())
        throw EngineError(err::PassThroughFailed,
                          "ODBC--connection to '" + q.connect + "' failed.");
    const auto st = sql::parseStatement(q.sql);
    detail::runStatement(*q.db, st, parameterSet(q));
}

Recordset QueryDef::openRecordset(std::optional<RecordsetType> type, int) {
    auto& q = qstate(state_);
    if (!q.connect.empty())
        throw EngineError(err::PassThroughFailed,
                          "ODBC--connection to '" + q.connect + "' failed.");
    if (type == RecordsetType::Table)
        throw EngineError(err::InvalidOperation, "Invalid operation.");
    detail::RecordsetSpec spec;
    spec.source = q.sql;
    spec.isSql = true;
    spec.type = type.value_or(RecordsetType::Dynaset);
    spec.params = parameterSet(q);
    auto rs = std::make_shared<detail::RecordsetState>(q.db, std::move(spec));
    rs->build();
    return Recordset(rs);
}

// ---- QueryDefs

QueryDefs::QueryDefs(std::shared_ptr<detail::DatabaseState> db) : db_(std::move(db)) {
    refresh();
}

void QueryDefs::refresh() {
    items_.clear();
    auto& c = db_->connection();
    const detail::TableInfo* table = c.table(detail::kQueryTable);
    if (!table) return;
    auto st = c.prepare("SELECT " + detail::queryColumns(*table) +
                        " FROM main.\"MSysQueryDefs\" ORDER BY \"Name\" COLLATE NOCASE");
    while (st.step()) {
        auto q = std::make_shared<detail::QueryDefState>();
        q->db = db_;
        q->name = detail::columnText(st.get(), 0);
        q->sql = detail::columnText(st.get(), 1);
        q->connect = detail::columnText(st.get(), 2);
        q->returnsRecords = detail::storedReturnsRecords(*table, st.get(), 3);
        items_.push_back(QueryDef(q));
    }
}

QueryDef QueryDefs::item(int index) const {
    if (index < 0 || index >= count())
        throw EngineError(err::NotInCollection, "Item not found in this collection.");
    return items_[static_cast<std::size_t>(index)];
}

QueryDef QueryDefs::item(std::string_view name) const {
    auto q = detail::loadQueryDef(db_, name);
    if (!q) throw EngineError(err::NotInCollection, "Item not found in this collection.");
    return QueryDef(q);
}

void QueryDefs::remove(std::string_view name) {
    auto& c = db_->connection();
    db_->checkWritable();
    if (!c.table(detail::kQueryTable))
        throw EngineError(err::NotInCollection, "Item not found in this collection.");
    auto st = c.prepare("DELETE FROM main.\"MSysQueryDefs\" WHERE \"Name\" = ?1 COLLATE NOCASE");
    st.bind(1, Value::text(std::string(name)));
    st.run();
    if (sqlite3_changes(c.handle()) == 0)
        throw EngineError(err::NotInCollection, "Item not found in this collection.");
    c.bumpData();
    refresh();
}

QueryDefs Database::queryDefs() const {
    state();
    return QueryDefs(state_);
}

QueryDef Database::createQueryDef(std::string name, std::string sqlText) {
    auto& s = state();
    auto q = std::make_shared<detail::QueryDefState>();
    q->db = state_;
    q->name = std::move(name);
    if (!q->name.empty()) {
        s.checkWritable();
        auto& c = s.connection();
        detail::ensureQueryTable(c);
        if (detail::loadQueryDef(state_, q->name))
            throw EngineError(err::ObjectExists, "Object '" + q->name + "' already exists.");
        auto st = c.prepare("INSERT INTO main.\"MSysQueryDefs\" (\"Name\", \"SQL\", \"Connect\") "
                            "VALUES (?1, '', '')");
        st.bind(1, Value::text(q->name));
        st.run();
        c.bumpData();
    }
    QueryDef def(q);
    if (!sqlText.empty()) def.setSql(std::move(sqlText));
    return def;
}

} // namespace varnoke
