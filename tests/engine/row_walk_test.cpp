// A walk through a table in stored order reads the next rows ahead with one statement;
// records visited out of order are read from one scan of the table once enough of them
// were read one by one. Whatever is written meanwhile, every record must show what the
// table holds, in every kind of field.
#include "engine_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace varnoke::testing {
namespace {

struct DuringWalk {
    const char* name;
    std::function<void(Database&, Recordset&)> change; // made on one of the records
};

void PrintTo(const DuringWalk& d, std::ostream* os) {
    *os << d.name;
}

class RowReads : public EngineTest {
protected:
    // 150 rows of every kind of field, Nulls among them.
    void makeWalk() {
        db.execute("CREATE TABLE Walk (Id LONG, Name TEXT(20), Amount DOUBLE, Price CURRENCY, "
                   "Born DATETIME, Flag YESNO, Notes MEMO)");
        for (int i = 1; i <= 150; ++i) {
            const std::string n = std::to_string(i);
            db.execute("INSERT INTO Walk VALUES (" + n + ", " + (i % 7 ? "'n" + n + "'" : "Null") +
                       ", " + std::to_string(i * 1.5) + ", " + n + ".1234, #1/" +
                       std::to_string(i % 28 + 1) + "/2001 10:30:00#, " +
                       (i % 2 ? "True" : "False") + ", " + (i % 5 ? "'memo " + n + "'" : "Null") +
                       ")");
        }
    }

    // The current record against a query of its own, which reads the row as the table
    // holds it now.
    void expectAsStored(Recordset& rs) {
        const double id = rs.value("Id").asNumber();
        SCOPED_TRACE(id);
        auto reference = db.openRecordset("SELECT * FROM Walk WHERE Id = " +
                                              std::to_string(static_cast<long>(id)),
                                          RecordsetType::Snapshot);
        ASSERT_FALSE(reference.eof());
        for (const char* f : {"Name", "Amount", "Price", "Born", "Flag", "Notes"})
            EXPECT_EQ(rs.value(f), reference.value(f)) << f;
    }
};

class RowWalk : public RowReads, public ::testing::WithParamInterface<DuringWalk> {};

TEST_P(RowWalk, EveryRecordShowsWhatTheTableHolds) {
    makeWalk();
    auto rs = db.openRecordset("Walk", RecordsetType::Dynaset);
    int seen = 0;
    for (; !rs.eof(); rs.moveNext()) {
        ++seen;
        if (seen == 3) GetParam().change(db, rs);
        if (rs.eof()) break;
        expectAsStored(rs);
    }
    EXPECT_GT(seen, 140);
}

class RowJumps : public RowReads, public ::testing::WithParamInterface<DuringWalk> {};

TEST_P(RowJumps, EveryRecordShowsWhatTheTableHolds) {
    makeWalk();
    auto rs = db.openRecordset("Walk", RecordsetType::Dynaset);
    for (int jump = 0; jump < 400; ++jump) {
        rs.setAbsolutePosition((jump * 37) % rs.recordCount());
        if (jump == 60) GetParam().change(db, rs);
        if (rs.eof() || rs.bof()) continue;
        expectAsStored(rs);
    }
}

void editName(Recordset& rs, const char* name) {
    rs.edit();
    rs.setValue("Name", Value::text(name));
    rs.update();
}

const auto kWrites = ::testing::Values(
    DuringWalk{"Nothing", [](Database&, Recordset&) {}},
    DuringWalk{"CurrentEditedHere", [](Database&, Recordset& rs) { editName(rs, "here"); }},
    DuringWalk{"NextEditedHere",
               [](Database&, Recordset& rs) {
                   rs.moveNext();
                   editName(rs, "next");
                   rs.movePrevious();
               }},
    DuringWalk{"FarEditedHere",
               [](Database&, Recordset& rs) {
                   const auto place = rs.absolutePosition();
                   rs.setAbsolutePosition(4);
                   editName(rs, "far");
                   rs.setAbsolutePosition(place);
               }},
    DuringWalk{"EditedElsewhere",
               [](Database& db, Recordset&) {
                   auto other = db.openRecordset("Walk", RecordsetType::Dynaset);
                   other.findFirst("Id = 5");
                   editName(other, "elsewhere");
               }},
    DuringWalk{"UpdatedByStatement",
               [](Database& db, Recordset&) {
                   db.execute("UPDATE Walk SET Amount = -1, Notes = 'x' WHERE Id > 4");
               }},
    DuringWalk{"KeyedUpdateByStatement",
               [](Database& db, Recordset&) {
                   db.execute("UPDATE Walk SET Amount = -2 WHERE Name = 'N5'");
               }},
    DuringWalk{"DeletedByStatement",
               [](Database& db, Recordset&) { db.execute("DELETE FROM Walk WHERE Id = 4"); }},
    DuringWalk{"CurrentDeletedHere",
               [](Database&, Recordset& rs) {
                   rs.deleteRecord();
                   rs.moveNext();
               }},
    DuringWalk{"AddedHere", [](Database&, Recordset& rs) {
                   rs.addNew();
                   rs.setValue("Id", Value::number(1000));
                   rs.setValue("Name", Value::text("added"));
                   rs.update();
               }});

const auto kWriteName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(Writes, RowWalk, kWrites, kWriteName);
INSTANTIATE_TEST_SUITE_P(Writes, RowJumps, kWrites, kWriteName);

// A table's row set is every row it holds, in stored order, whether its rowids run
// without a gap (taken from their bounds) or not (read one by one).
TEST_F(EngineTest, ARowSetHoldsEveryRowOfItsTable) {
    db.execute("CREATE TABLE Rows (Id LONG)");
    auto ids = [&] {
        std::vector<long> out;
        auto rs = db.openRecordset("Rows", RecordsetType::Dynaset);
        for (; !rs.eof(); rs.moveNext())
            out.push_back(static_cast<long>(rs.value("Id").asNumber()));
        EXPECT_EQ(static_cast<long>(out.size()), rs.recordCount());
        return out;
    };
    EXPECT_EQ(ids(), std::vector<long>{});
    for (int i = 1; i <= 6; ++i)
        db.execute("INSERT INTO Rows VALUES (" + std::to_string(i) + ")");
    EXPECT_EQ(ids(), (std::vector<long>{1, 2, 3, 4, 5, 6}));
    db.execute("DELETE FROM Rows WHERE Id = 3");
    EXPECT_EQ(ids(), (std::vector<long>{1, 2, 4, 5, 6}));
    db.execute("DELETE FROM Rows WHERE Id < 3");
    EXPECT_EQ(ids(), (std::vector<long>{4, 5, 6}));
    db.execute("INSERT INTO Rows VALUES (7)");
    db.execute("DELETE FROM Rows WHERE Id = 6");
    EXPECT_EQ(ids(), (std::vector<long>{4, 5, 7}));
}

} // namespace
} // namespace varnoke::testing
