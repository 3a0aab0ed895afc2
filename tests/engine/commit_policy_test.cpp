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
#include <optional>

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
// commit's cost when that is longer, but never past thirty seconds of writes at risk.
struct DueCase {
    std::string label;
    milliseconds lastCommitCost;
    milliseconds age;
    bool due;
};

void PrintTo(const DueCase& c, std::ostream* os) {
    *os << c.label;
}

class CommitDue : public CommitPolicyTest {
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
    // A write whose noteWrite finds the batch due: the commit it makes takes `cost`.
    void writeCommittingTaking(milliseconds cost) {
        commitCost_ = cost;
        writeOneRow();
        commitCost_ = milliseconds(0);
    }
    int commits() const { return commits_; }

private:
    static int onCommit(void* self) {
        auto& t = *static_cast<CommitDue*>(self);
        t.clock.advance(t.commitCost_);
        ++t.commits_;
        return 0;
    }
    milliseconds commitCost_{0};
    int commits_ = 0;
};

class CommitDueByAge : public CommitDue, public ::testing::WithParamInterface<DueCase> {};

TEST_P(CommitDueByAge, ByAgeSpacedByTheLastCommitsCost) {
    const DueCase& c = GetParam();
    writeOneRow();
    commitTaking(c.lastCommitCost);

    writeOneRow();
    clock.advance(c.age);
    conn->commitIfDue();

    EXPECT_EQ(!conn->inTransaction(), c.due);
}

INSTANTIATE_TEST_SUITE_P(
    Ages, CommitDueByAge,
    ::testing::Values(
        DueCase{"YoungAfterAQuickCommit", milliseconds(0), milliseconds(1000), false},
        DueCase{"OldAfterAQuickCommit", milliseconds(0), milliseconds(2100), true},
        DueCase{"SpacedByASlowCommit", milliseconds(500), milliseconds(3900), false},
        DueCase{"DueOnceSpaced", milliseconds(500), milliseconds(4000), true},
        DueCase{"SpacedPastFiveSeconds", milliseconds(2000), milliseconds(15900), false},
        DueCase{"DueOnceSpacedPastFive", milliseconds(2000), milliseconds(16000), true},
        DueCase{"UnderTheCap", milliseconds(6000), milliseconds(29900), false},
        DueCase{"CappedAtThirtySeconds", milliseconds(6000), milliseconds(30000), true}),
    [](const auto& info) { return info.param.label; });

// The batch after a commit that a due write made gathers its whole spacing from the end of
// that commit: the time the commit took is no part of it.
struct SpacingCase {
    std::string label;
    milliseconds commitCost;
    milliseconds spacing; // eight times the cost, at most thirty seconds
};

void PrintTo(const SpacingCase& c, std::ostream* os) {
    *os << c.label;
}

class BatchAfterACommit : public CommitDue, public ::testing::WithParamInterface<SpacingCase> {};

TEST_P(BatchAfterACommit, GathersItsWholeSpacingAfterTheCommitEnds) {
    const SpacingCase& c = GetParam();
    writeOneRow();
    clock.advance(std::chrono::milliseconds(2100));
    writeCommittingTaking(c.commitCost);
    ASSERT_EQ(commits(), 1) << "the write found its batch due";
    ASSERT_TRUE(conn->inTransaction()) << "the write began the next batch";

    clock.advance(c.spacing - milliseconds(100));
    writeOneRow();
    EXPECT_EQ(commits(), 1) << "the batch was cut short by the commit's own time";
    clock.advance(milliseconds(100));
    writeOneRow();
    EXPECT_EQ(commits(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Costs, BatchAfterACommit,
    ::testing::Values(SpacingCase{"TwoSeconds", milliseconds(2000), milliseconds(16000)},
                      SpacingCase{"SixSeconds", milliseconds(6000), milliseconds(30000)}),
    [](const auto& info) { return info.param.label; });

// A steady run, one write every 50 ms, on a disk where every commit costs the same: the
// commits take about a ninth of the run's time or less, until the thirty seconds of
// writes at risk bound the batches.
struct RunCase {
    std::string label;
    milliseconds commitCost;
    double mostCommitShare; // of the run's time
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.label;
}

class SteadyRun : public CommitDue, public ::testing::WithParamInterface<RunCase> {};

TEST_P(SteadyRun, CommitsTakeAboutANinthAndRiskAtMostThirtySeconds) {
    const RunCase& c = GetParam();
    constexpr auto kStep = milliseconds(50);
    constexpr auto kRun = std::chrono::seconds(400);
    const auto start = clock.clock().now();
    // From the end of the first commit (whose batch no earlier commit spaced) to the end
    // of the last.
    std::optional<EngineClock::TimePoint> firstEnd;
    auto lastEnd = start;
    std::chrono::steady_clock::duration longestBatch{};
    std::chrono::steady_clock::duration committing{};
    int seen = 0;
    while (clock.clock().now() - start < kRun) {
        const auto before = clock.clock().now();
        writeCommittingTaking(c.commitCost);
        if (commits() > seen) {
            seen = commits();
            if (firstEnd) {
                committing += c.commitCost;
                longestBatch = std::max(longestBatch, before - lastEnd);
            }
            lastEnd = before + c.commitCost;
            if (!firstEnd) firstEnd = lastEnd;
        }
        clock.advance(kStep);
    }
    ASSERT_GT(commits(), 3);
    const double share = std::chrono::duration<double>(committing) /
                         std::chrono::duration<double>(lastEnd - *firstEnd);
    EXPECT_LE(share, c.mostCommitShare);
    EXPECT_LE(longestBatch, std::chrono::seconds(30) + kStep);
}

INSTANTIATE_TEST_SUITE_P(
    Costs, SteadyRun,
    ::testing::Values(RunCase{"QuickCommits", milliseconds(100), 0.06},
                      RunCase{"HalfASecond", milliseconds(500), 1.0 / 8.5},
                      RunCase{"TwoSeconds", milliseconds(2000), 1.0 / 8.5},
                      RunCase{"ThreeAndAHalfSeconds", milliseconds(3500), 1.0 / 8.5},
                      RunCase{"SixSecondsBoundByTheRisk", milliseconds(6000), 6.0 / 35}),
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
