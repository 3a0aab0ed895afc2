#include "drivers/lotus_values.h"

#include "value/convert.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace varnoke::drivers {

namespace {

// 9999-12-31: larger serials are not dates any program shows.
constexpr double kLastSerial = 2958465;

// Display formats: the kind in bits 4-6, and for the special kind (7) which one in the
// low four bits.
constexpr unsigned kSpecial = 7;
bool isDateOrTimeFormat(std::uint8_t format) {
    if ((format >> 4 & 7) != kSpecial) return false;
    switch (format & 0x0F) {
    case 2:  // D1 day-month-year
    case 3:  // D2 day-month
    case 4:  // D3 month-year
    case 9:  // D4 long international date
    case 10: // D5 short international date
    case 7:  // D6 time with seconds
    case 8:  // D7 time
    case 11: // D8 long international time
    case 12: // D9 short international time
        return true;
    default:
        return false;
    }
}

// The code page of each character group; an empty name is a group of no code page.
const char* groupPage(std::uint8_t group) {
    switch (group) {
    case 0x01:
        return "CP850";
    case 0x02:
        return "IBM851"; // Greek
    case 0x03:
        return "CP1255"; // Hebrew
    case 0x04:
        return "CP1256"; // Arabic
    case 0x05:
        return "CP1251"; // Cyrillic
    case 0x06:
        return "CP852"; // Latin 2
    case 0x08:
        return "CP1254"; // Turkish
    case 0x0B:
        return "CP874"; // Thai
    case 0x10:
        return "CP932"; // Japanese
    case 0x11:
        return "CP949"; // Korean
    case 0x12:
        return "CP950"; // Traditional Chinese
    case 0x13:
        return "CP936"; // Simplified Chinese
    default:
        return "";
    }
}

bool doubleByteGroup(std::uint8_t group) {
    return group >= 0x10 && group <= 0x13;
}

} // namespace

LotusReal lotusExtendedReal(ByteSpan b) {
    std::uint64_t mantissa = 0;
    for (std::size_t i = 8; i-- > 0;)
        mantissa = mantissa << 8 | b[i];
    const unsigned word = b[8] | b[9] << 8;
    const int exponent = static_cast<int>(word & 0x7FFF);
    if (exponent == 0x7FFF) {
        // The negative NaNs whose top byte names the cell's kind; any other NaN or an
        // infinity is no number either.
        if (word == 0xFFFF && b[7] == 0x00) return {LotusReal::Kind::Blank, 0};
        if (word == 0xFFFF && b[7] == 0xE0) return {LotusReal::Kind::Text, 0};
        return {LotusReal::Kind::Error, 0};
    }
    if (mantissa == 0) return {};
    const long double value = std::ldexp(static_cast<long double>(mantissa), exponent - 16383 - 63);
    return {LotusReal::Kind::Number, word & 0x8000 ? -value : value};
}

long double lotusSmallNumber(std::int16_t packed) {
    // Arithmetic shifts keep the sign of the mantissa.
    if ((packed & 1) == 0) return packed >> 1;
    static constexpr int kFactors[8] = {5000, 500, -20, -200, -2000, -20000, -16, -64};
    const int factor = kFactors[(packed >> 1) & 7];
    const long double mantissa = packed >> 4;
    return factor > 0 ? mantissa * factor : mantissa / -factor;
}

long double lotusPackedNumber(std::uint32_t packed) {
    long double value = packed >> 6;
    if (packed & 0x20) value = -value;
    const long double scale = std::pow(10.0L, static_cast<long double>(packed & 0x0F));
    return packed & 0x10 ? value / scale : value * scale;
}

Value lotusNumber(long double number) {
    const auto d = static_cast<double>(number);
    // Past a double's range 1-2-3 shows no number either.
    if (!std::isfinite(d)) return Value::null();
    // Only a whole number below 2^63 can be a key whose last digits matter; larger ones
    // are magnitudes, which a double rounds as any program does.
    constexpr long double kTwo63 = 9223372036854775808.0L;
    if (static_cast<long double>(d) == number || std::floor(number) != number ||
        std::fabs(number) >= kTwo63)
        return Value::number(d);
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.0Lf", number);
    return Value::text(digits);
}

Value lotusFormatted(Value number, std::uint8_t format) {
    if (number.kind() != Value::Kind::Number || !isDateOrTimeFormat(format)) return number;
    double serial = number.asNumber();
    // 1-2-3 counts a 29 February 1900 that never was: its days before it stand one
    // lower than the engine's.
    if (serial >= 1 && serial < 60) serial += 1;
    if (!(serial >= 0 && serial <= kLastSerial)) return number;
    return Value::date(serial);
}

LotusText::LotusText(std::uint8_t group) : group_(group) {}
LotusText::~LotusText() = default;

const CodePage& LotusText::page(std::uint8_t group) const {
    auto& page = pages_[group & 0x1F];
    if (!page) page = std::make_unique<CodePage>(groupPage(group));
    return *page;
}

std::string LotusText::toUtf8(ByteSpan bytes) const {
    std::string out;
    out.reserve(bytes.size());
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != 0)
        ++end;
    // Characters of one group in a row are converted together.
    std::string pending;
    std::uint8_t pendingGroup = 0;
    auto put = [&](std::uint8_t group, std::initializer_list<std::uint8_t> chars) {
        if (group != pendingGroup && !pending.empty()) {
            out += page(pendingGroup).toUtf8(pending);
            pending.clear();
        }
        pendingGroup = group;
        for (const auto c : chars)
            pending += static_cast<char>(c);
    };
    auto flush = [&] {
        if (!pending.empty()) out += page(pendingGroup).toUtf8(pending);
        pending.clear();
    };
    for (std::size_t i = 0; i < end;) {
        const std::uint8_t b = bytes[i];
        const std::size_t left = end - i - 1; // bytes after this one
        if (b >= 0x80) {
            if (doubleByteGroup(group_) && left >= 1) {
                put(group_, {b, bytes[i + 1]});
                i += 2;
            } else {
                put(group_, {b});
                ++i;
            }
            continue;
        }
        // Escapes: a group byte and one character of that group, a control character
        // 0x20 below the one given, and sequences of groups we have no code page for,
        // which are passed over whole.
        std::size_t length = 1;
        if ((b >= 0x01 && b <= 0x08) || b == 0x0B || b == 0x0C || b == 0x0E || b == 0x0F ||
            (b >= 0x18 && b <= 0x1F))
            length = 2;
        else if (b >= 0x10 && b <= 0x17)
            length = 3;
        if (length > left + 1) break; // an escape cut off by the text's end
        const std::uint8_t c = length > 1 ? bytes[i + 1] : 0;
        if (length == 1) {
            flush();
            out += static_cast<char>(b); // ASCII, line breaks and tabs among it
        } else if (b == 0x0F) {
            flush();
            if (c >= 0x20 && c < 0x40)
                out += static_cast<char>(c - 0x20);
            else if (c == 0x40)
                out += '\x7F';
        } else if (b == 0x14) {
            flush();
            const unsigned code = static_cast<unsigned>(c) << 8 | bytes[i + 2];
            if (code < 0xD800 || (code > 0xDFFF && (code < 0xE000 || code > 0xF8FF)))
                appendUtf8(out, code);
        } else if (*groupPage(b) != 0) {
            if (c >= 0x80 || length == 3) {
                if (length == 3)
                    put(b, {c, bytes[i + 2]});
                else
                    put(b, {c});
            } else {
                flush();
                out += static_cast<char>(c); // below 0x80: the character itself, as other
                                             // programs escape line breaks
            }
        }
        i += length;
    }
    flush();
    return out;
}

} // namespace varnoke::drivers
