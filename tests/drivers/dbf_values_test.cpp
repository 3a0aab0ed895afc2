// Small dBase and FoxPro tables built byte by byte, each holding one shape writers are
// known to write (or one no sound writer writes): how its fields arrive, what its
// values read as, or that it is refused naming the file, the record and the field.
#include "table_collector.h"

#include "drivers/dbf_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace varnoke::test {
namespace {

struct FieldSpec {
    std::string name;
    char type;
    unsigned char length;
    unsigned char decimals = 0;
    unsigned char flags = 0;
};

// A table of the given version and language-driver byte whose records are the given
// texts (each without its deletion flag); the record length is the fields' lengths and
// the flag unless told.
std::string tableBytes(unsigned char version, unsigned char mark,
                       const std::vector<FieldSpec>& fields,
                       const std::vector<std::string>& records,
                       std::optional<unsigned> recordLength = std::nullopt) {
    const bool vfp = version >= 0x30 && version <= 0x32;
    unsigned length = 1;
    for (const auto& f : fields)
        length += f.length;
    length = recordLength.value_or(length);
    const unsigned header = static_cast<unsigned>(32 + 32 * fields.size() + 1 + (vfp ? 263 : 0));
    std::string b(32, '\0');
    b[0] = static_cast<char>(version);
    b[4] = static_cast<char>(records.size());
    b[8] = static_cast<char>(header & 0xFF);
    b[9] = static_cast<char>(header >> 8);
    b[10] = static_cast<char>(length & 0xFF);
    b[11] = static_cast<char>(length >> 8);
    b[29] = static_cast<char>(mark);
    for (const auto& f : fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        d[17] = static_cast<char>(f.decimals);
        d[18] = static_cast<char>(f.flags);
        b += d;
    }
    b += '\r';
    if (vfp) b += std::string(263, '\0');
    for (const auto& r : records)
        b += ' ' + r;
    return b + '\x1A';
}

Table read(const std::string& bytes, std::optional<std::string> cpg = std::nullopt) {
    Table table;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    drivers::readDbfImage({{data, bytes.size()}, std::nullopt, "made.dbf", "", {}, std::move(cpg)},
                          table);
    return table;
}

std::string le(std::uint64_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
}

// --- How fields arrive ---

struct FieldCase {
    const char* label;
    std::string table;
    int type; // of the first field
    int size;
    Value first; // its value in the first record
};

void PrintTo(const FieldCase& c, std::ostream* out) {
    *out << c.label;
}

const std::string kLong300 = std::string(299, 'x') + "y";

std::vector<FieldCase> fieldCases() {
    return {
        // Clipper keeps a long character field's high length byte where numbers keep
        // their decimals; the record length says so.
        {"ClipperLongText", tableBytes(0x03, 0, {{"NOTE", 'C', 44, 1}}, {kLong300}, 301), 12, 0,
         Value::text(kLong300)},
        // A spreadsheet program leaves a nonzero byte there on a short field.
        {"DecimalsOnAShortText", tableBytes(0x03, 0, {{"NAME", 'C', 10, 2}}, {"Ann       "}), 10,
         10, Value::text("Ann")},
        {"VisualFoxProDouble", tableBytes(0x30, 3, {{"D", 'O', 8}}, {le(0x400C000000000000, 8)}), 7,
         8, Value::number(3.5)},
        {"AutoIncrement", tableBytes(0x30, 3, {{"ID", '+', 4}}, {le(0xFFFFFFFE, 4)}), 4, 4,
         Value::number(-2)},
        {"Timestamp", tableBytes(0x30, 3, {{"AT", '@', 8}}, {le(2415021, 4) + le(43200000, 4)}), 8,
         8, Value::date(2.5)},
        // A varchar flagged binary is text no code page translates.
        {"BinaryVarchar",
         tableBytes(0x32, 3, {{"V", 'V', 6, 0, 0x04}, {"_NullFlags", '0', 1, 0, 0x05}},
                    {std::string("abc\0\0\x03\x01", 7)}),
         10, 6, Value::text("abc")},
        {"ThousandsWithAPoint", tableBytes(0x03, 0, {{"N", 'N', 10, 2}}, {"  1,200.00"}), 7, 8,
         Value::number(1200)},
        {"DecimalComma", tableBytes(0x03, 0, {{"N", 'N', 6, 1}}, {"   1,5"}), 7, 8,
         Value::number(1.5)},
        {"StarsOfAWideNumber", tableBytes(0x03, 0, {{"N", 'N', 4}}, {"****"}), 7, 8, Value::null()},
        // Visual FoxPro's reserved byte 15 set is no password.
        {"VisualFoxProByte15",
         [] {
             auto t = tableBytes(0x30, 3, {{"A", 'C', 2}}, {"ok"});
             t[15] = 1;
             return t;
         }(),
         10, 2, Value::text("ok")},
    };
}

class DbfFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(DbfFields, ArriveAsTheirTypeWithTheirValue) {
    const auto& c = GetParam();
    const Table table = read(c.table);
    ASSERT_FALSE(table.fields.empty());
    EXPECT_EQ(table.fields[0].type, c.type);
    EXPECT_EQ(table.fields[0].size, c.size);
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0][0], c.first);
}

INSTANTIATE_TEST_SUITE_P(Shapes, DbfFields, ::testing::ValuesIn(fieldCases()),
                         [](const auto& info) { return std::string(info.param.label); });

// --- Text, by the table's marks or the written rule ---

struct TextCase {
    const char* label;
    unsigned char mark;
    std::optional<std::string> cpg;
    std::string bytes; // of one character field
    std::string utf8;  // what it reads as
};

void PrintTo(const TextCase& c, std::ostream* out) {
    *out << c.label;
}

const TextCase kTexts[] = {
    {"UnmarkedUtf8", 0, std::nullopt, "Gr\xC3\xBC\xC3\x9F", "Grüß"},
    // Not UTF-8: windows-1252, its unassigned bytes kept as C1 controls.
    {"UnmarkedOther", 0, std::nullopt, "\x8F\x81\xE9", "\xC2\x8F\xC2\x81\xC3\xA9"},
    {"CpgUtf8", 0x57, std::string("UTF-8\r\n"), "\xD0\x96", "Ж"},
    {"CpgAnsi1250", 0, std::string("ANSI 1250"), "\xB9\x9C", "ąś"},
    {"Cpg1251", 0, std::string("1251"), "\xC6", "Ж"},
    {"Cpg88591", 0, std::string("88591"), "\x80\xE9", "\xC2\x80\xC3\xA9"},
    {"MarkCp866", 0x65, std::nullopt, "\x86", "Ж"},
    {"MarkMazovia", 0x69, std::nullopt, "\x86\x98", "ąŚ"},
    {"MarkWindows1252Gap", 0x03, std::nullopt, "\x81\x80", "\xC2\x81€"},
};

class DbfText : public ::testing::TestWithParam<TextCase> {};

TEST_P(DbfText, ReadsInTheCodePageTheMarksName) {
    const auto& c = GetParam();
    const auto field = static_cast<unsigned char>(c.bytes.size());
    const Table table = read(tableBytes(0x03, c.mark, {{"T", 'C', field}}, {c.bytes}), c.cpg);
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0][0], Value::text(c.utf8));
}

INSTANTIATE_TEST_SUITE_P(Marks, DbfText, ::testing::ValuesIn(kTexts),
                         [](const auto& info) { return std::string(info.param.label); });

// --- Refused, naming what cannot be read ---

struct RefusedCase {
    const char* label;
    std::string table;
    int error;
    const char* words;
};

void PrintTo(const RefusedCase& c, std::ostream* out) {
    *out << c.label;
}

std::vector<RefusedCase> refusedCases() {
    return {
        {"AmbiguousComma", tableBytes(0x03, 0, {{"PRICE", 'N', 6}}, {"    12", " 1,200"}), 3274,
         "record 2, field 'PRICE' holds '1,200', which is not a number"},
        {"WordsInANumber", tableBytes(0x03, 0, {{"PRICE", 'N', 6}}, {"  n/a "}), 3274,
         "record 1, field 'PRICE'"},
        {"DBaseIVPassword",
         [] {
             auto t = tableBytes(0x8B, 0, {{"A", 'C', 2}}, {"ok"});
             t[15] = 1;
             return t;
         }(),
         3051, "protected by a password"},
        {"DBaseII", std::string("\x02\x01\x00\x00\x00\x00\x03\x00", 8) + std::string(600, '\0'),
         3274, "dBase II tables are not read"},
        // Neither reading of the decimal byte agrees with the record length.
        {"LengthsAgainstTheRecord", tableBytes(0x03, 0, {{"A", 'C', 4, 1}}, {"abcd"}, 7), 3274,
         "disagrees with its fields' lengths"},
    };
}

class DbfRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(DbfRefused, NamesTheFileAndWhatIsWrong) {
    const auto& c = GetParam();
    try {
        read(c.table);
        ADD_FAILURE() << "it linked";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), c.error);
        EXPECT_NE(std::string(e.what()).find("made.dbf"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, DbfRefused, ::testing::ValuesIn(refusedCases()),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
