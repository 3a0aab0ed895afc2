// When gathered writes reach the file. The pages a transaction changes wait in memory for
// its commit, which writes each once in file order, however many there are; the page
// cache then grows to hold them for the next transaction and flush() gives it its size
// back; and a commit asked for only when due leaves a young transaction gathered.
#include "engine/connection.h"
#include "engine_fixture.h"
#include "support/full_disk.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>

namespace varnoke::testing {
namespace {

using Texts = std::vector<std::string>;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

constexpr long long kSmallCacheKiB = 256;

class CommitPolicyTest : public EngineTest {
protected:
    // A connection of its own on a file of its own, with the engine's settings, a page
    // cache of 256 KiB and a committed table of about 800 KiB.
    void SetUp() override {
        EngineTest::SetUp();
        bigPath = path() + ".big";
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(bigPath.c_str(), &raw), SQLITE_OK);
        conn = std::make_unique<detail::Connection>(bigPath, detail::DbPtr(raw));
        ASSERT_EQ(detail::configureConnection(raw), SQLITE_OK);
        conn->exec("PRAGMA cache_size = " + std::to_string(-kSmallCacheKiB));
        conn->exec("CREATE TABLE T (V TEXT)");
        conn->noteWrite();
        conn->exec("INSERT INTO T WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM "
                   "n WHERE i < 2000) SELECT printf('%.400c', 'a') FROM n");
        conn->commit();
        conn->restoreCache(); // the insert grew it
    }

    void TearDown() override {
        conn.reset();
        EngineTest::TearDown();
    }

    // Every page of T changes.
    void changeEveryPage() {
        conn->noteWrite();
        conn->exec("UPDATE T SET V = upper(V)");
    }

    std::string bigPath;
    std::unique_ptr<detail::Connection> conn;
};

TEST_F(CommitPolicyTest, PagesChangedPastTheCacheWaitForTheCommit) {
    const std::string before = fileBytes(bigPath);
    changeEveryPage();
    EXPECT_EQ(fileBytes(bigPath), before) << "pages were written before the commit";
    conn->commit();
    EXPECT_NE(fileBytes(bigPath), before);
    EXPECT_EQ(test::committedTexts(bigPath, "SELECT count(*) FROM T WHERE V = upper(V)"),
              Texts({"2000"}));
}

TEST_F(CommitPolicyTest, TheCacheGrowsToTheChangedPagesUntilRestored) {
    changeEveryPage();
    conn->commit();
    // Negative sizes are KiB: the cache now holds the 800 KiB the transaction changed.
    EXPECT_LT(conn->pragmaValue("cache_size"), -800);
    conn->restoreCache();
    EXPECT_EQ(conn->pragmaValue("cache_size"), -kSmallCacheKiB);
}

TEST_F(CommitPolicyTest, ABulkWriteSpillsAsItGoesAndTheRoomComesBack) {
    const long long room = conn->pragmaValue("cache_spill");
    {
        const detail::SmallCache small(*conn);
        EXPECT_EQ(conn->pragmaValue("cache_size"), -8192);
        EXPECT_LT(conn->pragmaValue("cache_spill"), room);
    }
    EXPECT_EQ(conn->pragmaValue("cache_size"), -kSmallCacheKiB);
    EXPECT_EQ(conn->pragmaValue("cache_spill"), room);
}

// A transaction is due two seconds after its first write. The two calls run far sooner,
// unless a busy machine stalls the test between them: such a try is made again.
TEST_F(CommitPolicyTest, AYoungTransactionIsNotDueUntilFlushed) {
    makePeople();
    const std::string sql = "SELECT City FROM People WHERE Id = 1";
    std::string city = "Oslo";
    for (int attempt = 1;; ++attempt) {
        db.flush();
        const std::string next = "Lima" + std::to_string(attempt);
        const auto start = std::chrono::steady_clock::now();
        db.execute("UPDATE People SET City = '" + next + "' WHERE Id = 1");
        db.flushIfDue();
        const bool young = std::chrono::steady_clock::now() - start < std::chrono::seconds(1);
        if (young || attempt == 20) {
            ASSERT_TRUE(young) << "the machine stalled every try for a second";
            EXPECT_EQ(test::committedTexts(path(), sql), Texts({city}));
            db.flush();
            EXPECT_EQ(test::committedTexts(path(), sql), Texts({next}));
            return;
        }
        city = next;
    }
}

} // namespace
} // namespace varnoke::testing
