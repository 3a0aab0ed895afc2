// One SQLite connection: its settings, the cache of prepared statements it lends, and
// how SQLite's errors become the engine's.
//
// Invariant: a cached statement is lent to one Stmt at a time (its busy flag); a second
// borrower gets a private copy.
#include "engine/connection.h"

#include "engine/engine_error.h"
#include "value/case_fold.h"

namespace varnoke::detail {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// How long a file another program holds is waited for, and how often it is tried meanwhile.
constexpr auto kBusyTimeout = std::chrono::seconds(5);
constexpr auto kBusyPoll = std::chrono::milliseconds(20);

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
    // Freed pages are not zeroed where that costs writes: a build of SQLite that zeroes
    // them journals every page of a dropped table, so on a nearly full disk the drop of a
    // failed link's table would fail and leave the table behind.
    return sqlite3_exec(db,
                        "PRAGMA temp_store = MEMORY; PRAGMA cache_size = -65536; "
                        "PRAGMA secure_delete = FAST",
                        nullptr, nullptr, nullptr);
}

Connection::Connection(std::string path, DbPtr db, EngineClock clock)
    : path_(std::move(path)), db_(std::move(db)), clock_(std::move(clock)) {
    roomForChangedPages();
    sqlite3_busy_handler(db_.get(), &Connection::waitWhileBusy, this);
}

// A short hold by another program (its own commit, a quick read) is waited out; one
// that lasts past kBusyTimeout is reported as the file in use (errorFor).
int Connection::waitWhileBusy(void* self, int tries) {
    auto& conn = *static_cast<Connection*>(self);
    const auto now = conn.clock_.now();
    if (tries == 0) conn.busySince_ = now;
    if (now - conn.busySince_ >= kBusyTimeout) return 0;
    conn.clock_.sleep(kBusyPoll);
    return 1;
}

Connection::~Connection() {
    try {
        commit();
    } catch (...) {
        // Closing must not throw; SQLite rolls back what could not be committed.
    }
    cache_.clear();
    savepoints_ = {};
}

void Connection::raise(int rc) {
    const EngineError error = errorFor(rc);
    if (inTransaction_ && sqlite3_get_autocommit(db_.get())) loseGathered(error);
    throw error;
}

EngineError Connection::errorFor(int rc) const {
    std::string msg = sqlite3_errmsg(db_.get());
    // Errors raised by the engine's own SQL functions carry their number.
    if (startsWith(msg, "vkerr:")) {
        const auto colon = msg.find(':', 6);
        const int number = std::stoi(msg.substr(6, colon - 6));
        return EngineError(number, msg.substr(colon + 1));
    }
    const int primary = rc & 0xff;
    if (primary == SQLITE_BUSY)
        return EngineError(err::FileInUse, "Couldn't use '" + path_ + "'; file already in use.");
    if (startsWith(msg, "no such table: ")) {
        auto name = msg.substr(15);
        // The engine's own temp table went with a batch SQLite gave up (made inside it
        // when the file refused the commit before it): its name means nothing to the user.
        if (startsWith(name, "temp.vk_"))
            return EngineError(err::ObjectInvalid,
                               "Object invalid or no longer set.  The recordset's rows were "
                               "undone with the changes since the last automatic save; open "
                               "it again.");
        if (auto dot = name.find('.'); dot != std::string::npos) name = name.substr(dot + 1);
        return EngineError(err::TableNotFound, "Cannot find the input table or query '" + name +
                                                   "'.  Make sure it exists and that its name "
                                                   "is spelled correctly.");
    }
    if (msg.find("already exists") != std::string::npos) return EngineError(err::TableExists, msg);
    if (primary == SQLITE_CONSTRAINT && msg.find("UNIQUE") != std::string::npos)
        return EngineError(err::DuplicateKey,
                           "The changes you requested to the table were not successful because "
                           "they would create duplicate values in the index, primary key, or "
                           "relationship.");
    if (primary == SQLITE_READONLY)
        return EngineError(err::ReadOnly, "Cannot update.  Database or object is read-only.");
    if (primary == SQLITE_FULL) return EngineError(err::DiskFull, "Not enough space on disk.");
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        return EngineError(err::CannotOpen, "Cannot open the database '" + path_ + "': " + msg);
    return EngineError(err::EngineFailure, msg);
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

std::string Connection::newTempName(std::string_view prefix) {
    return std::string(prefix) + std::to_string(++tempCounter_);
}

} // namespace varnoke::detail
