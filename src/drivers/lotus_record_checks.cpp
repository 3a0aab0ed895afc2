#include "drivers/lotus_record_checks.h"

#include <algorithm>
#include <array>

namespace varnoke::drivers {

namespace {

// A kind of record whose layout fixes its length: one or two lengths the writers of
// sound sheets are seen to write.
struct Sized {
    std::uint16_t type;
    std::uint16_t length;
    std::uint16_t otherLength;
};

// Release 1A and 2 (and Symphony): the beginning, settings, ranges, names and the
// cells of a number; each checked against every sound sheet at hand.
constexpr std::array kReleaseTwoSizes{
    Sized{0x00, 2, 2},   Sized{0x02, 1, 1},   Sized{0x03, 1, 1},   Sized{0x04, 1, 1},
    Sized{0x05, 1, 1},   Sized{0x06, 8, 16},  Sized{0x07, 31, 32}, Sized{0x08, 3, 3},
    Sized{0x0B, 24, 24}, Sized{0x0C, 5, 5},   Sized{0x0D, 7, 7},   Sized{0x0E, 13, 13},
    Sized{0x18, 25, 25}, Sized{0x19, 25, 25}, Sized{0x1A, 8, 8},   Sized{0x1B, 8, 8},
    Sized{0x1C, 8, 8},   Sized{0x1D, 9, 9},   Sized{0x20, 16, 16}, Sized{0x23, 9, 9},
    Sized{0x24, 1, 1},   Sized{0x28, 10, 10}, Sized{0x29, 1, 1},   Sized{0x2A, 16, 16},
    Sized{0x2F, 1, 1},   Sized{0x30, 1, 1},   Sized{0x31, 1, 1},   Sized{0x64, 32, 32},
    Sized{0x66, 16, 16}, Sized{0x67, 25, 25}, Sized{0x69, 40, 40},
};

// Release 3 and later.
constexpr std::array kLaterSizes{
    Sized{0x00, 26, 26}, Sized{0x03, 6, 6},   Sized{0x04, 28, 28}, Sized{0x05, 16, 16},
    Sized{0x06, 5, 5},   Sized{0x0A, 24, 26}, Sized{0x0B, 1, 1},   Sized{0x0E, 30, 32},
    Sized{0x0F, 86, 86}, Sized{0x14, 4, 4},   Sized{0x15, 4, 4},   Sized{0x17, 14, 14},
    Sized{0x18, 6, 6},   Sized{0x1C, 6, 6},   Sized{0x1F, 8, 8},   Sized{0x25, 8, 8},
    Sized{0x27, 12, 12},
};

// Texts end in a zero byte, formulas in their end mark.
constexpr std::uint8_t kFormulaEnd = 0x03;

template <std::size_t N>
std::string_view sizeFault(const std::array<Sized, N>& sizes, std::uint16_t type,
                           std::size_t length) {
    const auto kind =
        std::find_if(sizes.begin(), sizes.end(), [&](const Sized& s) { return s.type == type; });
    if (kind == sizes.end() || length == kind->length || length == kind->otherLength) return {};
    return "a record is not of its kind's length";
}

std::string_view releaseTwoFault(std::uint16_t type, ByteSpan data) {
    // Release 2's record numbers fit in a byte.
    if (type > 0xFF) return "a record is of no kind a worksheet holds";
    if (const auto fault = sizeFault(kReleaseTwoSizes, type, data.size()); !fault.empty())
        return fault;
    switch (type) {
    case 0x96: // entries of six bytes, one a column
        if (data.size() % 6 != 0) return "a record is not of its kind's length";
        break;
    case 0x0F: // a label: format, column, row, the text
    case 0x33: // a formula's text result
        if (data.size() < 6 || data.back() != 0) return "a text's record does not end its text";
        break;
    case 0x10: { // format, column, row, the saved result, the formula's length and bytes
        if (data.size() < 16 || std::size_t{data[13]} + (data[14] << 8) + 15 != data.size() ||
            data.back() != kFormulaEnd)
            return "a formula's record does not end its formula";
        break;
    }
    default:
        break;
    }
    return {};
}

std::string_view laterFault(std::uint16_t type, ByteSpan data) {
    // The sound sheets of Release 3 to 1-2-3 Millennium number their records below
    // 0x0B00, but for one kind of no length.
    if (type >= 0x0B00 && type != 0x2AF6) return "a record is of no kind a worksheet holds";
    if (const auto fault = sizeFault(kLaterSizes, type, data.size()); !fault.empty()) return fault;
    switch (type) {
    case 0x16: // a label: row, sheet, column, the text
    case 0x1A: // a formula's text result
        if (data.size() < 5 || data.back() != 0) return "a text's record does not end its text";
        break;
    case 0x19: // row, sheet, column, the 80-bit result, the formula
    case 0x28: // the same with a double
        if (data.size() < (type == 0x19 ? 15u : 13u) || data.back() != kFormulaEnd)
            return "a formula's record does not end its formula";
        break;
    default:
        break;
    }
    return {};
}

bool isPadding(ByteSpan bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](std::uint8_t b) { return b == 0x00 || b == 0x1A; });
}

} // namespace

std::string_view lotusRecordFault(bool releaseTwo, std::uint16_t type, ByteSpan data, bool first) {
    if (type == 0x00 && !first) return "a second beginning record stands inside the file";
    return releaseTwo ? releaseTwoFault(type, data) : laterFault(type, data);
}

bool lotusTrailerSound(std::uint16_t version, ByteSpan trailer) {
    if (isPadding(trailer)) return true;
    if (trailer.size() < 4) return false;
    const unsigned type = trailer[0] | trailer[1] << 8;
    const std::size_t length = trailer[2] | trailer[3] << 8;
    if (version >= 0x1000)
        return (type == 0x00 && length == 26) || (type >= 0x180 && type <= 0x18F);
    return version == 0x0404 && 4 + length <= trailer.size();
}

} // namespace varnoke::drivers
