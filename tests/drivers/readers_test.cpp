// Each reader against files that other programs wrote. Expected values come from an
// independent reading of the same file (see tests/data/SOURCES.md), never from ours.
#include "table_collector.h"

#include "value/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace varnoke::test {
namespace {

const std::string kData = VARNOKE_TEST_DATA;

struct Cell {
    std::size_t row;
    std::size_t column;
    Value expected;
};

struct FileCase {
    const char* label;
    std::string connect;
    std::string sourceTable;
    std::vector<ForeignField> fields;
    std::size_t rowCount;
    std::vector<Cell> cells;
};

Value date(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    return Value::date(makeDateSerial(y, m, d, h, mi, s));
}
Value time(int h, int mi, int s) {
    return Value::date((h * 3600 + mi * 60 + s) / 86400.0);
}
Value num(double d) {
    return Value::number(d);
}
Value text(const char* t) {
    return Value::text(t);
}

// Dates and doubles compare to within a millisecond or a relative 1e-12, since a
// format's own arithmetic may round the last bit differently.
void expectSame(const Value& actual, const Value& expected, const std::string& where) {
    ASSERT_EQ(actual.kind(), expected.kind()) << where;
    if (expected.isDate())
        EXPECT_NEAR(actual.asDateSerial(), expected.asDateSerial(), 1.0 / 86400000) << where;
    else if (expected.kind() == Value::Kind::Number)
        EXPECT_NEAR(actual.asNumber(), expected.asNumber(),
                    1e-12 * std::max(1.0, std::fabs(expected.asNumber())))
            << where;
    else
        EXPECT_EQ(actual, expected) << where;
}

class RealFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(RealFileTest, FieldsRowsAndValuesMatchAnIndependentReading) {
    const auto& c = GetParam();
    const Table t = readLinked(c.connect, c.sourceTable);
    ASSERT_EQ(t.fields.size(), c.fields.size());
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
        EXPECT_EQ(t.fields[i].name, c.fields[i].name) << "field " << i;
        EXPECT_EQ(t.fields[i].type, c.fields[i].type) << c.fields[i].name;
        EXPECT_EQ(t.fields[i].size, c.fields[i].size) << c.fields[i].name;
    }
    ASSERT_EQ(t.rows.size(), c.rowCount);
    for (const auto& cell : c.cells) {
        ASSERT_LT(cell.row, t.rows.size());
        ASSERT_LT(cell.column, t.rows[cell.row].size());
        expectSame(t.rows[cell.row][cell.column], cell.expected,
                   "row " + std::to_string(cell.row) + " column " + std::to_string(cell.column));
    }
}

std::string in(const char* prefix, const char* folder) {
    return std::string(prefix) + ";DATABASE=" + kData + "/" + folder;
}

const Value null = Value::null();

Value yes(bool b) {
    return Value::boolean(b);
}

// The formula sheet of formulas97.xls: each formula's saved result, as LibreOffice
// converts the sheet to CSV (an error value and an empty text result are Null); the
// "Dear" results are yes/no values as python3-xlrd reads them (cell type boolean).
const std::vector<ForeignField> kStockFields{{"Item", 10, 255}, {"Price", 7, 8}, {"Twice", 7, 8},
                                             {"Tag", 10, 255},  {"Dear", 1, 1},  {"Ratio", 7, 8},
                                             {"When", 8, 8}};
const std::vector<Cell> kStockCells{{0, 1, num(1.5)},
                                    {0, 2, num(3)},
                                    {0, 3, text("Pen-x")},
                                    {0, 4, yes(false)},
                                    {0, 5, null},
                                    {0, 6, date(2020, 1, 2)},
                                    {1, 3, text("Ink and a text longer than the first-x")},
                                    {1, 4, yes(true)},
                                    {1, 5, num(2.5)},
                                    {1, 6, date(2021, 6, 30)},
                                    {2, 2, num(20)},
                                    {2, 3, null},
                                    {2, 5, null},
                                    {2, 6, date(1999, 12, 31)}};

// A column of yes/no cells and yes/no cells among texts, as python3-xlrd reads them
// (cell type boolean; the division by zero an error).
const std::vector<ForeignField> kFlagsFields{{"Name", 10, 255}, {"Done", 1, 1}, {"Mixed", 10, 255}};
const std::vector<Cell> kFlagsCells{
    {0, 1, yes(true)},    {1, 1, yes(false)},   {2, 1, yes(true)},     {3, 1, null},
    {0, 2, text("text")}, {1, 2, text("TRUE")}, {2, 2, text("FALSE")}, {3, 2, text("FALSE")}};

INSTANTIATE_TEST_SUITE_P(
    Files, RealFileTest,
    ::testing::Values(
        // dBase III from another project's examples; its third record is marked deleted.
        FileCase{"DBaseIIIWithDeletedRecord",
                 in("dBase IV", "dbf"),
                 "people",
                 {{"NAME", 10, 16}, {"BIRTHDATE", 8, 8}},
                 2,
                 {{0, 0, text("Alice")},
                  {0, 1, date(1987, 3, 1)},
                  {1, 0, text("Bob")},
                  {1, 1, date(1980, 11, 12)}}},
        FileCase{
            "DBaseByLibreOffice",
            in("dBase V", "dbf"),
            "lo_sample.dbf",
            {{"NAME", 10, 5}, {"AGE", 7, 8}, {"WEIGHT", 7, 8}, {"BORN", 8, 8}, {"NOTE", 10, 21}},
            3,
            {{0, 2, num(61.5)},
             {0, 3, date(1990, 3, 1)},
             {0, 4, text("Likes \"tea\", biscuits")},
             {1, 1, num(-7)},
             {2, 1, num(0)},
             {2, 4, text("two\nlines")}}},
        FileCase{"VisualFoxProTypesAndMemo",
                 in("FoxPro 3.0", "dbf"),
                 "vfp_all",
                 {{"NAME", 10, 12},
                  {"QTY", 4, 4},
                  {"PRICE", 5, 8},
                  {"WEIGHT", 7, 8},
                  {"SEEN", 8, 8},
                  {"BORN", 8, 8},
                  {"OK", 1, 1},
                  {"NOTES", 12, 0},
                  {"AMOUNT", 7, 8}},
                 3,
                 {{0, 0, text("Widget")},
                  {0, 1, num(42)},
                  {0, 2, Value::currency(19.9899)},
                  {0, 3, num(1.25)},
                  {0, 4, date(2003, 4, 5, 6, 7, 8)},
                  {0, 5, date(1999, 12, 31)},
                  {0, 6, Value::boolean(true)},
                  {0, 7, text("First memo line\r\nsecond line")},
                  {0, 8, num(123.45)},
                  {1, 1, num(-7)},
                  {1, 3, num(-2.5)},
                  {1, 4, date(1970, 1, 1)},
                  {1, 6, Value::boolean(false)},
                  {1, 7, text("Short")},
                  {2, 0, text("Zo\xC3\xAB caf\xC3\xA9")},
                  {2, 4, null},
                  {2, 5, null},
                  {2, 6, null}}},
        FileCase{"FoxPro25OpensLikeFoxPro",
                 in("FoxPro 2.5", "dbf"),
                 "vfp_all.dbf",
                 {{"NAME", 10, 12},
                  {"QTY", 4, 4},
                  {"PRICE", 5, 8},
                  {"WEIGHT", 7, 8},
                  {"SEEN", 8, 8},
                  {"BORN", 8, 8},
                  {"OK", 1, 1},
                  {"NOTES", 12, 0},
                  {"AMOUNT", 7, 8}},
                 3,
                 {{1, 0, text("Gadget")}}},
        FileCase{"DBaseIIIMemoFile",
                 in("dBase IV", "dbf"),
                 "db3memo",
                 {{"TITLE", 10, 20}, {"PAGES", 7, 8}, {"NOTES", 12, 0}},
                 3,
                 {{0, 2, text("A memo in dBase III")},
                  {1, 2, Value::text(std::string(700, 'x'))},
                  {2, 1, null}}},
        FileCase{"DosCodePage850",
                 in("dBase IV", "dbf"),
                 "CP850.DBF",
                 {{"CITY", 10, 20}},
                 2,
                 {{0, 0, text("Z\xC3\xBCrich")}, {1, 0, text("Malm\xC3\xB6")}}},
        FileCase{"DbcContainerGivesItsFirstTable",
                 in("FoxPro DBC", "dbf"),
                 "shop.dbc",
                 {{"ITEM", 10, 10}, {"COUNT", 4, 4}},
                 2,
                 {{0, 0, text("bolt")}, {0, 1, num(500)}, {1, 0, text("nut")}, {1, 1, num(250)}}},
        FileCase{"DbcTableByName",
                 in("FoxPro DBC", "dbf"),
                 "stock",
                 {{"ITEM", 10, 10}, {"COUNT", 4, 4}},
                 2,
                 {{1, 1, num(250)}}},
        // Paradox files from another project's tests; values as pxlib reads them.
        FileCase{
            "ParadoxAlpha",
            in("Paradox 4.X", "paradox"),
            "AREACODE",
            {{"Area Code", 10, 3}, {"Country", 10, 30}, {"Full State", 10, 21}, {"State", 10, 2}},
            135,
            {{0, 0, text("201")},
             {0, 1, text("United States")},
             {0, 2, text("New Jersey")},
             {3, 1, text("Canada")},
             {3, 3, text("MB")}}},
        FileCase{"ParadoxShortNumberMoney",
                 in("Paradox 4.X", "paradox"),
                 "FILMS.DB",
                 {{"Film #", 10, 5},
                  {"Film Title", 10, 30},
                  {"# in Stock", 3, 2},
                  {"Actors", 10, 20},
                  {"Category", 10, 9},
                  {"Year", 7, 8},
                  {"Rating", 10, 2},
                  {"Rental Fee", 5, 8},
                  {"# of Copies", 3, 2}},
                 36,
                 {{0, 1, text("It Happened One Night")},
                  {0, 2, num(15)},
                  {0, 5, num(1934)},
                  {0, 7, Value::currency(2)},
                  {2, 1, text("Sophie's Choice")},
                  {4, 8, num(10)}}},
        FileCase{"ParadoxVersion3",
                 in("Paradox 4.X", "paradox"),
                 "employee",
                 {{"Store #", 10, 2}, {"Employee #", 3, 2}, {"Employee Name", 10, 20}},
                 21,
                 {{0, 2, text("Cynthia Elkins")}, {4, 1, num(5)}}},
        FileCase{"ParadoxBcd",
                 in("Paradox 5.X", "paradox"),
                 "bcd",
                 {{"A", 7, 8}, {"B", 7, 8}, {"C", 7, 8}},
                 3,
                 {{0, 0, num(1.23)},
                  {0, 1, num(1)},
                  {0, 2, num(0.123)},
                  {1, 0, num(-1.23)},
                  {1, 1, num(-1)},
                  {1, 2, num(-0.123)},
                  {2, 0, num(0)},
                  {2, 1, null},
                  {2, 2, num(0.9999)}}},
        FileCase{"ParadoxDateAndTime",
                 in("Paradox 5.X", "paradox"),
                 "date7",
                 {{"DATE", 8, 8}, {"TIME", 8, 8}},
                 5,
                 {{0, 0, date(2018, 1, 1)},
                  {0, 1, time(10, 0, 0)},
                  {1, 0, date(2018, 2, 1)},
                  {2, 1, time(9, 25, 25)},
                  {3, 0, null},
                  {4, 1, null}}},
        FileCase{"ParadoxTime",
                 in("Paradox 5.X", "paradox"),
                 "time",
                 {{"Time", 8, 8}},
                 3,
                 {{0, 0, time(1, 0, 1)}, {1, 0, null}, {2, 0, time(3, 0, 3)}}},
        FileCase{"ParadoxTimestamp",
                 in("Paradox 5.X", "paradox"),
                 "timestamp",
                 {{"Timestamp", 8, 8}},
                 2,
                 {{0, 0, null}, {1, 0, date(2020, 2, 1, 1, 0, 1)}}},
        FileCase{"ParadoxLogical",
                 in("Paradox 5.X", "paradox"),
                 "logical",
                 {{"BOOL", 1, 1}},
                 4,
                 {{0, 0, Value::boolean(true)},
                  {1, 0, Value::boolean(false)},
                  {3, 0, Value::boolean(true)}}},
        FileCase{"ParadoxLongAndAutoIncrement",
                 in("Paradox 5.X", "paradox"),
                 "long",
                 {{"Id", 4, 4}, {"LONG", 4, 4}},
                 3,
                 {{0, 0, num(1)}, {2, 0, num(3)}, {1, 1, num(2)}, {2, 1, null}}},
        FileCase{"ParadoxFormattedMemoWithBlobFile",
                 in("Paradox 5.X", "paradox"),
                 "fmemo",
                 {{"Id", 4, 4}, {"FMEMO", 11, 0}},
                 2,
                 {{0, 0, num(1)}, {1, 0, num(2)}}},
        // Comma-delimited text: a hand-made file with every quoting rule, and one that
        // LibreOffice wrote.
        FileCase{
            "CsvQuotingAndTypes",
            in("Text", "csv"),
            "sample",
            {{"Name", 10, 255}, {"Age", 4, 4}, {"Weight", 7, 8}, {"Born", 8, 8}, {"Note", 10, 255}},
            3,
            {{0, 1, num(34)},
             {0, 2, num(61.5)},
             {0, 3, date(1990, 3, 1)},
             {0, 4, text("Likes \"tea\", biscuits")},
             {1, 1, num(-7)},
             {2, 1, null},
             {2, 4, text("two\nlines")}}},
        FileCase{"CsvByLibreOffice",
                 in("Text", "csv"),
                 "formate_lo.csv",
                 {{"Huber", 10, 255}, {"03/07/1907", 10, 255}},
                 9,
                 {{0, 0,
                   text("\xC3\x84"
                        "cker")},
                  {1, 1, text("Tuesday, May 03, 1988")},
                  {7, 1, text(" 1,000.30 \xE2\x82\xAC ")}}},
        FileCase{
            "HtmlByLibreOffice",
            in("HTML Import", "html"),
            "sample.html",
            {{"Name", 10, 255}, {"Age", 4, 4}, {"Weight", 7, 8}, {"Born", 8, 8}, {"Note", 10, 255}},
            3,
            {{0, 4, text("Likes \"tea\", biscuits")},
             {1, 3, date(1985, 12, 24)},
             {2, 1, null},
             {2, 4, text("two\nlines")}}},
        // Blanks around a line break fold away as a browser lays the text out: the
        // line ends where the break stands and the next starts at its first letter.
        FileCase{"HtmlLineBreaksFoldTheirBlanks",
                 in("HTML Import", "html"),
                 "breaks.html",
                 {{"Label", 10, 255}, {"Lines", 10, 255}},
                 4,
                 {{0, 1, text("abc\ndef")},
                  {1, 1, text("abc\ndef")},
                  {2, 1, text("one\n\nthree")},
                  {3, 1, text("bold and\nnext")}}},
        FileCase{
            "HtmlFileUrlAndTableByPosition",
            "HTML Import;DATABASE=file://" + kData + "/html/sample.html",
            "Table1",
            {{"Name", 10, 255}, {"Age", 4, 4}, {"Weight", 7, 8}, {"Born", 8, 8}, {"Note", 10, 255}},
            3,
            {{1, 0, text("Bob")}}},
        FileCase{
            "Excel8ByLibreOffice",
            "Excel 8.0;DATABASE=" + kData + "/xls/sample97.xls",
            "sample97.xls",
            {{"Name", 10, 255}, {"Age", 7, 8}, {"Weight", 7, 8}, {"Born", 8, 8}, {"Note", 10, 255}},
            3,
            {{0, 1, num(34)},
             {0, 3, date(1990, 3, 1)},
             {0, 4, text("Likes \"tea\", biscuits")},
             {2, 1, null},
             {2, 4, text("two\nlines")}}},
        FileCase{"Excel5ByGnumeric",
                 "Excel 5.0;DATABASE=" + kData + "/xls/big95.xls",
                 "big95.xls",
                 {{"Id", 7, 8}, {"City", 10, 255}, {"Amount", 7, 8}, {"Day", 8, 8}},
                 300,
                 {{0, 0, num(1)},
                  {0, 1, text("City 1")},
                  {0, 2, num(1.5)},
                  {0, 3, date(2020, 1, 2)},
                  {299, 0, num(300)},
                  {299, 2, num(450)}}},
        // Workbooks small enough to sit in the compound file's mini stream.
        FileCase{"Excel8FromAnotherProjectFirstSheet",
                 "Excel 8.0;DATABASE=" + kData + "/xls/Formate.xls",
                 "Formate.xls",
                 {{"Huber", 10, 255}, {dateText(makeDateSerial(1907, 7, 3)), 10, 255}},
                 9,
                 {{0, 0,
                   text("\xC3\x84"
                        "cker")},
                  {0, 1, Value::text(dateText(makeDateSerial(2005, 2, 23)))},
                  {1, 0,
                   text("\xC3\x96"
                        "cker")},
                  {1, 1, Value::text(dateText(makeDateSerial(1988, 5, 3)))},
                  {2, 1, Value::text(dateText(makeDateSerial(1899, 12, 30, 6, 34)))},
                  {4, 1, Value::text(dateText(makeDateSerial(1899, 12, 30, 17, 47, 13)))},
                  {5, 1, text("0.974")},
                  {7, 0, text("viel")},
                  {7, 1, text("1000.3")},
                  {8, 1, text("1.2")}}},
        FileCase{"Excel8SheetByName",
                 "Excel 8.0;DATABASE=" + kData + "/xls/Formate.xls",
                 "Bl\xC3\xA4tt3",
                 {{"100", 7, 8}},
                 11,
                 {{0, 0, num(200)}, {10, 0, num(1200)}}},
        FileCase{"Excel8SheetByNameWithDollarRepeatedHeading",
                 "Excel 8.0;DATABASE=" + kData + "/xls/Formate.xls",
                 "formate$",
                 {{"RED", 10, 255}, {"F2", 10, 255}},
                 2,
                 {{0, 0, text("GREEN")}, {0, 1, text("GREEN")}, {1, 1, text("BLUE")}}},
        FileCase{"Excel8FormulaResultsByLibreOffice",
                 "Excel 8.0;DATABASE=" + kData + "/xls/formulas97.xls", "Stock", kStockFields, 3,
                 kStockCells},
        FileCase{"Excel8UnknownSheetGivesTheFirst",
                 "Excel 8.0;DATABASE=" + kData + "/xls/formulas97.xls",
                 "formulas97.xls",
                 {{"Nothing", 7, 8}},
                 1,
                 {{0, 0, num(1)}}},
        // Gnumeric's Excel 95 copy of formulas97.xls.
        FileCase{"Excel5FormulaResultsByGnumeric",
                 "Excel 5.0;DATABASE=" + kData + "/xls/formulas95.xls", "stock$", kStockFields, 3,
                 kStockCells},
        // LibreOffice's copy of booleans.fods (yes/no formulas) and Gnumeric's copy of
        // that (BOOLERR records).
        FileCase{"Excel8YesNoFormulasByLibreOffice",
                 "Excel 8.0;DATABASE=" + kData + "/xls/booleans.xls", "Flags", kFlagsFields, 4,
                 kFlagsCells},
        FileCase{"Excel8YesNoCellsByGnumeric",
                 "Excel 8.0;DATABASE=" + kData + "/xls/booleans_gnumeric.xls", "Flags",
                 kFlagsFields, 4, kFlagsCells},
        FileCase{"Excel5SmallWithCodePageText",
                 "Excel 5.0;DATABASE=" + kData + "/xls/small95.xls",
                 "small95.xls",
                 {{"Name", 10, 255}, {"Qty", 7, 8}, {"Day", 8, 8}},
                 3,
                 {{0, 0, text("Apfel")},
                  {0, 1, num(3)},
                  {0, 2, date(2021, 3, 4)},
                  {1, 1, num(-1.5)},
                  {1, 2, date(1999, 12, 31)},
                  {2, 0, text("K\xC3\xA4se")},
                  {2, 1, null},
                  {2, 2, date(2000, 1, 1)}}},
        FileCase{"LotusWk4FromThePublishedLayout",
                 "Lotus WK4;DATABASE=" + kData + "/lotus/sales.wk4",
                 "sales.wk4",
                 {{"Name", 10, 255}, {"Qty", 7, 8}, {"Price", 7, 8}},
                 3,
                 {{0, 0, text("Apple")},
                  {0, 1, num(3)},
                  {0, 2, num(1.25)},
                  {1, 2, num(-0.5)},
                  {2, 0, text("Plum")}}},
        // A text formula's saved result, as LibreOffice shows it, in worksheets by
        // 1-2-3 itself (R) and by another program (q).
        FileCase{"LotusWk1TextFormulaByAnotherProgram",
                 "Lotus WK4;DATABASE=" + kData + "/lotus/crlfq9.wk1",
                 "crlfq9.wk1",
                 {{"Normal", 10, 255}, {"abcdef", 10, 255}},
                 2,
                 {{0, 0, text("Formula")}, {0, 1, text("abc\r\ndef")}, {1, 1, null}}},
        FileCase{"LotusWk3TextFormulaByAnotherProgram",
                 "Lotus WK4;DATABASE=" + kData + "/lotus/crlfq9.wk3",
                 "crlfq9.wk3",
                 {{"Normal", 10, 255}, {"abcdef", 10, 255}},
                 2,
                 {{0, 1, text("abc\r\ndef")}, {1, 0, text("Test")}}},
        FileCase{"LotusWk4TextFormulaByAnotherProgram",
                 "Lotus WK4;DATABASE=" + kData + "/lotus/crlfq9.wk4",
                 "crlfq9.wk4",
                 {{"Normal", 10, 255}, {"abcdef", 10, 255}},
                 2,
                 {{0, 1, text("abc\r\ndef")}, {1, 0, text("Test")}}},
        // The second name's label holds 1-2-3's escaped line break (0x0F '-' 0x0F '*'),
        // which LibreOffice shows as "-*".
        FileCase{"LotusWk3TextFormulaBy123",
                 "Lotus WK4;DATABASE=" + kData + "/lotus/CRLFR9.WK3",
                 "CRLFR9.WK3",
                 {{"Normal", 10, 255}, {"abc\r\ndef", 10, 255}},
                 1,
                 {{0, 1, text("abc\r\ndef")}}},
        // 1-2-3 saved this result without its line break (the STRING record's bytes
        // read "abcdef"); LibreOffice recalculates the formula instead.
        FileCase{"LotusWk1TextFormulaBy123",
                 "Lotus WK4;DATABASE=" + kData + "/lotus/CRLFR9.WK1",
                 "CRLFR9.WK1",
                 {{"Normal", 10, 255}, {"abcdef", 10, 255}},
                 1,
                 {{0, 1, text("abcdef")}}},
        // Saved results of zero, a sum, a text and an error, as LibreOffice shows them.
        FileCase{
            "LotusWk1FormulaResults",
            "Lotus WK1;DATABASE=" + kData + "/lotus/formulas.wk1",
            "formulas.wk1",
            {{"Name", 10, 255}, {"Zero", 7, 8}, {"Sum", 7, 8}, {"Word", 10, 255}, {"Bad", 10, 255}},
            2,
            {{0, 1, num(0)},
             {0, 2, num(2.5)},
             {0, 3, text("abc")},
             {0, 4, null},
             {1, 1, num(0)},
             {1, 2, num(4)},
             {1, 3, text("de f")},
             {1, 4, null}}},
        FileCase{"JetTable",
                 "JetTable;DATABASE=" + kData + "/mdb/DateTestDatabase.mdb",
                 "DateTestDatabase.mdb",
                 {{"IDCol", 4, 4},
                  {"DateTimeCol", 8, 8},
                  {"DateCol", 8, 8},
                  {"TimeCol", 8, 8},
                  {"LongTextCol", 12, 0},
                  {"ShortTextCol", 10, 255}},
                 6,
                 {{0, 0, num(1)},
                  {0, 1, date(2021, 12, 2)},
                  {0, 4, text("Hello")},
                  {1, 4, text("Year 9999")},
                  {1, 5, text("Year 1999")},
                  {5, 4, text("New line\r\nin field")},
                  {5, 5, text("No new line")}}}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
