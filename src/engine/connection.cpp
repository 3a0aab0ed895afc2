#include "engine/connection.h"

#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/recordset_state.h"
#include "engine/sql_ast.h"
#include "value/case_fold.h"

#include <algorithm>
#include <cctype>

namespace varnoke::detail {
namespace {

// Gathered writes are committed once this many are pending or the transaction is this
// old (checked at the next write); flush() and definition changes commit sooner.
constexpr long kMaxPendingWrites = 200000;
constexpr auto kMaxTransactionAge = std::chrono::seconds(2);

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

namespace {
// Names fold only their ASCII letters, whatever the program's locale.
char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
} // namespace

std::string upperName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    // Called for every name a statement or a field access resolves: no copies.
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return x == y || upperAscii(x) == upperAscii(y); });
}

namespace {
int compareCaseBlind(void*, int aSize, const void* a, int bSize, const void* b) {
    return compareFolded({static_cast<const char*>(a), static_cast<std::size_t>(aSize)},
                         {static_cast<const char*>(b), static_cast<std::size_t>(bSize)});
}
} // namespace

int configureConnection(sqlite3* db) {
    if (const int rc = sqlite3_create_collation_v2(db, "vk_fold", SQLITE_UTF8, nullptr,
                                                   compareCaseBlind, nullptr);
        rc != SQLITE_OK)
        return rc;
    return sqlite3_exec(db, "PRAGMA temp_store = MEMORY; PRAGMA cache_size = -65536", nullptr,
                        nullptr, nullptr);
}

int TableInfo::columnIndex(std::string_view column) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (sameName(columns[i].name, column)) return static_cast<int>(i);
    return -1;
}

std::string TableInfo::sqlName() const {
    return schema + "." + quoteName(name);
}

// ---- Stmt

Stmt::Stmt(Connection& conn, sqlite3_stmt* stmt, StmtPtr owned, bool* busyFlag)
    : conn_(&conn), stmt_(stmt), owned_(std::move(owned)), busy_(busyFlag) {}

Stmt::Stmt(Stmt&& other) noexcept
    : conn_(other.conn_), stmt_(other.stmt_), owned_(std::move(other.owned_)), busy_(other.busy_) {
    other.stmt_ = nullptr;
    other.busy_ = nullptr;
}

Stmt::~Stmt() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    if (busy_) *busy_ = false;
}

void Stmt::bind(int index, const Value& v) {
    bindValue(stmt_, index, v);
}

void Stmt::bindKept(int index, const Value& v) {
    bindValue(stmt_, index, v, true);
}

void Stmt::bindAll(const std::vector<Value>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        bindValue(stmt_, static_cast<int>(i + 1), values[i]);
}

void Stmt::bindAllKept(const std::vector<Value>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        bindValue(stmt_, static_cast<int>(i + 1), values[i], true);
}

bool Stmt::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    conn_->raise(rc);
}

void Stmt::run() {
    while (step()) {
    }
}

// ---- Connection

Connection::Connection(std::string path, DbPtr db) : path_(std::move(path)), db_(std::move(db)) {}

Connection::~Connection() {
    try {
        commit();
    } catch (...) {
        // Closing must not throw; SQLite rolls back what could not be committed.
    }
    cache_.clear();
    savepoints_ = {};
}

void Connection::raise(int rc) const {
    std::string msg = sqlite3_errmsg(db_.get());
    // Errors raised by the engine's own SQL functions carry their number.
    if (startsWith(msg, "vkerr:")) {
        const auto colon = msg.find(':', 6);
        const int number = std::stoi(msg.substr(6, colon - 6));
        throw EngineError(number, msg.substr(colon + 1));
    }
    const int primary = rc & 0xff;
    if (startsWith(msg, "no such table: ")) {
        auto name = msg.substr(15);
        if (auto dot = name.find('.'); dot != std::string::npos) name = name.substr(dot + 1);
        throw EngineError(err::TableNotFound, "Cannot find the input table or query '" + name +
                                                  "'.  Make sure it exists and that its name "
                                                  "is spelled correctly.");
    }
    if (msg.find("already exists") != std::string::npos) throw EngineError(err::TableExists, msg);
    if (primary == SQLITE_CONSTRAINT && msg.find("UNIQUE") != std::string::npos)
        throw EngineError(err::DuplicateKey,
                          "The changes you requested to the table were not successful because "
                          "they would create duplicate values in the index, primary key, or "
                          "relationship.");
    if (primary == SQLITE_READONLY)
        throw EngineError(err::ReadOnly, "Cannot update.  Database or object is read-only.");
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        throw EngineError(err::CannotOpen, "Cannot open the database '" + path_ + "': " + msg);
    throw EngineError(err::EngineFailure, msg);
}

Stmt Connection::prepare(const std::string& sql) {
    auto& slot = cache_[sql];
    if (!slot) slot = std::make_unique<Cached>();
    if (slot->stmt && !slot->busy) {
        slot->busy = true;
        return Stmt(*this, slot->stmt.get(), nullptr, &slot->busy);
    }
    sqlite3_stmt* raw = nullptr;
    const int rc =
        sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
    StmtPtr stmt(raw);
    if (rc != SQLITE_OK) {
        if (!slot->stmt) cache_.erase(sql);
        raise(rc);
    }
    if (!slot->stmt) {
        slot->stmt = std::move(stmt);
        slot->busy = true;
        return Stmt(*this, slot->stmt.get(), nullptr, &slot->busy);
    }
    // The cached one is in use further up the stack: lend a private copy.
    auto* p = stmt.get();
    return Stmt(*this, p, std::move(stmt), nullptr);
}

void Connection::exec(const std::string& sql) {
    char* errmsg = nullptr;
    const int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &errmsg);
    sqlite3_free(errmsg);
    if (rc != SQLITE_OK) raise(rc);
}

const TableInfo* Connection::table(std::string_view name) {
    if (!tablesLoaded_) {
        tables_.clear();
        for (const auto& n : tableNames()) {
            TableInfo info;
            info.name = n;
            info.schema = "main";
            {
                auto st = prepare("SELECT name, type FROM pragma_table_info(?1, 'main')");
                st.bind(1, Value::text(n));
                while (st.step()) {
                    ColumnInfo col;
                    col.name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
                    const auto* decl =
                        reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1));
                    std::string declared = decl ? decl : "";
                    int size = 0;
                    if (auto open = declared.find('('); open != std::string::npos) {
                        size = std::atoi(declared.c_str() + open + 1);
                        declared = declared.substr(0, open);
                    }
                    while (!declared.empty() && declared.back() == ' ')
                        declared.pop_back();
                    col.type =
                        sql::typeFromName(declared, size).value_or(ColumnType{fieldtype::Memo, 0});
                    info.columns.push_back(std::move(col));
                }
            }
            {
                auto st = prepare("SELECT name FROM pragma_index_list(?1, 'main') ORDER BY name");
                st.bind(1, Value::text(n));
                while (st.step())
                    info.indexes.emplace_back(
                        reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
            }
            tables_[upperName(n)] = std::move(info);
        }
        tablesLoaded_ = true;
    }
    auto it = tables_.find(upperName(name));
    return it == tables_.end() ? nullptr : &it->second;
}

TableInfo Connection::tempTable(const std::string& name) {
    TableInfo info;
    info.name = name;
    info.schema = "temp";
    auto st = prepare("SELECT name, type FROM pragma_table_info(?1, 'temp')");
    st.bind(1, Value::text(name));
    while (st.step()) {
        ColumnInfo col;
        col.name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        const auto* decl = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1));
        std::string declared = decl ? decl : "";
        int size = 0;
        if (auto open = declared.find('('); open != std::string::npos) {
            size = std::atoi(declared.c_str() + open + 1);
            declared = declared.substr(0, open);
        }
        col.type = sql::typeFromName(declared, size).value_or(ColumnType{fieldtype::Memo, 0});
        info.columns.push_back(std::move(col));
    }
    return info;
}

std::vector<std::string> Connection::tableNames() {
    std::vector<std::string> names;
    auto st = prepare("SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT "
                      "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name" +
                      std::string(kCaseBlind));
    while (st.step())
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
    return names;
}

void Connection::schemaChanged() {
    tablesLoaded_ = false;
    ++schemaVersion_;
    indexed_.clear();
}

void Connection::noteWrite() {
    const auto now = std::chrono::steady_clock::now();
    if (inTransaction_ && sqlite3_get_autocommit(db_.get())) commit();
    if (inTransaction_ &&
        (pendingWrites_ >= kMaxPendingWrites || now - transactionStart_ > kMaxTransactionAge))
        commit();
    if (!inTransaction_ && sqlite3_get_autocommit(db_.get())) {
        exec("BEGIN");
        inTransaction_ = true;
        pendingWrites_ = 0;
        transactionStart_ = now;
    }
    ++pendingWrites_;
}

const std::uint64_t* Connection::tableVersionSlot(const std::string& tableKey) {
    return &tableVersions_[tableKey];
}

void Connection::bumpTable(const std::string& tableKey) {
    tableVersions_[tableKey] = ++versionCounter_;
}

// The slot is one of tableVersions_' own values, handed out by tableVersionSlot.
void Connection::bumpTable(const std::uint64_t* tableSlot) {
    *const_cast<std::uint64_t*>(tableSlot) = ++versionCounter_;
}

void Connection::commit() {
    if (!inTransaction_ || savepointDepth_ > 0) return;
    // A COMMIT that fails (the file busy in another program) leaves the work gathered
    // for the next try.
    if (sqlite3_get_autocommit(db_.get()))
        indexed_.clear(); // SQLite gave the transaction up, with any index made in it
    else
        exec("COMMIT");
    inTransaction_ = false;
    pendingWrites_ = 0;
}

void Connection::savepoint(SavepointStep step) {
    static constexpr const char* kSql[] = {"SAVEPOINT vk_sp", "ROLLBACK TO vk_sp", "RELEASE vk_sp"};
    const auto i = static_cast<std::size_t>(step);
    StmtPtr& st = savepoints_[i];
    if (!st) {
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v2(db_.get(), kSql[i], -1, &raw, nullptr);
        st.reset(raw);
        if (rc != SQLITE_OK) raise(rc);
    }
    const int rc = sqlite3_step(st.get());
    sqlite3_reset(st.get());
    if (rc != SQLITE_DONE) raise(rc);
}

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

void Connection::registerRecordset(const std::string& tableKey, std::weak_ptr<RecordsetState> rs) {
    auto& list = recordsets_[tableKey];
    std::erase_if(list, [](const auto& w) { return w.expired(); });
    list.push_back(std::move(rs));
}

bool Connection::hasRecordsets(const std::string& tableKey) {
    auto it = recordsets_.find(tableKey);
    if (it == recordsets_.end()) return false;
    std::erase_if(it->second, [](const auto& w) { return w.expired(); });
    return !it->second.empty();
}

// Calls `visit` with each open recordset on the table; true from it stops the walk.
template <typename F> bool Connection::eachRecordset(const std::string& tableKey, F visit) {
    auto it = recordsets_.find(tableKey);
    if (it == recordsets_.end()) return false;
    for (const auto& weak : it->second)
        if (auto rs = weak.lock())
            if (visit(*rs)) return true;
    return false;
}

std::optional<std::vector<std::int64_t>>
Connection::keyedRows(const std::string& tableKey, std::string_view column, std::string_view text) {
    std::optional<std::vector<std::int64_t>> rows;
    eachRecordset(tableKey, [&](RecordsetState& rs) {
        rows = rs.keyedRows(column, text);
        return rows.has_value();
    });
    return rows;
}

void Connection::keysSurvive(const std::string& tableKey, DataVersion before,
                             const std::vector<std::string>& setColumns) {
    eachRecordset(tableKey, [&](RecordsetState& rs) {
        rs.keysSurvive(before, setColumns);
        return false;
    });
}

void Connection::rowsDeleted(const std::string& tableKey, std::span<const std::int64_t> rowids) {
    eachRecordset(tableKey, [&](RecordsetState& rs) {
        rs.rowsDeleted(rowids);
        return false;
    });
}

std::string Connection::newTempName(std::string_view prefix) {
    return std::string(prefix) + std::to_string(++tempCounter_);
}

SmallCache::SmallCache(Connection& c) : c_(c) {
    {
        auto st = c_.prepare("PRAGMA cache_size");
        if (st.step()) size_ = sqlite3_column_int64(st.get(), 0);
    }
    c_.exec("PRAGMA cache_size = -8192");
}

SmallCache::~SmallCache() {
    try {
        c_.exec("PRAGMA cache_size = " + std::to_string(size_));
    } catch (...) {
        // Only speed depends on it; the write's own outcome is what counts.
    }
}

} // namespace varnoke::detail
