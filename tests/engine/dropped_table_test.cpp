// A recordset whose table was dropped or replaced ends (3420) until it is opened again,
// however the name of the table was written, by its maker or by the drop: names compare
// without regard to case.
#include "engine_fixture.h"

#include <functional>
#include <string>
#include <tuple>

namespace varnoke::testing {
namespace {

using Kind = RecordsetKind;

const Kind kKinds[] = {
    {"Table", "Towns", RecordsetType::Table},
    {"Dynaset", "towns", RecordsetType::Dynaset},
    {"SelectDynaset", "SELECT * FROM TOWNS", RecordsetType::Dynaset},
};

struct Drop {
    const char* name;
    std::function<void(Database&)> drop; // of Towns, leaving a table of that name
};

void PrintTo(const Drop& d, std::ostream* os) {
    *os << d.name;
}

void makeTowns(Database& db, const std::string& name, const char* town) {
    db.execute("CREATE TABLE " + name + " (Town TEXT(20))");
    db.execute("INSERT INTO " + name + " (Town) VALUES ('" + town + "')");
}

const Drop kDrops[] = {
    {"DropAsMade",
     [](Database& db) {
         db.execute("DROP TABLE Towns");
         makeTowns(db, "Towns", "new");
     }},
    {"DropInCapitals",
     [](Database& db) {
         db.execute("DROP TABLE TOWNS");
         makeTowns(db, "towns", "new");
     }},
    {"RemoveInSmallLetters",
     [](Database& db) {
         db.tableDefs().remove("towns");
         makeTowns(db, "TOWNS", "new");
     }},
    {"ReplaceInCapitals",
     [](Database& db) {
         makeTowns(db, "Staged", "new");
         db.replaceTable("TOWNS", "Staged");
     }},
};

class DroppedTable : public EngineTest,
                     public ::testing::WithParamInterface<std::tuple<Kind, Drop>> {};

TEST_P(DroppedTable, EndsItsRecordsetsWhateverTheCaseOfItsName) {
    const auto& [kind, drop] = GetParam();
    makeTowns(db, "Towns", "old");
    auto rs = db.openRecordset(kind.source, kind.type);
    ASSERT_EQ(rs.value("Town").asText(), "old");
    drop.drop(db);

    EXPECT_FALSE(rs.isOpen());
    EXPECT_ENGINE_ERROR(rs.value("Town"), err::ObjectInvalid);
    EXPECT_ENGINE_ERROR(rs.recordCount(), err::ObjectInvalid);
    rs = db.openRecordset(kind.source, kind.type);
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.value("Town").asText(), "new");
}

INSTANTIATE_TEST_SUITE_P(Kinds, DroppedTable,
                         ::testing::Combine(::testing::ValuesIn(kKinds),
                                            ::testing::ValuesIn(kDrops)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

} // namespace
} // namespace varnoke::testing
