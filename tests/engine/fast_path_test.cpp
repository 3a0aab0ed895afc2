// The engine's fast paths give no answer of their own, so a path switched off by mistake
// would leave every result right and only the run slower. Each test counts the SQLite
// queries a piece of work starts, which a fast path spares, and checks the answers too.
#include "engine_fixture.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varnoke::testing {
namespace {

constexpr int kRows = 1000;

class FastPath : public EngineTest {
protected:
    // W(Word, N): 'w1' .. 'w1000' with N equal to its number, written in one go.
    void makeWords() {
        db.execute("CREATE TABLE W (Word TEXT(20), N LONG)");
        for (int i = 1; i <= kRows; ++i)
            db.execute("INSERT INTO W VALUES ('w" + std::to_string(i) + "', " + std::to_string(i) +
                       ")");
    }

    // The queries `work` starts.
    std::uint64_t queriesOf(const std::function<void()>& work) {
        const auto before = db.statementsRun();
        work();
        return db.statementsRun() - before;
    }
};

// Read-ahead: a walk in stored order reads the next 64 rows with one query.
TEST_F(FastPath, AWalkInStoredOrderReadsRowsAhead) {
    makeWords();
    auto rs = db.openRecordset("W", RecordsetType::Dynaset);
    long sum = 0;
    const auto queries = queriesOf([&] {
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            sum += static_cast<long>(rs.value("N").asNumber());
    });
    EXPECT_EQ(sum, kRows * (kRows + 1) / 2);
    // One read per row would be 1000; the row store alone 125.
    EXPECT_LE(queries, kRows / 64 + 2);
}

// Row store: rows visited out of order come from one scan of the table once an eighth
// of them were read one by one.
TEST_F(FastPath, RowsOutOfOrderComeFromOneScan) {
    makeWords();
    auto rs = db.openRecordset("W", RecordsetType::Dynaset);
    long sum = 0;
    const auto queries = queriesOf([&] {
        for (rs.moveLast(); !rs.bof(); rs.movePrevious())
            sum += static_cast<long>(rs.value("N").asNumber());
    });
    EXPECT_EQ(sum, kRows * (kRows + 1) / 2);
    EXPECT_LE(queries, kRows / 8 + 2);
}

// Keyed find: once the key index is made, a find of "[Word] = 'text'" needs no query.
TEST_F(FastPath, AKeyedFindNeedsNoQuery) {
    makeWords();
    auto rs = db.openRecordset("W", RecordsetType::Dynaset);
    rs.findFirst("Word = 'w1'"); // makes the key index
    long found = 0;
    const auto queries = queriesOf([&] {
        for (int i = 1; i <= 100; ++i) {
            rs.findFirst("Word = 'W" + std::to_string(i * 7) + "'");
            if (!rs.noMatch()) ++found;
        }
    });
    EXPECT_EQ(found, 100);
    EXPECT_EQ(queries, 0U);
    EXPECT_EQ(rs.absolutePosition(), 699);
}

struct KeptWrite {
    const char* name;
    // Writes another field than the key of the current record (w<i>).
    std::function<void(Database&, Recordset&, int)> write;
    std::uint64_t queriesEach; // the write's own
};

void PrintTo(const KeptWrite& k, std::ostream* os) {
    *os << k.name;
}

class KeysSurvive : public FastPath, public ::testing::WithParamInterface<KeptWrite> {};

// The key index survives a write that leaves the key as it was: the next find needs no
// query and no new scan of the table.
TEST_P(KeysSurvive, AWriteOfAnotherField) {
    const auto& k = GetParam();
    makeWords();
    auto rs = db.openRecordset("W", RecordsetType::Dynaset);
    rs.findFirst("Word = 'w1'");
    const auto queries = queriesOf([&] {
        for (int i = 1; i <= 50; ++i) {
            rs.findFirst("Word = 'w" + std::to_string(i * 3) + "'");
            ASSERT_FALSE(rs.noMatch()) << i;
            k.write(db, rs, i * 3);
        }
    });
    EXPECT_EQ(queries, 50 * k.queriesEach);
    long changed = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        if (rs.value("N").asNumber() < 0) ++changed;
    EXPECT_EQ(changed, 50);
    rs.findFirst("Word = 'w150'");
    EXPECT_EQ(rs.value("N").asNumber(), -150);
}

INSTANTIATE_TEST_SUITE_P(Writes, KeysSurvive,
                         ::testing::Values(KeptWrite{"OwnEdit",
                                                     [](Database&, Recordset& rs, int i) {
                                                         rs.edit();
                                                         rs.setValue("N", Value::number(-i));
                                                         rs.update();
                                                     },
                                                     1},
                                           KeptWrite{"Statement",
                                                     [](Database& db, Recordset&, int i) {
                                                         db.execute(
                                                             "UPDATE W SET N = -" +
                                                             std::to_string(i) +
                                                             " WHERE N = " + std::to_string(i));
                                                     },
                                                     1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace varnoke::testing
