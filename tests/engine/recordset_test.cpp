// Recordset behaviour the rest of the program leans on: positions, finds, edits and
// what happens when rows change underneath.
#include "engine_fixture.h"
#include "value/convert.h"

#include <algorithm>
#include <vector>

namespace varnoke::testing {
namespace {

using EngineRecordsetTest = EngineTest;

std::vector<long> ids(Recordset& rs, const std::string& criteria) {
    return foundIds(rs, criteria);
}

TEST_F(EngineRecordsetTest, EmptyTableHasNoCurrentRecord) {
    db.execute("CREATE TABLE Empty (A TEXT(10))");
    auto rs = db.openRecordset("Empty", RecordsetType::Dynaset);
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_ENGINE_ERROR(rs.moveFirst(), err::NoCurrentRecord);
    EXPECT_ENGINE_ERROR(rs.moveNext(), err::NoCurrentRecord);
    EXPECT_ENGINE_ERROR(rs.value("A"), err::NoCurrentRecord);
    EXPECT_ENGINE_ERROR(rs.edit(), err::NoCurrentRecord);
    rs.findFirst("A = 'x'");
    EXPECT_TRUE(rs.noMatch());
}

TEST_F(EngineRecordsetTest, MovesKeepPositionsAndEnds) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    EXPECT_EQ(rs.absolutePosition(), 0);
    EXPECT_FALSE(rs.bof());
    rs.move(3);
    EXPECT_EQ(rs.absolutePosition(), 3);
    rs.moveNext();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_ENGINE_ERROR(rs.moveNext(), err::NoCurrentRecord);
    rs.movePrevious();
    EXPECT_EQ(rs.value("Id").asNumber(), 5);
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_ENGINE_ERROR(rs.movePrevious(), err::NoCurrentRecord);
    rs.moveLast();
    rs.move(-4);
    EXPECT_EQ(rs.value("Id").asNumber(), 1);
    rs.move(10);
    EXPECT_TRUE(rs.eof());
    rs.setAbsolutePosition(2);
    EXPECT_EQ(rs.value("Name").asText(), "O'Brien");
    EXPECT_ENGINE_ERROR(rs.setAbsolutePosition(5), err::InvalidArgument);
}

TEST_F(EngineRecordsetTest, SettingsOpensInLowerCaseAsATableAndMoves) {
    auto rs = db.openRecordset("settings", RecordsetType::Table);
    EXPECT_EQ(rs.type(), RecordsetType::Table);
    EXPECT_EQ(rs.field("showAgain").type(), fieldtype::Boolean);
    rs.moveFirst();
    rs.move(2);
    EXPECT_EQ(rs.value("Note").asText(), "Pairing methods");
    EXPECT_EQ(rs.value("showAgain"), Value::boolean(true));
    rs.edit();
    rs.setValue("showAgain", Value::boolean(false));
    rs.update();
    auto again = db.openRecordset("SETTINGS");
    again.move(2);
    EXPECT_EQ(again.value("showAgain"), Value::boolean(false));
    again.moveFirst();
    EXPECT_EQ(again.value("showAgain"), Value::boolean(true));
}

TEST_F(EngineRecordsetTest, DeletedRecordReadsAsDeletedUntilTheNextMove) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.move(1);
    rs.deleteRecord();
    EXPECT_ENGINE_ERROR(rs.value("Name"), err::RecordDeleted);
    EXPECT_ENGINE_ERROR(rs.deleteRecord(), err::RecordDeleted);
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_EQ(rs.recordCount(), 4);
    rs.moveNext();
    EXPECT_EQ(rs.value("Id").asNumber(), 3);
    EXPECT_EQ(rs.absolutePosition(), 1);
    rs.moveFirst();
    rs.deleteRecord();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
}

TEST_F(EngineRecordsetTest, RowsDeletedByExecuteLeaveOpenRecordsets) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    auto other = db.openRecordset("select * from People order by Name desc");
    rs.move(1); // Id 2
    db.execute("delete * from People where Id = 2 or Id = 4");
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(other.recordCount(), 3);
    EXPECT_ENGINE_ERROR(rs.value("Id"), err::RecordDeleted);
    rs.moveNext();
    EXPECT_EQ(rs.value("Id").asNumber(), 3);
    rs.moveNext();
    EXPECT_EQ(rs.value("Id").asNumber(), 5);
    EXPECT_EQ(rs.absolutePosition(), 2);
    EXPECT_EQ(ids(rs, "Name = 'ann'"), std::vector<long>{1});
}

TEST_F(EngineRecordsetTest, ValuesChangedByExecuteAreSeen) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    EXPECT_EQ(rs.value("City").asText(), "Oslo");
    Database second = Engine::instance().openDatabase(path());
    second.execute("update people set City = 'Bergen' where Id = 1");
    EXPECT_EQ(rs.value("City").asText(), "Bergen");
    second.close();
    EXPECT_EQ(rs.value("City").asText(), "Bergen");
}

TEST_F(EngineRecordsetTest, AddNewJoinsTheEndAndKeepsTheCurrentRecord) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.move(1);
    rs.addNew();
    EXPECT_EQ(rs.value("Name"), Value::null());
    rs.setValue("Id", Value::text("6"));
    rs.setValue("Name", Value::text("Zed"));
    rs.update();
    EXPECT_EQ(rs.value("Id").asNumber(), 2);
    EXPECT_EQ(rs.recordCount(), 6);
    rs.moveLast();
    EXPECT_EQ(rs.value("Name").asText(), "Zed");
    EXPECT_EQ(rs.bookmark(), rs.lastModified());
    EXPECT_EQ(ids(rs, "Name = 'zed'"), std::vector<long>{6});
    // A sorted dynaset appends to its end too, not at its sort place.
    auto sorted = rs.openSorted("Name");
    sorted.addNew();
    sorted.setValue("Name", Value::text("Aaron"));
    sorted.update();
    sorted.moveLast();
    EXPECT_EQ(sorted.value("Name").asText(), "Aaron");
    sorted.findFirst("Name = 'aaron'");
    EXPECT_EQ(sorted.absolutePosition(), 6);
}

TEST_F(EngineRecordsetTest, FailedFindKeepsThePosition) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.move(2);
    rs.findFirst("Name = 'nobody'");
    EXPECT_TRUE(rs.noMatch());
    EXPECT_EQ(rs.absolutePosition(), 2);
    rs.findNext("Name = 'Ann'");
    EXPECT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.value("Id").asNumber(), 4);
    rs.findNext("Name = 'Ann'");
    EXPECT_TRUE(rs.noMatch());
    EXPECT_EQ(rs.value("Id").asNumber(), 4);
    rs.findPrevious("Name = 'Ann'");
    EXPECT_EQ(rs.value("Id").asNumber(), 1);
    rs.findLast("City = 'OSLO'");
    EXPECT_EQ(rs.value("Id").asNumber(), 4);
}

struct FindCase {
    const char* criteria;
    std::vector<long> ids;
};

class EngineRecordsetFind : public EngineTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(EngineRecordsetFind, FindsTheRowsInOrder) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    EXPECT_EQ(ids(rs, GetParam().criteria), GetParam().ids) << GetParam().criteria;
    // The same criteria on a filtered recordset selects the same rows.
    auto filtered = rs.openFiltered(GetParam().criteria);
    EXPECT_EQ(filtered.recordCount(), static_cast<long>(GetParam().ids.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, EngineRecordsetFind,
    ::testing::Values(
        FindCase{"Name = 'ann'", {1, 4}}, FindCase{"[Name] = 'O''Brien'", {3}},
        FindCase{"City = 'oslo'", {1, 4}}, FindCase{"IsNull(City)", {3}},
        FindCase{"not City = 'Oslo' or IsNull(City)", {2, 3, 5}},
        FindCase{"not City = 'Oslo'", {2, 5}}, FindCase{"Born = #1/2/2003#", {1}},
        FindCase{"Born > #1/1/2003#", {1, 4, 5}}, FindCase{"Born = '3/4/1999'", {2}},
        FindCase{"left(Name,2) = 'an'", {1, 4}}, FindCase{"Score > 1.5 and Score < 4", {2, 3}},
        FindCase{"Id = 1 and Name = 'x' or IsNull(Born)", {3}}, FindCase{"Name Like 'a*'", {1, 4}},
        FindCase{"Name Like '?ob'", {2}}, FindCase{"Name Not Like '*n*'", {2, 5}},
        FindCase{"Id Between 2 And 4", {2, 3, 4}}, FindCase{"Id In (1, 5)", {1, 5}},
        FindCase{"Born Is Null", {3}}, FindCase{"Score Is Not Null and Id > 3", {4}},
        FindCase{"Year(Born) = 2003", {1, 4}}, FindCase{"Month(Born) = 12", {5}},
        FindCase{"Name & City = 'annOSLO'", {1, 4}}, FindCase{"Id = '2'", {2}},
        FindCase{"Name = 5", {}}, FindCase{"Score = Null", {}},
        FindCase{"Len(Name) = 7 or UCase(Name) = 'EVE'", {3, 5}},
        FindCase{"Mid(Name, 2, 2) = 'nn' and Trim(' x ') = 'x'", {1, 4}},
        FindCase{"Val('12/31/2003') = 12 and Id * 2 = 4", {2}},
        FindCase{"CDate(Born) = #12/31/2010#", {5}}, FindCase{"Score + 1 >= 4", {3, 4}},
        // The exact test: letter case counts, in either order of its sides.
        FindCase{"StrComp(Name, 'ann', 0) = 0", {4}}, FindCase{"0 = StrComp([Name], 'Ann')", {1}},
        FindCase{"Name = 'ann' and StrComp(Name, 'Ann', 0) = 0", {1}},
        FindCase{"StrComp(City, 'OSLO', 0) = 0", {}},
        FindCase{"StrComp(City, 'oslo', 1) = 0", {1, 4}},
        FindCase{"StrComp(Name, 'Bob', 0) < 0", {1}},
        FindCase{"StrComp(Name, 'Bob', 1) > 0", {3, 5}},
        FindCase{"StrComp(City, Null, 0) = 0 or IsNull(StrComp(City, 'x'))", {3}},
        FindCase{"StrComp(Id, '2', 0) = 0", {2}}));

struct BadCriteria {
    const char* criteria;
    int number;
};

class EngineRecordsetBadCriteria : public EngineTest,
                                   public ::testing::WithParamInterface<BadCriteria> {};

TEST_P(EngineRecordsetBadCriteria, RaisesAndKeepsThePosition) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.move(1);
    EXPECT_ENGINE_ERROR(rs.findFirst(GetParam().criteria), GetParam().number);
    EXPECT_EQ(rs.absolutePosition(), 1);
}

INSTANTIATE_TEST_SUITE_P(Errors, EngineRecordsetBadCriteria,
                         ::testing::Values(BadCriteria{"Born = 'abc'", err::CriteriaTypeMismatch},
                                           BadCriteria{"Id = 'x'", err::CriteriaTypeMismatch},
                                           BadCriteria{"Name = ", err::ExpressionSyntax},
                                           BadCriteria{"Nope = 1", err::UnknownName},
                                           BadCriteria{"Left(Name) = 'a'", err::ExpressionSyntax},
                                           BadCriteria{"Zap(Name) = 'a'", err::ExpressionSyntax},
                                           BadCriteria{"StrComp(Name, 'a', 2) = 0",
                                                       err::InvalidArgument}));

TEST_F(EngineRecordsetTest, FindIsAnIndexedSearch) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    auto plan = [](const std::vector<std::string>& lines) {
        std::string all;
        for (const auto& l : lines)
            all += l + "\n";
        return all;
    };
    // A text field searched by one text is answered by the engine's key index instead.
    EXPECT_EQ(rs.explainFind("Name = 'x'"), std::vector<std::string>{"SEARCH KEY INDEX ON Name"});
    // The rows past the nearest may be gathered and sorted, never the nearest.
    for (const char* criteria : {"Name >= 'x'", "Born = #1/2/2003#", "IsNull(City)"}) {
        const auto p = plan(rs.explainFind(criteria));
        const auto nearest = p.substr(0, p.find("THEN PAST THE NEAREST ROWS"));
        EXPECT_NE(p.find("SEARCH vk_t USING"), std::string::npos) << criteria << "\n" << p;
        EXPECT_EQ(p.find("SCAN vk_t"), std::string::npos) << criteria << "\n" << p;
        EXPECT_EQ(nearest.find("TEMP B-TREE"), std::string::npos) << criteria << "\n" << p;
    }
    // A sorted row set searches the table by index, then its own keys by row id.
    auto sorted = rs.openSorted("[Name] desc");
    const auto p = plan(sorted.explainFind("City = 'x'"));
    EXPECT_NE(p.find("SEARCH vk_t USING INDEX"), std::string::npos) << p;
    EXPECT_NE(p.find("SEARCH k USING"), std::string::npos) << p;
    sorted.findFirst("City = 'oslo'");
    EXPECT_EQ(sorted.value("Id").asNumber(), 1); // Ann and ann tie; the tie keeps table order
}

// A found record's values come with the find; a later write to its table, by a
// statement or another recordset, is still seen, and a write elsewhere changes nothing.
TEST_F(EngineRecordsetTest, AFoundRecordReadsWritesMadeAfterTheFind) {
    makePeople();
    db.execute("CREATE TABLE Other (A TEXT(5))");
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    auto other = db.openRecordset("People", RecordsetType::Dynaset);
    rs.findFirst("Id = 2");
    EXPECT_EQ(rs.value("Name").asText(), "Bob");
    db.execute("update People set Name = 'Rob' where Id = 2");
    EXPECT_EQ(rs.value("Name").asText(), "Rob");
    other.findFirst("Id = 2");
    other.edit();
    other.setValue("City", Value::text("Pisa"));
    other.update();
    EXPECT_EQ(rs.value("City").asText(), "Pisa");
    db.execute("insert into Other values ('x')");
    EXPECT_EQ(rs.value("Name").asText(), "Rob");
    rs.findNext("Name = 'rob'");
    EXPECT_TRUE(rs.noMatch());
    EXPECT_EQ(rs.value("Id").asNumber(), 2);
}

// Guards the case-blind search that visited every record differing from the key only in
// case: the exact test searches one index that holds both collations, in row order.
TEST_F(EngineRecordsetTest, AnExactFindSearchesTheExactIndexWithoutSorting) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.findFirst("Name = 'ann'"); // the case-blind index comes first, as in a run
    std::string p;
    for (const auto& line : rs.explainFind("Name = 'ann' and StrComp([Name], 'ann', 0) = 0"))
        p += line + "\n";
    EXPECT_NE(p.find("INDEX vk~People~Name~exact~fold (Name=? AND Name=? AND rowid>?"),
              std::string::npos)
        << p;
    EXPECT_EQ(p.find("TEMP B-TREE"), std::string::npos) << p;
    rs.findFirst("Name = 'ann' and StrComp([Name], 'ann', 0) = 0");
    EXPECT_EQ(rs.value("Id").asNumber(), 4);
}

struct WriteCase {
    const char* field;
    Value written;
    Value stored; // Empty when an error is expected
    int error;
};

class EngineRecordsetWrite : public EngineTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(EngineRecordsetWrite, ConvertsToTheFieldType) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    rs.edit();
    const auto& c = GetParam();
    if (c.error) {
        EXPECT_ENGINE_ERROR(rs.setValue(c.field, c.written), c.error);
        return;
    }
    rs.setValue(c.field, c.written);
    rs.update();
    EXPECT_EQ(rs.value(c.field), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, EngineRecordsetWrite,
    ::testing::Values(
        WriteCase{"Score", Value::text("12"), Value::number(12), 0},
        WriteCase{"Score", Value::text("abc"), Value(), err::ConversionError},
        WriteCase{"Score", Value(), Value::null(), 0},
        WriteCase{"Born", Value::text("1/2/2003"), Value::date(37623), 0},
        WriteCase{"Born", Value::number(37623.5), Value::date(37623.5), 0},
        WriteCase{"Born", Value::text("soon"), Value(), err::ConversionError},
        WriteCase{"Name", Value::text(std::string(51, 'x')), Value(), err::FieldTooSmall},
        WriteCase{"Name", Value::text(std::string(50, 'x')), Value::text(std::string(50, 'x')), 0},
        WriteCase{"Name", Value::number(5), Value::text("5"), 0},
        WriteCase{"Name", Value::date(37623), Value::text("1/2/2003"), 0},
        WriteCase{"Id", Value::number(2.5), Value::number(2), 0},
        WriteCase{"Id", Value::number(3.5), Value::number(4), 0},
        WriteCase{"Id", Value::number(3e10), Value(), err::ConversionError}));

TEST_F(EngineRecordsetTest, EditRulesAndErrors) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    EXPECT_ENGINE_ERROR(rs.setValue("Name", Value::text("x")), err::UpdateWithoutEdit);
    EXPECT_ENGINE_ERROR(rs.update(), err::UpdateWithoutEdit);
    rs.edit();
    rs.setValue("Name", Value::text("Changed"));
    EXPECT_EQ(rs.value("Name").asText(), "Changed");
    rs.cancelUpdate();
    EXPECT_EQ(rs.value("Name").asText(), "Ann");
    rs.edit();
    rs.setValue("Name", Value::text("Moved"));
    rs.moveNext(); // a move drops the edit
    rs.moveFirst();
    EXPECT_EQ(rs.value("Name").asText(), "Ann");
    EXPECT_ENGINE_ERROR(rs.field(99), err::NotInCollection);
    EXPECT_ENGINE_ERROR(rs.field("Nope"), err::NotInCollection);
    auto f = rs.field("name");
    EXPECT_EQ(f.name(), "Name");
    EXPECT_EQ(f.type(), fieldtype::Text);
    EXPECT_EQ(f.size(), 50);
    EXPECT_EQ(rs.field(3).type(), fieldtype::Date);
    EXPECT_EQ(rs.field(4).type(), fieldtype::Double);
    EXPECT_EQ(rs.field(0).size(), 4);
    rs.moveNext();
    EXPECT_EQ(f.value().asText(), "Bob"); // a field follows the current record
}

TEST_F(EngineRecordsetTest, SeekByIndexOnTableRecordsets) {
    auto rs = db.openRecordset("SampleConnStr");
    EXPECT_ENGINE_ERROR(rs.seek("=", Value::text("Oracle")), err::NoCurrentIndex);
    EXPECT_ENGINE_ERROR(rs.setIndex("NoSuchIndex"), err::NotAnIndex);
    rs.setIndex("DBNameIndex");
    rs.seek("=", Value::text("oracle"));
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.value("DBName").asText(), "Oracle");
    rs.seek("=", Value::text("Nothing"));
    EXPECT_TRUE(rs.noMatch());
    EXPECT_EQ(rs.value("DBName").asText(), "Oracle");
    rs.seek(">=", Value::text("P"));
    EXPECT_EQ(rs.value("DBName").asText(), "PostgreSQL");
    auto dyn = db.openRecordset("SampleConnStr", RecordsetType::Dynaset);
    EXPECT_ENGINE_ERROR(dyn.setIndex("DBNameIndex"), err::OperationNotSupported);
    EXPECT_ENGINE_ERROR(rs.openFiltered("DBName = 'x'"), err::OperationNotSupported);
    // ConnectStr: empty at first, then a row added through the index.
    auto cs = db.openRecordset("ConnectStr");
    cs.setIndex("QueryNameIndex");
    EXPECT_EQ(cs.recordCount(), 0);
    cs.addNew();
    cs.setValue("QueryName", Value::text("Q1"));
    cs.setValue("ConnectString", Value::text("DSN=x"));
    cs.update();
    cs.seek("=", Value::text("q1"));
    EXPECT_FALSE(cs.noMatch());
    EXPECT_EQ(cs.value("ConnectString").asText(), "DSN=x");
}

TEST_F(EngineRecordsetTest, FilterSortRequeryAndClone) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    auto oslo = rs.openFiltered("City = 'oslo'");
    EXPECT_EQ(oslo.recordCount(), 2);
    EXPECT_EQ(oslo.filter(), "City = 'oslo'");
    auto sorted = rs.openSorted("[Name] desc, Id");
    std::vector<std::string> names;
    for (; !sorted.eof(); sorted.moveNext())
        names.push_back(sorted.value("Name").asText());
    EXPECT_EQ(names, (std::vector<std::string>{"O'Brien", "Eve", "Bob", "Ann", "ann"}));
    auto both = oslo.openSorted("Id desc");
    EXPECT_EQ(both.value("Id").asNumber(), 4);
    EXPECT_EQ(both.recordCount(), 2);

    db.execute("INSERT INTO People (Id, Name, City) VALUES (6, 'Kim', 'Oslo')");
    EXPECT_EQ(oslo.recordCount(), 2);
    oslo.requery();
    EXPECT_EQ(oslo.recordCount(), 3);

    auto copy = rs.clone();
    copy.moveLast();
    EXPECT_EQ(rs.absolutePosition(), 0);
    EXPECT_EQ(copy.absolutePosition(), 4);
    rs.setBookmark(copy.bookmark());
    EXPECT_EQ(rs.value("Id").asNumber(), 5);
    copy.deleteRecord();
    EXPECT_ENGINE_ERROR(rs.value("Id"), err::RecordDeleted);
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_ENGINE_ERROR(rs.openSorted("Nope"), err::UnknownName);
    rs.close();
    EXPECT_FALSE(rs.isOpen());
    EXPECT_ENGINE_ERROR(rs.moveFirst(), err::ObjectInvalid);
    EXPECT_TRUE(copy.isOpen());
}

TEST_F(EngineRecordsetTest, SelectsOpenAsDynasetsOrReadOnlySnapshots) {
    makePeople();
    db.execute("CREATE TABLE Towns (City TEXT(30), Country TEXT(30))");
    db.execute("INSERT INTO Towns VALUES ('Oslo', 'Norway')");
    db.execute("INSERT INTO Towns VALUES ('Rome', 'Italy')");
    auto one = db.openRecordset("select Name AS Who, City from people where Id > 1 order by Name");
    EXPECT_EQ(one.type(), RecordsetType::Dynaset);
    EXPECT_EQ(one.fieldCount(), 2);
    EXPECT_EQ(one.value("Who").asText(), "ann");
    one.edit();
    one.setValue("Who", Value::text("Anna"));
    one.update();
    auto check = db.openRecordset("People", RecordsetType::Snapshot);
    check.findFirst("Id = 4");
    EXPECT_EQ(check.value("Name").asText(), "Anna");

    auto joined = db.openRecordset(
        "SELECT p.Name, t.Country FROM People AS p INNER JOIN Towns AS t ON p.City = t.City "
        "ORDER BY p.Id");
    EXPECT_EQ(joined.type(), RecordsetType::Snapshot);
    EXPECT_EQ(joined.recordCount(), 3);
    EXPECT_EQ(joined.value("Country").asText(), "Norway");
    EXPECT_ENGINE_ERROR(joined.edit(), err::ReadOnly);
    joined.findFirst("Country = 'italy'");
    EXPECT_EQ(joined.value("Name").asText(), "Bob");

    auto counts = db.openRecordset("select City, Count(*) AS N, Max(Born) AS Last from People "
                                   "where City is not null group by City order by City");
    EXPECT_EQ(counts.recordCount(), 3);
    EXPECT_EQ(counts.field("N").type(), fieldtype::Long);
    EXPECT_EQ(counts.field("Last").type(), fieldtype::Date);
    EXPECT_EQ(counts.value("N").asNumber(), 2); // Oslo and oslo are one city
    EXPECT_ENGINE_ERROR(db.openRecordset("select * from Nowhere"), err::TableNotFound);
    EXPECT_ENGINE_ERROR(db.openRecordset("Nowhere"), err::TableNotFound);
    EXPECT_ENGINE_ERROR(db.openRecordset("select * from People", RecordsetType::Table),
                        err::InvalidOperation);
}

TEST_F(EngineRecordsetTest, LargeRowSetStaysConsistentAcrossDeletes) {
    db.execute("CREATE TABLE Big (N LONG)");
    auto rs = db.openRecordset("Big", RecordsetType::Dynaset);
    for (int i = 0; i < 3000; ++i) {
        rs.addNew();
        rs.setValue("N", Value::number(i));
        rs.update();
    }
    EXPECT_EQ(rs.recordCount(), 3000);
    db.execute("delete * from Big where N mod 3 = 0");
    EXPECT_EQ(rs.recordCount(), 2000);
    rs.setAbsolutePosition(1000);
    EXPECT_EQ(rs.value("N").asNumber(), 1501);
    rs.findFirst("N = 2998");
    EXPECT_EQ(rs.absolutePosition(), 1998);
    long seen = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        ++seen;
    EXPECT_EQ(seen, 2000);
}

} // namespace
} // namespace varnoke::testing
