// Keys and names as every reader gives them: a number a double cannot hold exactly
// keeps its column as text (two 17-digit keys must never read as one number), a
// number past 32 bits is still a number, and a name generated for an unnamed field
// never takes a name the file gives.
#include "drivers/field_names.h"
#include "file_bytes.h"
#include "table_collector.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <variant>

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

void putBigEndian(std::string& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
}

struct ParadoxField {
    std::string name;
    std::uint8_t type;     // 0x04 long, 0x06 number, 0x17 BCD
    std::uint8_t sizeByte; // the width, or a BCD field's decimals
};

// A Paradox 3 table of one data block, its records given as stored bytes.
std::string paradoxOf(const std::vector<ParadoxField>& fields,
                      const std::vector<std::string>& records) {
    constexpr std::size_t kHeaderSize = 2048, kBlockSize = 1024;
    std::size_t recordSize = 0;
    for (const auto& f : fields)
        recordSize += f.type == 0x17 ? 17 : f.sizeByte;
    std::string out(kHeaderSize, '\0');
    auto put16 = [&](std::size_t at, std::size_t v) {
        out[at] = static_cast<char>(v & 0xFF);
        out[at + 1] = static_cast<char>(v >> 8 & 0xFF);
    };
    put16(0x00, recordSize);
    put16(0x02, kHeaderSize);
    out[0x05] = 1; // block size in KB
    put16(0x06, records.size());
    put16(0x0C, 1); // blocks used
    put16(0x0E, 1); // first block
    put16(0x21, fields.size());
    out[0x39] = 3; // version 3.0
    std::size_t at = 0x58;
    for (const auto& f : fields) {
        out[at++] = static_cast<char>(f.type);
        out[at++] = static_cast<char>(f.sizeByte);
    }
    at += 4 + 4 * fields.size() + 79;
    for (const auto& f : fields) {
        out.replace(at, f.name.size(), f.name);
        at += f.name.size() + 1;
    }
    std::string block(4, '\0'); // no next block, no previous one
    const std::size_t lastOffset = (records.size() - 1) * recordSize;
    block += static_cast<char>(lastOffset & 0xFF);
    block += static_cast<char>(lastOffset >> 8 & 0xFF);
    for (const auto& r : records)
        block += r;
    block.resize(kBlockSize, '\0');
    return out + block;
}

std::string paradoxLong(std::int32_t v) {
    std::string out;
    putBigEndian(out, static_cast<std::uint32_t>(v) ^ 0x80000000u, 4);
    return out;
}

std::string paradoxNumber(double v) { // not negative
    std::string out;
    putBigEndian(out, std::bit_cast<std::uint64_t>(v) | std::uint64_t{1} << 63, 8);
    return out;
}

// Not negative: the sign bit set, the decimals, then 32 digits a nibble each.
std::string paradoxBcd(const std::string& digits, int decimals) {
    const std::string all = std::string(32 - digits.size(), '0') + digits;
    std::string out(1, static_cast<char>(0x80 | decimals));
    for (std::size_t i = 0; i < 32; i += 2)
        out += static_cast<char>((all[i] - '0') << 4 | (all[i + 1] - '0'));
    return out;
}

// A 1-2-3 Release 4 worksheet: labels and numbers on the first sheet.
struct LotusCell {
    int row, column;
    std::variant<std::string, std::uint64_t> content;
};

std::string wk4Of(const std::vector<LotusCell>& cells) {
    auto record = [](std::uint16_t type, const std::string& data) {
        std::string r;
        for (std::size_t v : {std::size_t{type}, data.size()}) {
            r += static_cast<char>(v & 0xFF);
            r += static_cast<char>(v >> 8 & 0xFF);
        }
        return r + data;
    };
    std::string out = record(0x0000, std::string("\x03\x10", 2) + std::string(24, '\0'));
    for (const auto& c : cells) {
        std::string data{static_cast<char>(c.row & 0xFF), static_cast<char>(c.row >> 8), '\0',
                         static_cast<char>(c.column)};
        if (const auto* label = std::get_if<std::string>(&c.content)) {
            out += record(0x0016, data + "'" + *label + std::string(1, '\0'));
            continue;
        }
        // An 80-bit extended real holds every 64-bit whole number exactly.
        const std::uint64_t n = std::get<std::uint64_t>(c.content);
        const int top = 63 - std::countl_zero(n);
        const std::uint64_t mantissa = n << (63 - top);
        for (int i = 0; i < 8; ++i)
            data += static_cast<char>(mantissa >> (8 * i) & 0xFF);
        const int exponent = 16383 + top;
        data += static_cast<char>(exponent & 0xFF);
        data += static_cast<char>(exponent >> 8);
        out += record(0x0017, data);
    }
    return out + record(0x0001, "");
}

// Overwrites the only occurrence of from in bytes with to, of the same length.
std::string replaced(std::string bytes, const std::string& from, const std::string& to) {
    const auto at = bytes.find(from);
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(bytes.find(from, at + 1), std::string::npos);
    return at == std::string::npos ? bytes : bytes.replace(at, to.size(), to);
}

std::string littleEndian(std::uint64_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
}

const std::string kData = VARNOKE_TEST_DATA;

// DateTestDatabase.mdb with its first column made a decimal column of 28 digits that
// holds keys (17 bytes over the long and date behind it, those two columns made yes/no
// columns, whose values live in the null mask, so that no fixed bytes are shared), and
// its fourth a currency column that holds amounts in ten-thousandths (over its date):
// the table definition's column entries and the six records of its one data page are
// written over.
std::string jetWith(const std::vector<std::uint64_t>& keys,
                    const std::vector<std::int64_t>& amounts) {
    std::string bytes = slurp(kData + "/mdb/DateTestDatabase.mdb");
    constexpr std::size_t kPage = 4096, kDefinition = 18 * kPage, kRows = 20 * kPage;
    constexpr std::size_t kIdColumn = kDefinition + 63, kTimeColumn = kDefinition + 138;
    bytes[kIdColumn] = 0x10;                                      // decimal
    bytes[kIdColumn + 25] = bytes[kIdColumn + 50] = 0x01;         // yes/no
    bytes.replace(kIdColumn + 11, 2, std::string("\x1C\x00", 2)); // precision, scale
    bytes.replace(kIdColumn + 23, 2, std::string("\x11\x00", 2)); // 17 bytes
    bytes[kTimeColumn] = 0x05;                                    // currency
    for (std::size_t r = 0; r < keys.size(); ++r) {
        const std::size_t record =
            kRows + (static_cast<unsigned char>(bytes[kRows + 14 + 2 * r]) |
                     (static_cast<unsigned char>(bytes[kRows + 15 + 2 * r]) & 0x1F) << 8);
        // A sign byte, then four 32-bit words, the most significant first.
        const std::string decimal = std::string(9, '\0') + littleEndian(keys[r] >> 32, 4) +
                                    littleEndian(keys[r] & 0xFFFFFFFF, 4);
        bytes.replace(record + 2, 17, decimal);
        bytes.replace(record + 22, 8, littleEndian(static_cast<std::uint64_t>(amounts[r]), 8));
    }
    return bytes;
}

std::vector<std::pair<std::string, int>> jetFields(int keyType) {
    return {{"IDCol", keyType}, {"DateTimeCol", 1},  {"DateCol", 1},
            {"TimeCol", 5},     {"LongTextCol", 12}, {"ShortTextCol", 10}};
}
const std::string kLongA = "12345678901234567";
const std::string kLongB = "12345678901234569";
constexpr std::uint64_t kLongANumber = 12345678901234567, kLongBNumber = 12345678901234569;

struct Cell {
    std::size_t row, column;
    Value value;
};

struct KeyCase {
    const char* label;
    const char* prefix;                              // connect string before ";DATABASE="
    std::vector<std::string> files;                  // the table's file first, then its companions
    std::function<std::vector<std::string>()> bytes; // one a file
    bool databaseIsFile; // a workbook or worksheet names the file itself
    std::vector<std::pair<std::string, int>> fields; // names, and types (-1: not checked)
    std::size_t rows;
    std::vector<Cell> cells;
};

// Field 1 holds the two 17-digit keys, field 2 the numbers 1 and 2^31, field 3 has no
// name in the file, field 4 is named "F3" by the file.
std::vector<std::pair<std::string, int>> keyFields(int third = -1) {
    return {{"Key", 10}, {"Small", 7}, {"F3_2", third}, {"F3", third}};
}
const std::vector<Cell> kKeyCells{{0, 0, Value::text(kLongA)}, {1, 0, Value::text(kLongB)},
                                  {0, 1, Value::number(1)},    {1, 1, Value::number(2147483648.0)},
                                  {0, 2, Value::number(5)},    {1, 3, Value::number(8)}};

class NumberKeysTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(NumberKeysTest, NumbersComeBackExactAndNamesStayUnique) {
    const auto& c = GetParam();
    TempDir dir;
    const auto bytes = c.bytes();
    ASSERT_EQ(bytes.size(), c.files.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        spit(dir.file(c.files[i]), bytes[i]);
    const std::string database = c.databaseIsFile ? dir.file(c.files[0]) : dir.path().string();
    const Table t = readLinked(std::string(c.prefix) + ";DATABASE=" + database, c.files[0]);
    ASSERT_EQ(t.fields.size(), c.fields.size());
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
        EXPECT_EQ(t.fields[i].name, c.fields[i].first) << "field " << i;
        if (c.fields[i].second >= 0) {
            EXPECT_EQ(t.fields[i].type, c.fields[i].second) << "field " << i;
        }
    }
    ASSERT_EQ(t.rows.size(), c.rows);
    for (const auto& cell : c.cells)
        EXPECT_EQ(t.rows[cell.row][cell.column], cell.value)
            << "row " << cell.row << " column " << cell.column;
}

INSTANTIATE_TEST_SUITE_P(
    Readers, NumberKeysTest,
    ::testing::Values(
        KeyCase{"Csv",
                "Text",
                {"keys.csv"},
                [] {
                    return std::vector{"Key,Small,,F3\n" + kLongA + ",1,5,6\n" + kLongB +
                                       ",2147483648,7,8\n"};
                },
                false,
                keyFields(4),
                2,
                kKeyCells},
        KeyCase{"Html",
                "HTML Import",
                {"keys.html"},
                [] {
                    return std::vector{"<table><tr><th>Key<th>Small<th><th>F3"
                                       "<tr><td>" +
                                       kLongA + "<td>1<td>5<td>6<tr><td>" + kLongB +
                                       "<td>2147483648<td>7<td>8</table>"};
                },
                false,
                keyFields(4),
                2,
                kKeyCells},
        KeyCase{"DBase",
                "dBase IV",
                {"keys.dbf"},
                [] {
                    return std::vector{
                        dbfOf({{"Key", 20}, {"Small", 11}, {"", 3}, {"F3", 3}},
                              {{kLongA, "1", "5", "6"}, {kLongB, "2147483648", "7", "8"}})};
                },
                false,
                keyFields(),
                2,
                kKeyCells},
        // BCD keys: a number field of the file holds 2^31.
        KeyCase{"Paradox",
                "Paradox 5.X",
                {"keys.db"},
                [] {
                    return std::vector{paradoxOf(
                        {{"Key", 0x17, 0}, {"Small", 0x06, 8}, {"", 0x04, 4}, {"F3", 0x04, 4}},
                        {paradoxBcd(kLongA, 0) + paradoxNumber(1) + paradoxLong(5) + paradoxLong(6),
                         paradoxBcd(kLongB, 0) + paradoxNumber(2147483648.0) + paradoxLong(7) +
                             paradoxLong(8)})};
                },
                false,
                keyFields(4),
                2,
                kKeyCells},
        // BCD numbers a double holds stay numbers; 2^31 - 1 is the largest long.
        KeyCase{"ParadoxShortBcdAndLongestLong",
                "Paradox 5.X",
                {"fit.db"},
                [] {
                    return std::vector{
                        paradoxOf({{"Amount", 0x17, 2}, {"Id", 0x04, 4}},
                                  {paradoxBcd("900719925474099", 2) + paradoxLong(2147483647),
                                   paradoxBcd("1250", 2) + paradoxLong(-2147483647)})};
                },
                false,
                {{"Amount", 7}, {"Id", 4}},
                2,
                {{0, 0, Value::number(9007199254740.99)},
                 {1, 0, Value::number(12.5)},
                 {0, 1, Value::number(2147483647)},
                 {1, 1, Value::number(-2147483647)}}},
        KeyCase{"LotusWk4",
                "Lotus WK4",
                {"keys.wk4"},
                [] {
                    return std::vector{wk4Of({{0, 0, "Key"},
                                              {0, 1, "Small"},
                                              {0, 3, "F3"},
                                              {1, 0, kLongANumber},
                                              {1, 1, std::uint64_t{1}},
                                              {1, 2, std::uint64_t{5}},
                                              {1, 3, std::uint64_t{6}},
                                              {2, 0, kLongBNumber},
                                              {2, 1, std::uint64_t{2147483648}},
                                              {2, 2, std::uint64_t{7}},
                                              {2, 3, std::uint64_t{8}}})};
                },
                true,
                keyFields(7),
                2,
                kKeyCells},
        // A workbook keeps doubles: 2^31 and 2^53 + 2 come back as stored.
        KeyCase{"Excel",
                "Excel 5.0",
                {"keys.xls"},
                [] {
                    std::string bytes = slurp(kData + "/xls/small95.xls");
                    // The RK number 3 of row 1 becomes the RK double 2^31.
                    bytes = replaced(bytes, std::string("\x7E\x02\x0A\x00\x01\x00\x01\x00", 8),
                                     std::string("\x7E\x02\x0A\x00\x01\x00\x01\x00\x15\x00"
                                                 "\x00\x00\xE0\x41",
                                                 14));
                    bytes =
                        replaced(bytes, littleEndian(std::bit_cast<std::uint64_t>(-1.5), 8),
                                 littleEndian(std::bit_cast<std::uint64_t>(9007199254740994.0), 8));
                    return std::vector{bytes};
                },
                true,
                {{"Name", 10}, {"Qty", 7}, {"Day", 8}},
                3,
                {{0, 1, Value::number(2147483648.0)}, {1, 1, Value::number(9007199254740994.0)}}},
        // Decimal keys past 2^53 make the column text; currency keeps its last digit.
        KeyCase{"Jet",
                "JetTable",
                {"keys.mdb"},
                [] {
                    return std::vector{jetWith({kLongANumber, kLongBNumber, 3, 4, 5, 6},
                                               {9007199254740993, -9007199254740993, 1, 2, 3, 4})};
                },
                true,
                jetFields(10),
                6,
                {{0, 0, Value::text(kLongA)},
                 {1, 0, Value::text(kLongB)},
                 {2, 0, Value::text("3")},
                 {0, 3, Value::currency(Currency{9007199254740993})},
                 {1, 3, Value::currency(Currency{-9007199254740993})},
                 {5, 5, Value::text("No new line")}}},
        KeyCase{"JetDecimalsADoubleHolds",
                "JetTable",
                {"fit.mdb"},
                [] {
                    return std::vector{
                        jetWith({9007199254740991, 2147483648, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6})};
                },
                true,
                jetFields(7),
                6,
                {{0, 0, Value::number(9007199254740991.0)},
                 {1, 0, Value::number(2147483648.0)},
                 {5, 3, Value::currency(Currency{6})}}},
        // A currency past 2^53 ten-thousandths keeps its last digit.
        KeyCase{"FoxProCurrency",
                "FoxPro 3.0",
                {"vfp_all.dbf", "vfp_all.fpt"},
                [] {
                    return std::vector{replaced(slurp(kData + "/dbf/vfp_all.dbf"),
                                                littleEndian(199899, 8),
                                                littleEndian(9007199254740993, 8)),
                                       slurp(kData + "/dbf/vfp_all.fpt")};
                },
                false,
                {{"NAME", 10},
                 {"QTY", 4},
                 {"PRICE", 5},
                 {"WEIGHT", 7},
                 {"SEEN", 8},
                 {"BORN", 8},
                 {"OK", 1},
                 {"NOTES", 12},
                 {"AMOUNT", 7}},
                3,
                {{0, 2, Value::currency(Currency{9007199254740993})}}}),
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
