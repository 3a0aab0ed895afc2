// The gathered write transaction of a connection, its savepoints, and the data versions
// writes bump so cached rows know when they are stale.
//
// Invariants: inTransaction_ is true exactly while a BEGIN of ours is open (or SQLite has
// just given it up, which the next raise, noteWrite or commit sees and turns into lost
// writes); while lost writes stand, noteWrite and commit raise them and write nothing;
// commit() never ends an open savepoint; every version handed out is larger than every
// one before it.
#include "engine/connection.h"

namespace varnoke::detail {

namespace {

// Gathered writes are committed once this many are pending or the transaction is this
// old (checked at the next write); flush() and definition changes commit sooner.
constexpr long kMaxPendingWrites = 200000;
constexpr auto kMaxTransactionAge = std::chrono::seconds(2);
} // namespace

void Connection::noteWrite() {
    if (lost_) throw *lost_;
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

void Connection::commit() {
    if (lost_) throw *lost_;
    if (!inTransaction_ || savepointDepth_ > 0) return;
    if (sqlite3_get_autocommit(db_.get()))
        loseGathered(EngineError(err::EngineFailure, "The database gave up its pending changes."));
    // A COMMIT that fails on a file busy in another program leaves the work gathered for
    // the next try; one that SQLite gives up (a full disk) loses it, and raise says so.
    exec("COMMIT");
    inTransaction_ = false;
    pendingWrites_ = 0;
}

// SQLite undid every write gathered since the last commit. What was read or worked out
// since may be gone with it, and the next write would quietly start a new transaction
// after the hole; so the loss is kept and raised until the user has been told.
void Connection::loseGathered(const EngineError& cause) {
    std::string text = cause.description();
    if (!text.ends_with('.')) text += '.';
    lost_.emplace(cause.number(), text + "  The changes made since the last automatic save "
                                         "were undone; everything saved before them is kept.");
    inTransaction_ = false;
    pendingWrites_ = 0;
    schemaChanged(); // the find indexes made in the transaction are gone too
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
