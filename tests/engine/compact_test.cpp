// A compact rewrites the file and renumbers the rowids every open row set holds its
// records by: it is refused while any recordset of the file is open, through any handle,
// and leaves every record as it was.
#include "engine_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace varnoke::testing {
namespace {

struct OpenDuring {
    const char* name;
    // Opens the recordset that must stop the compact; `second` is another handle.
    std::function<Recordset(Database& db, Database& second)> open;
};

void PrintTo(const OpenDuring& o, std::ostream* os) {
    *os << o.name;
}

const OpenDuring kOpen[] = {
    {"Table", [](Database& db, Database&) { return db.openRecordset("T", RecordsetType::Table); }},
    {"Dynaset",
     [](Database& db, Database&) { return db.openRecordset("T", RecordsetType::Dynaset); }},
    {"SelectDynaset",
     [](Database& db, Database&) {
         return db.openRecordset("SELECT * FROM T WHERE [N] > 1", RecordsetType::Dynaset);
     }},
    {"Snapshot",
     [](Database& db, Database&) { return db.openRecordset("T", RecordsetType::Snapshot); }},
    {"ThroughAnotherHandle",
     [](Database&, Database& second) { return second.openRecordset("T", RecordsetType::Dynaset); }},
    {"CloneOfAClosedOne",
     [](Database& db, Database&) {
         auto rs = db.openRecordset("T", RecordsetType::Dynaset);
         auto copy = rs.clone();
         rs.close();
         return copy;
     }},
    {"Requeried",
     [](Database& db, Database&) {
         auto rs = db.openRecordset("T", RecordsetType::Dynaset);
         rs.requery();
         rs.requery();
         return rs;
     }},
};

class CompactWithRecordsets : public EngineTest,
                              public ::testing::WithParamInterface<OpenDuring> {};

std::vector<std::string> keysOf(Recordset& rs) {
    std::vector<std::string> out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        out.push_back(rs.value("K").asText());
    return out;
}

TEST_P(CompactWithRecordsets, IsRefusedAndChangesNothing) {
    // Gaps in the rowids, which a compact would close.
    db.execute("CREATE TABLE T (K TEXT(10), N LONG)");
    for (int i = 1; i <= 6; ++i)
        db.execute("INSERT INTO T VALUES ('k" + std::to_string(i) + "', " + std::to_string(i) +
                   ")");
    db.execute("DELETE FROM T WHERE [N] IN (1, 3)");
    Database second = Engine::instance().openDatabase(path());
    auto rs = GetParam().open(db, second);
    const auto before = keysOf(rs);
    try {
        db.compact();
        ADD_FAILURE() << "compacted with a recordset open";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), err::FileInUse);
        EXPECT_EQ(std::string(e.what()),
                  "Cannot compact the database '" + path() + "' while a recordset of it is open.");
    }
    EXPECT_EQ(keysOf(rs), before);
    rs.close();
    db.compact();
    auto after = db.openRecordset("T", RecordsetType::Dynaset);
    EXPECT_EQ(keysOf(after), (std::vector<std::string>{"k2", "k4", "k5", "k6"}));
    second.close();
}

INSTANTIATE_TEST_SUITE_P(Open, CompactWithRecordsets, ::testing::ValuesIn(kOpen),
                         [](const auto& info) { return std::string(info.param.name); });

// An edit through a recordset opened after a compact reaches the row it shows.
TEST_F(EngineTest, ACompactWithNoRecordsetOpenKeepsEditsOnTheirRows) {
    db.execute("CREATE TABLE T (K TEXT(10))");
    for (const char* k : {"a", "b", "c", "d"})
        db.execute(std::string("INSERT INTO T VALUES ('") + k + "')");
    db.execute("DELETE FROM T WHERE [K] = 'a'");
    db.compact();
    auto rs = db.openRecordset("T", RecordsetType::Dynaset);
    rs.findFirst("[K] = 'c'");
    rs.edit();
    rs.setValue("K", Value::text("C2"));
    rs.update();
    auto check = db.openRecordset("SELECT K FROM T ORDER BY K", RecordsetType::Snapshot);
    EXPECT_EQ(keysOf(check), (std::vector<std::string>{"b", "C2", "d"}));
}

} // namespace
} // namespace varnoke::testing
