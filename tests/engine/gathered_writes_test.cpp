// Statements gathered into the write transaction, what commits it, what a failing
// statement undoes, and the indexes that keep one statement per record a search.
#include "engine_fixture.h"
#include "value/convert.h"

#include <sqlite3.h>

namespace varnoke::testing {
namespace {

// Another program reading the file: it sees only what has been committed.
class OutsideReader {
public:
    explicit OutsideReader(const std::string& path) {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    }
    ~OutsideReader() { sqlite3_close(db_); }
    OutsideReader(const OutsideReader&) = delete;
    OutsideReader& operator=(const OutsideReader&) = delete;

    // The single text of a one-row query, "" when no row or an error comes back.
    std::string text(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

const std::string kTooSmall = "The field 'City' is too small to accept the amount of data you "
                              "attempted to add.  Try inserting or pasting less data.";
const std::string kDuplicate =
    "The changes you requested to the table were not successful because they would create "
    "duplicate values in the index, primary key, or relationship.";

using EngineGatheredWritesTest = EngineTest;

TEST_F(EngineGatheredWritesTest, DataStatementsWaitForFlushWhileEveryHandleSeesThem) {
    makePeople(); // the CREATE is committed, the five INSERTs are gathered
    OutsideReader outside(path());
    EXPECT_EQ(outside.text("SELECT count(*) FROM People"), "0");

    auto other = Engine::instance().openDatabase(path());
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    EXPECT_EQ(rs.recordCount(), 5);
    EXPECT_EQ(other.execute("update People set City = 'Bergen' where Name = 'BOB'"), 1);
    EXPECT_EQ(other.execute("delete * from People where Id = 5"), 1);
    rs.move(1);
    EXPECT_EQ(rs.value("City").asText(), "Bergen");
    EXPECT_EQ(db.openRecordset("People", RecordsetType::Dynaset).recordCount(), 4);
    EXPECT_EQ(outside.text("SELECT count(*) FROM People"), "0");

    other.flush();
    EXPECT_EQ(outside.text("SELECT count(*) FROM People"), "4");
    EXPECT_EQ(outside.text("SELECT City FROM People WHERE Id = 2"), "Bergen");

    // Closing the last handle commits too.
    db.execute("update People set City = 'Turin' where Id = 2");
    rs.close();
    other.close();
    db.close();
    EXPECT_EQ(outside.text("SELECT City FROM People WHERE Id = 2"), "Turin");
    db = Engine::instance().openDatabase(path());
}

TEST_F(EngineGatheredWritesTest, DefinitionStatementsCommitWhatWasGathered) {
    makePeople();
    db.execute("update People set Score = 10 where Id = 1");
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.edit();
    rs.setValue("City", Value::text("Lima"));
    rs.update();
    OutsideReader outside(path());
    EXPECT_EQ(outside.text("SELECT count(*) FROM People"), "0");

    db.execute("select Name, City into Copy from People where Score >= 4");
    EXPECT_EQ(outside.text("SELECT count(*) FROM People"), "5");
    EXPECT_EQ(outside.text("SELECT Score || City FROM People WHERE Id = 1"), "10.0Lima");
    EXPECT_EQ(outside.text("SELECT group_concat(Name) FROM Copy"), "Ann,ann");

    db.execute("update People set Score = 11 where Id = 1");
    db.execute("CREATE TABLE Extra (K LONG)");
    EXPECT_EQ(outside.text("SELECT Score FROM People WHERE Id = 1"), "11.0");
    db.execute("insert into Extra values (1)");
    db.execute("DROP TABLE Copy");
    EXPECT_EQ(outside.text("SELECT count(*) FROM Extra"), "1");
    EXPECT_EQ(outside.text("SELECT count(*) FROM sqlite_master WHERE name = 'Copy'"), "0");
}

TEST_F(EngineGatheredWritesTest, AFailingStatementUndoesOnlyItsOwnEffects) {
    makePeople();
    db.execute("CREATE TABLE Keys (K LONG)");
    db.execute("CREATE UNIQUE INDEX KeyIndex ON Keys (K)");
    db.execute("insert into Keys values (3)");
    db.execute("update People set Score = 20 where Id = 2");
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.move(4);
    rs.edit();
    rs.setValue("City", Value::text("Nice"));
    rs.update();

    auto fails = [&](const char* statement, int number, const std::string& text) {
        try {
            db.execute(statement);
            ADD_FAILURE() << "no error from " << statement;
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), number);
            EXPECT_EQ(std::string(e.what()), text);
        }
    };
    // Ann and Bob fit in City's 30 characters, O'Brien does not: the rows written before
    // the failure are put back.
    fails("update People set City = Name & '-abcdefghijklmnopqrstuvw' where Id <= 4",
          err::FieldTooSmall, kTooSmall);
    // Keys 1 and 2 go in before 3 collides; neither stays.
    fails("insert into Keys (K) select Id from People", err::DuplicateKey, kDuplicate);
    auto check = [&](Database& d, long keys) {
        auto people =
            d.openRecordset("select City, Score from People order by Id", RecordsetType::Snapshot);
        std::string cities;
        while (!people.eof()) {
            cities += textOrBlank(people.value("City")) + ";";
            people.moveNext();
        }
        EXPECT_EQ(cities, "Oslo;Rome;;oslo;Nice;");
        EXPECT_EQ(d.openRecordset("Keys", RecordsetType::Snapshot).recordCount(), keys);
        people.moveFirst();
        people.moveNext();
        EXPECT_EQ(people.value("Score").asNumber(), 20);
    };
    check(db, 1);

    // The work gathered before the failures reaches the file.
    db.execute("insert into Keys values (4)");
    rs.close();
    db.close();
    OutsideReader outside(path());
    EXPECT_EQ(outside.text("SELECT group_concat(K) FROM Keys"), "3,4");
    db = Engine::instance().openDatabase(path());
    check(db, 2);
}

TEST_F(EngineGatheredWritesTest, ExplainingRunsNothing) {
    makePeople();
    EXPECT_FALSE(db.explainStatement("delete * from People where Id = 1").empty());
    EXPECT_EQ(db.openRecordset("People", RecordsetType::Snapshot).recordCount(), 5);
    EXPECT_ENGINE_ERROR(db.explainStatement("select * from People"), err::InvalidOperation);
    EXPECT_ENGINE_ERROR(db.explainStatement("DROP TABLE People"), err::InvalidOperation);
    EXPECT_TRUE(db.tableDefs().contains("People"));
}

struct WhereCase {
    const char* name;
    const char* statement;
    const char* column; // the one its index is on, and "~fold" when case-blind; "" when
                        // either of two will do
    long affected;
};

class EngineStatementSearch : public EngineTest, public ::testing::WithParamInterface<WhereCase> {};

// Each statement searches People by an index on the column its WHERE compares, in the
// comparison's own collation, and changes the rows it should.
TEST_P(EngineStatementSearch, WhereColumnIsSearchedByIndex) {
    makePeople();
    std::string plan;
    for (const auto& line : db.explainStatement(GetParam().statement))
        plan += line + "\n";
    const std::string column = GetParam().column;
    EXPECT_NE(plan.find("SEARCH main.People USING INDEX vk~People~" + column +
                        (column.empty() ? "" : " (")),
              std::string::npos)
        << plan;
    EXPECT_EQ(plan.find("SCAN"), std::string::npos) << plan;
    EXPECT_EQ(db.execute(GetParam().statement), GetParam().affected);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, EngineStatementSearch,
    ::testing::Values(
        WhereCase{"UpdateByText", "update People set [Score] = 7 where [Name] = 'ANN';",
                  "Name~fold", 2},
        WhereCase{"UpdateByTextOnTheRight", "update People set Score = 7 where 'oslo' = City",
                  "City~fold", 2},
        WhereCase{"UpdateByNumber", "update People set City = 'x' where Id = 3", "Id", 1},
        WhereCase{"UpdateByDate", "update People set Score = 1 where Born = #1/2/2003#", "Born", 1},
        WhereCase{"UpdateByTwoColumns",
                  "update People set Score = 1 where Name = 'ann' and City = 'OSLO'", "", 2},
        WhereCase{"UpdateByRange", "update People set City = 'y' where Score between 2 and 3",
                  "Score", 2},
        WhereCase{"UpdateByList", "update People set City = 'z' where Name in ('bob', 'EVE')",
                  "Name~fold", 2},
        WhereCase{"UpdateByOrdering", "update People set City = 'w' where Id > 3", "Id", 2},
        WhereCase{"UpdateOfTheSearchedColumn", "update People set Name = 'Anna' where Name = 'Ann'",
                  "Name~fold", 2},
        WhereCase{"DeleteByText", "delete * from People where Name = 'o''brien'", "Name~fold", 1},
        WhereCase{"DeleteByNull", "delete * from People where IsNull(City)", "City~fold", 1},
        WhereCase{"DeleteByNumber", "DELETE People.* FROM People WHERE Id <= 2", "Id", 2}),
    [](const auto& info) { return std::string(info.param.name); });

// The second statement of a shape is run from the first one's kept rendering: it must
// still join the gathered writes and make the rows of its table stale.
TEST_F(EngineGatheredWritesTest, AStatementOfAKeptShapeIsGatheredAndSeenAtOnce) {
    makePeople();
    db.flush();
    OutsideReader outside(path());
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.findFirst("Name = 'Bob'");
    EXPECT_EQ(rs.value("City").asText(), "Rome");
    std::string committed = "Rome";
    for (const char* city : {"Lima", "Turin", "Oslo"}) {
        SCOPED_TRACE(city);
        EXPECT_EQ(
            db.execute(std::string("UPDATE People SET City = '") + city + "' WHERE Name = 'Bob'"),
            1);
        EXPECT_EQ(rs.value("City").asText(), city);
        EXPECT_EQ(outside.text("SELECT City FROM People WHERE Id = 2"), committed);
        db.flush();
        committed = city;
        EXPECT_EQ(outside.text("SELECT City FROM People WHERE Id = 2"), committed);
    }
}

} // namespace
} // namespace varnoke::testing
