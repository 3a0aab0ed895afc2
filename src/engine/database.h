#pragma once
// The engine, its workspace, an open database and its table and query definitions.
//
// Dialect. Every statement, find, filter and sort text is written in the program's
// own SQL dialect and parsed by the engine, then run on SQLite with every literal
// bound: bare or [bracketed] names (blanks, apostrophes and leading digits allowed in
// brackets), '...' and "..." texts, #M/D/YYYY[ h:mm:ss AM/PM]# and #M/D/YY# dates,
// numbers, = <> < <= > >=, Like with * ? #, Between, In, Is [Not] Null, Not/And/Or,
// &, + - * /, and the functions Left Right Mid Len UCase LCase Trim LTrim RTrim Val
// Str CStr CDbl CDate IsNull Year Month Day Date Now. Statements: SELECT (INTO,
// joins, WHERE, GROUP BY, HAVING, ORDER BY, Count Sum Avg Min Max), UPDATE, DELETE
// [*] FROM, INSERT INTO (VALUES or SELECT), CREATE TABLE with the type names TEXT(n),
// MEMO, DOUBLE, LONG, SHORT, BYTE, SINGLE, CURRENCY, DATETIME, BIT, LONGBINARY, and
// DROP TABLE. A statement may begin with PARAMETERS name type, ...;
// Table and field names compare without regard to case everywhere; so does text in
// WHERE clauses and finds.
//
// Errors are EngineError with the original engine's numbers: 3075 a bad expression,
// 3129/3131 a bad statement, 3078 a missing table, 3010 a table that exists already,
// 3265 a missing item, 3464 a literal of the wrong type for its field, 3421/3163 a
// value that does not fit its column, 3024 a missing database file, 3027 a write
// through a read-only handle, 3170 a connect string no reader serves, 3061 a
// statement with unanswered parameters.
//
// Tables whose names begin "MSys" belong to the engine (saved queries live in
// MSysQueryDefs); the table definitions list them like any other table, so callers
// that show tables to the user pass over that prefix.
#include "engine/engine_clock.h"
#include "engine/engine_error.h"
#include "engine/field.h"
#include "engine/foreign_reader.h"
#include "engine/query_def.h"
#include "engine/recordset.h"
#include "engine/table_def.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnoke {

class Database;

namespace detail {
class Connection;
class DatabaseState;
struct QueryDefState;
} // namespace detail

// An open database: a cheap handle. Copies share it; every OpenDatabase of the same
// file in this process shares one SQLite connection, so all handles see each other's
// work at once. Recordsets stay usable while statements run through any handle.
//
// Writes made through recordsets and by UPDATE, DELETE and INSERT statements are
// gathered into one transaction that is committed by table definition changes (through
// TableDefs or a CREATE, DROP or SELECT ... INTO statement, which are durable when they
// return), by flush(), when the transaction is two seconds old (checked at the next
// write; later, up to thirty seconds, when the last commit took long, or sooner when the
// pages it changed fill their room in memory) and when the last handle of the file
// closes. A file another program holds is waited for a few seconds; a commit that still
// cannot have it loses the gathered writes (see lostWrites), with 3045. Every handle
// sees gathered writes at once. A statement that fails undoes its own effects only; what
// was gathered before it stays. Call flush() when the program falls idle so nothing
// waits long.
class Database {
public:
    Database() = default;

    bool isOpen() const;
    const std::string& name() const; // the path it was opened with
    bool readOnly() const;

    // Runs one statement (not a row-returning SELECT: 3065). Returns the number of rows
    // it affected, also kept for recordsAffected().
    long execute(std::string_view sql, int options = 0);
    long recordsAffected() const;
    // Diagnostics: the query plan SQLite chooses for an UPDATE, DELETE or INSERT, one
    // line per plan step (as EXPLAIN QUERY PLAN prints it), without running it. Other
    // statements raise 3219.
    std::vector<std::string> explainStatement(std::string_view sql);
    // Diagnostics: how many SQLite queries the engine has started on this file, through
    // every handle. The engine's fast paths show in how few a piece of work needs.
    std::uint64_t statementsRun() const;
    // Diagnostics: how many find texts were parsed rather than run from a query kept for
    // their shape.
    std::uint64_t findsParsed() const;

    // A table name (type defaults to Table) or a SELECT text (defaults to Dynaset).
    // A missing table raises 3078.
    Recordset openRecordset(std::string_view source, std::optional<RecordsetType> type = {},
                            int options = 0);

    TableDefs tableDefs() const;
    TableDef createTableDef(std::string name = {}, std::string connect = {},
                            std::string sourceTableName = {}) const;

    QueryDefs queryDefs() const;
    // A named definition is stored at once (3012 when the name is taken); an empty
    // name makes a temporary one. The SQL may be set now or later.
    QueryDef createQueryDef(std::string name = {}, std::string sql = {});

    // Commits the gathered writes (see above).
    void flush();
    // Commits them only when the next write would: while a long task keeps writing, its
    // commits are spaced by their cost, and an idle timer should not commit more often.
    void flushIfDue();
    // The error that lost the gathered writes: set when SQLite gave up the gathered
    // transaction (a commit or write that failed, as on a full disk, or a commit the file
    // in use refused past the wait), undoing every write since the last commit. From then
    // on every write, flush, compact and close of the file, through any handle, raises
    // it, until forgetLostWrites() is called once the user has been told. None on a
    // closed handle.
    std::optional<EngineError> lostWrites() const;
    void forgetLostWrites();
    // Commits the gathered writes, then rewrites the file without the room that deleted
    // rows left behind. Raises 3045 while a recordset of the file is open (through any
    // handle), and when SQLite refuses (another statement of the file is running, the
    // file is locked); the data are unchanged then.
    void compact();
    // Puts the table `staged` in the place of `target` in one step: target, when there
    // is one, is dropped and staged takes its name; a failure leaves both as they were.
    // 3265 when staged does not exist.
    void replaceTable(std::string_view target, std::string_view staged);
    // replaceTable for several pairs of {target, staged}, all in the same one step.
    void replaceTables(const std::vector<std::pair<std::string, std::string>>& targetsAndStaged);
    // Closes this handle (all copies of it); open recordsets of the handle are closed.
    void close();

private:
    friend class Workspace;
    friend class TableDefs;
    friend class QueryDefs;
    friend class QueryDef;
    explicit Database(std::shared_ptr<detail::DatabaseState> state);
    detail::DatabaseState& state() const;
    std::shared_ptr<detail::DatabaseState> state_;
};

class Workspace {
public:
    // Opens a database file. The connect text (";UID=Admin;PWD=...") is accepted and
    // not checked. A missing file raises 3024, a file SQLite cannot open 3051, a file
    // another program holds past a wait of a few seconds 3045.
    // exclusive is accepted and ignored; readOnly makes every write raise 3027.
    Database openDatabase(const std::string& path, bool exclusive = false, bool readOnly = false,
                          std::string_view connect = {});

private:
    friend class Engine;
    Workspace() = default;
};

// The engine: one instance for the program.
class Engine {
public:
    static Engine& instance();

    Workspace workspace(int index = 0); // only workspace 0 exists (3265 otherwise)
    Database openDatabase(const std::string& path, bool exclusive = false, bool readOnly = false,
                          std::string_view connect = {}) {
        return workspace().openDatabase(path, exclusive, readOnly, connect);
    }

    // The driver settings key; kept, not otherwise used.
    const std::string& iniPath() const { return iniPath_; }
    void setIniPath(std::string path) { iniPath_ = std::move(path); }

    // Serves connect strings whose prefix (before the first ";") equals prefix, without
    // regard to case, ahead of the program's readers. For tests and tools; a null reader
    // removes the registration.
    void registerReader(std::string prefix, std::shared_ptr<const ForeignReader> reader);
    // The reader for a connect string: a registered one, else the program's readers.
    const ForeignReader* readerFor(std::string_view connect) const;

    // The clock of the files opened from now on (see EngineClock); for tests.
    void setClock(EngineClock clock) { clock_ = std::move(clock); }

    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

private:
    friend class Workspace;
    Engine();
    std::shared_ptr<detail::Connection> connectionFor(const std::string& canonicalPath);

    std::string iniPath_;
    EngineClock clock_;
    std::map<std::string, std::shared_ptr<const ForeignReader>> readers_; // upper-cased prefix
    std::map<std::string, std::weak_ptr<detail::Connection>> connections_;
};

} // namespace varnoke
