#pragma once
// The values of 1-2-3 cells as the file's bytes hold them: the number forms of each
// release, what a display format makes of a number, and texts in Lotus's multi-byte
// character set with its escapes.
#include "drivers/reader_support.h"
#include "value/value.h"

#include <array>
#include <cstdint>
#include <memory>

namespace varnoke::drivers {

// An 80-bit extended real (Release 3 and later). Its NaN patterns mark what the cell
// holds instead of a number: nothing, an error value, or a text in the record after.
struct LotusReal {
    enum class Kind { Number, Blank, Error, Text } kind = Kind::Number;
    long double number = 0;
};
LotusReal lotusExtendedReal(ByteSpan tenBytes);

// Release 3's packed forms: a 16-bit whole number or fraction, and a 32-bit mantissa
// with a power of ten.
long double lotusSmallNumber(std::int16_t packed);
long double lotusPackedNumber(std::uint32_t packed);

// A number of the later releases as a value. Their reals hold every whole number below
// 2^63 exactly; one of those a double cannot hold keeps its digits as text, by the rule
// every reader follows for long keys, while one it holds (1e16, 2^53) stays a number. A
// number past a double's range is Null, as 1-2-3 shows it no number.
Value lotusNumber(long double number);

// A number under a display format byte (Release 2's per cell, the later releases' per
// row): a date or time format makes it a date, unless no date holds that serial, when
// it stays the number. Every other format (fixed, scientific, +/-, hidden...) leaves it
// a number.
Value lotusFormatted(Value number, std::uint8_t format);

// Decodes texts of one worksheet: bytes above 0x7F are of the file's default group
// (a code page), and escape sequences name another group or a control character.
class LotusText {
public:
    // group: the default group, 1 (code page 850) for Release 2.
    explicit LotusText(std::uint8_t group);
    ~LotusText();
    LotusText(const LotusText&) = delete;
    LotusText& operator=(const LotusText&) = delete;

    // The text up to its first zero byte (or its end), as UTF-8.
    std::string toUtf8(ByteSpan bytes) const;

private:
    const CodePage& page(std::uint8_t group) const;

    std::uint8_t group_;
    mutable std::array<std::unique_ptr<CodePage>, 0x20> pages_; // opened when first met
};

} // namespace varnoke::drivers
