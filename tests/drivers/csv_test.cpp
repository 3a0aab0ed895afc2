// Comma-delimited text: the splitting rules and how a column's values decide its type.
#include "drivers/csv_reader.h"
#include "table_collector.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace varnoke::test
