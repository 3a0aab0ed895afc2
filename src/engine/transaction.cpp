// The gathered write transaction of a connection, its savepoints, and the data versions
// writes bump so cached rows know when they are stale.
//
// Invariants: inTransaction_ is true exactly while a BEGIN of ours is open (or SQLite has
// just given it up, which the next raise, noteWrite or commit sees and turns into lost
// writes); while lost writes stand, noteWrite and commit raise them and write nothing;
// commit() never ends an open savepoint; every version handed out is larger than every
// one before it.
#include "engine/connection.h"

#include <algorithm>
#include <string>
#include <utility>

namespace varnoke::detail {

namespace {

// Gathered writes are committed once this many are pending or the transaction is this
// old (checked at the next write); flush() and definition changes commit sooner.
constexpr long kMaxPendingWrites = 200000;
constexpr std::chrono::duration<double> kMaxTransactionAge = std::chrono::seconds(2);
// A commit writes every page changed since the last one and waits for the disk. Where
// that takes long (many pages: a long run changing a large table in another table's
// order), a transaction is kept at least this many times the last commit's cost after
// that commit ended, so commits take at most about a ninth of the time at any table size;
// but never past kMaxWritesAtRisk, what a crash or a failed commit may undo, however slow
// the disk. The working database holds copies only: a longer loss is redone by running
// again, where commits that rewrite a large table every few seconds double the run.
constexpr double kCommitSpacing = 8;
constexpr std::chrono::duration<double> kMaxWritesAtRisk = std::chrono::seconds(30);
// The pages a gathered transaction changes stay in memory up to this many KiB (taken only
// as pages change). Past the page cache SQLite would otherwise write them out one by one
// in the order they were changed, and again after each later change, where a commit
// writes each once, in file order. A transaction is committed before its changed pages
// fill seven eighths of the room.
constexpr long long kChangedPagesKiB = 512 * 1024;
// How often, in writes, the room of the changed pages is looked at.
constexpr long kRoomCheckEvery = 256;
// Once a transaction's pages outgrew the page cache, the cache grows to hold as many with
// an eighth to spare, up to five eighths of the room: the pages changed are read again
// by the next transaction, which would otherwise read them back from the file, and the
// index pages above them with them, at every step. flush() gives the cache its size back.
constexpr long long kMaxGrownCacheKiB = kChangedPagesKiB / 8 * 5;

long long pagerKiB(sqlite3* db) {
    int used = 0;
    int highest = 0;
    sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_USED, &used, &highest, 0);
    return used / 1024;
}

// Only speed depends on the page cache's size: a connection that refuses it works on.
void setCacheKiB(sqlite3* db, long long kib) {
    sqlite3_exec(db, ("PRAGMA cache_size = " + std::to_string(-kib)).c_str(), nullptr, nullptr,
                 nullptr);
}
} // namespace

void Connection::roomForChangedPages() {
    // Only speed depends on it: a connection that refuses it spills as SQLite does.
    // SmallCache lowers it for bulk writes, which need no room.
    sqlite3_exec(db_.get(), ("PRAGMA cache_spill = " + std::to_string(-kChangedPagesKiB)).c_str(),
                 nullptr, nullptr, nullptr);
}

// Whether the gathered writes are due for their commit: by their number or age, though
// never sooner after their first than the last commit's cost allows (up to
// kMaxWritesAtRisk); or by the room their changed pages take.
bool Connection::commitDue(EngineClock::TimePoint now) const {
    const auto age = now - transactionStart_;
    const auto spacing = std::min(kCommitSpacing * lastCommitCost_, kMaxWritesAtRisk);
    if (age >= spacing && (age > kMaxTransactionAge || pendingWrites_ >= kMaxPendingWrites))
        return true;
    return pendingWrites_ % kRoomCheckEvery == 0 && pagerKiB(db_.get()) >= kChangedPagesKiB / 8 * 7;
}

void Connection::fitCache(long long heldKiB) {
    if (grownCacheKiB_ == 0) {
        // Negative sizes are KiB, positive ones pages.
        const long long size = pragmaValue("cache_size");
        baseCacheKiB_ = size < 0 ? -size : size * pragmaValue("page_size") / 1024;
    }
    const long long cacheKiB = std::max(baseCacheKiB_, grownCacheKiB_);
    if (heldKiB <= cacheKiB) return;
    grownCacheKiB_ = std::min(kMaxGrownCacheKiB, heldKiB / 8 * 9);
    if (grownCacheKiB_ > cacheKiB) setCacheKiB(db_.get(), grownCacheKiB_);
}

long long Connection::pragmaValue(const char* name) {
    auto st = prepare(std::string("PRAGMA ") + name);
    return st.step() ? sqlite3_column_int64(st.get(), 0) : 0;
}

void Connection::restoreCache() {
    if (grownCacheKiB_ == 0) return;
    grownCacheKiB_ = 0;
    setCacheKiB(db_.get(), baseCacheKiB_);
}

void Connection::commitIfDue() {
    if (lost_) throw *lost_;
    if (inTransaction_ && commitDue(clock_.now())) commit();
}

void Connection::noteWrite() {
    if (lost_) throw *lost_;
    if (inTransaction_ && sqlite3_get_autocommit(db_.get())) commit();
    if (inTransaction_ && commitDue(clock_.now())) commit();
    if (!inTransaction_ && sqlite3_get_autocommit(db_.get())) {
        exec("BEGIN");
        inTransaction_ = true;
        ++batch_;
        pendingWrites_ = 0;
        // Read after the commit just made: the time it took is no part of the new batch's.
        transactionStart_ = clock_.now();
    }
    ++pendingWrites_;
}

void Connection::commit() {
    if (lost_) throw *lost_;
    if (!inTransaction_ || savepointDepth_ > 0) return;
    if (sqlite3_get_autocommit(db_.get()))
        loseGathered(EngineError(err::EngineFailure, "The database gave up its pending changes."));
    const long long heldKiB = pagerKiB(db_.get());
    const auto start = clock_.now();
    if (const int rc = sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr);
        rc != SQLITE_OK) {
        // A file another program still holds past the busy wait: the gathered work is
        // given up, as SQLite gives it up on a full disk, rather than kept waiting, which
        // would keep the other program out of the file and ask again at every try.
        if ((rc & 0xff) == SQLITE_BUSY && !sqlite3_get_autocommit(db_.get())) {
            const EngineError inUse = errorFor(rc);
            sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
            loseGathered(inUse);
        }
        raise(rc); // a commit SQLite gave up (a full disk) loses the work, and says so
    }
    lastCommitCost_ = clock_.now() - start;
    inTransaction_ = false;
    pendingWrites_ = 0;
    try {
        fitCache(heldKiB);
    } catch (const EngineError&) {
        // The commit stands; only speed depends on the cache.
    }
}

// SQLite undid every write gathered since the last commit. What was read or worked out
// since may be gone with it, and the next write would quietly start a new transaction
// after the hole; so the loss is kept and raised until the user has been told.
void Connection::loseGathered(const EngineError& cause) {
    std::string text = cause.description();
    if (!text.ends_with('.')) text += '.';
    lost_.emplace(cause.number(), text + "  The changes made since the last automatic save "
                                         "were undone; everything saved before them is kept.");
    const std::uint64_t lostBatch = batch();
    inTransaction_ = false;
    pendingWrites_ = 0;
    schemaChanged(); // the find indexes made in the transaction are gone too
    if (lostBatch != 0) tellBatchLost(lostBatch);
    throw *lost_;
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

void Connection::abandonSavepoint() {
    if (!inTransaction_ && !sqlite3_get_autocommit(db_.get()))
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

SmallCache::SmallCache(Connection& c)
    : c_(c), size_(c.pragmaValue("cache_size")), spill_(c.pragmaValue("cache_spill")) {
    c_.exec("PRAGMA cache_size = -8192; PRAGMA cache_spill = -8192");
}

SmallCache::~SmallCache() {
    try {
        c_.exec("PRAGMA cache_size = " + std::to_string(size_) +
                "; PRAGMA cache_spill = " + std::to_string(spill_));
    } catch (...) {
        // Only speed depends on it; the write's own outcome is what counts.
    }
}

} // namespace varnoke::detail
