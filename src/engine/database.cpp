#include "engine/database.h"

#include "engine/column_value.h"
#include "engine/recordset_state.h"
#include "engine/sql_name.h"
#include "engine/sql_parser.h"

#include <algorithm>
#include <filesystem>

namespace varnoke {
namespace detail {

Connection& DatabaseState::connection() const {
    if (!open || !conn) throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    return *conn;
}

void DatabaseState::checkWritable() const {
    if (readOnly)
        throw EngineError(err::ReadOnly, "Cannot update.  Database or object is read-only.");
}

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

// The path runs to the end of the connect string: a folder or file name may hold ";".
std::string databasePart(std::string_view connect) {
    const std::string upper = upperName(connect);
    const auto at = upper.find("DATABASE=");
    if (at == std::string::npos) return {};
    return std::string(connect.substr(at + 9));
}

// Copies a foreign table into a new local table as the reader delivers it. Rows are
// written a batch at a time, one statement a batch, bound without copying the values;
// finish() writes the last, shorter batch.
class ImportSink : public ForeignTableSink {
public:
    ImportSink(Connection& c, std::string table) : c_(c), table_(std::move(table)) {}

    void begin(const std::vector<ForeignField>& fields) override {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            ColumnInfo col;
            col.name = fields[i].name.empty() ? "Field" + std::to_string(i + 1) : fields[i].name;
            col.type = {fields[i].type, fields[i].size};
            if (col.type.code == fieldtype::Text && (col.type.size <= 0 || col.type.size > 255))
                col.type.size = col.type.size > 255 ? 0 : 255;
            if (col.type.code == fieldtype::Text && col.type.size == 0)
                col.type = {fieldtype::Memo, 0};
            if (col.type.code != fieldtype::Text) col.type.size = defaultFieldSize(col.type.code);
            cols_.push_back(std::move(col));
        }
        if (cols_.empty())
            throw EngineError(err::ExternalFormat, "External table isn't in the expected format.");
        std::string defs, names;
        for (std::size_t i = 0; i < cols_.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j)
                if (sameName(cols_[i].name, cols_[j].name))
                    throw EngineError(err::DuplicateFieldName,
                                      "Field '" + cols_[i].name + "' is defined more than once.");
            defs +=
                (i ? ", " : "") + quoteName(cols_[i].name) + " " + sql::declaredType(cols_[i].type);
            names += (i ? ", " : "") + quoteName(cols_[i].name);
        }
        c_.exec("CREATE TABLE main." + quoteName(table_) + " (" + defs + ")");
        insertHead_ = "INSERT INTO main." + quoteName(table_) + " (" + names + ") VALUES ";
        const auto limit = static_cast<std::size_t>(
            std::max(1, sqlite3_limit(c_.handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1)));
        batchRows_ = std::clamp<std::size_t>(limit / cols_.size(), 1, kBatchRows);
        batch_.resize(batchRows_ * cols_.size());
        begun_ = true;
    }

    void row(std::vector<Value>& values) override {
        Value* slot = &batch_[filled_ * cols_.size()];
        for (std::size_t i = 0; i < cols_.size(); ++i) {
            if (i >= values.size()) {
                slot[i] = Value::null();
                continue;
            }
            Value& v = values[i];
            const ColumnInfo& col = cols_[i];
            slot[i] = storesAsIs(v, col.type) ? std::move(v) : storeValue(v, col.type, col.name);
        }
        if (++filled_ == batchRows_) write();
    }

    void finish() {
        if (filled_ > 0) write();
    }

    bool begun() const { return begun_; }

private:
    static constexpr std::size_t kBatchRows = 64;

    void write() {
        if (!full_ && filled_ == batchRows_) full_.emplace(c_.prepare(insertSql(batchRows_)));
        auto once = filled_ == batchRows_ ? std::optional<Stmt>()
                                          : std::optional<Stmt>(c_.prepare(insertSql(filled_)));
        Stmt& st = once ? *once : *full_;
        const std::size_t count = filled_ * cols_.size();
        for (std::size_t i = 0; i < count; ++i)
            bindValue(st.get(), static_cast<int>(i + 1), batch_[i], true);
        filled_ = 0;
        st.run();
        sqlite3_reset(st.get());
    }

    std::string insertSql(std::size_t rows) const {
        std::string sqlText = insertHead_;
        int param = 0;
        for (std::size_t r = 0; r < rows; ++r) {
            sqlText += r ? ", (" : "(";
            for (std::size_t i = 0; i < cols_.size(); ++i)
                sqlText += (i ? ", ?" : "?") + std::to_string(++param);
            sqlText += ")";
        }
        return sqlText;
    }

    Connection& c_;
    std::string table_;
    std::vector<ColumnInfo> cols_;
    std::string insertHead_;
    std::size_t batchRows_ = 1;
    std::vector<Value> batch_; // batchRows_ rows of values, filled_ of them waiting
    std::size_t filled_ = 0;
    std::optional<Stmt> full_;
    bool begun_ = false;
};

} // namespace
} // namespace detail

using detail::sameName;

// ---- TableDef

void TableDef::appendField(const Field& field) {
    for (const auto& f : fields_)
        if (sameName(f.name(), field.name()))
            throw EngineError(err::DuplicateFieldName,
                              "Field '" + field.name() + "' is defined more than once.");
    fields_.push_back(Field(field.name(), field.type(), field.size()));
}

const Field& TableDef::field(std::string_view name) const {
    for (const auto& f : fields_)
        if (sameName(f.name(), name)) return f;
    throw EngineError(err::NotInCollection, "Item not found in this collection.");
}

// ---- TableDefs

TableDefs::TableDefs(std::shared_ptr<detail::DatabaseState> db) : db_(std::move(db)) {
    refresh();
}

void TableDefs::refresh() {
    auto& c = db_->connection();
    c.schemaChanged();
    items_.clear();
    for (const auto& name : c.tableNames()) {
        const auto* info = c.table(name);
        if (!info) continue;
        TableDef def(info->name);
        for (const auto& col : info->columns)
            def.fields_.push_back(Field(col.name, col.type.code, col.type.size));
        def.indexes_ = info->indexes;
        items_.push_back(std::move(def));
    }
}

const TableDef& TableDefs::item(int index) const {
    if (index < 0 || index >= count())
        throw EngineError(err::NotInCollection, "Item not found in this collection.");
    return items_[static_cast<std::size_t>(index)];
}

const TableDef& TableDefs::item(std::string_view name) const {
    for (const auto& t : items_)
        if (sameName(t.name(), name)) return t;
    throw EngineError(err::NotInCollection, "Item not found in this collection.");
}

bool TableDefs::contains(std::string_view name) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const TableDef& t) { return sameName(t.name(), name); });
}

void TableDefs::append(const TableDef& def) {
    auto& c = db_->connection();
    db_->checkWritable();
    if (def.name().empty()) throw EngineError(err::InvalidArgument, "Invalid argument.");
    if (c.table(def.name()))
        throw EngineError(err::TableExists, "Table '" + def.name() + "' already exists.");
    c.commit();
    if (!def.connect().empty()) {
        const ForeignReader* reader = Engine::instance().readerFor(def.connect());
        if (!reader) throw EngineError(err::NoInstallableIsam, "Could not find installable ISAM.");
        const LinkSource source{def.connect(), detail::databasePart(def.connect()),
                                def.sourceTableName()};
        const detail::SmallCache smallCache(c);
        try {
            c.atomically([&] {
                detail::ImportSink sink(c, def.name());
                reader->read(source, sink);
                sink.finish();
                if (!sink.begun())
                    throw EngineError(err::ExternalFormat,
                                      "External table isn't in the expected format.");
            });
        } catch (...) {
            c.schemaChanged();
            throw;
        }
    } else {
        if (def.fields().empty())
            throw EngineError(err::NoFields, "No field defined--cannot append TableDef or Index.");
        std::vector<detail::ColumnInfo> cols;
        for (const auto& f : def.fields())
            cols.push_back({f.name(), f.columnType()});
        std::string defs;
        for (const auto& col : cols)
            defs += (defs.empty() ? "" : ", ") + detail::quoteName(col.name) + " " +
                    sql::declaredType(col.type);
        c.exec("CREATE TABLE main." + detail::quoteName(def.name()) + " (" + defs + ")");
    }
    c.schemaChanged();
    c.bumpData();
    refresh();
}

void TableDefs::remove(std::string_view name) {
    auto& c = db_->connection();
    db_->checkWritable();
    const auto* t = c.table(name);
    if (!t) throw EngineError(err::NotInCollection, "Item not found in this collection.");
    c.commit();
    {
        // A drop reads every page of the table once; through the connection's large
        // cache its memory would grow with the table.
        const detail::SmallCache smallCache(c);
        c.exec("DROP TABLE " + t->sqlName());
    }
    c.schemaChanged();
    c.bumpData();
    refresh();
}

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
    q.db->recordsets.push_back(rs);
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
    std::erase_if(s.recordsets, [](const auto& w) { return w.expired(); });
    s.recordsets.push_back(rs);
    return Recordset(rs);
}

TableDefs Database::tableDefs() const {
    state();
    return TableDefs(state_);
}

TableDef Database::createTableDef(std::string name, std::string connect, std::string source) const {
    state();
    TableDef def(std::move(name));
    def.setConnect(std::move(connect));
    def.setSourceTableName(std::move(source));
    return def;
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

void Database::flush() {
    state().connection().commit();
}

void Database::compact() {
    detail::Connection& conn = state().connection();
    conn.commit();
    conn.exec("VACUUM");
}

void Database::replaceTable(std::string_view target, std::string_view staged) {
    detail::DatabaseState& st = state();
    st.checkWritable();
    detail::Connection& conn = st.connection();
    const detail::TableInfo* from = conn.table(staged);
    if (!from) throw EngineError(err::NotInCollection, "Item not found in this collection.");
    const std::string fromSql = from->sqlName();
    std::optional<std::string> targetSql;
    if (const detail::TableInfo* old = conn.table(target)) targetSql = old->sqlName();
    conn.commit();
    try {
        conn.atomically([&] {
            if (targetSql) conn.exec("DROP TABLE " + *targetSql);
            conn.exec("ALTER TABLE " + fromSql + " RENAME TO " + detail::quoteName(target));
        });
    } catch (...) {
        conn.schemaChanged();
        throw;
    }
    conn.schemaChanged();
    conn.bumpData();
}

void Database::close() {
    if (!state_ || !state_->open) return;
    for (const auto& w : state_->recordsets)
        if (auto rs = w.lock()) rs->close();
    state_->recordsets.clear();
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

// ---- Workspace and Engine

Database Workspace::openDatabase(const std::string& path, bool, bool readOnly, std::string_view) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        throw EngineError(err::FileNotFound, "Could not find file '" + path + "'.");
    const auto canonical = fs::canonical(path, ec).string();
    auto state = std::make_shared<detail::DatabaseState>();
    state->conn = Engine::instance().connectionFor(ec ? path : canonical);
    state->path = path;
    state->readOnly = readOnly;
    return Database(state);
}

Engine& Engine::instance() {
    static Engine engine;
    return engine;
}

// The engine's connections live on one thread each and keep no statistics of SQLite's
// memory: neither needs SQLite's locks on every call. SQLite takes the setting only
// before its first use, so the engine is best made before anything else opens a file.
Engine::Engine() {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

namespace {
constexpr int kConnectionFlags = SQLITE_OPEN_NOMUTEX;
} // namespace

Workspace Engine::workspace(int index) {
    if (index != 0) throw EngineError(err::NotInCollection, "Item not found in this collection.");
    return Workspace();
}

void Engine::registerReader(std::string prefix, std::shared_ptr<const ForeignReader> reader) {
    auto key = detail::upperName(prefix);
    if (reader)
        readers_[key] = std::move(reader);
    else
        readers_.erase(key);
}

const ForeignReader* Engine::readerFor(std::string_view connect) const {
    const auto prefix = detail::upperName(connect.substr(0, connect.find(';')));
    if (auto it = readers_.find(prefix); it != readers_.end()) return it->second.get();
    return findReader(connect);
}

std::shared_ptr<detail::Connection> Engine::connectionFor(const std::string& path) {
    std::erase_if(connections_, [](const auto& kv) { return kv.second.expired(); });
    if (auto it = connections_.find(path); it != connections_.end())
        if (auto conn = it->second.lock()) return conn;
    sqlite3* raw = nullptr;
    const int flags = kConnectionFlags;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | flags, nullptr);
    detail::DbPtr db(raw);
    if (rc != SQLITE_OK) {
        // A file we may only read still opens, for reading.
        db.reset();
        rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY | flags, nullptr);
        db.reset(raw);
        if (rc != SQLITE_OK)
            throw EngineError(err::CannotOpen, "Cannot open the database '" + path + "'.");
    }
    detail::registerFunctions(db.get());
    auto conn = std::make_shared<detail::Connection>(path, std::move(db));
    try {
        if (const int rc = detail::configureConnection(conn->handle()); rc != SQLITE_OK)
            conn->raise(rc);
        conn->tableNames();
    } catch (const EngineError&) {
        throw EngineError(err::CannotOpen, "Unrecognized database format '" + path + "'.");
    }
    connections_[path] = conn;
    return conn;
}

} // namespace varnoke
