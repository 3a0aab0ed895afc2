// Workbooks: our own reading against FreeXL on the files FreeXL can follow, the date
// formats, and damage the generic damaged-file tests do not aim at.
#include "compound_writer.h"
#include "file_bytes.h"
#include "table_collector.h"

#include "drivers/biff_format.h"
#include "drivers/compound_file.h"
#include "support/temp_dir.h"
#include "value/convert.h"

#include <freexl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

namespace varnoke::test {
namespace {

const std::string kData = VARNOKE_TEST_DATA;

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8 |
           static_cast<unsigned char>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

void putU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// The error a link to `path` ends in: number and text.
std::pair<int, std::string> failure(const std::string& path, const std::string& table) {
    try {
        readLinked("Excel 8.0;DATABASE=" + path, table);
    } catch (const EngineError& e) {
        return {e.number(), e.what()};
    }
    return {0, ""};
}

// The error reading `bytes` ends in, written as a workbook named `name`.
std::pair<int, std::string> failureOfBytes(const std::string& name, const std::string& bytes) {
    TempDir dir;
    spit(dir.file(name), bytes);
    return failure(dir.file(name), name);
}

// FreeXL's reading of a workbook's first sheet, as values: numbers, texts, and its
// ISO date texts turned into serials (to the second, as FreeXL gives them).
std::vector<std::vector<Value>> freexlCells(const std::string& path) {
    const void* raw = nullptr;
    EXPECT_EQ(freexl_open(path.c_str(), &raw), FREEXL_OK);
    std::unique_ptr<const void, int (*)(const void*)> book(raw, freexl_close);
    std::vector<std::vector<Value>> rows;
    if (!book || freexl_select_active_worksheet(book.get(), 0) != FREEXL_OK) {
        ADD_FAILURE() << "FreeXL cannot read " << path;
        return rows;
    }
    unsigned height = 0;
    unsigned short width = 0;
    freexl_worksheet_dimensions(book.get(), &height, &width);
    for (unsigned r = 0; r < height; ++r) {
        auto& row = rows.emplace_back();
        for (unsigned short c = 0; c < width; ++c) {
            FreeXL_CellValue cell{};
            freexl_get_cell_value(book.get(), r, c, &cell);
            int y = 0, mo = 0, d = 0;
            switch (cell.type) {
            case FREEXL_CELL_INT:
                row.push_back(Value::number(cell.value.int_value));
                break;
            case FREEXL_CELL_DOUBLE:
                row.push_back(Value::number(cell.value.double_value));
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                row.push_back(Value::text(cell.value.text_value));
                break;
            case FREEXL_CELL_DATE:
                std::sscanf(cell.value.text_value, "%d-%d-%d", &y, &mo, &d);
                row.push_back(Value::date(makeDateSerial(y, mo, d)));
                break;
            default:
                row.push_back(Value::null());
            }
        }
    }
    return rows;
}

class AgainstFreexlTest : public ::testing::TestWithParam<const char*> {};

TEST_P(AgainstFreexlTest, EveryCellAgrees) {
    const std::string path = kData + "/xls/" + GetParam();
    const std::string bytes = slurp(path);
    const auto ours = drivers::readWorksheetCells(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, GetParam(), "");
    const auto theirs = freexlCells(path);
    ASSERT_FALSE(theirs.empty());
    const std::size_t height = std::max(ours.size(), theirs.size());
    std::size_t compared = 0;
    for (std::size_t r = 0; r < height; ++r) {
        const std::size_t width = std::max(r < ours.size() ? ours[r].size() : 0,
                                           r < theirs.size() ? theirs[r].size() : 0);
        for (std::size_t c = 0; c < width; ++c) {
            const auto at = [&](const auto& grid) {
                return r < grid.size() && c < grid[r].size() && !grid[r][c].isEmpty()
                           ? grid[r][c]
                           : Value::null();
            };
            const Value mine = at(ours);
            const Value other = at(theirs);
            const std::string where = "row " + std::to_string(r) + " column " + std::to_string(c);
            ASSERT_EQ(mine.kind(), other.kind()) << where;
            if (mine.isDate())
                EXPECT_NEAR(mine.asDateSerial(), other.asDateSerial(), 1.0 / 86400) << where;
            else
                EXPECT_EQ(mine, other) << where;
            ++compared;
        }
    }
    EXPECT_GT(compared, 10u);
}

INSTANTIATE_TEST_SUITE_P(Workbooks, AgainstFreexlTest,
                         ::testing::Values("sample97.xls", "big95.xls", "small95.xls"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

struct FormatCase {
    const char* label;
    const char* code;
    bool isDate;
};

class DateFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DateFormatTest, RecognisesDatesAndTimesOnly) {
    EXPECT_EQ(drivers::isDateFormatCode(GetParam().code), GetParam().isDate) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DateFormatTest,
    ::testing::Values(FormatCase{"DayMonthYear", "DD/MM/YYYY", true},
                      FormatCase{"LongDate", "DDDD\", \"MMMM\\ DD\", \"YYYY", true},
                      FormatCase{"TwelveHourTime", "H:MM:SS\\ AM/PM", true},
                      FormatCase{"ElapsedHours", "[h]:mm", false},
                      FormatCase{"ElapsedSeconds", "[ss].00", false},
                      FormatCase{"LocaleThenDate", "[$-407]d. mmmm yyyy", true},
                      FormatCase{"General", "GENERAL", false}, FormatCase{"Percent", "0.0%", false},
                      FormatCase{"Scientific", "0.00E+00", false},
                      FormatCase{"QuotedUnit", "0 \"days\"", false},
                      FormatCase{"EscapedLetter", "0\\d", false},
                      FormatCase{"CurrencyWithLocale", "#,##0.00\\ [$\xE2\x82\xAC-407]", false},
                      FormatCase{"ColourAndCondition", "[Red][>=100]0.00", false},
                      FormatCase{"PaddingAndSpacing", "_-* #,##0.00_-", false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Workbooks, DatesOfThe1904SystemAreMovedToOurs) {
    std::string bytes = slurp(kData + "/xls/small95.xls");
    // Switch the DATEMODE record to 1904: every serial then counts 1,462 days later.
    const std::string dateMode("\x22\x00\x02\x00\x00\x00", 6);
    const auto at = bytes.find(dateMode);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 4] = 1;
    const auto cells = drivers::readWorksheetCells(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, "small95.xls", "");
    ASSERT_GE(cells.size(), 3u);
    ASSERT_GE(cells[1].size(), 3u);
    ASSERT_TRUE(cells[1][2].isDate());
    EXPECT_DOUBLE_EQ(cells[1][2].asDateSerial(), makeDateSerial(2021, 3, 4) + 1462);
    EXPECT_EQ(cells[1][1], Value::number(3)); // numbers stay as they are
}

TEST(Workbooks, PasswordProtectedIsRefusedWith3051) {
    std::string bytes = slurp(kData + "/xls/formulas97.xls");
    // Turn the globals' WRITEACCESS record into FILEPASS, as an encrypted book has.
    const std::string writeAccess("\x5C\x00\x70\x00", 4);
    const auto at = bytes.find(writeAccess);
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 0x2F;
    EXPECT_EQ(failureOfBytes("locked.xls", bytes),
              std::make_pair(3051, std::string("The workbook 'locked.xls' is protected by a "
                                               "password; Varnoke cannot read it.")));
}

TEST(Workbooks, CodePageThisSystemCannotConvertIsNamed) {
    std::string bytes = slurp(kData + "/xls-made/mac_cyrillic.xls");
    // CODEPAGE 10007 (Mac Cyrillic) becomes 10008 (Mac simplified Chinese), which iconv
    // does not know: no guess may stand in for it.
    const std::string codePage("\x42\x00\x02\x00\x17\x27", 6);
    const auto at = bytes.find(codePage);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 4] = 0x18;
    EXPECT_EQ(failureOfBytes("mac.xls", bytes),
              std::make_pair(3274, std::string("The file 'mac.xls' is not in the expected format: "
                                               "its texts are in code page 10008, which this "
                                               "system cannot convert.")));
}

// What other readers read where the bytes leave no doubt: the same sound table.
Table linkedBytes(const std::string& bytes) {
    Table table;
    drivers::readWorkbookImage({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                               "book.xls", "", table);
    return table;
}

TEST(Workbooks, SheetOffsetAFewBytesOffItsBofFindsTheSheet) {
    const std::string file = slurp(kData + "/xls/sample97.xls");
    const auto stream = drivers::readCompoundStream(
        {reinterpret_cast<const std::uint8_t*>(file.data()), file.size()}, "x", {"Workbook"});
    ASSERT_TRUE(stream);
    std::string bytes(stream->begin(), stream->end());
    const auto sound = linkedBytes(compoundFileOf(bytes, "Workbook"));
    // The first sheet's entry (BOUNDSHEET) points 3 bytes short of its BOF.
    const auto at = bytes.find(std::string("\x85\x00", 2));
    ASSERT_NE(at, std::string::npos);
    putU32(bytes, at + 4, u32At(bytes, at + 4) - 3);
    const auto moved = linkedBytes(compoundFileOf(bytes, "Workbook"));
    EXPECT_EQ(moved.rows, sound.rows);
    EXPECT_FALSE(sound.rows.empty());
}

TEST(Workbooks, MiniTableCountLargerThanItsChainReadsTheChain) {
    std::string bytes = slurp(kData + "/xls/formulas97.xls"); // its workbook is in the mini stream
    const auto sound = linkedBytes(bytes);
    putU32(bytes, 64, u32At(bytes, 64) + 2);
    EXPECT_EQ(linkedBytes(bytes).rows, sound.rows);
}

TEST(Workbooks, SectorChainThatLoopsIsRefused) {
    std::string bytes = slurp(kData + "/xls/formulas97.xls");
    // Its workbook sits in the mini stream. Point the root entry's first sector (the start of the
    // mini stream) at itself.
    const std::size_t fat = (u32At(bytes, 76) + 1) * 512;
    const std::size_t directory = (u32At(bytes, 48) + 1) * 512;
    const std::uint32_t rootStart = u32At(bytes, directory + 116);
    putU32(bytes, fat + 4 * rootStart, rootStart);
    EXPECT_EQ(failureOfBytes("loop.xls", bytes),
              std::make_pair(3274, std::string("The file 'loop.xls' is not in the expected "
                                               "format: a chain of sectors in it is broken.")));
}

TEST(Workbooks, CutInsideTheWorkbookStreamSaysSo) {
    EXPECT_EQ(failureOfBytes("cut.xls", slurp(kData + "/xls/big95.xls").substr(0, 20000)),
              std::make_pair(3274, std::string("The file 'cut.xls' is not in the expected format: "
                                               "the file ends too soon (it may have been cut "
                                               "short).")));
}

TEST(Workbooks, FileThatBrokeFreexlIsAnEngineError) {
    // Found by fuzzing: FreeXL read outside a stack buffer on it.
    const auto [number, text] =
        failure(kData + "/../fuzz/findings/freexl_iconv_stack_underflow.xls", "x");
    EXPECT_EQ(number, 3274);
    EXPECT_EQ(text, "The file 'freexl_iconv_stack_underflow.xls' is not in the expected format: "
                    "its directory is damaged.");
}

TEST(Workbooks, CompoundFileWithoutAWorkbookIsAClearError) {
    // A compound file of another program, made from a workbook by renaming its stream.
    std::string bytes = slurp(kData + "/xls/small95.xls");
    const std::string bookName("B\0o\0o\0k\0", 8);
    const auto at = bytes.find(bookName);
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'L';
    EXPECT_EQ(failureOfBytes("other.doc", bytes),
              std::make_pair(3274, std::string("The file 'other.doc' is not in the expected "
                                               "format: it holds no Excel workbook.")));
}

} // namespace
} // namespace varnoke::test
