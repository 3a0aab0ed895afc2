// A COUNTER is the row's rowid and so its identity in every open row set: neither an Edit
// nor an UPDATE may change it. Changed, it moved the row out from under a row set whose
// key index then sent a keyed UPDATE or DELETE past it. A key column of another type
// stays an ordinary value.
#include "engine_fixture.h"
#include "value/convert.h"

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace varnoke::testing {
namespace {

using Texts = std::vector<std::string>;

struct IdColumn {
    const char* name;
    const char* definition; // of the column Id
    bool counter;
};

void PrintTo(const IdColumn& c, std::ostream* os) {
    *os << c.name;
}

const IdColumn kIdColumns[] = {
    {"Counter", "Id COUNTER", true},
    {"LongKey", "Id LONG PRIMARY KEY", false},
    {"Long", "Id LONG", false},
};

// A try to give the row of K = 'b' the Id 99, through a recordset or a statement.
struct Change {
    const char* name;
    std::function<void(Database&)> work;
    const char* keyAfter; // K of that row once the change is made
};

void PrintTo(const Change& c, std::ostream* os) {
    *os << c.name;
}

void editRowB(Database& db, const std::string& source, RecordsetType type) {
    auto rs = db.openRecordset(source, type);
    rs.findFirst("K = 'b'");
    ASSERT_FALSE(rs.noMatch());
    rs.edit();
    rs.setValue("Id", Value::number(99));
    rs.update();
}

const Change kChanges[] = {
    {"EditThroughTheTable", [](Database& db) { editRowB(db, "T", RecordsetType::Table); }, "b"},
    {"EditThroughADynaset", [](Database& db) { editRowB(db, "T", RecordsetType::Dynaset); }, "b"},
    {"EditThroughASelect",
     [](Database& db) {
         editRowB(db, "SELECT Id, K FROM T WHERE K > 'a'", RecordsetType::Dynaset);
     },
     "b"},
    {"UpdateByKey", [](Database& db) { db.execute("UPDATE T SET Id = 99 WHERE K = 'b'"); }, "b"},
    {"UpdateWithAnotherField",
     [](Database& db) { db.execute("UPDATE T SET K = 'z', Id = 99 WHERE K = 'b'"); }, "z"},
    {"UpdateOfEveryRow", [](Database& db) { db.execute("UPDATE T SET Id = Id + 97"); }, "b"},
};

// Id and K of every row, in the order given.
Texts rowsOf(Database& db, const std::string& order) {
    auto rs = db.openRecordset("SELECT Id, K FROM T ORDER BY " + order, RecordsetType::Snapshot);
    Texts out;
    for (; !rs.eof(); rs.moveNext())
        out.push_back(textOf(rs.value("Id")) + " " + rs.value("K").asText());
    return out;
}

class CounterChange : public EngineTest,
                      public ::testing::WithParamInterface<std::tuple<IdColumn, Change>> {
protected:
    Texts rows() { return rowsOf(db, "K"); }
};

TEST_P(CounterChange, IsRefusedAndChangesNothingOnlyForACounter) {
    const auto& [column, change] = GetParam();
    db.execute(std::string("CREATE TABLE T (") + column.definition + ", K TEXT(10))");
    for (const char* row : {"(1, 'a')", "(2, 'b')", "(3, 'c')"})
        db.execute(std::string("INSERT INTO T (Id, K) VALUES ") + row);
    // A row set with a key index of K, kept across the change.
    auto open = db.openRecordset("T", RecordsetType::Dynaset);
    for (const char* k : {"a", "b", "c"})
        open.findFirst(std::string("K = '") + k + "'");

    Texts expected{"1 a", "2 b", "3 c"};
    if (column.counter) {
        try {
            change.work(db);
            ADD_FAILURE() << "the COUNTER was changed";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), err::FieldNotUpdatable);
            EXPECT_EQ(e.description(), "Field cannot be updated.");
        }
    } else {
        change.work(db);
        expected = rows();
        EXPECT_NE(expected, Texts({"1 a", "2 b", "3 c"})) << "the change did nothing";
    }
    EXPECT_EQ(rows(), expected);

    // The open row set still meets the row where its keyed statements look.
    const std::string key = column.counter ? "b" : change.keyAfter;
    EXPECT_EQ(db.execute("UPDATE T SET K = K & '!' WHERE K = '" + key + "'"), 1);
    EXPECT_EQ(db.execute("DELETE FROM T WHERE K = '" + key + "!'"), 1);
    Texts left;
    for (open.moveFirst(); !open.eof(); open.moveNext())
        left.push_back(open.value("K").asText());
    EXPECT_EQ(left, Texts({"a", "c"}));
}

INSTANTIATE_TEST_SUITE_P(Columns, CounterChange,
                         ::testing::Combine(::testing::ValuesIn(kIdColumns),
                                            ::testing::ValuesIn(kChanges)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

// What a COUNTER still allows: a new row given its value, and every other field.
TEST_F(EngineTest, ACounterTablesOtherFieldsAndNewRowsStayWritable) {
    db.execute("CREATE TABLE T (Id COUNTER, K TEXT(10))");
    db.execute("INSERT INTO T (K) VALUES ('a')");
    db.execute("INSERT INTO T (Id, K) VALUES (10, 'b')");
    auto rs = db.openRecordset("T", RecordsetType::Dynaset);
    rs.addNew();
    rs.setValue("Id", Value::number(20));
    rs.setValue("K", Value::text("c"));
    rs.update();
    rs.moveFirst();
    rs.edit();
    rs.setValue("K", Value::text("A"));
    rs.update();
    EXPECT_EQ(db.execute("UPDATE T SET K = 'B' WHERE Id = 10"), 1);

    EXPECT_EQ(rowsOf(db, "Id"), Texts({"1 A", "10 B", "20 c"}));
}

} // namespace
} // namespace varnoke::testing
