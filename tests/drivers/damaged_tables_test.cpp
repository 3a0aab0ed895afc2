// Damage that a reader could pass over in silence: a Jet data page the library skips or
// reads blank, a Paradox header whose field widths do not fit their types. Each must end
// in 3274, or read whole where the damage truly leaves the rows as they were.
#include "file_bytes.h"
#include "table_collector.h"

#include "drivers/paradox_format.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

const std::string kData = VARNOKE_TEST_DATA;

// DateTestDatabase.mdb keeps its one table's six rows on page 20: the page type at 0,
// the owning table definition's page at 4, the row count at 12, the row offsets from 14.
constexpr std::size_t kDataPage = 20 * 4096;
constexpr std::size_t kRow2 = 0xF76, kRow1 = 0xFBF; // row 2 lies just below row 1

std::string readOnly(int n) {
    return "it holds 6 records but only " + std::to_string(n) +
           " could be read (the file may be damaged).";
}
const std::string kFreeSpace = "the table 'DateTest' has a data page whose row table disagrees "
                               "with its free space (the file may be damaged).";
const std::string kNotItsOwn = "the table 'DateTest' has a usage map that names a page not its "
                               "own (the file may be damaged).";
const std::string kLayout = "the table 'DateTest' has a record whose layout does not fit in it "
                            "(the file may be damaged).";
// A row marked deleted keeps its bytes and its page's free space: consistent with itself.
const std::string kOneRowFewer = "-1";
const std::string kBlank = "a record of the table 'DateTest' holds no fields (the file may be "
                           "damaged).";

struct JetDamage {
    const char* label;
    std::size_t at; // within the data page
    std::string bytes;
    std::string ending; // of the 3274 message; empty: the table reads whole
};

class JetDamageTest : public ::testing::TestWithParam<JetDamage> {};

TEST_P(JetDamageTest, EndsIn3274OrReadsWhole) {
    const auto& damage = GetParam();
    const std::string sound = kData + "/mdb/DateTestDatabase.mdb";
    std::string bytes = slurp(sound);
    bytes.replace(kDataPage + damage.at, damage.bytes.size(), damage.bytes);
    TempDir dir;
    const std::string path = dir.file("DateTestDatabase.mdb");
    spit(path, bytes);
    try {
        const auto table = readLinked("JetTable;DATABASE=" + path, "");
        const auto whole = readLinked("JetTable;DATABASE=" + sound, "").rows;
        if (damage.ending == kOneRowFewer) {
            EXPECT_EQ(table.rows.size() + 1, whole.size());
            return;
        }
        EXPECT_EQ(damage.ending, "") << "read " << table.rows.size() << " rows";
        EXPECT_EQ(table.rows, whole);
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        const std::string message = e.what();
        EXPECT_TRUE(message.starts_with("The file 'DateTestDatabase.mdb' is not in the expected "
                                        "format: ") &&
                    !damage.ending.empty() && message.ends_with(damage.ending))
            << message;
    }
}

const std::string z2("\0\0", 2);

INSTANTIATE_TEST_SUITE_P(
    DataPage, JetDamageTest,
    ::testing::Values(JetDamage{"RowCountZero", 12, z2, kFreeSpace},
                      JetDamage{"RowCountThree", 12, std::string("\3\0", 2), kFreeSpace},
                      JetDamage{"RowCountSeven", 12, std::string("\7\0", 2), kFreeSpace},
                      JetDamage{"PageTypeZero", 0, std::string(1, '\0'), kNotItsOwn},
                      JetDamage{"PageTypeOfAnIndex", 0, "\x04", kNotItsOwn},
                      JetDamage{"PageOwnedByAnotherPage", 4, "\x13", kNotItsOwn},
                      JetDamage{"RowOffsetZeroed", 14, z2, kFreeSpace},
                      JetDamage{"RowOffsetPastThePage", 14, "\xFF\x1F", readOnly(4)},
                      JetDamage{"RowMarkedDeleted", 16, "\x76\x4F", kOneRowFewer},
                      JetDamage{"RowZeroed", kRow2, std::string(kRow1 - kRow2, '\0'), kBlank},
                      JetDamage{"RowFilledWithOnes", kRow2, std::string(kRow1 - kRow2, '\xFF'),
                                readOnly(5)},
                      JetDamage{"RowColumnCountGarbled", kRow2, "\xFF\xFF", readOnly(5)},
                      JetDamage{"LastSectorZeroed", 3584, std::string(512, '\0'), kBlank},
                      JetDamage{"FirstSectorZeroed", 0, std::string(512, '\0'), kNotItsOwn},
                      JetDamage{"FreeSpaceCountChanged", 2, z2, kFreeSpace},
                      // A row's lookup flag changes no row.
                      JetDamage{"RowLookupFlagSet", 16, "\x76\x8F", ""}),
    [](const auto& info) { return std::string(info.param.label); });

// A header that gives a field a width its type cannot have: the record is laid out by
// the widths, so it reads as other fields' bytes (a date of 12 bytes can hold the lowest
// 64-bit number, which the date arithmetic overflows on).
struct WidthDamage {
    const char* label;
    const char* file;
    std::uint8_t type;
    std::uint8_t width;
};

class ParadoxWidthTest : public ::testing::TestWithParam<WidthDamage> {};

TEST_P(ParadoxWidthTest, IsRefusedWith3274) {
    const auto& damage = GetParam();
    std::string bytes = slurp(kData + "/paradox/" + damage.file);
    auto u16 = [&](std::size_t at) {
        return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8;
    };
    const std::size_t infoAt = static_cast<std::uint8_t>(bytes[0x39]) >= 5 ? 0x78 : 0x58;
    const std::size_t end = infoAt + 2 * u16(0x21);
    std::size_t field = infoAt;
    while (field < end && static_cast<std::uint8_t>(bytes[field]) != damage.type)
        field += 2;
    ASSERT_LT(field, end) << "no field of that type";
    // The record size follows the width, as it would in a header written that way;
    // a BCD width counts decimals and leaves it.
    const int grow =
        damage.type == 0x17 ? 0 : damage.width - static_cast<std::uint8_t>(bytes[field + 1]);
    const int recordSize = static_cast<int>(u16(0)) + grow;
    bytes[0] = static_cast<char>(recordSize & 0xFF);
    bytes[1] = static_cast<char>(recordSize >> 8);
    bytes[field + 1] = static_cast<char>(damage.width);
    if (damage.width > 8) {
        const std::size_t record =
            u16(2) + (u16(0x0E) - 1) * std::size_t{static_cast<std::uint8_t>(bytes[5])} * 1024 + 6;
        std::size_t offset = 0;
        for (std::size_t f = infoAt; f < field; f += 2)
            offset += static_cast<std::uint8_t>(bytes[f + 1]);
        bytes.replace(record + offset + damage.width - 8, 8, std::string("\x80\0\0\0\0\0\0\0", 8));
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    Table table;
    try {
        drivers::readParadoxImage({{data, bytes.size()}, {}, damage.file, "", {}}, table);
        FAIL() << "read " << table.rows.size() << " rows";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_EQ(std::string(e.what()), "The file '" + std::string(damage.file) +
                                             "' is not in the expected format: a field's width "
                                             "does not fit its type.");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Header, ParadoxWidthTest,
    ::testing::Values(WidthDamage{"DateOfTwelveBytes", "date7.db", 0x02, 12},
                      WidthDamage{"ShortOfFourBytes", "FILMS.DB", 0x03, 4},
                      WidthDamage{"NumberOfSixteenBytes", "FILMS.DB", 0x06, 16},
                      WidthDamage{"MoneyOfFourBytes", "FILMS.DB", 0x05, 4},
                      WidthDamage{"LongOfEightBytes", "long.db", 0x04, 8},
                      WidthDamage{"AutoIncrementOfTwoBytes", "long.db", 0x16, 2},
                      WidthDamage{"LogicalOfTwoBytes", "logical.db", 0x09, 2},
                      WidthDamage{"TimeOfTwoBytes", "time.db", 0x14, 2},
                      WidthDamage{"TimestampOfFourBytes", "timestamp.db", 0x15, 4},
                      WidthDamage{"BcdOfFortyDecimals", "bcd.db", 0x17, 40}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
