// Every row of a worksheet reaches the link: a Release 2 sheet past row 32,767 (a row
// is unsigned), sheets of the later releases up to their last row, large sheets of
// short number cells and a sheet whose rows reach column IV; records the reader need
// not know are passed over, and an unsound file is refused with its reason.
#include "drivers/lotus_format.h"
#include "file_bytes.h"
#include "lotus_sheet.h"
#include "table_collector.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <vector>

namespace varnoke::test {
namespace {

// The serial of 1/1/2000.
constexpr double kYear2000 = 36526;

// What data row r holds: a label, a number, a whole number, a formula's saved result
// and, in Release 2 where the cell carries its format, a date.
struct Expected {
    static Value name(unsigned r) { return Value::text("row " + std::to_string(r)); }
    static Value amount(unsigned r) { return Value::number(r * 1.5); }
    static Value count(unsigned r) { return Value::number(r % 16000); }
    static Value twice(unsigned r) { return Value::number(r * 2.0); }
    static Value day(unsigned r) { return Value::date(kYear2000 + r % 1000); }
};

enum class Order { ByRow, ByColumn };

struct RowsCase {
    const char* label;
    LotusRelease release;
    unsigned dataRows;
    Order order;
    bool withRange; // Release 2: the active range record, as 1-2-3 writes it
};

std::string sheetOf(const RowsCase& c) {
    LotusSheet sheet(c.release);
    const bool two = c.release == LotusRelease::Two;
    const unsigned columns = two ? 5 : 4;
    if (c.withRange) sheet.range(columns - 1, c.dataRows);
    auto put = [&](unsigned r, unsigned column) {
        if (r == 0) {
            static const char* const names[] = {"Name", "Amount", "Count", "Twice", "Day"};
            sheet.label(0, column, names[column]);
            return;
        }
        switch (column) {
        case 0:
            return sheet.label(r, 0, Expected::name(r).asText());
        case 1:
            return sheet.number(r, 1, Expected::amount(r).asNumber());
        case 2:
            return sheet.integer(r, 2, static_cast<std::int16_t>(r % 16000));
        case 3:
            return sheet.formula(r, 3, Expected::twice(r).asNumber());
        default:
            // Format 0xF2: protected, special, the day-month-year date.
            return sheet.number(r, 4, Expected::day(r).asDateSerial(), 0xF2);
        }
    };
    if (c.order == Order::ByRow) {
        for (unsigned r = 0; r <= c.dataRows; ++r)
            for (unsigned column = 0; column < columns; ++column)
                put(r, column);
    } else {
        for (unsigned column = 0; column < columns; ++column)
            for (unsigned r = 0; r <= c.dataRows; ++r)
                put(r, column);
    }
    return sheet.bytes();
}

class LotusRowsTest : public ::testing::TestWithParam<RowsCase> {};

// Through the program's link, in the reading child, every row with every value and
// type in its place.
TEST_P(LotusRowsTest, EveryRowArrivesWithItsValues) {
    const auto& c = GetParam();
    const bool two = c.release == LotusRelease::Two;
    TempDir dir;
    const std::string path = dir.file(two ? "big.wk1" : "big.wk4");
    spit(path, sheetOf(c));

    const auto began = std::chrono::steady_clock::now();
    const Table table = readLinked("Lotus WK4;DATABASE=" + path, "");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    RecordProperty("link_seconds", std::to_string(took.count()));

    std::vector<std::pair<std::string, int>> fields = {
        {"Name", 10}, {"Amount", 7}, {"Count", 7}, {"Twice", 7}};
    if (two) fields.emplace_back("Day", 8);
    ASSERT_EQ(table.fields.size(), fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(table.fields[i].name, fields[i].first);
        EXPECT_EQ(table.fields[i].type, fields[i].second) << fields[i].first;
    }
    ASSERT_EQ(table.rows.size(), c.dataRows);
    int wrong = 0;
    for (unsigned r = 1; r <= c.dataRows && wrong < 5; ++r) {
        std::vector<Value> expected = {Expected::name(r), Expected::amount(r), Expected::count(r),
                                       Expected::twice(r)};
        if (two) expected.push_back(Expected::day(r));
        if (table.rows[r - 1] == expected) continue;
        ++wrong;
        ADD_FAILURE() << "data row " << r << " is not as written";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, LotusRowsTest,
    ::testing::Values(
        // The last row of a signed row number, and the rows past it.
        RowsCase{"Wk1Rows32767", LotusRelease::Two, 32767, Order::ByRow, true},
        RowsCase{"Wk1Rows32768", LotusRelease::Two, 32768, Order::ByRow, true},
        RowsCase{"Wk1Rows40000", LotusRelease::Two, 40000, Order::ByRow, true},
        // By column and without a range: every column past the first comes after
        // the sheet's last row.
        RowsCase{"Wk1Rows40000ByColumn", LotusRelease::Two, 40000, Order::ByColumn, false},
        // A Release 2 row is 16 bits: row 65,535 is the last.
        RowsCase{"Wk1Rows65535", LotusRelease::Two, 65535, Order::ByRow, true},
        RowsCase{"Wk3Rows32768", LotusRelease::Three, 32768, Order::ByRow, false},
        RowsCase{"Wk3Rows65535", LotusRelease::Three, 65535, Order::ByRow, false},
        RowsCase{"Wk4Rows65535ByColumn", LotusRelease::Four, 65535, Order::ByColumn, false}),
    [](const auto& info) { return std::string(info.param.label); });

// Records the reader need not know (too short for a value, of a kind it does not
// read) are passed over; a file that is no sound worksheet is refused with the reason.
struct CheckCase {
    const char* label;
    std::function<std::string()> bytes;
    int error;              // 0: it links
    const char* message;    // part of the error's text
    std::size_t linkedRows; // when it links
};

// data rows of one label and one number each, with extra records after row `after`.
std::string sheetWith(LotusRelease release, unsigned dataRows, unsigned after,
                      const std::function<void(LotusSheet&)>& extra) {
    LotusSheet sheet(release);
    sheet.label(0, 0, "Name");
    sheet.label(0, 1, "Amount");
    for (unsigned r = 1; r <= dataRows; ++r) {
        sheet.label(r, 0, "row " + std::to_string(r));
        sheet.number(r, 1, r);
        if (r == after) extra(sheet);
    }
    return sheet.bytes();
}

class LotusRowCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(LotusRowCheckTest, ASoundSheetLinksAnUnsoundOneIsRefused) {
    const auto& c = GetParam();
    const std::string bytes = c.bytes();
    Table table;
    try {
        drivers::readLotusImage({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                                "sheet.wk1", table);
        EXPECT_EQ(c.error, 0) << "linked " << table.rows.size() << " rows";
        EXPECT_EQ(table.rows.size(), c.linkedRows);
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), c.error) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, LotusRowCheckTest,
    ::testing::Values(
        // A Release 2 cell shorter than its kind is damage, never a cell passed over.
        CheckCase{"Wk1ShortCellMidway",
                  [] {
                      return sheetWith(LotusRelease::Two, 100, 50,
                                       [](LotusSheet& s) { s.record(0x0D, std::string(2, '\0')); });
                  },
                  3274, "not of its kind's length", 0},
        // A record of a kind the reader does not know is passed over...
        CheckCase{"Wk4UnknownRecordMidway",
                  [] {
                      return sheetWith(LotusRelease::Four, 100, 10,
                                       [](LotusSheet& s) { s.record(0x0A90, ""); });
                  },
                  0, "", 100},
        // ...but not one numbered past every kind sound files hold: the bytes of a walk
        // a wrong length has shifted.
        CheckCase{"Wk4RecordOfNoKind",
                  [] {
                      return sheetWith(LotusRelease::Four, 100, 10,
                                       [](LotusSheet& s) { s.record(0x2B00, ""); });
                  },
                  3274, "of no kind a worksheet holds", 0},
        CheckCase{"Wk1RecordOfNoKind",
                  [] {
                      return sheetWith(LotusRelease::Two, 100, 10,
                                       [](LotusSheet& s) { s.record(0x0D00, "xy"); });
                  },
                  3274, "of no kind a worksheet holds", 0},
        // A cell of the later releases shorter than its kind, and a label whose text
        // runs past its record.
        CheckCase{"Wk4ShortNumber",
                  [] {
                      return sheetWith(LotusRelease::Four, 10, 5, [](LotusSheet& s) {
                          s.record(0x17,
                                   std::string("\x06\x00\x00\x01", 4) + std::string(9, '\x40'));
                      });
                  },
                  3274, "not of its kind's length", 0},
        CheckCase{"Wk3LabelWithoutItsEnd",
                  [] {
                      return sheetWith(LotusRelease::Three, 10, 5, [](LotusSheet& s) {
                          s.record(0x16, std::string("\x06\x00\x00\x01'abc", 8));
                      });
                  },
                  3274, "does not end its text", 0},
        CheckCase{"Wk1FormulaLongerThanItsRecord",
                  [] {
                      return sheetWith(LotusRelease::Two, 10, 5, [](LotusSheet& s) {
                          s.record(0x10, std::string("\xFF\x01\x00\x06\x00", 5) +
                                             std::string(8, '\0') + LotusSheet::u16(6) +
                                             "\x05\x01\x00\x03");
                      });
                  },
                  3274, "does not end its formula", 0},
        // An end-of-file record inside the records: a cell of row 1, column A of the
        // later releases begins with these four bytes.
        CheckCase{"Wk4EndOfFileMidway",
                  [] {
                      return sheetWith(LotusRelease::Four, 10, 5,
                                       [](LotusSheet& s) { s.record(0x01, ""); });
                  },
                  3274, "end-of-file record is not its last", 0},
        CheckCase{"Wk1EndOfFileMidway",
                  [] {
                      return sheetWith(LotusRelease::Two, 10, 5,
                                       [](LotusSheet& s) { s.record(0x01, ""); });
                  },
                  3274, "end-of-file record is not its last", 0},
        // Padding after the end is no damage.
        CheckCase{"Wk1PaddedAfterItsEnd",
                  [] { return sheetWith(LotusRelease::Two, 10, 0, {}) + std::string(100, '\0'); },
                  0, "", 10},
        CheckCase{"Wk4PaddedAfterItsEnd",
                  [] { return sheetWith(LotusRelease::Four, 10, 0, {}) + std::string(7, '\x1A'); },
                  0, "", 10},
        // Release 4's format part after the end begins with a beginning record of its own.
        CheckCase{"Wk4FormatPartAfterItsEnd",
                  [] {
                      return sheetWith(LotusRelease::Four, 10, 0, {}) + LotusSheet::u16(0) +
                             LotusSheet::u16(26) + std::string(26, '\x07') + "more";
                  },
                  0, "", 10},
        CheckCase{"Wk1SecondBeginning",
                  [] {
                      return sheetWith(LotusRelease::Two, 10, 5, [](LotusSheet& s) {
                          s.record(0x00, LotusSheet::u16(0x0406));
                      });
                  },
                  3274, "second beginning record", 0},
        // An active range past row 32,767 over fewer rows.
        CheckCase{"Wk1RangePastItsRows",
                  [] {
                      return sheetWith(LotusRelease::Two, 100, 1,
                                       [](LotusSheet& s) { s.range(1, 40000); });
                  },
                  0, "", 100},
        // A sheet that begins past that row.
        CheckCase{"Wk1OnlyRowsPast32767",
                  [] {
                      LotusSheet s(LotusRelease::Two);
                      s.range(1, 40010);
                      s.label(40000, 0, "Name");
                      s.label(40000, 1, "Amount");
                      for (unsigned r = 40001; r <= 40010; ++r)
                          s.number(r, 1, r);
                      return s.bytes();
                  },
                  0, "", 10},
        // Rows holding only an empty label, an error value or a blank cell show
        // nothing; they are spacing, not rows lost.
        CheckCase{"Wk1RowsWithoutValues",
                  [] {
                      return sheetWith(LotusRelease::Two, 1, 1, [](LotusSheet& s) {
                          s.label(2, 0, "");
                          s.number(3, 0, std::numeric_limits<double>::quiet_NaN());
                          s.record(0x0C, std::string("\xFF\x01\x00\x04\x00", 5));
                          s.label(5, 0, "row 5");
                      });
                  },
                  0, "", 2},
        CheckCase{"Wk4RowsWithoutValues",
                  [] {
                      return sheetWith(LotusRelease::Four, 1, 1, [](LotusSheet& s) {
                          s.label(2, 0, "");
                          s.number(3, 0, std::numeric_limits<double>::quiet_NaN());
                          s.label(4, 0, "row 4");
                      });
                  },
                  0, "", 2},
        // A label holding only a carriage return is a sound cell.
        CheckCase{"Wk1LabelOfOnlyACarriageReturn",
                  [] {
                      return sheetWith(LotusRelease::Two, 3, 1,
                                       [](LotusSheet& s) { s.label(2, 0, "\r"); });
                  },
                  0, "", 3},
        // The records stop before the end-of-file record.
        CheckCase{"Wk1CutShort",
                  [] {
                      const std::string whole = sheetWith(LotusRelease::Two, 10, 0, {});
                      return whole.substr(0, whole.size() - 7);
                  },
                  3274, "it ends before its end-of-file record", 0},
        CheckCase{"Wk4WithoutItsEnd",
                  [] {
                      const std::string whole = sheetWith(LotusRelease::Four, 10, 0, {});
                      return whole.substr(0, whole.size() - 4);
                  },
                  3274, "it ends before its end-of-file record", 0},
        // Column IV is a Release 2 sheet's last.
        CheckCase{"Wk1CellPastColumnIV",
                  [] {
                      return sheetWith(LotusRelease::Two, 3, 2,
                                       [](LotusSheet& s) { s.label(2, 256, "x"); });
                  },
                  3274, "beyond the worksheet's last column", 0},
        // The password record: what follows is enciphered.
        CheckCase{"Wk1ProtectedByAPassword",
                  [] {
                      return sheetWith(LotusRelease::Two, 3, 1,
                                       [](LotusSheet& s) { s.record(0x4B, std::string(4, 'x')); });
                  },
                  3051, "protected by a password", 0},
        CheckCase{"Wk4ProtectedByAPassword",
                  [] {
                      return sheetWith(LotusRelease::Four, 3, 1,
                                       [](LotusSheet& s) { s.record(0x02, std::string(4, 'x')); });
                  },
                  3051, "protected by a password", 0},
        // A beginning record of no 1-2-3 release.
        CheckCase{"UnknownRelease",
                  [] {
                      std::string bytes = sheetWith(LotusRelease::Two, 3, 0, {});
                      bytes[4] = 0x00;
                      bytes[5] = 0x03;
                      return bytes;
                  },
                  3274, "not a Lotus 1-2-3 worksheet", 0}),
    [](const auto& info) { return std::string(info.param.label); });

// Sheets of many short cells, which cost a few bytes each beyond their file.
enum class CellKind { Number, Integer };

struct LargeCase {
    const char* label;
    LotusRelease release;
    CellKind kind;
    unsigned columns;
    unsigned dataRows;
};

Value largeValue(const LargeCase& c, unsigned r, unsigned column) {
    if (c.kind == CellKind::Number) return Value::number(r * 1000.0 + column + 0.5);
    return Value::number((r * 7 + column) % 16000);
}

std::string largeSheetOf(const LargeCase& c) {
    LotusSheet sheet(c.release);
    for (unsigned column = 0; column < c.columns; ++column)
        sheet.label(0, column, "C" + std::to_string(column));
    for (unsigned r = 1; r <= c.dataRows; ++r)
        for (unsigned column = 0; column < c.columns; ++column) {
            const double v = largeValue(c, r, column).asNumber();
            if (c.kind == CellKind::Number)
                sheet.number(r, column, v);
            else
                sheet.integer(r, column, static_cast<std::int16_t>(v));
        }
    return sheet.bytes();
}

class LotusLargeSheetTest : public ::testing::TestWithParam<LargeCase> {};

TEST_P(LotusLargeSheetTest, ALargeSheetOfShortCellsLinksWhole) {
    const auto& c = GetParam();
    TempDir dir;
    const std::string path =
        dir.file(c.release == LotusRelease::Two ? "numbers.wk1" : "numbers.wk4");
    spit(path, largeSheetOf(c));

    const auto began = std::chrono::steady_clock::now();
    Table table;
    try {
        table = readLinked("Lotus WK4;DATABASE=" + path, "");
    } catch (const EngineError& e) {
        FAIL() << e.what();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    RecordProperty("link_seconds", std::to_string(took.count()));

    ASSERT_EQ(table.fields.size(), c.columns);
    ASSERT_EQ(table.rows.size(), c.dataRows);
    int wrong = 0;
    for (unsigned r = 1; r <= c.dataRows && wrong < 5; ++r)
        for (unsigned column = 0; column < c.columns; ++column)
            if (table.rows[r - 1][column] != largeValue(c, r, column)) {
                ++wrong;
                ADD_FAILURE() << "row " << r << " column " << column << " is not as written";
                break;
            }
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, LotusLargeSheetTest,
    ::testing::Values(
        // 9 MB of 18-byte number cells, and 6 MB of 10-byte whole numbers.
        LargeCase{"Wk4Numbers", LotusRelease::Four, CellKind::Number, 20, 25000},
        LargeCase{"Wk4Integers", LotusRelease::Four, CellKind::Integer, 20, 30000},
        // A Release 2 sheet past row 32,767.
        LargeCase{"Wk1Numbers", LotusRelease::Two, CellKind::Number, 20, 34000}),
    [](const auto& info) { return std::string(info.param.label); });

// A sheet whose rows reach column IV: every row links with its 256 fields, counted as
// they arrive (a table of them all would hold 16 million values).
class CountingSink final : public ForeignTableSink {
public:
    std::size_t fields = 0, rows = 0, wrong = 0;
    void begin(const std::vector<ForeignField>& f) override { fields = f.size(); }
    void row(std::vector<Value>& values) override {
        ++rows;
        const double expected = static_cast<double>(rows);
        if (values.size() != 256 || values[0] != Value::number(expected) ||
            values[255] != Value::number(-expected) || !values[128].isNull())
            ++wrong;
    }
};

TEST(LotusWideSheetTest, EveryRowReachingColumnIVLinks) {
    LotusSheet sheet(LotusRelease::Two);
    sheet.label(0, 0, "First");
    sheet.label(0, 255, "Last");
    for (unsigned r = 1; r <= 65535; ++r) {
        sheet.number(r, 0, r);
        sheet.number(r, 255, -static_cast<double>(r));
    }
    TempDir dir;
    const std::string path = dir.file("wide.wk1");
    spit(path, sheet.bytes());
    CountingSink sink;
    drivers::readLotusFile(path, sink);
    EXPECT_EQ(sink.fields, 256u);
    EXPECT_EQ(sink.rows, 65535u);
    EXPECT_EQ(sink.wrong, 0u);
}

} // namespace
} // namespace varnoke::test
