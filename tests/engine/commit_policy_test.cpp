// When gathered writes reach the file. The pages a transaction changes wait in memory for
// its commit, which writes each once in file order, however many there are; the page
// cache then grows to hold them for the next transaction and flush() gives it its size
// back; a commit asked for only when due leaves a young transaction gathered; and a file
// another program holds is waited for, then reported as in use.
#include "engine/connection.h"
#include "engine_fixture.h"
#include "support/busy_file.h"
#include "support/full_disk.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace varnoke::testing {
namespace {

using Texts = std::vector<std::string>;
using std::chrono::milliseconds;
using test::FileHolder;

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
        conn = std::make_unique<detail::Connection>(bigPath, detail::DbPtr(raw), clock.clock());
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

    test::ManualEngineClock clock;
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

// When a transaction is due: two seconds after its first write, or eight times the last
// commit's cost when that is longer, but never past five seconds of writes at risk.
struct DueCase {
    std::string label;
    milliseconds lastCommitCost;
    milliseconds age;
    bool due;
};

void PrintTo(const DueCase& c, std::ostream* os) {
    *os << c.label;
}

class CommitDue : public CommitPolicyTest, public ::testing::WithParamInterface<DueCase> {
protected:
    void SetUp() override {
        CommitPolicyTest::SetUp();
        sqlite3_commit_hook(conn->handle(), &CommitDue::onCommit, this);
    }
    void writeOneRow() {
        conn->noteWrite();
        conn->exec("UPDATE T SET V = 'b' WHERE rowid = 1");
    }
    // Commits, taking `cost` on the test's clock.
    void commitTaking(milliseconds cost) {
        commitCost_ = cost;
        conn->commit();
        commitCost_ = milliseconds(0);
    }

private:
    static int onCommit(void* self) {
        auto& t = *static_cast<CommitDue*>(self);
        t.clock.advance(t.commitCost_);
        return 0;
    }
    milliseconds commitCost_{0};
};

TEST_P(CommitDue, ByAgeSpacedByTheLastCommitsCost) {
    const DueCase& c = GetParam();
    writeOneRow();
    commitTaking(c.lastCommitCost);

    writeOneRow();
    clock.advance(c.age);
    conn->commitIfDue();

    EXPECT_EQ(!conn->inTransaction(), c.due);
}

INSTANTIATE_TEST_SUITE_P(
    Ages, CommitDue,
    ::testing::Values(DueCase{"YoungAfterAQuickCommit", milliseconds(0), milliseconds(1000), false},
                      DueCase{"OldAfterAQuickCommit", milliseconds(0), milliseconds(2100), true},
                      DueCase{"SpacedByASlowCommit", milliseconds(500), milliseconds(3900), false},
                      DueCase{"DueOnceSpaced", milliseconds(500), milliseconds(4000), true},
                      DueCase{"UnderTheCap", milliseconds(2000), milliseconds(4900), false},
                      DueCase{"CappedAtFiveSeconds", milliseconds(2000), milliseconds(5000), true}),
    [](const auto& info) { return info.param.label; });

// The working database held by another program.
class FileInUse : public CommitPolicyTest {
protected:
    // A copy of the working database the engine has not opened yet.
    std::string unopened() {
        const std::string copy = path() + ".held";
        std::filesystem::copy_file(path(), copy);
        return std::filesystem::canonical(copy).string();
    }
    static std::string inUse(const std::string& file) {
        return "Couldn't use '" + file + "'; file already in use.";
    }
};

TEST_F(FileInUse, AShortHoldAtOpenIsWaitedOut) {
    const std::string file = unopened();
    FileHolder other(file);
    other.lock();
    clock.onWait = [&] { other.release(); };
    Database opened = Engine::instance().openDatabase(file);
    EXPECT_GT(clock.waits(), 0);
    EXPECT_TRUE(opened.isOpen());
    opened.close();
}

TEST_F(FileInUse, AHoldPastTheWaitAtOpenSaysTheFileIsInUse) {
    const std::string file = unopened();
    FileHolder other(file);
    other.lock();
    const auto before = clock.clock().now();
    try {
        Engine::instance().openDatabase(file);
        ADD_FAILURE() << "a held file opened";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), err::FileInUse);
        EXPECT_EQ(e.description(), inUse(file));
    }
    EXPECT_GE(clock.clock().now() - before, std::chrono::seconds(5));
}

// The commit gives up only what was gathered since the last one, says why, and the
// file takes writes again once the user has been told.
TEST_F(FileInUse, ACommitPastTheWaitLosesOnlyTheGatheredWrites) {
    makePeople();
    db.flush();
    const std::string sql = "SELECT City FROM People WHERE Id = 1";
    db.execute("UPDATE People SET City = 'Lima' WHERE Id = 1");
    FileHolder other(path());
    other.read();
    try {
        db.flush();
        ADD_FAILURE() << "the commit went through a read in progress";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), err::FileInUse);
        EXPECT_EQ(e.description(),
                  inUse(std::filesystem::canonical(path()).string()) +
                      "  The changes made since the last automatic save were undone; "
                      "everything saved before them is kept.");
    }
    other.release();
    EXPECT_EQ(test::committedTexts(path(), sql), Texts({"Oslo"}));
    db.forgetLostWrites();
    db.execute("UPDATE People SET City = 'Rome' WHERE Id = 1");
    db.flush();
    EXPECT_EQ(test::committedTexts(path(), sql), Texts({"Rome"}));
}

} // namespace
} // namespace varnoke::testing
