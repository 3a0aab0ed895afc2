#pragma once
// One SQLite connection to a database file, shared by every handle the program opens
// on that file: prepared statements, the table catalogue, the gathered write
// transaction, the indexes finds have asked for, and the open recordsets that must
// hear of every write of their table.
//
// Invariant: every write of a table's rows passes writeRows(), the one funnel that joins
// it to the gathered writes, moves the table's data version on and tells the table's
// open row sets what changed; a change of definitions, or of rows whose table is not
// known, bumps every table's version (bumpData). So what a cache read at a data version
// is still the table's while that version is current.
#include "engine/engine_clock.h"
#include "engine/engine_error.h"
#include "engine/names.h"
#include "engine/open_row_set.h"
#include "engine/table_info.h"
#include "value/value.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace varnoke::detail {

class DatabaseState;

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using DbPtr = std::unique_ptr<sqlite3, SqliteCloser>;
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

// Settings every connection of the engine runs with: the case-blind collation, temp
// tables in memory, and a page cache of 64 MiB (a gathered transaction over a table of
// 100,000 records outgrows SQLite's default of 2 MiB, and every page it then reads again
// comes from the file; the memory is taken only as pages are read). Benchmarks give
// plain SQLite the same. The engine's own connections also keep the pages a gathered
// transaction changes until its commit (see transaction.cpp). Returns an SQLite result
// code.
int configureConnection(sqlite3* db);

// Written after a text operand, a condition, sort or index on it compares without regard
// to case (value/case_fold.h); configureConnection registers the collation.
inline constexpr const char* kCaseBlind = " COLLATE vk_fold";

class Connection;

// A prepared statement lent by the connection's cache; reset and unbound on return.
class Stmt {
public:
    Stmt(Connection& conn, sqlite3_stmt* stmt, StmtPtr owned, bool* busyFlag);
    Stmt(Stmt&& other) noexcept;
    Stmt& operator=(Stmt&&) = delete;
    ~Stmt();

    sqlite3_stmt* get() const { return stmt_; }
    void bind(int index, const Value& v);
    // Binds a text without a copy: v must outlive this Stmt (see bindAllKept).
    void bindKept(int index, const Value& v);
    void bindAll(const std::vector<Value>& values);
    // Binds texts without a copy: `values` must outlive this Stmt and stay unchanged
    // until it is bound again (the Stmt clears its bindings when it ends).
    void bindAllKept(const std::vector<Value>& values);
    // true while rows come; raises EngineError on failure.
    bool step();
    void run(); // steps to the end

private:
    Connection* conn_;
    sqlite3_stmt* stmt_;
    StmtPtr owned_; // set when the cached one was busy
    bool* busy_;
};

class Connection {
public:
    // Waits for a file another program holds, and spaces commits, by `clock`.
    Connection(std::string path, DbPtr db, EngineClock clock = {});
    ~Connection();

    const std::string& path() const { return path_; }
    sqlite3* handle() const { return db_.get(); }

    Stmt prepare(const std::string& sql);
    void exec(const std::string& sql);
    // Raises the error SQLite reported; when SQLite gave up the gathered transaction
    // with it, raises the lost writes (see lostWrites).
    [[noreturn]] void raise(int rc);

    // The table of that name in the main schema, without regard to case; nullptr when
    // there is none. Cached until schemaChanged().
    const TableInfo* table(std::string_view name);
    // A table of the temp schema (snapshots).
    TableInfo tempTable(const std::string& name);
    std::vector<std::string> tableNames();
    // Every change of a definition ends here: the catalogue, the find indexes and every
    // cached row are stale.
    void schemaChanged();
    // Counts schemaChanged() calls: what was worked out from the catalogue holds while
    // this stays the same.
    std::uint64_t schemaVersion() const { return schemaVersion_; }

    // Writes from recordsets and data statements gather in one transaction; see
    // Database. commit() waits while a savepoint is open, as committing would end it.
    // commitIfDue() commits only when the next write would. A commit may grow the page
    // cache to the pages the transaction changed; restoreCache() gives it its size back.
    void noteWrite();
    void commit();
    void commitIfDue();
    void restoreCache();
    // The value of a PRAGMA that reports a number (0 when it reports none).
    long long pragmaValue(const char* name);
    bool inTransaction() const { return inTransaction_; }
    // The number of the gathered batch writes now join, 0 outside one: what a lost batch
    // undid is known by it.
    std::uint64_t batch() const { return inTransaction_ ? batch_ : 0; }
    // Set when SQLite gave up the gathered transaction (a failed COMMIT or write, as on
    // a full disk): every write since the last commit is undone. noteWrite() and
    // commit() raise it until forgetLostWrites(), so no write quietly starts a new
    // transaction after the hole.
    const std::optional<EngineError>& lostWrites() const { return lost_; }
    void forgetLostWrites() { lost_.reset(); }

    // Runs work inside a savepoint: all or nothing, and a failure undoes only the
    // work's own effects, not what was gathered before it.
    template <typename F> void atomically(F&& work) {
        savepoint(SavepointStep::Begin);
        ++savepointDepth_;
        try {
            work();
        } catch (...) {
            --savepointDepth_;
            bumpData(); // rows read inside the work may have been undone
            try {
                savepoint(SavepointStep::Undo);
                savepoint(SavepointStep::Release);
            } catch (...) {
                abandonSavepoint();
            }
            throw;
        }
        --savepointDepth_;
        try {
            savepoint(SavepointStep::Release);
        } catch (...) {
            bumpData();
            abandonSavepoint();
            throw;
        }
    }

    // Makes sure a column that finds compare has an index in the collation they use.
    void ensureFindIndex(const TableInfo& table, const std::string& column, IndexKind kind);
    // What ensureFindIndex knows an index by; hasFindIndex is true while it stands.
    static std::string findIndexKey(const TableInfo& table, const std::string& column,
                                    IndexKind kind);
    bool hasFindIndex(const std::string& key) const { return indexed_.count(key) > 0; }

    // See DataVersion; every cached row is stale once bumpData() runs.
    using DataVersion = detail::DataVersion;
    struct RowSetEntry {
        std::weak_ptr<OpenRowSet> rowSet;
        const DatabaseState* handle; // that opened it
    };
    // A table as the caches of its open row sets know it: its data version and the row
    // sets open on it.
    struct WatchedTable {
        std::uint64_t version = 0;
        std::vector<RowSetEntry> rowSets;
    };
    // The table of that key (keyOf); the reference stays valid as long as the connection.
    WatchedTable& watched(const std::string& tableKey) { return watched_[tableKey]; }
    static std::string keyOf(const TableInfo& t) { return t.schema + "." + upperName(t.name); }
    DataVersion dataVersion(const WatchedTable& t) const { return {allVersion_, t.version}; }
    void bumpData() { allVersion_ = ++versionCounter_; }

    // The funnel of every write of a table's rows: joins the gathered writes, runs
    // work(change), which writes and says in `change` what it did, then moves the
    // table's version on and tells each open row set of the table. A work that raises
    // leaves what every cache holds of the table stale.
    template <typename F> void writeRows(WatchedTable& t, F&& work) {
        noteWrite();
        const DataVersion before = dataVersion(t);
        TableChange change;
        try {
            work(change);
        } catch (...) {
            t.version = ++versionCounter_;
            throw;
        }
        t.version = ++versionCounter_;
        tell(t, before, change);
    }

    // Enters a row set under its table, once, for the database handle that opened it.
    void registerRecordset(WatchedTable& t, std::weak_ptr<OpenRowSet> rs,
                           const DatabaseState* handle);
    bool hasRecordsets(const std::string& tableKey);
    // Whether any recordset of any handle of this file is open.
    bool hasOpenRowSets() const;
    // Closes every row set the handle opened.
    void closeRowSetsOf(const DatabaseState* handle);
    // The table was dropped or renamed: every row set open on it is closed, whatever
    // table takes its name later.
    void tableGone(const TableInfo& table);
    // From the key index of an open row set (see OpenRowSet::keyedRows).
    std::optional<std::vector<std::int64_t>>
    keyedRows(const std::string& tableKey, std::string_view column, std::string_view text);

    std::string newTempName(std::string_view prefix);

    // How many runs of prepared statements have started: a fast path shows in how few
    // it needs.
    std::uint64_t statementsRun() const { return statementsRun_; }
    // How many find texts were parsed, not answered by a query kept for their shape.
    std::uint64_t findsParsed() const { return findsParsed_; }
    void noteFindParsed() { ++findsParsed_; }

private:
    friend class Stmt;
    std::vector<ColumnInfo> columnsOf(const std::string& schema, const std::string& name);
    template <typename F> bool eachRecordset(const std::string& tableKey, F visit);
    void tell(WatchedTable& t, DataVersion before, const TableChange& change);
    EngineError errorFor(int rc) const;
    bool commitDue(EngineClock::TimePoint now) const;
    static int waitWhileBusy(void* self, int tries); // see connection.cpp
    void roomForChangedPages();                      // see transaction.cpp
    void fitCache(long long heldKiB);
    [[noreturn]] void loseGathered(const EngineError& cause);
    void tellBatchLost(std::uint64_t batch); // to every open row set
    enum class SavepointStep { Begin, Undo, Release };
    void savepoint(SavepointStep step); // one step of atomically()
    // Outside the gathered writes a savepoint's release is a commit. One the disk refused
    // leaves the work pending in SQLite, where nothing would ever commit it: rolled back.
    void abandonSavepoint();

    std::string path_;
    DbPtr db_;
    EngineClock clock_;
    EngineClock::TimePoint busySince_; // the first refusal of the present wait
    // The savepoint statements, prepared once: every data statement runs between two.
    std::array<StmtPtr, 3> savepoints_;
    struct Cached {
        StmtPtr stmt;
        bool busy = false;
    };
    std::unordered_map<std::string, std::unique_ptr<Cached>> cache_;
    std::map<std::string, TableInfo> tables_; // by upper name
    bool tablesLoaded_ = false;
    std::uint64_t schemaVersion_ = 0;
    std::set<std::string> indexed_;
    bool inTransaction_ = false;
    std::optional<EngineError> lost_;
    long pendingWrites_ = 0;
    std::uint64_t batch_ = 0; // counts the gathered transactions begun
    EngineClock::TimePoint transactionStart_;
    std::chrono::duration<double> lastCommitCost_{0};
    long long baseCacheKiB_ = 0;  // the page cache as configured, once fitCache grew it
    long long grownCacheKiB_ = 0; // 0 while it has its configured size
    std::uint64_t versionCounter_ = 0;
    std::uint64_t allVersion_ = 0;
    std::unordered_map<std::string, WatchedTable> watched_; // by table key; nodes stay put
    int savepointDepth_ = 0;
    long tempCounter_ = 0;
    std::uint64_t statementsRun_ = 0;
    std::uint64_t findsParsed_ = 0;
};

// A bulk write of a whole table runs through a small page cache that SQLite writes out
// as it goes, so that its memory does not grow with the table; the connection's own
// cache sizes come back when it ends.
class SmallCache {
public:
    explicit SmallCache(Connection& c);
    ~SmallCache();
    SmallCache(const SmallCache&) = delete;
    SmallCache& operator=(const SmallCache&) = delete;

private:
    Connection& c_;
    long long size_ = 0;  // the connection's cache_size
    long long spill_ = 0; // and cache_spill
};

} // namespace varnoke::detail
