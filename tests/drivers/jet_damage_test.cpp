// Damage to a Jet database at the places libmdb reads without a doubt: memo pointers and
// chains of long values, the table definition, the usage map, the row table, a record's
// null mask and counts, its texts, dates, the file's length. Each damaged
// copy, read as a link reads it, must give the sound file's rows or end in 3274.
#include "file_bytes.h"
#include "table_collector.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <tuple>

namespace varnoke::test {
namespace {

const std::string kData = std::string(VARNOKE_TEST_DATA) + "/mdb/";
constexpr std::size_t kPage = 4096;

// DateTestDatabase.mdb (Jet 4): the catalog's definition on page 2 and its rows on
// page 17; the table DateTest's definition on page 18 (63 bytes of head, then six
// column entries of 25 bytes: the type at 0, the column's number at 5, its place in
// the var table at 7, the flags at 15, the fixed offset at 21, the size at 23; then
// the names); its usage map is row 0 of page 19; its six rows on page 20. The sixth
// record starts at 3593 in its page, its memo's 12-byte header 30 bytes further.
constexpr std::size_t kHeader = 12;
constexpr std::size_t kDefinition = 18 * kPage, kUsageMap = 19 * kPage + 4027, kData20 = 20 * kPage,
                      kMemo = kData20 + 3593 + 30;
constexpr std::size_t column(int i) {
    return kDefinition + 63 + 25 * std::size_t(i);
}
enum Col { IdCol, DateTimeCol, DateCol, TimeCol, LongTextCol, ShortTextCol };

using Edit = std::function<void(std::string&)>;

Edit put(std::size_t at, std::string bytes) {
    return [=](std::string& file) { file.replace(at, bytes.size(), bytes); };
}
Edit put16(std::size_t at, std::uint16_t v) {
    return put(at, {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)});
}
Edit put32(std::size_t at, std::uint32_t v) {
    return put(at, {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                    static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24)});
}
Edit putDouble(std::size_t at, double v) {
    std::string bytes(sizeof v, '\0');
    std::memcpy(bytes.data(), &v, sizeof v);
    return put(at, bytes);
}
// A memo header: its length, flag and the long value's page and row.
Edit memo(std::uint32_t length, std::uint8_t flag, std::uint32_t page, std::uint8_t row) {
    return [=](std::string& file) {
        put32(kMemo, length | std::uint32_t{flag} << 24)(file);
        put32(kMemo + 4, page << 8 | row)(file);
    };
}
Edit cutTo(std::size_t bytes) {
    return [=](std::string& file) { file.resize(bytes); };
}
Edit append(std::string bytes) {
    return [=](std::string& file) { file += bytes; };
}
Edit appendPage(std::size_t page) {
    return [=](std::string& file) { file += file.substr(page * kPage, kPage); };
}

enum class Ends {
    InRows,
    InOtherValues, // as many rows and the same fields, a value changed
    // Fewer rows, the same fields: damage consistent with itself, which a sound file's
    // shapes cannot tell apart (a usage map that names no page, as an empty table's).
    InFewerRows,
    In3274,
    In3274NamingTheTable, // the one table of its file
};

// test2_v2000.mdb (Jet 4) and test2_v1997.mdb (Jet 3): the one record of MSP_PROJECTS,
// whose RESERVED_BINARY_DATA (22,970 bytes) runs in a chain of long-value rows, each
// row 0 of its page, whose first 4 bytes name the next. Jet 4: the chain is pages 53 to
// 58, each row starting at 20 (the last at 1482); the record is row 0 of page 60, its
// PROJ_INFO_CURRENT_DATE at 3758 in the page. Jet 3: pages 37 to 48, each row at 12;
// the record is row 0 of page 50 (its offset at 10), the date at 1771.
constexpr const char* kJet4Chain = "test2_v2000.mdb";
constexpr const char* kJet3Chain = "test2_v1997.mdb";
constexpr std::size_t kJet3Page = 2048;
constexpr std::size_t jet4Link(std::size_t page) {
    return page * kPage + 20;
}
constexpr std::size_t jet3Link(std::size_t page) {
    return page * kJet3Page + 12;
}
constexpr std::uint32_t row0(std::uint32_t page) {
    return page << 8;
}
// The record's 12-byte header of RESERVED_BINARY_DATA, a chain from row 0 of page 53
// (Jet 4) or 37 (Jet 3); the Jet 3 table's definition on page 29, its 74 columns
// counted at 25, the first column's entry at 59 (18 bytes, the flags at 13).
constexpr std::size_t kJet4ChainHeader = 60 * kPage + 4026,
                      kJet3ChainHeader = 50 * kJet3Page + 2001;
constexpr std::size_t kJet3Definition = 29 * kJet3Page;
constexpr std::uint32_t kChainLength = 22970;

// Moves a row's start, as its row table gives it, by one byte.
Edit rowStartMovedByOne(std::size_t slot) {
    return [=](std::string& file) {
        const auto offset =
            static_cast<std::uint16_t>(static_cast<unsigned char>(file[slot]) |
                                       static_cast<unsigned char>(file[slot + 1]) << 8);
        put16(slot, static_cast<std::uint16_t>(offset + 1))(file);
    };
}

std::string tableOf(const std::string& file) {
    return file.starts_with("test2_") ? "MSP_PROJECTS" : "DateTest";
}

struct Damage {
    const char* label;
    const char* file;
    Edit edit;
    Ends ends;
};

// A field's size matters as much as its values: a text read into a field too small
// for it fails later, as if the user's data were at fault.
std::vector<std::tuple<std::string, int, int>> fieldsOf(const Table& table) {
    std::vector<std::tuple<std::string, int, int>> fields;
    for (const auto& f : table.fields)
        fields.emplace_back(f.name, f.type, f.size);
    return fields;
}

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.label;
}

class JetDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(JetDamage, GivesTheSoundRowsOr3274) {
    const auto& damage = GetParam();
    const std::string sound = kData + damage.file;
    std::string bytes = slurp(sound);
    ASSERT_FALSE(bytes.empty());
    damage.edit(bytes);
    TempDir dir;
    const std::string path = dir.file(damage.file);
    spit(path, bytes);
    try {
        const auto table = readLinked("JetTable;DATABASE=" + path, "");
        const bool read = damage.ends == Ends::InRows || damage.ends == Ends::InOtherValues ||
                          damage.ends == Ends::InFewerRows;
        EXPECT_TRUE(read) << "read " << table.rows.size() << " rows";
        const auto whole = readLinked("JetTable;DATABASE=" + sound, "");
        EXPECT_EQ(fieldsOf(table), fieldsOf(whole));
        if (damage.ends == Ends::InFewerRows) {
            EXPECT_LT(table.rows.size(), whole.rows.size());
        } else if (damage.ends == Ends::InOtherValues) {
            EXPECT_EQ(table.rows.size(), whole.rows.size());
            EXPECT_NE(table.rows, whole.rows);
        } else {
            EXPECT_EQ(table.rows, whole.rows);
        }
    } catch (const EngineError& e) {
        EXPECT_TRUE(damage.ends == Ends::In3274 || damage.ends == Ends::In3274NamingTheTable)
            << e.what();
        EXPECT_EQ(e.number(), 3274) << e.what();
        EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
        if (damage.ends == Ends::In3274NamingTheTable) {
            EXPECT_NE(std::string(e.what()).find("the table '" + tableOf(damage.file) + "'"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_TRUE(std::string(e.what()).starts_with("The file '" + std::string(damage.file) +
                                                      "' is not in the expected format: "))
            << e.what();
    }
}

constexpr const char* kDates = "DateTestDatabase.mdb";
constexpr auto Rows = Ends::InRows, Changed = Ends::InOtherValues, Fewer = Ends::InFewerRows,
               Damaged = Ends::In3274, OfTable = Ends::In3274NamingTheTable;

INSTANTIATE_TEST_SUITE_P(
    MemoPointer, JetDamage,
    ::testing::Values(
        Damage{"OnePagePastTheEnd", kDates, memo(20, 0x40, 200, 0), OfTable},
        Damage{"OnePageOnPageZero", kDates, memo(20, 0x40, 0, 0), OfTable},
        Damage{"OnePageRowPastItsCount", kDates, memo(20, 0x40, 23, 5), OfTable},
        Damage{"OnePageOnADataPage", kDates, memo(20, 0x40, 20, 0), OfTable},
        Damage{"OnePageOnADeletedRow", kDates, memo(20, 0x40, 31, 0), OfTable},
        Damage{"OnePageRowTooShort", kDates, memo(2000, 0x40, 31, 14), OfTable},
        Damage{"ChainPastTheEnd", kDates, memo(20, 0x00, 5000, 0), OfTable},
        Damage{"ChainOnAnIndexPage", kDates, memo(20, 0x00, 7, 0), OfTable},
        Damage{"ChainOnADeletedRow", kDates, memo(20, 0x00, 37, 1), OfTable},
        Damage{"FlagTwenty", kDates, memo(20, 0x20, 0, 0), OfTable},
        Damage{"FlagC0", kDates, memo(20, 0xC0, 0, 0), OfTable},
        Damage{"FlagFF", kDates, memo(20, 0xFF, 0, 0), OfTable},
        Damage{"InlineLongerThanItsPlace", kDates, memo(200, 0x80, 0, 0), OfTable},
        Damage{"InlineShorterThanItsPlace", kDates, memo(0, 0x80, 0, 0), OfTable},
        Damage{"HeaderCutByTheVarTable", kDates, put16(kData20 + 3670, 36), OfTable},
        // A chain that comes back to a row adds up to any length.
        Damage{"ChainLoopsToItself", kJet4Chain, put32(jet4Link(53), row0(53)), OfTable},
        Damage{"ChainLoopsBackToTheFirst", kJet4Chain, put32(jet4Link(54), row0(53)), OfTable},
        Damage{"ChainGoesOnPastItsLength", kJet4Chain, put32(58 * kPage + 1482, row0(53)), OfTable},
        Damage{"ChainCutShort", kJet4Chain, put32(jet4Link(56), 0), OfTable},
        // A chain ends exactly at its stated length, its last row linking nowhere.
        Damage{"ChainLengthShorterThanItsChain", kJet4Chain,
               put32(kJet4ChainHeader, kChainLength - 43), OfTable},
        Damage{"ChainLengthOneLonger", kJet4Chain, put32(kJet4ChainHeader, kChainLength + 1),
               OfTable},
        Damage{"ChainLengthZero", kJet4Chain, put32(kJet4ChainHeader, 0), OfTable},
        Damage{"ChainPointerAndLengthZero", kJet4Chain, put(kJet4ChainHeader, std::string(8, '\0')),
               Changed},
        Damage{"Jet3ChainLengthShorterThanItsChain", kJet3Chain,
               put32(kJet3ChainHeader, kChainLength - 1), OfTable},
        Damage{"Jet3ChainLengthZero", kJet3Chain, put32(kJet3ChainHeader, 0), OfTable},
        Damage{"Jet3ChainLoopsToItself", kJet3Chain, put32(jet3Link(37), row0(37)), OfTable},
        Damage{"Jet3ChainLoopsBackToTheFirst", kJet3Chain, put32(jet3Link(38), row0(37)), OfTable}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Definition, JetDamage,
    ::testing::Values(
        Damage{"VariableCountTwoToZero", kDates, put16(kDefinition + 43, 0), OfTable},
        // A column deleted since the file was compacted leaves its slot counted: a sound shape.
        Damage{"VariableCountTwoToThree", kDates, put16(kDefinition + 43, 3), Rows},
        Damage{"ColumnCountSixTo200", kDates, put16(kDefinition + 45, 200), OfTable},
        Damage{"ColumnCountSixToFive", kDates, put16(kDefinition + 45, 5), OfTable},
        Damage{"ColumnCountPastMaxColumns", kDates, put16(kDefinition + 45, 7), OfTable},
        Damage{"MaxColumnsRaised", kDates, put16(kDefinition + 41, 7), Rows},
        Damage{"IndexCountRaised", kDates, put32(kDefinition + 51, 1), OfTable},
        Damage{"LengthCutsTheNames", kDates, put32(kDefinition + 8, 250), OfTable},
        Damage{"LongToMemo", kDates, put(column(IdCol), "\x0C"), OfTable},
        Damage{"LongToInteger", kDates, put(column(IdCol), "\x03"), OfTable},
        Damage{"DateToLong", kDates, put(column(DateCol), "\x04"), OfTable},
        Damage{"TypeUnknown", kDates, put(column(TimeCol), "\x0D"), OfTable},
        Damage{"TypeZero", kDates, put(column(DateTimeCol), std::string(1, '\0')), OfTable},
        Damage{"FixedColumnMadeVariable", kDates, put(column(DateCol) + 15, "\x02"), OfTable},
        Damage{"TextMadeFixed", kDates, put(column(ShortTextCol) + 15, "\x03"), OfTable},
        Damage{"MemoMadeAutoNumber", kDates, put(column(LongTextCol) + 15, "\x06"), OfTable},
        Damage{"FixedOffsetOverAnother", kDates, put16(column(DateCol) + 21, 13), OfTable},
        Damage{"FixedOffsetOntoTheFirst", kDates, put16(column(DateTimeCol) + 21, 0), OfTable},
        Damage{"FixedOffsetPastTheFixedArea", kDates, put16(column(TimeCol) + 21, 22), OfTable},
        Damage{"FixedOffsetIntoTheMemo", kDates, put16(column(IdCol) + 21, 28), OfTable},
        Damage{"TextSizeTwo", kDates, put16(column(ShortTextCol) + 23, 2), OfTable},
        Damage{"TextSizeZero", kDates, put16(column(ShortTextCol) + 23, 0), OfTable},
        Damage{"TextSizePastItsType", kDates, put16(column(ShortTextCol) + 23, 600), OfTable},
        Damage{"LongSizeEight", kDates, put16(column(IdCol) + 23, 8), OfTable},
        Damage{"ColumnNumberTwice", kDates, put16(column(TimeCol) + 5, 2), OfTable},
        Damage{"ColumnNumberPastMaxColumns", kDates, put16(column(TimeCol) + 5, 9), OfTable},
        Damage{"VarPlaceTwice", kDates, put16(column(ShortTextCol) + 7, 0), OfTable},
        Damage{"VarPlacePastTheCount", kDates, put16(column(ShortTextCol) + 7, 2), OfTable},
        Damage{"NameLengthPastTheEnd", kDates, put16(kDefinition + 213, 0x7FFF), OfTable},
        Damage{"NextPageOnADataPage", kDates, put32(kDefinition + 4, 19), OfTable},
        Damage{"NextPagePastTheEnd", kDates, put32(kDefinition + 4, 9999), OfTable},
        Damage{"NextPageLoopsToItself", kDates, put32(kDefinition + 4, 18), Rows},
        Damage{"PageTypeOfData", kDates, put(kDefinition, "\x01"), OfTable},
        Damage{"NameWithAControlCharacter", kDates, put16(kDefinition + 215, 4), OfTable},
        // One column fewer moves the names onto the last column's entry.
        Damage{"Jet3ColumnCountOneLower", kJet3Chain, put16(kJet3Definition + 25, 73), OfTable},
        // Jet 3 sets 0x40 on columns of any type; it is not Jet 4's replication flag.
        Damage{"Jet3FlagFortyOnTheFirstColumn", kJet3Chain,
               [](std::string& file) { file[kJet3Definition + 59 + 13] |= 0x40; }, Rows}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    UsageMap, JetDamage,
    ::testing::Values(
        Damage{"MapEmptied", kDates, put(kUsageMap + 7, std::string(1, '\0')), Fewer},
        Damage{"MapOfEveryPage", kDates, put(kUsageMap + 5, std::string(64, '\xFF')), OfTable},
        Damage{"MapStartMoved", kDates, put32(kUsageMap + 1, 8), OfTable},
        // Its start page and bitmap read as map pages far past the end.
        Damage{"MapTypeIndirect", kDates, put(kUsageMap, "\x01"), OfTable},
        // libmdb reads a page at the file's very end as zeros, a map of no pages.
        Damage{"MapOfPagesAtTheEnd", kDates,
               [](std::string& file) {
                   put(kUsageMap, "\x01")(file);
                   put32(kUsageMap + 1, 67)(file);
               },
               OfTable},
        Damage{"MapPointerAtTheEnd", kDates, put32(kDefinition + 55, 67 << 8), OfTable},
        Damage{"CatalogMapPointerAtTheEnd", kDates, put32(2 * kPage + 55, 67 << 8), Damaged},
        Damage{"MapTypeUnknown", kDates, put(kUsageMap, "\x07"), Rows},
        Damage{"MapPointerToAnEmptyMap", kDates, put32(kDefinition + 55, 0x1302), Fewer},
        Damage{"MapPointerToTheFreeMap", kDates, put32(kDefinition + 55, 0x1301), Rows},
        Damage{"MapPointerPastTheEnd", kDates, put32(kDefinition + 55, 0x6300), Damaged},
        // Row 255 of page 19 has no bytes: libmdb keeps no map and reads through null.
        Damage{"MapOfNoBytes", kDates, put32(kDefinition + 55, 0x13FF), OfTable},
        Damage{"CatalogMapOfNoBytes", kDates, put32(2 * kPage + 55, 0x13FF), Damaged}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    RowTable, JetDamage,
    ::testing::Values(
        Damage{"RowCountHuge", kDates, put16(kData20 + 12, 0xFFFF), Damaged},
        Damage{"TwoOffsetsSwapped", kDates,
               [](std::string& file) {
                   put16(kData20 + 14, 0xF76)(file);
                   put16(kData20 + 16, 0xFBF)(file);
               },
               Damaged},
        Damage{"OffsetIntoTheHead", kDates, put16(kData20 + 24, 4), Damaged},
        Damage{"CatalogRowCountHuge", kDates, put16(17 * kPage + 12, 0xFFFF), Damaged},
        Damage{"RowStartMovedByOne", kDates, rowStartMovedByOne(kData20 + 14), OfTable},
        Damage{"Jet3RowStartMovedByOne", kJet3Chain, rowStartMovedByOne(50 * kJet3Page + 10),
               OfTable},
        Damage{"CatalogPageZeroed", kDates, put(17 * kPage, std::string(kPage, '\0')), Damaged},
        Damage{"RowStartsInTheRowTable", kDates, put16(kData20 + 14, 20), OfTable},
        Damage{"RowStartsPastThePage", kDates, put16(kData20 + 14, 0x1FF0), OfTable},
        Damage{"Jet3RowStartsInTheHead", kJet3Chain, put16(50 * kJet3Page + 10, 0), OfTable},
        Damage{"Jet3RowStartsInTheRowTable", kJet3Chain, put16(50 * kJet3Page + 10, 11), OfTable},
        Damage{"Jet3RowStartsPastThePage", kJet3Chain, put16(50 * kJet3Page + 10, 0x900), OfTable}),
    [](const auto& info) { return std::string(info.param.label); });

// The sixth record's DateTimeCol is at 3599 in page 20. Jet keeps the years 100 to 9999.
INSTANTIATE_TEST_SUITE_P(
    Date, JetDamage,
    ::testing::Values(
        Damage{"DateOfAFlippedMask", kDates, putDouble(kData20 + 3599, 6.8e285), OfTable},
        Damage{"DateAfterTheYear9999", kDates, putDouble(kData20 + 3599, 2958466.0), OfTable},
        Damage{"DateBeforeTheYear100", kDates, putDouble(kData20 + 3599, -657435.0), OfTable},
        Damage{"DateNotANumber", kDates, put(kData20 + 3599, std::string(6, '\0') + "\xF8\x7F"),
               OfTable},
        Damage{"DateLastMinuteOfTheYear9999", kDates, putDouble(kData20 + 3599, 2958465.999),
               Changed},
        Damage{"DateFirstDayOfTheYear100", kDates, putDouble(kData20 + 3599, -657434.0), Changed},
        Damage{"Jet3DateOfAFlippedMask", kJet3Chain, putDouble(50 * kJet3Page + 1771, 6.8e285),
               OfTable},
        Damage{"Jet4ChainDateOfAFlippedMask", kJet4Chain, putDouble(60 * kPage + 3758, -1e300),
               OfTable}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Length, JetDamage,
    ::testing::Values(
        Damage{"CutToTenPages", kDates, cutTo(10 * kPage), Damaged},
        Damage{"CutToTwoPages", kDates, cutTo(2 * kPage), Damaged},
        Damage{"CutBeforeTheDefinition", kDates, cutTo(18 * kPage), Damaged},
        Damage{"CutBeforeTheData", kDates, cutTo(20 * kPage), Damaged},
        // The usage map's own page is the first one missing.
        Damage{"CutBeforeTheUsageMap", kDates, cutTo(19 * kPage), OfTable},
        Damage{"CutAfterTheData", kDates, cutTo(21 * kPage), Rows},
        Damage{"CutHalfAPage", kDates, cutTo(66 * kPage + kPage / 2), Damaged},
        Damage{"CutOneByte", kDates, cutTo(67 * kPage - 1), Damaged},
        Damage{"AppendedZeroPage", kDates, append(std::string(kPage, '\0')), Rows},
        Damage{"AppendedPageOfOnes", kDates, append(std::string(kPage, '\xFF')), Rows},
        Damage{"AppendedCopyOfTheData", kDates, appendPage(20), Rows},
        Damage{"AppendedCopyOfTheDefinition", kDates, appendPage(18), Rows},
        Damage{"AppendedHalfAPage", kDates, append(std::string(kPage / 2, 'x')), Damaged},
        Damage{"OverreadCatalogCut", "catalog_overread.mdb", cutTo(10 * kPage), Damaged}),
    [](const auto& info) { return std::string(info.param.label); });

// The sixth record of DateTest: its column count at 0, LongTextCol's inline memo from 30
// (12 bytes of header, then FF FE and 18 bytes), ShortTextCol from 62 (FF FE and 11
// bytes), its var table's count at 81, its null mask (one byte, 0x3F: all six present)
// at 83. MSP_PROJECTS's record (74 columns, 22 of them variable): in test2_v2000.mdb its
// count at 60 * 4096 + 3744, the var count at 249844, the 10 bytes of its mask at 249846;
// in test2_v1997.mdb its count (one byte) at 50 * 2048 + 1758, the var count at 104437,
// the mask at 104438.
constexpr std::size_t kRecord = kData20 + 3593, kRecordMask = kRecord + 83,
                      kShortText = kRecord + 62, kInlineMemo = kMemo + kHeader;
constexpr std::size_t kJet4Record = 60 * kPage + 3744, kJet4VarCount = 249844, kJet4Mask = 249846;
constexpr std::size_t kJet3Record = 50 * kJet3Page + 1758, kJet3VarCount = 104437,
                      kJet3Mask = 104438;

// Jet writes a Null variable value as no bytes: a mask bit saying Null over bytes is
// damage. Over a fixed value it cannot be told from a sound Null.
INSTANTIATE_TEST_SUITE_P(
    NullMask, JetDamage,
    ::testing::Values(
        Damage{"MemoCalledNull", kDates, put(kRecordMask, "\x2F"), OfTable},
        Damage{"TextCalledNull", kDates, put(kRecordMask, "\x1F"), OfTable},
        Damage{"MaskZeroed", kDates, put(kRecordMask, std::string(1, '\0')), OfTable},
        Damage{"DateCalledNull", kDates, put(kRecordMask, "\x3D"), Changed},
        Damage{"Jet4ChainMaskZeroed", kJet4Chain, put(kJet4Mask, std::string(10, '\0')), OfTable},
        Damage{"Jet3MaskZeroed", kJet3Chain, put(kJet3Mask, std::string(10, '\0')), OfTable}),
    [](const auto& info) { return std::string(info.param.label); });

// A count one lower would leave the last column's place, or its bytes, unread.
INSTANTIATE_TEST_SUITE_P(
    RecordCounts, JetDamage,
    ::testing::Values(
        Damage{"ColumnCountOneLower", kDates, put16(kRecord, 5), OfTable},
        Damage{"VarCountOneLower", kDates, put16(kRecord + 81, 1), OfTable},
        Damage{"VarCountZero", kDates, put16(kRecord + 81, 0), OfTable},
        Damage{"Jet4ChainColumnCountOneLower", kJet4Chain, put16(kJet4Record, 73), OfTable},
        Damage{"Jet4ChainVarCountOneLower", kJet4Chain, put16(kJet4VarCount, 21), OfTable},
        Damage{"Jet3ColumnCountOneLower", kJet3Chain, put(kJet3Record, "\x49"), OfTable},
        Damage{"Jet3VarCountOneLower", kJet3Chain, put(kJet3VarCount, "\x15"), OfTable}),
    [](const auto& info) { return std::string(info.param.label); });

// Jet 4 text that cannot be UTF-16: an odd count of bytes without the compression mark,
// or a run of units (after a 00 byte) that ends in half of one.
INSTANTIATE_TEST_SUITE_P(
    Utf16, JetDamage,
    ::testing::Values(Damage{"TextOfOddLength", kDates, put(kShortText, std::string("N\0", 2)),
                             OfTable},
                      Damage{"TextEndsInHalfAUnit", kDates,
                             put(kShortText + 2 + 9, std::string(1, '\0')), OfTable},
                      Damage{"MemoEndsInHalfAUnit", kDates,
                             put(kInlineMemo + 2 + 16, std::string(1, '\0')), OfTable},
                      // A whole unit: other characters, which no check can tell from the user's.
                      Damage{"TextEndsInAWholeUnit", kDates,
                             put(kShortText + 2 + 8, std::string(1, '\0')), Changed}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
