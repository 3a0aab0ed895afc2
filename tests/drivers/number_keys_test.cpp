// Keys and names as every reader gives them: a number a double cannot hold exactly
// keeps its column as text (two 17-digit keys must never read as one number), a
// number past 32 bits is still a number, and a name generated for an unnamed field
// never takes a name the file gives.
#include "drivers/field_names.h"
#include "file_bytes.h"
#include "table_collector.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

namespace varnoke::test {
namespace {

// A dBase III table of number fields, each value right-aligned in its width.
std::string dbfOf(const std::vector<std::pair<std::string, int>>& fields,
                  const std::vector<std::vector<std::string>>& records) {
    auto u16 = [](std::string& out, std::size_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8 & 0xFF);
    };
    std::size_t recordLength = 1;
    for (const auto& f : fields)
        recordLength += static_cast<std::size_t>(f.second);
    std::string out(1, '\x03');
    out += std::string("\x7C\x01\x01", 3);
    u16(out, records.size());
    u16(out, 0);
    u16(out, 32 + 32 * fields.size() + 1);
    u16(out, recordLength);
    out.resize(32, '\0');
    for (const auto& [name, width] : fields) {
        std::string d = name;
        d.resize(11, '\0');
        d += 'N';
        d.resize(16, '\0');
        d += static_cast<char>(width);
        d.resize(32, '\0');
        out += d;
    }
    out += '\x0D';
    for (const auto& r : records) {
        out += ' ';
        for (std::size_t i = 0; i < fields.size(); ++i)
            out +=
                std::string(static_cast<std::size_t>(fields[i].second) - r[i].size(), ' ') + r[i];
    }
    return out + '\x1A';
}

const std::string kLongA = "12345678901234567";
const std::string kLongB = "12345678901234569";

struct KeyCase {
    const char* label;
    const char* prefix; // connect string before ";DATABASE="
    const char* file;
    std::function<std::string()> bytes;
};

class NumberKeysTest : public ::testing::TestWithParam<KeyCase> {};

// Every reader: field 1 holds the two 17-digit keys, field 2 the numbers 1 and 2^31,
// field 3 has no name in the file, field 4 is named "F3" by the file.
TEST_P(NumberKeysTest, LongKeysStayExactAndNamesStayUnique) {
    TempDir dir;
    spit(dir.file(GetParam().file), GetParam().bytes());
    const Table t = readLinked(std::string(GetParam().prefix) + ";DATABASE=" + dir.path().string(),
                               GetParam().file);
    ASSERT_EQ(t.fields.size(), 4u);
    EXPECT_EQ(t.fields[0].name, "Key");
    EXPECT_EQ(t.fields[0].type, 10);
    EXPECT_EQ(t.fields[1].type, 7);
    EXPECT_EQ(t.fields[2].name, "F3_2");
    EXPECT_EQ(t.fields[3].name, "F3");
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0][0], Value::text(kLongA));
    EXPECT_EQ(t.rows[1][0], Value::text(kLongB));
    EXPECT_EQ(t.rows[1][1], Value::number(2147483648.0));
}

INSTANTIATE_TEST_SUITE_P(
    Readers, NumberKeysTest,
    ::testing::Values(KeyCase{"Csv", "Text", "keys.csv",
                              [] {
                                  return "Key,Small,,F3\n" + kLongA + ",1,5,6\n" + kLongB +
                                         ",2147483648,7,8\n";
                              }},
                      KeyCase{"Html", "HTML Import", "keys.html",
                              [] {
                                  return "<table><tr><th>Key<th>Small<th><th>F3"
                                         "<tr><td>" +
                                         kLongA + "<td>1<td>5<td>6<tr><td>" + kLongB +
                                         "<td>2147483648<td>7<td>8</table>";
                              }},
                      KeyCase{"DBase", "dBase IV", "keys.dbf",
                              [] {
                                  return dbfOf(
                                      {{"Key", 20}, {"Small", 11}, {"", 3}, {"F3", 3}},
                                      {{kLongA, "1", "5", "6"}, {kLongB, "2147483648", "7", "8"}});
                              }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(NumberKeys, AColumnOfNumbersADoubleHoldsStaysANumber) {
    TempDir dir;
    dir.write("k.csv", "Key\n9007199254740991\n-9007199254740991\n");
    const Table t = readLinked("Text;DATABASE=" + dir.path().string(), "k.csv");
    ASSERT_EQ(t.fields.size(), 1u);
    EXPECT_EQ(t.fields[0].type, 7);
    EXPECT_EQ(t.rows[1][0], Value::number(-9007199254740991.0));
}

struct NamesCase {
    const char* label;
    std::vector<std::string> given;
    std::vector<std::string> expected;
};

class UniqueNamesTest : public ::testing::TestWithParam<NamesCase> {};

TEST_P(UniqueNamesTest, EveryFieldNamedOnce) {
    std::vector<ForeignField> fields;
    for (const auto& name : GetParam().given)
        fields.push_back({name, 10, 255});
    drivers::makeNamesUnique(fields);
    std::vector<std::string> names;
    for (const auto& f : fields)
        names.push_back(f.name);
    EXPECT_EQ(names, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, UniqueNamesTest,
    ::testing::Values(
        NamesCase{"EmptyGetsItsPosition", {"a", "", "b"}, {"a", "F2", "b"}},
        NamesCase{"RepeatIgnoringCaseIsRenamed", {"Name", "NAME"}, {"Name", "F2"}},
        NamesCase{"GeneratedYieldsToARealNameAfterIt", {"", "F1"}, {"F1_2", "F1"}},
        NamesCase{"GeneratedYieldsToARealNameBeforeIt", {"f2", ""}, {"f2", "F2_2"}},
        NamesCase{"GeneratedSuffixesSkipTakenOnes", {"F1_2", "", "F1"}, {"F1_2", "F2", "F1"}},
        NamesCase{"SuffixTakenToo", {"", "F1", "F1_2"}, {"F1_3", "F1", "F1_2"}}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
