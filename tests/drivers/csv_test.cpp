// Comma-delimited text: the splitting rules and how a column's values decide its type.
#include "drivers/csv_reader.h"
#include "table_collector.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

namespace varnoke::test {
namespace {

using Records = std::vector<std::vector<std::string>>;

struct SplitCase {
    const char* label;
    std::string text;
    Records expected;
};

class CsvSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CsvSplitTest, SplitsAsTheFormatSays) {
    EXPECT_EQ(drivers::parseCsv(GetParam().text, "t.csv"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CsvSplitTest,
    ::testing::Values(SplitCase{"Plain", "a,b\n1,2\n", {{"a", "b"}, {"1", "2"}}},
                      SplitCase{"WindowsAndOldMacLineEnds",
                                "a,b\r\n1,2\r3,4",
                                {{"a", "b"}, {"1", "2"}, {"3", "4"}}},
                      SplitCase{"EmptyFieldsKeepTheirPlace", ",x,\n", {{"", "x", ""}}},
                      SplitCase{"QuotedCommaAndDoubledQuote",
                                "\"a,b\",\"say \"\"hi\"\"\"\n",
                                {{"a,b", "say \"hi\""}}},
                      SplitCase{"QuotedLineBreaks", "\"one\r\ntwo\",3\n", {{"one\r\ntwo", "3"}}},
                      SplitCase{"QuotedEmptyField", "\"\",b\n", {{"", "b"}}},
                      SplitCase{"BlankLinesSkipped", "a\n\n\nb\n", {{"a"}, {"b"}}},
                      SplitCase{"NoFinalLineEnd", "a,b", {{"a", "b"}}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CsvSplit, UnclosedQuoteIsAnEngineErrorNamingTheFile) {
    try {
        drivers::parseCsv("a,\"open\nno close", "broken.csv");
        FAIL() << "expected an error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_NE(std::string(e.what()).find("broken.csv"), std::string::npos);
    }
}

struct TypeCase {
    const char* label;
    std::string column; // the values under the header, one a line
    int type;
    int size;
    Value first;
};

class CsvColumnTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(CsvColumnTypeTest, ColumnValuesDecideTheType) {
    TempDir dir;
    dir.write("t.csv", "F\n" + GetParam().column);
    const Table t = readLinked("Text;DATABASE=" + dir.path().string(), "t.csv");
    ASSERT_EQ(t.fields.size(), 1u);
    EXPECT_EQ(t.fields[0].type, GetParam().type);
    EXPECT_EQ(t.fields[0].size, GetParam().size);
    ASSERT_FALSE(t.rows.empty());
    EXPECT_EQ(t.rows[0][0], GetParam().first);
}

INSTANTIATE_TEST_SUITE_P(
    Guessing, CsvColumnTypeTest,
    ::testing::Values(
        TypeCase{"WholeNumbersAreLong", "12\n-3\n+4\n", 4, 4, Value::number(12)},
        TypeCase{"BlanksDoNotDecide", "\n7\n\n", 4, 4, Value::number(7)},
        TypeCase{"BeyondLongIsDouble", "2147483648\n1\n", 7, 8, Value::number(2147483648.0)},
        TypeCase{"AnyFractionMakesDouble", "1\n2.5\n", 7, 8, Value::number(1)},
        TypeCase{"ExponentIsDouble", "1e3\n", 7, 8, Value::number(1000)},
        TypeCase{"DatesAreDates", "12/31/2003\n2004-01-02\n", 8, 8, Value::date(37986)},
        TypeCase{"NumbersAndTextAreText", "1\nabc\n", 10, 255, Value::text("1")},
        TypeCase{"WordsThatLookNumericAreText", "inf\nnan\n", 10, 255, Value::text("inf")},
        TypeCase{"LongTextIsMemo", std::string(300, 'z') + "\n", 12, 0,
                 Value::text(std::string(300, 'z'))}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CsvFile, NamesMissingOrRepeatedHeadersAsTheEngineDoes) {
    TempDir dir;
    dir.write("h.csv", "a,,A,b\n1,2,3,4,5\n");
    const Table t = readLinked("Text;DATABASE=" + dir.path().string(), "h");
    ASSERT_EQ(t.fields.size(), 5u);
    EXPECT_EQ(t.fields[0].name, "a");
    EXPECT_EQ(t.fields[1].name, "F2");
    EXPECT_EQ(t.fields[2].name, "F3");
    EXPECT_EQ(t.fields[4].name, "F5");
}

TEST(CsvFile, WindowsTextIsConvertedToUtf8) {
    TempDir dir;
    dir.write("w.csv", "city\nM\xFCnchen\n");
    const Table t = readLinked("Text;DATABASE=" + dir.path().string(), "w.csv");
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0][0], Value::text("M\xC3\xBCnchen"));
}

struct BoundCase {
    const char* label;
    std::function<std::string()> text;
    const char* mentions; // a part of the 3274 error's text
};

class CsvBoundsTest : public ::testing::TestWithParam<BoundCase> {};

// Every bound ends the read as soon as it is passed, naming what passed it.
TEST_P(CsvBoundsTest, RefusesPastTheBound) {
    Table t;
    try {
        drivers::readCsvImage(GetParam().text(), "wide.csv", t);
        FAIL() << "the text was read";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_NE(std::string(e.what()).find(GetParam().mentions), std::string::npos) << e.what();
    }
    EXPECT_TRUE(t.fields.empty());
}

std::string fieldsOf(std::size_t count, const std::string& each) {
    std::string line;
    for (std::size_t i = 0; i < count; ++i)
        line += (i ? "," : "") + each;
    return line;
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, CsvBoundsTest,
    ::testing::Values(
        BoundCase{"FortyThousandColumns", [] { return fieldsOf(40000, "a") + "\n1\n"; },
                  "it has 40000 fields, more than the 2000 a table can hold"},
        BoundCase{"OneRowTooWide", [] { return "a\n1\n" + fieldsOf(2001, "1") + "\n"; },
                  "it has 2001 fields"},
        BoundCase{"QuotedFieldsTooMany", [] { return "a\n" + fieldsOf(2500, "\"1\"") + "\n"; },
                  "it has 2500 fields"},
        BoundCase{"ValuePastAMemo", [] { return "a\n" + std::string(70000, 'x') + "\n"; },
                  "the value in row 1 of field 1 is longer than 65535 characters"},
        BoundCase{"FieldPastAMemosBytes", [] { return "a\nb," + std::string(300000, 'x') + "\n"; },
                  "the field that begins at byte 4 is longer than 65535 characters"},
        BoundCase{"UnclosedQuote", [] { return "a\n\"" + std::string(300000, 'x'); },
                  "(or a quote in it is never closed)"},
        BoundCase{"RecordPastTheBound",
                  [] { return "a\n" + fieldsOf(1100, std::string(2000, 'y')) + "\n"; },
                  "the record that begins at byte 2 is longer than 2097152 bytes"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CsvFile, BlankColumnsPastWhatATableHoldsAreLayout) {
    Table t;
    drivers::readCsvImage("a" + std::string(5000, ',') + "\n1" + std::string(3000, ',') + "\n",
                          "trailing.csv", t);
    ASSERT_EQ(t.fields.size(), 1u);
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0][0], Value::number(1));
}

// UTF-16 text files: with a byte-order mark in either order, or of Latin letters without
// one (a NUL in every other byte). The W3C CSVW test files' values are Python's csv
// module's reading of them (encoding "utf-16" and "utf-16-le").
struct Utf16File {
    const char* label;
    const char* file; // under tests/data/csv
};

class CsvUtf16Test : public ::testing::TestWithParam<Utf16File> {};

TEST_P(CsvUtf16Test, ReadsAsPythonsCsvModule) {
    const Table t =
        readLinked("Text;DATABASE=" + std::string(VARNOKE_TEST_DATA) + "/csv", GetParam().file);
    ASSERT_EQ(t.fields.size(), 3u);
    EXPECT_EQ(t.fields[0].name, "test text");
    EXPECT_EQ(t.fields[1].name, "test number");
    EXPECT_EQ(t.fields[2].name, "test date");
    ASSERT_EQ(t.rows.size(), 3u);
    const std::vector<std::string> texts{"Я могу есть стекло, оно мне не вредит.",
                                         "Mý a yl dybry gwéder hag éf ny wra ow ankenya.",
                                         "\"never again\"\r\nwe said"};
    for (std::size_t r = 0; r < texts.size(); ++r)
        EXPECT_EQ(t.rows[r][0], Value::text(texts[r])) << "row " << r;
    EXPECT_EQ(t.rows[0][1], Value::number(1234.56));
    EXPECT_TRUE(t.rows[1][1].isNull());
    EXPECT_EQ(t.rows[0][2], Value::date(41681)); // 2014-02-11
}

INSTANTIATE_TEST_SUITE_P(W3c, CsvUtf16Test,
                         ::testing::Values(Utf16File{"WithAMark", "w3c_utf16_bom.csv"},
                                           Utf16File{"WithoutAMark", "w3c_utf16.csv"}),
                         [](const auto& info) { return std::string(info.param.label); });

struct Utf16Text {
    const char* label;
    std::string bytes;
    Records expected; // header and rows, as texts
};

class CsvUtf16TextTest : public ::testing::TestWithParam<Utf16Text> {};

TEST_P(CsvUtf16TextTest, IsReadAsItsCharacters) {
    Table t;
    drivers::readCsvImage(GetParam().bytes, "u.csv", t);
    Records got;
    std::vector<std::string> names;
    for (const auto& f : t.fields)
        names.push_back(f.name);
    got.push_back(names);
    for (const auto& row : t.rows) {
        std::vector<std::string> texts;
        for (const auto& v : row)
            texts.push_back(v.isNull() ? "" : v.asText());
        got.push_back(texts);
    }
    EXPECT_EQ(got, GetParam().expected);
}

// Bytes of Python's encoder ("x".encode("utf-16-be") and so on).
INSTANTIATE_TEST_SUITE_P(
    Forms, CsvUtf16TextTest,
    ::testing::Values(Utf16Text{"BigEndianWithAMark",
                                std::string("\xFE\xFF\0a\0,\0b\0\n\0x\0,\0\xE9\0\n", 18),
                                {{"a", "b"}, {"x", "é"}}},
                      Utf16Text{"BigEndianWithoutAMark",
                                std::string("\0a\0,\0b\0\n\0x\0,\0y", 14),
                                {{"a", "b"}, {"x", "y"}}},
                      // U+1F600 as a surrogate pair; a lone surrogate is U+FFFD.
                      Utf16Text{"PairsAndLoneSurrogates",
                                std::string("\xFF\xFE"
                                            "a\0\n\0=\xD8\0\xDE\n\0\0\xD8z\0",
                                            16),
                                {{"a"}, {"😀"}, {"\xEF\xBF\xBDz"}}}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
