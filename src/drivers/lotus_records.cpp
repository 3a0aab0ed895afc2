#include "drivers/lotus_records.h"

#include "value/convert.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>

namespace varnoke::drivers {

namespace {

constexpr std::uint16_t kEndOfFile = 0x0001;
constexpr std::uint16_t kRange = 0x0006; // Release 2: the sheet's active range
// The first row the library cannot read in a Release 2 cell.
constexpr int kSignedRows = 0x8000;

std::uint16_t le16(ByteSpan bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void putLe16(Bytes& bytes, std::size_t at, unsigned value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8 & 0xFF);
}

// A Release 2 file begins with a BOF record whose version is below Release 3's 0x1000.
bool releaseTwo(ByteSpan image) {
    return image.size() >= 6 && le16(image, 0) == 0 && le16(image, 4) < 0x1000;
}

// Release 2 records of one cell: format, column, row, then the content.
bool releaseTwoCell(std::uint16_t type) {
    return (type >= 0x0C && type <= 0x10) || type == 0x33 || type == 0x36;
}

struct Record {
    std::uint16_t type;
    std::size_t at; // of its header in the file
    ByteSpan data;
};

// Visits every whole record before the end-of-file record; true when that record is
// reached, false when the file ends first (or inside a record).
template <class Visit> bool forEachRecord(ByteSpan image, Visit&& visit) {
    std::size_t at = 0;
    while (at + 4 <= image.size()) {
        const std::uint16_t type = le16(image, at);
        const std::size_t length = le16(image, at + 2);
        if (at + 4 + length > image.size()) return false;
        if (type == kEndOfFile) return true;
        visit(Record{type, at, image.subspan(at + 4, length)});
        at += 4 + length;
    }
    return false;
}

// 1-2-3 keeps control characters in texts behind an escape: 0x01 before the character
// itself, or 0x0F before the character 0x20 above it.
std::string lotusText(ByteSpan bytes) {
    std::string raw;
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != 0; ++i) {
        const auto b = bytes[i];
        if (b == 0x01 && i + 1 < bytes.size() && bytes[i + 1] != 0) {
            raw += static_cast<char>(bytes[++i]);
        } else if (b == 0x0F && i + 1 < bytes.size() && bytes[i + 1] >= 0x20) {
            raw += static_cast<char>(bytes[++i] - 0x20);
        } else {
            raw += static_cast<char>(b);
        }
    }
    return CodePage("CP1252").toUtf8(raw);
}

// An 80-bit extended real; NaN for the patterns that mark a text or an error result.
// A long double holds every such value exactly (x87 extended, or quad elsewhere).
long double extendedReal(ByteSpan b) {
    std::uint64_t mantissa = 0;
    for (std::size_t i = 8; i-- > 0;)
        mantissa = mantissa << 8 | b[i];
    const unsigned word = b[8] | b[9] << 8;
    const int exponent = static_cast<int>(word & 0x7FFF);
    if (exponent == 0x7FFF) return std::numeric_limits<long double>::quiet_NaN();
    if (mantissa == 0) return 0;
    const long double value = std::ldexp(static_cast<long double>(mantissa), exponent - 16383 - 63);
    return word & 0x8000 ? -value : value;
}

double ieeeDouble(const ByteView& data, std::size_t at) {
    return std::bit_cast<double>(std::uint64_t{data.u32le(at)} | std::uint64_t{data.u32le(at + 4)}
                                                                     << 32);
}

// A saved number as a value: a whole number a double cannot hold exactly keeps its
// digits as text, by the rule every reader follows for long keys.
Value savedNumber(long double value) {
    const auto d = static_cast<double>(value);
    if (doubleHoldsExactly(d) || std::floor(value) != value) return Value::number(d);
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.0Lf", value);
    return Value::text(digits);
}

// Whether the library shows a label's text: something beyond its alignment prefix
// other than the line feeds it drops.
bool labelHasText(ByteSpan text) {
    std::size_t i = 0;
    if (!text.empty() && (text[0] == '\'' || text[0] == '"' || text[0] == '^' || text[0] == '\\'))
        i = 1;
    for (; i < text.size() && text[i] != 0; ++i)
        if (text[i] != '\n') return true;
    return false;
}

// One cell record as the walk needs it.
struct CellRecord {
    enum class Kind { None, Formula, FormulaText, Number, Label } kind = Kind::None;
    LotusCellKey key{-1, -1};
    bool firstSheet = true;
    long double number = 0; // Formula, Number
    ByteSpan text;          // FormulaText, Label
};

// Release 2: format, column, row, then the content; one sheet.
CellRecord releaseTwoRecord(const Record& r, const ByteView& data) {
    using Kind = CellRecord::Kind;
    CellRecord cell;
    if (data.size() < 5) return cell;
    cell.key = {data.u16le(3), data.u16le(1)};
    // The library takes an integer or a number only at its exact length.
    if (r.type == 0x0D && data.size() == 7) {
        cell.kind = Kind::Number;
    } else if (r.type == 0x0E && data.size() == 13) {
        cell.kind = Kind::Number;
        cell.number = ieeeDouble(data, 5);
    } else if (r.type == 0x0F) {
        cell.kind = Kind::Label;
        cell.text = data.slice(5, data.size() - 5);
    } else if (r.type == 0x10 && data.size() >= 13) {
        cell.kind = Kind::Formula;
        cell.number = ieeeDouble(data, 5);
    } else if (r.type == 0x33) {
        cell.kind = Kind::FormulaText;
        cell.text = data.slice(5, data.size() - 5);
    }
    return cell;
}

// Release 3 and later: row, sheet, column, then the content.
CellRecord laterRecord(const Record& r, const ByteView& data) {
    using Kind = CellRecord::Kind;
    CellRecord cell;
    if (data.size() < 5) return cell;
    cell.key = {data.u16le(0), data.u8(3)};
    cell.firstSheet = data.u8(2) == 0;
    switch (r.type) {
    case 0x16: // label
        cell.kind = Kind::Label;
        cell.text = data.slice(4, data.size() - 4);
        break;
    case 0x17: // number, 80-bit
        if (data.size() < 14) break;
        cell.kind = Kind::Number;
        cell.number = extendedReal(data.slice(4, 10));
        break;
    case 0x18: // number, 16-bit packed
    case 0x25: // number, 32-bit packed
        if (data.size() < (r.type == 0x18 ? 6u : 8u)) break;
        cell.kind = Kind::Number;
        break;
    case 0x19: // formula with its 80-bit result
        if (data.size() < 14) break;
        cell.kind = Kind::Formula;
        cell.number = extendedReal(data.slice(4, 10));
        break;
    case 0x1A: // the text result of the formula before it
        cell.kind = Kind::FormulaText;
        cell.text = data.slice(4, data.size() - 4);
        break;
    case 0x27: // number, 64-bit
    case 0x28: // formula with its 64-bit result, which the library reads itself
        if (data.size() < 12) break;
        cell.kind = Kind::Number;
        cell.number = ieeeDouble(data, 4);
        break;
    default:
        break;
    }
    return cell;
}

} // namespace

void checkLotusRecords(ByteSpan image, std::string_view fileName) {
    const ByteView view(image, fileName);
    const bool wk1 = releaseTwo(image);
    const bool whole = forEachRecord(image, [&](const Record& r) {
        if (wk1 && releaseTwoCell(r.type) && r.data.size() >= 5 && le16(r.data, 1) >= 256)
            view.fail("a cell lies beyond the worksheet's last column");
    });
    if (!whole) view.fail("it ends before its end-of-file record (it may have been cut short)");
}

LotusRecords readLotusRecords(ByteSpan image, std::string_view fileName) {
    using Kind = CellRecord::Kind;
    LotusRecords out;
    if (image.size() < 6 || le16(image, 0) != 0) return out;
    const bool wk1 = releaseTwo(image);
    LotusCellKey awaitingText{-1, -1}; // the formula whose text result is due
    forEachRecord(image, [&](const Record& r) {
        const ByteView data(r.data, fileName);
        const CellRecord cell = wk1 ? releaseTwoRecord(r, data) : laterRecord(r, data);
        switch (cell.kind) {
        case Kind::Formula:
            awaitingText = {-1, -1};
            if (!cell.firstSheet) break;
            // A text result follows in a STRING record; anything else not a number is
            // an error value.
            out.savedValues[cell.key] = !std::isfinite(cell.number) ? Value::null()
                                        : wk1 ? Value::number(static_cast<double>(cell.number))
                                              : savedNumber(cell.number);
            if (!std::isfinite(cell.number)) awaitingText = cell.key;
            out.valueCells.push_back(cell.key);
            break;
        case Kind::FormulaText:
            if (awaitingText.first >= 0 && cell.key == awaitingText) {
                const auto text = lotusText(cell.text);
                out.savedValues[cell.key] = text.empty() ? Value::null() : Value::text(text);
            }
            awaitingText = {-1, -1};
            break;
        case Kind::Number:
            // NaN patterns mark error values, which the library shows as no value.
            if (!cell.firstSheet || !std::isfinite(cell.number)) break;
            out.valueCells.push_back(cell.key);
            if (auto v = savedNumber(cell.number); !wk1 && v.isText())
                out.savedValues[cell.key] = std::move(v);
            break;
        case Kind::Label:
            if (cell.firstSheet && labelHasText(cell.text)) out.valueCells.push_back(cell.key);
            break;
        case Kind::None:
            break;
        }
    });
    // Records come in any order; a cell named twice counts once.
    std::sort(out.valueCells.begin(), out.valueCells.end());
    out.valueCells.erase(std::unique(out.valueCells.begin(), out.valueCells.end()),
                         out.valueCells.end());
    return out;
}

std::size_t countLotusRecords(ByteSpan image) {
    std::size_t records = 0;
    forEachRecord(image, [&](const Record&) { ++records; });
    return records;
}

std::vector<LotusSheetPart> lotusLibraryParts(ByteSpan image) {
    if (!releaseTwo(image)) return {};
    // The range's last row; 0xFFFF in both last column and last row marks an empty sheet.
    auto rangePastRows = [](const Record& r) {
        return r.type == kRange && r.data.size() >= 8 && le16(r.data, 6) >= kSignedRows &&
               !(le16(r.data, 4) == 0xFFFF && le16(r.data, 6) == 0xFFFF);
    };
    bool cellsPast = false;
    bool rangePast = false;
    forEachRecord(image, [&](const Record& r) {
        if (releaseTwoCell(r.type) && r.data.size() >= 5 && le16(r.data, 3) >= kSignedRows)
            cellsPast = true;
        rangePast = rangePast || rangePastRows(r);
    });
    if (!cellsPast && !rangePast) return {};

    std::vector<LotusSheetPart> parts;
    for (const int firstRow : {0, kSignedRows}) {
        if (firstRow != 0 && !cellsPast) break;
        LotusSheetPart part{{}, firstRow};
        part.image.reserve(image.size());
        forEachRecord(image, [&](const Record& r) {
            const std::size_t at = part.image.size();
            const bool cell = releaseTwoCell(r.type);
            const bool positioned = cell && r.data.size() >= 5;
            const int row = positioned ? le16(r.data, 3) : 0;
            // A cell too short to name its row stays in the first part, where the
            // library meets it as it would in the file.
            if (cell && (positioned ? (row >= kSignedRows) != (firstRow != 0) : firstRow != 0))
                return;
            part.image.insert(part.image.end(), image.begin() + static_cast<std::ptrdiff_t>(r.at),
                              image.begin() +
                                  static_cast<std::ptrdiff_t>(r.at + 4 + r.data.size()));
            if (positioned) putLe16(part.image, at + 4 + 3, static_cast<unsigned>(row - firstRow));
            if (rangePastRows(r)) putLe16(part.image, at + 4 + 6, kSignedRows - 1);
        });
        part.image.insert(part.image.end(), {0x01, 0x00, 0x00, 0x00});
        parts.push_back(std::move(part));
    }
    return parts;
}

} // namespace varnoke::drivers
