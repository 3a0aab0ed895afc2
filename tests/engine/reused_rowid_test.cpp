// A record added is a new record with its own place, whatever was deleted before: the
// working tables have no INTEGER PRIMARY KEY, so SQLite gives a new row the rowid of a
// last row just deleted. Each case once broke a row set of every kind (a wrong
// RecordCount, a bookmark of a live record read as deleted, a row nobody added shown).
#include "engine_fixture.h"

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace varnoke::testing {
namespace {

using Kind = RecordsetKind;

const Kind kKinds[] = {
    {"Table", "T", RecordsetType::Table},
    {"Dynaset", "T", RecordsetType::Dynaset},
    {"SelectDynaset", "SELECT * FROM T", RecordsetType::Dynaset},
};

struct Reuse {
    const char* name;
    std::vector<const char*> keys; // the table's rows, in order
    // Works the case on the recordset; the row set must then hold exactly `left`.
    std::function<void(Database&, Recordset&)> work;
    std::vector<std::string> left;
};

void PrintTo(const Reuse& r, std::ostream* os) {
    *os << r.name;
}

void add(Recordset& rs, const char* key) {
    rs.addNew();
    rs.setValue("K", Value::text(key));
    rs.update();
}

const Reuse kReuses[] = {
    {"BookmarkOfTheAddedRecord",
     {"a", "b", "c"},
     [](Database&, Recordset& rs) {
         rs.moveLast();
         rs.deleteRecord();
         add(rs, "d");
         rs.setBookmark(rs.lastModified());
         EXPECT_EQ(rs.value("K").asText(), "d");
     },
     {"a", "b", "d"}},
    {"DeleteOfARecordAddedAfterTheOnlyRowWent",
     {"a"},
     [](Database& db, Recordset& rs) {
         db.execute("DELETE FROM T WHERE [K] = 'a'");
         add(rs, "d");
         rs.moveLast();
         EXPECT_EQ(rs.value("K").asText(), "d");
         rs.deleteRecord();
     },
     {}},
    {"StatementDeletesTheAddedRecord",
     {"a", "b", "c"},
     [](Database& db, Recordset& rs) {
         db.execute("DELETE FROM T WHERE [K] = 'c'");
         add(rs, "d");
         db.execute("DELETE FROM T WHERE [K] = 'd'");
     },
     {"a", "b"}},
    {"RowInsertedLaterOnTheSameRowid",
     {"a", "b", "c"},
     [](Database& db, Recordset& rs) {
         rs.moveLast();
         rs.deleteRecord();
         add(rs, "d");
         db.execute("DELETE FROM T WHERE [K] = 'd'");
         db.execute("INSERT INTO T (K) VALUES ('x')");
         rs.findFirst("[K] = 'x'");
         EXPECT_TRUE(rs.noMatch());
     },
     {"a", "b"}},
    {"RecordAddedByAnotherRecordset",
     {"a", "b", "c"},
     [](Database& db, Recordset& rs) {
         auto other = db.openRecordset("T", RecordsetType::Dynaset);
         other.moveLast();
         other.deleteRecord();
         add(other, "y");
         rs.findFirst("[K] = 'y'");
         EXPECT_TRUE(rs.noMatch());
         EXPECT_EQ(other.recordCount(), 3);
     },
     {"a", "b"}},
};

class ReusedRowid : public EngineTest,
                    public ::testing::WithParamInterface<std::tuple<Kind, Reuse>> {};

TEST_P(ReusedRowid, RowSetHoldsExactlyItsRecords) {
    const auto& [kind, reuse] = GetParam();
    db.execute("CREATE TABLE T (K TEXT(10))");
    for (const char* k : reuse.keys)
        db.execute(std::string("INSERT INTO T (K) VALUES ('") + k + "')");
    auto rs = db.openRecordset(kind.source, kind.type);
    reuse.work(db, rs);
    EXPECT_EQ(rs.recordCount(), static_cast<long>(reuse.left.size()));
    std::vector<std::string> walked;
    if (rs.recordCount() > 0)
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            walked.push_back(rs.value("K").asText());
    EXPECT_EQ(walked, reuse.left);
    // Every record is found where the walk met it, by its bookmark.
    if (rs.recordCount() > 0) {
        rs.moveLast();
        const auto last = rs.bookmark();
        rs.moveFirst();
        rs.setBookmark(last);
        EXPECT_EQ(rs.value("K").asText(), reuse.left.back());
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReusedRowid,
                         ::testing::Combine(::testing::ValuesIn(kKinds),
                                            ::testing::ValuesIn(kReuses)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

// The bookmark of a deleted record stays the deleted record's, even once a new record
// took its rowid.
TEST_F(EngineTest, ADeletedRecordsBookmarkNeverReachesTheRecordAddedAfterIt) {
    db.execute("CREATE TABLE T (K TEXT(10))");
    db.execute("INSERT INTO T (K) VALUES ('a')");
    db.execute("INSERT INTO T (K) VALUES ('b')");
    auto rs = db.openRecordset("T", RecordsetType::Dynaset);
    rs.moveLast();
    const auto gone = rs.bookmark();
    rs.deleteRecord();
    add(rs, "c");
    EXPECT_NE(rs.lastModified(), gone);
    EXPECT_ENGINE_ERROR(rs.setBookmark(gone), err::RecordDeleted);
}

} // namespace
} // namespace varnoke::testing
