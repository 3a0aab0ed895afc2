// Copying whole tables (select * into) and linking a table the way the openers do:
// what is stored must not depend on which way SQLite was asked to write it.
#include "engine_fixture.h"

#include "engine/column_value.h"
#include "support/temp_dir.h"
#include "value/convert.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>

namespace varnoke::testing {
namespace {

// Every stored value of a table, column by column, as SQLite holds it (storage class
// and literal), in the table's own order.
std::vector<std::string> storedRows(const std::string& path, const std::string& table) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::vector<std::string> rows;
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT * FROM \"" + table + "\" ORDER BY rowid";
    if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                sqlite3_value* v = sqlite3_column_value(st, i);
                row += std::to_string(sqlite3_value_type(v)) + ":";
                const auto* text = sqlite3_value_text(v);
                row += text ? reinterpret_cast<const char*>(text) : "";
                row += "|";
            }
            rows.push_back(row);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(raw);
    return rows;
}

void expectSameFields(Database& db, const std::string& a, const std::string& b) {
    auto defs = db.tableDefs();
    const auto& x = defs.item(a);
    const auto& y = defs.item(b);
    ASSERT_EQ(x.fieldCount(), y.fieldCount());
    for (int i = 0; i < x.fieldCount(); ++i) {
        EXPECT_EQ(x.fields()[i].name(), y.fields()[i].name());
        EXPECT_EQ(x.fields()[i].type(), y.fields()[i].type());
        EXPECT_EQ(x.fields()[i].size(), y.fields()[i].size());
    }
}

struct CopyCase {
    const char* label;
    const char* statement; // copies Mixed into Whole
};

class WholeTableCopyTest : public EngineTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(WholeTableCopyTest, StoresWhatACopyOfNamedColumnsStores) {
    db.execute("CREATE TABLE Mixed (Id LONG, Flag BIT, Small BYTE, Mid SHORT, Money CURRENCY, "
               "Single1 SINGLE, Real1 DOUBLE, [When] DATETIME, Name TEXT(20), Note MEMO)");
    db.execute("INSERT INTO Mixed VALUES (3, True, 255, -32768, 12.5, 1.5, -2.25, "
               "#1/2/2003 1:30:00 PM#, 'Smith', 'short')");
    db.execute("INSERT INTO Mixed (Id) VALUES (1)");
    db.execute("INSERT INTO Mixed VALUES (2, False, 0, 7, -0.0001, 0, 123456789.125, #12/31/1899#, "
               "'Zoë ''q'', x', '" +
               std::string(1000, 'm') + "')");
    db.execute("INSERT INTO Mixed VALUES (9, Null, Null, Null, Null, Null, Null, Null, '', '')");
    db.execute("INSERT INTO Mixed VALUES (4, True, 1, 2, 3, 4, 5, #2/29/2000#, '42', '')");
    // A gap in the stored order: the copies must keep the order of what is left.
    db.execute("DELETE * FROM Mixed WHERE Id = 9");
    db.execute(GetParam().statement);
    db.execute("select Id, Flag, Small, Mid, Money, Single1, Real1, [When], Name, Note into "
               "Listed from Mixed");
    expectSameFields(db, "Mixed", "Whole");
    expectSameFields(db, "Mixed", "Listed");
    auto rs = db.openRecordset("Whole");
    EXPECT_EQ(rs.value("Id"), Value::number(3));
    EXPECT_EQ(rs.value("Money"), Value::currency(12.5));
    EXPECT_EQ(rs.value("When"), Value::date(makeDateSerial(2003, 1, 2, 13, 30)));
    EXPECT_EQ(rs.value("Flag"), Value::boolean(true));
    rs.close();
    db.close();
    const auto source = storedRows(path(), "Mixed");
    ASSERT_EQ(source.size(), 4u);
    EXPECT_EQ(storedRows(path(), "Whole"), source);
    EXPECT_EQ(storedRows(path(), "Listed"), source);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, WholeTableCopyTest,
    ::testing::Values(CopyCase{"Star", "select * into Whole from Mixed;"},
                      CopyCase{"QualifiedStar", "SELECT Mixed.* INTO Whole FROM Mixed"},
                      CopyCase{"AliasedStar", "SELECT m.* INTO [Whole] FROM Mixed AS m"}),
    [](const auto& info) { return std::string(info.param.label); });

// A linked text file copied into the working table as the opener does: every row, in
// the file's order, whether the rows fill the link's batches or leave a part of one.
class OpenerPathTest : public ::testing::TestWithParam<int> {};

TEST_P(OpenerPathTest, CopiesEveryRowOfALinkedFile) {
    const int rows = GetParam();
    test::TempDir dir;
    std::string csv = "Id,Name,Amount,Born,Note\n";
    for (int i = 1; i <= rows; ++i) {
        csv += std::to_string(i) + ",";
        if (i % 7 != 0) csv += "\"Name " + std::to_string(i) + ", é\"";
        csv += "," + std::to_string(i) + ".25,";
        const int day = 1 + i % 28;
        if (i % 5 != 0) csv += "2001-02-" + std::string(day < 10 ? "0" : "") + std::to_string(day);
        csv += "," + std::string(i == rows ? 300 : 1 + i % 3, 'n') + "\n";
    }
    dir.write("rows.csv", csv);
    auto db = Engine::instance().openDatabase(dir.copyWorkDb());
    db.tableDefs().append(
        db.createTableDef("1A", "Text;DATABASE=" + dir.path().string(), "rows.csv"));
    db.execute("select * into [Table1] from [1A];");
    db.tableDefs().remove("1A");
    const TableDefs defs = db.tableDefs();
    const auto& def = defs.item("Table1");
    const std::vector<std::pair<int, int>> types = {{4, 4}, {10, 255}, {7, 8}, {8, 8}, {12, 0}};
    ASSERT_EQ(def.fieldCount(), 5);
    for (int f = 0; f < 5; ++f) {
        EXPECT_EQ(def.fields()[f].type(), types[f].first) << f;
        EXPECT_EQ(def.fields()[f].size(), types[f].second) << f;
    }
    auto rs = db.openRecordset("Table1");
    EXPECT_EQ(rs.recordCount(), rows);
    for (int i = 1; i <= rows; ++i, rs.moveNext()) {
        ASSERT_FALSE(rs.eof());
        EXPECT_EQ(rs.value("Id"), Value::number(i));
        EXPECT_EQ(rs.value("Name"),
                  i % 7 ? Value::text("Name " + std::to_string(i) + ", é") : Value::null());
        EXPECT_EQ(rs.value("Amount"), Value::number(i + 0.25));
        EXPECT_EQ(rs.value("Born"),
                  i % 5 ? Value::date(makeDateSerial(2001, 2, 1 + i % 28)) : Value::null());
        EXPECT_EQ(rs.value("Note"), Value::text(std::string(i == rows ? 300 : 1 + i % 3, 'n')));
    }
    EXPECT_TRUE(rs.eof());
    rs.close();
    db.close();
}

// One row, exactly two batches, and two batches and a part of one.
INSTANTIATE_TEST_SUITE_P(Rows, OpenerPathTest, ::testing::Values(1, 128, 130),
                         ::testing::PrintToStringParamName());

struct AsIsCase {
    const char* label;
    Value value;
    ColumnType type;
    bool asIs;
};

class StoresAsIsTest : public ::testing::TestWithParam<AsIsCase> {};

// Only a value that storing gives back unchanged may skip the conversion.
TEST_P(StoresAsIsTest, AgreesWithTheConversion) {
    const auto& c = GetParam();
    EXPECT_EQ(detail::storesAsIs(c.value, c.type), c.asIs);
    if (!c.asIs) return;
    const Value stored = detail::storeValue(c.value, c.type);
    if (c.value.isEmpty() || c.value.isNull())
        EXPECT_TRUE(stored.isNull());
    else
        EXPECT_EQ(stored, c.value);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Values, StoresAsIsTest,
    ::testing::Values(
        AsIsCase{"NullAnywhere", Value::null(), {fieldtype::Long, 4}, true},
        AsIsCase{"EmptyAnywhere", Value(), {fieldtype::Date, 8}, true},
        AsIsCase{"WholeLong", Value::number(-2147483648.0), {fieldtype::Long, 4}, true},
        AsIsCase{"LongTooLarge", Value::number(2147483648.0), {fieldtype::Long, 4}, false},
        AsIsCase{"LongRounded", Value::number(2.5), {fieldtype::Long, 4}, false},
        AsIsCase{"ByteNegative", Value::number(-1), {fieldtype::Byte, 1}, false},
        AsIsCase{"ShortInRange", Value::number(32767), {fieldtype::Integer, 2}, true},
        AsIsCase{"TextIntoLong", Value::text("5"), {fieldtype::Long, 4}, false},
        AsIsCase{"DoubleNumber", Value::number(1.25), {fieldtype::Double, 8}, true},
        AsIsCase{"DoubleFromCurrency", Value::currency(1.25), {fieldtype::Double, 8}, false},
        AsIsCase{"DoubleFromDate", Value::date(5), {fieldtype::Double, 8}, false},
        AsIsCase{"SingleExact", Value::number(0.5), {fieldtype::Single, 4}, true},
        AsIsCase{"SingleRounded", Value::number(0.1), {fieldtype::Single, 4}, false},
        AsIsCase{"CurrencyAlwaysConverted", Value::currency(3), {fieldtype::Currency, 8}, false},
        AsIsCase{"Date", Value::date(36526.5), {fieldtype::Date, 8}, true},
        AsIsCase{"DateFromText", Value::text("2001-01-01"), {fieldtype::Date, 8}, false},
        AsIsCase{"YesNo", Value::boolean(false), {fieldtype::Boolean, 1}, true},
        AsIsCase{"YesNoFromNumber", Value::number(1), {fieldtype::Boolean, 1}, false},
        AsIsCase{"TextFits", Value::text("abcde"), {fieldtype::Text, 5}, true},
        // Four characters in more bytes than the field's size: the count decides.
        AsIsCase{"TextOfManyBytes", Value::text("éééé"), {fieldtype::Text, 5}, false},
        AsIsCase{"TextTooLong", Value::text("abcdef"), {fieldtype::Text, 5}, false},
        AsIsCase{"NumberIntoText", Value::number(5), {fieldtype::Text, 255}, false},
        AsIsCase{"Memo", Value::text(std::string(70000, 'x')), {fieldtype::Memo, 0}, true},
        AsIsCase{"NotANumberIntoLong", Value::number(kNaN), {fieldtype::Long, 4}, false}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::testing
