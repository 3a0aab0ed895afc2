// What a worksheet the link cannot read as data says of itself: a sheet saved with a
// password, a first sheet left empty beside full ones, and a file whose records
// changed between the walk and the reading of a cell.
#include "drivers/lotus_format.h"
#include "drivers/lotus_records.h"
#include "file_bytes.h"
#include "lotus_sheet.h"
#include "table_collector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

drivers::ByteSpan spanOf(const std::string& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// Sheets saved with a password by each later release, written from the record layout
// by make_sheets.py: every record after the password record is enciphered.
class LotusProtected : public ::testing::TestWithParam<const char*> {};

TEST_P(LotusProtected, IsRefusedAsProtectedByAPassword) {
    const fs::path file = fs::path(VARNOKE_TEST_DATA) / "lotus-made" / "protected" / GetParam();
    Table table;
    try {
        drivers::readLotusFile(file, table);
        FAIL() << "linked " << table.rows.size() << " records of " << table.fields.size()
               << " fields";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3051) << e.what();
        EXPECT_NE(std::string(e.what()).find("protected by a password"), std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam()), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(MadeSheets, LotusProtected,
                         ::testing::Values("labels.wk3", "labels.wk4", "labels.123"),
                         [](const auto& info) {
                             std::string name = info.param;
                             name[name.find('.')] = '_';
                             return name;
                         });

// Only the first sheet links: where it is empty and a later one is full, the message
// says so instead of calling the file empty.
TEST(LotusFirstSheet, EmptyBesideAFullSheetIsNamedAsSuch) {
    LotusSheet sheet(LotusRelease::Four);
    for (unsigned r = 0; r < 5; ++r)
        sheet.record(0x16, LotusSheet::u16(r) + '\x01' + '\x00' + "'row" + '\0');
    Table table;
    try {
        drivers::readLotusImage(spanOf(sheet.bytes()), "two.wk4", table);
        FAIL() << "linked " << table.rows.size() << " records";
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("first sheet of 'two.wk4' is empty"),
                  std::string::npos)
            << e.what();
    }
}

TEST(LotusFirstSheet, AnEmptyFileIsStillCalledEmpty) {
    Table table;
    try {
        drivers::readLotusImage(spanOf(LotusSheet(LotusRelease::Four).bytes()), "none.wk4", table);
        FAIL() << "linked " << table.rows.size() << " records";
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("holds no data"), std::string::npos) << e.what();
    }
}

// A cell's record read again after the walk with another length, as a file rewritten
// in place during the link would give: never read past it, and never mixed.
struct Rewrite {
    const char* label;
    LotusRelease release;
    unsigned newLength;
};

class LotusRewritten : public ::testing::TestWithParam<Rewrite> {};

TEST_P(LotusRewritten, ACellWhoseLengthChangedIsAChangedFile) {
    const auto& c = GetParam();
    LotusSheet sheet(c.release);
    sheet.label(0, 0, "Name");
    sheet.label(1, 0, "last");
    std::string bytes = sheet.bytes();
    const drivers::LotusWorksheet walked(spanOf(bytes), "moving.wk1");
    ASSERT_EQ(walked.cells().size(), 2u);
    const auto& last = walked.cells().back();
    bytes[last.record + 2] = static_cast<char>(c.newLength & 0xFF);
    bytes[last.record + 3] = static_cast<char>(c.newLength >> 8);
    try {
        const Value v = walked.value(last);
        FAIL() << "read a value of kind " << static_cast<int>(v.kind());
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("changed while it was being read"), std::string::npos)
            << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, LotusRewritten,
                         ::testing::Values(Rewrite{"Wk1PastTheFile", LotusRelease::Two, 0xFFFF},
                                           Rewrite{"Wk1Shorter", LotusRelease::Two, 2},
                                           Rewrite{"Wk4PastTheFile", LotusRelease::Four, 0xFFFF},
                                           Rewrite{"Wk4Longer", LotusRelease::Four, 11}),
                         [](const auto& info) { return std::string(info.param.label); });

// A Release 2 formula's text result is the record after the formula's: read again
// with a length that no longer ends its text, it is a changed file as well.
TEST(LotusRewrittenText, AFormulasTextWhoseLengthChangedIsAChangedFile) {
    LotusSheet sheet(LotusRelease::Two);
    sheet.label(0, 0, "Name");
    const std::string saved = LotusSheet::u16(0) + LotusSheet::u16(0) + LotusSheet::u16(0) +
                              LotusSheet::u16(0xFFF8); // a NaN: the result is a text
    const std::string code = std::string(1, '\x06') + "ab" + '\0' + '\x03';
    sheet.record(0x10, std::string(1, '\xFF') + LotusSheet::u16(0) + LotusSheet::u16(1) + saved +
                           LotusSheet::u16(code.size()) + code);
    sheet.record(0x33,
                 std::string(1, '\xFF') + LotusSheet::u16(0) + LotusSheet::u16(1) + "ab" + '\0');
    std::string bytes = sheet.bytes();
    const drivers::LotusWorksheet walked(spanOf(bytes), "text.wk1");
    ASSERT_EQ(walked.cells().size(), 2u);
    EXPECT_EQ(walked.value(walked.cells().back()), Value::text("ab"));
    const std::size_t text = bytes.size() - 4 - 12; // its record, before the end's
    ASSERT_EQ(bytes[text], '\x33');
    bytes[text + 2] = 7; // one byte less: its text no longer ends in it
    try {
        const Value v = walked.value(walked.cells().back());
        FAIL() << "read a value of kind " << static_cast<int>(v.kind());
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find("changed while it was being read"), std::string::npos)
            << e.what();
    }
}

} // namespace
} // namespace varnoke::test
