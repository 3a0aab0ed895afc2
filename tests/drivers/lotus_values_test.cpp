// Each kind of cell value of each release, written record by record from the published
// layouts, links as the bytes say: a display format decides only whether a number is a
// date (and never whether it arrives), formula results of every kind, the packed number
// forms, long whole numbers, and labels with 1-2-3's character escapes.
#include "drivers/lotus_format.h"
#include "lotus_sheet.h"
#include "table_collector.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>

namespace varnoke::test {
namespace {

using Bytes = std::string;

Bytes u16(unsigned v) {
    return LotusSheet::u16(v);
}
Bytes le64(std::uint64_t v) {
    Bytes out;
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
}
Bytes ieee(double v) {
    return le64(std::bit_cast<std::uint64_t>(v));
}
// An 80-bit real of mantissa and biased exponent word (its top bit the sign).
Bytes real(std::uint64_t mantissa, unsigned word) {
    return le64(mantissa) + u16(word);
}
// A whole number as an 80-bit real: its top bit the mantissa's first.
Bytes wholeReal(std::uint64_t whole) {
    const int width = std::bit_width(whole);
    return real(whole << (64 - width), static_cast<unsigned>(16383 + width - 1));
}
// The NaN that marks a formula's kind of result by its top byte.
Bytes marker(std::uint8_t kind) {
    return real(std::uint64_t{kind} << 56, 0xFFFF);
}

// Release 2 cells of row 1, column 0: format, column, row, content.
Bytes wk1(std::uint16_t type, std::uint8_t format, const Bytes& content) {
    const Bytes data = static_cast<char>(format) + u16(0) + u16(1) + content;
    return u16(type) + u16(data.size()) + data;
}
Bytes wk1Number(double v, std::uint8_t format) {
    return wk1(0x0E, format, ieee(v));
}
Bytes wk1Formula(double saved, std::uint8_t format = 0xFF) {
    const Bytes code = '\x00' + ieee(1) + '\x03';
    return wk1(0x10, format, ieee(saved) + u16(code.size()) + code);
}
// The NaN Release 2 saves for a formula whose result is a text or an error.
const double kWk1Nan = std::bit_cast<double>(std::uint64_t{0x7FF8000000000000});

// Later releases' cells of row 1, column 0, first sheet.
Bytes later(std::uint16_t type, const Bytes& content) {
    const Bytes data = u16(1) + '\0' + '\0' + content;
    return u16(type) + u16(data.size()) + data;
}
// A row format record of the first sheet: a 32-bit format for each column from A.
Bytes rowFormat(unsigned row, std::initializer_list<std::uint32_t> formats) {
    Bytes data = Bytes(1, '\0') + '\0' + u16(row);
    for (const auto f : formats)
        data += u16(f & 0xFFFF) + u16(f >> 16);
    return u16(0x13) + u16(data.size()) + data;
}

struct ValueCase {
    const char* label;
    LotusRelease release;
    std::function<Bytes()> cells; // records of the cell in A2 (and any it needs)
    Value expected;
    int fieldType; // 7 double, 8 date, 10 text; 0: not asked
};

class LotusValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(LotusValueTest, TheCellLinksAsItsBytesSay) {
    const auto& c = GetParam();
    LotusSheet sheet(c.release);
    sheet.label(0, 0, "Value");
    sheet.label(0, 1, "Key");
    sheet.record(0xFE, ""); // a record of no known kind, passed over
    std::string bytes = sheet.bytes();
    // The cell's records go before the key and the end-of-file record.
    bytes.insert(bytes.size() - 4, c.cells());
    LotusSheet key(c.release);
    key.label(1, 1, "k");
    const std::string keyBytes = key.bytes();
    const std::size_t bofLength = c.release == LotusRelease::Two ? 6 : 30;
    bytes.insert(bytes.size() - 4, keyBytes.substr(bofLength, keyBytes.size() - bofLength - 4));

    Table table;
    drivers::readLotusImage({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                            c.release == LotusRelease::Two ? "v.wk1" : "v.wk4", table);
    ASSERT_EQ(table.fields.size(), 2u);
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0][0], c.expected);
    if (c.fieldType != 0) {
        EXPECT_EQ(table.fields[0].type, c.fieldType);
    }
}

const Value kNull = Value::null();
Value num(double v) {
    return Value::number(v);
}
Value date(double serial) {
    return Value::date(serial);
}
Value text(const char* t) {
    return Value::text(t);
}

using R = LotusRelease;

INSTANTIATE_TEST_SUITE_P(
    Wk1Formats, LotusValueTest,
    ::testing::Values(
        // The number kinds: fixed, scientific, currency, percent, comma, each with two
        // decimals (and protected, the top bit, for scientific).
        ValueCase{"Fixed", R::Two, [] { return wk1Number(1234.5, 0x02); }, num(1234.5), 7},
        ValueCase{"Scientific", R::Two, [] { return wk1Number(1.5e-7, 0x92); }, num(1.5e-7), 7},
        ValueCase{"Currency", R::Two, [] { return wk1Number(-12.25, 0x22); }, num(-12.25), 7},
        ValueCase{"Percent", R::Two, [] { return wk1Number(0.125, 0x32); }, num(0.125), 7},
        ValueCase{"Comma", R::Two, [] { return wk1Number(1e6, 0x42); }, num(1e6), 7},
        // The special kinds that are no date: +/-, general, text, hidden, the default.
        ValueCase{"PlusMinus", R::Two, [] { return wk1Number(5, 0xF0); }, num(5), 7},
        ValueCase{"PlusMinusNegative", R::Two, [] { return wk1Number(-3, 0x70); }, num(-3), 7},
        ValueCase{"General", R::Two, [] { return wk1Number(36526.5, 0x71); }, num(36526.5), 7},
        ValueCase{"Text", R::Two, [] { return wk1Number(2, 0x75); }, num(2), 7},
        ValueCase{"Hidden", R::Two, [] { return wk1Number(7, 0x76); }, num(7), 7},
        // Dates keep their time; 1/1/2000 is serial 36526 in both counts.
        ValueCase{"D1KeepsItsTime", R::Two, [] { return wk1Number(36526.5, 0x72); }, date(36526.5),
                  8},
        ValueCase{"D2", R::Two, [] { return wk1Number(36526, 0x73); }, date(36526), 8},
        ValueCase{"D3", R::Two, [] { return wk1Number(36526, 0xF4); }, date(36526), 8},
        // 1-2-3's day 61 is 1 March 1900, as the engine's.
        ValueCase{"D4", R::Two, [] { return wk1Number(61.75, 0x79); }, date(61.75), 8},
        // Its day 59 is 28 February 1900, the engine's day 60.
        ValueCase{"D5BeforeItsFalseLeapDay", R::Two, [] { return wk1Number(59, 0x7A); }, date(60),
                  8},
        ValueCase{"D6TimeOfADay", R::Two, [] { return wk1Number(36526.75, 0x77); }, date(36526.75),
                  8},
        ValueCase{"D7Time", R::Two, [] { return wk1Number(0.25, 0x78); }, date(0.25), 8},
        ValueCase{"D8Time", R::Two, [] { return wk1Number(0.5, 0x7B); }, date(0.5), 8},
        ValueCase{"D9Time", R::Two, [] { return wk1Number(0.75, 0x7C); }, date(0.75), 8},
        // Serials no date holds stay numbers.
        ValueCase{"NegativeTime", R::Two, [] { return wk1Number(-0.25, 0x78); }, num(-0.25), 7},
        ValueCase{"DatePastTheYear9999", R::Two, [] { return wk1Number(4e6, 0x72); }, num(4e6), 7},
        ValueCase{"IntegerAsDate", R::Two, [] { return wk1(0x0D, 0x72, u16(30000)); }, date(30000),
                  8},
        ValueCase{"NegativeInteger", R::Two, [] { return wk1(0x0D, 0xFF, u16(0xFFFE)); }, num(-2),
                  7}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Wk1Results, LotusValueTest,
    ::testing::Values(
        ValueCase{"Number", R::Two, [] { return wk1Formula(2.5); }, num(2.5), 7},
        ValueCase{"Zero", R::Two, [] { return wk1Formula(0); }, num(0), 7},
        ValueCase{"Date", R::Two, [] { return wk1Formula(36526.25, 0x72); }, date(36526.25), 8},
        ValueCase{"Text", R::Two,
                  [] { return wk1Formula(kWk1Nan) + wk1(0x33, 0xFF, Bytes("abc\r\ndef") + '\0'); },
                  text("abc\r\ndef"), 10},
        // ERR and NA: a NaN with no text after it.
        ValueCase{"Error", R::Two, [] { return wk1Formula(kWk1Nan); }, kNull, 0},
        ValueCase{"ErrorConstant", R::Two,
                  [] { return wk1Number(std::numeric_limits<double>::quiet_NaN(), 0xFF); }, kNull,
                  0}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Labels, LotusValueTest,
    ::testing::Values(
        // A raw line break is kept; 1-2-3's escaped one (0x0F '-' 0x0F '*') is CR LF.
        ValueCase{"Wk1RawLineBreak", R::Two,
                  [] { return wk1(0x0F, 0xFF, Bytes("'abc\r\ndef") + '\0'); }, text("abc\r\ndef"),
                  10},
        ValueCase{"Wk1EscapedLineBreak", R::Two,
                  [] { return wk1(0x0F, 0xFF, Bytes("^abc\x0F-\x0F*def") + '\0'); },
                  text("abc\r\ndef"), 10},
        ValueCase{"Wk4EscapedLineBreak", R::Four,
                  [] { return later(0x16, Bytes("'abc\x0F-\x0F*def") + '\0'); }, text("abc\r\ndef"),
                  10},
        // Release 2's bytes above 0x7F are code page 850's; a group byte names another
        // group's character (0x06: code page 852).
        ValueCase{"Wk1CodePage850", R::Two,
                  [] { return wk1(0x0F, 0xFF, Bytes("\"K\x84se \x9C") + '\0'); },
                  text("K\xC3\xA4se \xC2\xA3"), 10},
        ValueCase{"Wk4OtherGroup", R::Four,
                  [] { return later(0x16, Bytes("'\x06\xA5\x01\x82") + '\0'); },
                  text("\xC4\x85\xC3\xA9"), 10},
        // A label written without an alignment prefix keeps its first character.
        ValueCase{"Wk1WithoutPrefix", R::Two, [] { return wk1(0x0F, 0xFF, Bytes("abc") + '\0'); },
                  text("abc"), 10}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    LaterNumbers, LotusValueTest,
    ::testing::Values(
        // 80-bit reals: 2.5 is 0xA000... * 2^(1-63); reals of 2^63 or more are numbers,
        // a whole number between 2^53 and 2^63 keeps its digits.
        ValueCase{"Extended", R::Four, [] { return later(0x17, real(0xA000000000000000, 0x4000)); },
                  num(2.5), 7},
        ValueCase{"ExtendedNegative", R::Four,
                  [] { return later(0x17, real(0xC000000000000000, 0xC000)); }, num(-3), 7},
        ValueCase{"Extended1e300", R::Four,
                  [] {
                      int e = 0;
                      const double f = std::frexp(1e300, &e);
                      return later(0x17, real(static_cast<std::uint64_t>(std::ldexp(f, 64)),
                                              static_cast<unsigned>(16383 + e - 1)));
                  },
                  num(1e300), 7},
        ValueCase{"ExtendedTwoTo63", R::Four,
                  [] { return later(0x17, real(0x8000000000000000, 16383 + 63)); },
                  num(9223372036854775808.0), 7},
        ValueCase{"ExtendedPastADouble", R::Four,
                  [] { return later(0x17, real(0x8000000000000002, 16383 + 62)); },
                  text("4611686018427387905"), 10},
        // Whole numbers past 2^53 that a double holds exactly stay numbers.
        ValueCase{"ExtendedTwoTo53", R::Four,
                  [] { return later(0x17, wholeReal(std::uint64_t{1} << 53)); },
                  num(9007199254740992.0), 7},
        ValueCase{"ExtendedTenTo16", R::Three,
                  [] { return later(0x17, wholeReal(10000000000000000)); }, num(1e16), 7},
        ValueCase{"ExtendedTwoTo53AndOne", R::Four,
                  [] { return later(0x17, wholeReal((std::uint64_t{1} << 53) + 1)); },
                  text("9007199254740993"), 10},
        ValueCase{"FormulaTenTo16", R::Four,
                  [] { return later(0x19, wholeReal(10000000000000000) + '\x03'); }, num(1e16), 7},
        // Past a double's range: no number, as Release 2's infinite doubles.
        ValueCase{"ExtendedPastADoublesRange", R::Four,
                  [] { return later(0x17, real(0x8000000000000000, 16383 + 2000)); }, kNull, 0},
        ValueCase{"ExtendedNegativePastADoublesRange", R::Four,
                  [] { return later(0x17, real(0xC000000000000000, 0x8000 | (16383 + 1500))); },
                  kNull, 0},
        // Packed 16-bit: an even word is a whole number (14 >> 1), an odd one a mantissa
        // with a factor: (3 << 4) | (2 << 1) | 1 is 3 / 20, (2 << 4) | 1 is 2 * 5000.
        ValueCase{"SmallWhole", R::Four, [] { return later(0x18, u16(14)); }, num(7), 7},
        ValueCase{"SmallNegative", R::Four, [] { return later(0x18, u16(0xFFF6)); }, num(-5), 7},
        ValueCase{"SmallFraction", R::Four, [] { return later(0x18, u16(53)); }, num(0.15), 7},
        ValueCase{"SmallTimes5000", R::Four, [] { return later(0x18, u16(33)); }, num(10000), 7},
        // Packed 32-bit: mantissa << 6, 0x20 negative, 0x10 divide, the power of ten.
        ValueCase{"PackedDivided", R::Four,
                  [] {
                      const unsigned p = 12345u << 6 | 0x20 | 0x10 | 2;
                      return later(0x25, u16(p & 0xFFFF) + u16(p >> 16));
                  },
                  num(-123.45), 7},
        ValueCase{"PackedTimes", R::Four,
                  [] {
                      const unsigned p = 7u << 6 | 3;
                      return later(0x25, u16(p & 0xFFFF) + u16(p >> 16));
                  },
                  num(7000), 7},
        ValueCase{"Double", R::Four, [] { return later(0x27, ieee(-0.5)); }, num(-0.5), 7}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    LaterResults, LotusValueTest,
    ::testing::Values(
        ValueCase{"ExtendedNumber", R::Four,
                  [] { return later(0x19, real(0xA000000000000000, 0x4000) + '\x03'); }, num(2.5),
                  7},
        ValueCase{
            "ExtendedText", R::Three,
            [] { return later(0x19, marker(0xE0) + '\x03') + later(0x1A, Bytes("abc") + '\0'); },
            text("abc"), 10},
        ValueCase{"ExtendedError", R::Four, [] { return later(0x19, marker(0xC0) + '\x03'); },
                  kNull, 0},
        ValueCase{"ExtendedNotAvailable", R::Four,
                  [] { return later(0x19, marker(0xD0) + '\x03'); }, kNull, 0},
        ValueCase{"ErrorCell", R::Four, [] { return later(0x14, ""); }, kNull, 0},
        // The 8-byte form of the latest release: a saved 0 is a value; a text result
        // is a NaN, then the text.
        ValueCase{"DoubleZero", R::Four, [] { return later(0x28, ieee(0) + '\x03'); }, num(0), 7},
        ValueCase{
            "DoubleText", R::Four,
            [] { return later(0x28, ieee(kWk1Nan) + '\x03') + later(0x1A, Bytes("xy") + '\0'); },
            text("xy"), 10}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    RowFormats, LotusValueTest,
    ::testing::Values(
        // The later releases format by row: the low byte of each column's word is
        // Release 2's format byte.
        ValueCase{
            "D1", R::Four,
            [] { return rowFormat(1, {0x72}) + later(0x17, real(0x8EAE000000000000, 16383 + 15)); },
            date(36526), 8},
        ValueCase{"Scientific", R::Four, [] { return rowFormat(1, {0x12}) + later(0x18, u16(14)); },
                  num(7), 7},
        ValueCase{"PlusMinus", R::Four, [] { return rowFormat(1, {0x70}) + later(0x18, u16(10)); },
                  num(5), 7},
        // A format of another row, copied to this one.
        ValueCase{"Copied", R::Four,
                  [] {
                      const Bytes copy = Bytes(1, '\0') + '\x02' + u16(1) + u16(0) + u16(5);
                      return rowFormat(5, {0x77}) + u16(0x13) + u16(copy.size()) + copy +
                             later(0x27, ieee(0.5));
                  },
                  date(0.5), 8}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
