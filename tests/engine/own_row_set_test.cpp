// Every recordset's row set is its own: a row added elsewhere never takes a place in it
// (even on the rowid of a row it lost), a clone's additions are the clone's, and a table
// dropped or replaced under it ends it rather than showing the new table's rows.
#include "engine_fixture.h"
#include "value/convert.h"

#include <functional>
#include <string>
#include <tuple>

namespace varnoke::testing {
namespace {

using Kind = RecordsetKind;

const Kind kKinds[] = {
    {"Table", "T", RecordsetType::Table},
    {"Dynaset", "T", RecordsetType::Dynaset},
    {"Sorted", "SELECT * FROM T ORDER BY K DESC", RecordsetType::Dynaset},
};

void add(Recordset& rs, const char* key) {
    rs.addNew();
    rs.setValue("K", Value::text(key));
    rs.update();
}

class OwnRowSet : public EngineTest {
protected:
    // T (K TEXT, V LONG) holding k1, k2, k3, and a recordset of the kind on it.
    Recordset open(const Kind& kind) {
        db.execute("CREATE TABLE T (K TEXT(10), V LONG)");
        for (const char* k : {"k1", "k2", "k3"})
            db.execute(std::string("INSERT INTO T (K) VALUES ('") + k + "')");
        return db.openRecordset(kind.source, kind.type);
    }

    std::string valueOf(const std::string& key) {
        auto rs =
            db.openRecordset("SELECT V FROM T WHERE K = '" + key + "'", RecordsetType::Snapshot);
        if (rs.eof()) return "absent";
        return rs.value("V").isNull() ? "Null" : textOf(rs.value("V"));
    }
};

// A row added beside an open row set, then changed and deleted by statements that go by
// its key: an open row set's key index may answer them only for rows it holds.
struct Beside {
    const char* name;
    std::function<void(Database&, Recordset&)> add; // adds k4
};

void PrintTo(const Beside& b, std::ostream* os) {
    *os << b.name;
}

const Beside kBesides[] = {
    {"InsertOnTheRowidTheRecordsetDeleted",
     [](Database& db, Recordset& rs) {
         // A walk, not a find: the key index is made only after the insert.
         for (rs.moveFirst(); rs.value("K").asText() != "k3";)
             rs.moveNext();
         rs.deleteRecord();
         db.execute("INSERT INTO T (K) VALUES ('k4')");
     }},
    {"AddNewOfAnotherRecordsetOnTheRowidItDeleted",
     [](Database& db, Recordset&) {
         auto other = db.openRecordset("T", RecordsetType::Dynaset);
         other.moveLast();
         other.deleteRecord();
         add(other, "k4");
     }},
    {"InsertWhileTheKeyIndexStands",
     [](Database& db, Recordset&) {
         EXPECT_EQ(db.execute("UPDATE T SET V = 1 WHERE K = 'k1'"), 1);
         db.execute("INSERT INTO T (K) VALUES ('k4')");
     }},
};

class KeyedStatement : public OwnRowSet,
                       public ::testing::WithParamInterface<std::tuple<Kind, Beside>> {};

TEST_P(KeyedStatement, ReachesTheRowAddedBesideTheRowSet) {
    const auto& [kind, beside] = GetParam();
    auto rs = open(kind);
    beside.add(db, rs);
    EXPECT_EQ(db.execute("UPDATE T SET V = 2 WHERE K = 'k4'"), 1);
    EXPECT_EQ(valueOf("k4"), "2");
    EXPECT_EQ(db.execute("DELETE FROM T WHERE K = 'k4'"), 1);
    EXPECT_EQ(valueOf("k4"), "absent");
}

INSTANTIATE_TEST_SUITE_P(Kinds, KeyedStatement,
                         ::testing::Combine(::testing::ValuesIn(kKinds),
                                            ::testing::ValuesIn(kBesides)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

class Clone : public OwnRowSet, public ::testing::WithParamInterface<Kind> {};

// Both add a record after a find made the original's row order a table to join.
TEST_P(Clone, AddsFindsAndEditsItsOwnRecords) {
    auto rs = open(GetParam());
    rs.findFirst("K = 'k2'");
    auto copy = rs.clone();
    add(rs, "mine");
    add(copy, "its");

    copy.findFirst("K = 'its'");
    ASSERT_FALSE(copy.noMatch());
    copy.edit();
    copy.setValue("V", Value::number(7));
    copy.update();
    EXPECT_EQ(valueOf("its"), "7");
    EXPECT_EQ(valueOf("mine"), "Null");
    copy.findFirst("K = 'mine'");
    EXPECT_TRUE(copy.noMatch());
    rs.findFirst("K = 'its'");
    EXPECT_TRUE(rs.noMatch());
    rs.findFirst("K = 'mine'");
    EXPECT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_EQ(copy.recordCount(), 4);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Clone, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

// Ways a table is put in the place of T, with other rows.
struct Replace {
    const char* name;
    std::function<void(Database&)> replace;
};

void PrintTo(const Replace& r, std::ostream* os) {
    *os << r.name;
}

void fillNew(Database& db, const char* table) {
    db.execute(std::string("INSERT INTO ") + table + " (K) VALUES ('new')");
}

const Replace kReplaces[] = {
    {"ReplaceTable",
     [](Database& db) {
         db.execute("CREATE TABLE S (K TEXT(10), V LONG)");
         fillNew(db, "S");
         db.replaceTable("T", "S");
     }},
    {"DropAndCreate",
     [](Database& db) {
         db.execute("DROP TABLE T");
         db.execute("CREATE TABLE T (K TEXT(10), V LONG)");
         fillNew(db, "T");
     }},
    {"RemoveAndAppend",
     [](Database& db) {
         db.tableDefs().remove("T");
         TableDef def = db.createTableDef("T");
         def.appendField(def.createField("K", fieldtype::Text, 10));
         def.appendField(def.createField("V", fieldtype::Long));
         db.tableDefs().append(def);
         fillNew(db, "T");
     }},
};

class Replaced : public OwnRowSet,
                 public ::testing::WithParamInterface<std::tuple<Kind, Replace>> {};

TEST_P(Replaced, ARecordsetOfTheOldTableEndsUntilOpenedAgain) {
    const auto& [kind, replace] = GetParam();
    auto rs = open(kind);
    rs.moveNext();
    auto copy = rs.clone();
    replace.replace(db);

    for (Recordset* r : {&rs, &copy}) {
        EXPECT_FALSE(r->isOpen());
        EXPECT_ENGINE_ERROR(r->recordCount(), err::ObjectInvalid);
        EXPECT_ENGINE_ERROR(r->value("K"), err::ObjectInvalid);
        EXPECT_ENGINE_ERROR(r->moveNext(), err::ObjectInvalid);
    }
    try {
        rs.moveFirst();
        ADD_FAILURE() << "a closed recordset moved";
    } catch (const EngineError& e) {
        EXPECT_EQ(std::string(e.what()), "Object invalid or no longer set.");
    }
    rs = db.openRecordset(kind.source, kind.type);
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.value("K").asText(), "new");
}

INSTANTIATE_TEST_SUITE_P(Kinds, Replaced,
                         ::testing::Combine(::testing::ValuesIn(kKinds),
                                            ::testing::ValuesIn(kReplaces)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

} // namespace
} // namespace varnoke::testing
