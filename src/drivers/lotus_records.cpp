#include "drivers/lotus_records.h"

#include "drivers/cell_grid.h"
#include "drivers/lotus_record_checks.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace varnoke::drivers {

namespace {

constexpr std::uint16_t kBeginning = 0x0000;
constexpr std::uint16_t kEndOfFile = 0x0001;

// Release 2 (and 1A): format, column, row, then the content.
enum ReleaseTwo : std::uint16_t {
    Blank = 0x0C,
    Integer = 0x0D,
    Number = 0x0E,
    Label = 0x0F,
    Formula = 0x10,
    FormulaText = 0x33, // the text result of the formula just before
    Password = 0x4B,    // the rest of the file is enciphered
};
constexpr std::size_t kReleaseTwoColumns = 256;
constexpr std::uint8_t kNoFormat = 0xFF; // the sheet's default, a number's general form

// Release 3 and later: row, sheet, column, then the content.
enum Later : std::uint16_t {
    LaterPassword = 0x02, // the rest of the file is enciphered
    RowFormat = 0x13,
    ErrorCell = 0x14,
    NotAvailable = 0x15,
    LaterLabel = 0x16,
    ExtendedNumber = 0x17,
    SmallNumber = 0x18,
    ExtendedFormula = 0x19,
    LaterFormulaText = 0x1A, // the text result of the formula of its cell
    PackedNumber = 0x25,
    DoubleNumber = 0x27,
    DoubleFormula = 0x28,
};

std::uint16_t le16(ByteSpan bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

double ieeeDouble(const ByteView& data, std::size_t at) {
    return std::bit_cast<double>(std::uint64_t{data.u32le(at)} | std::uint64_t{data.u32le(at + 4)}
                                                                     << 32);
}

// The kinds of cell that hold a value; the checks of the walk have made sure each
// record is long enough for its value.
bool releaseTwoValueCell(std::uint16_t type) {
    return type == Integer || type == Number || type == Formula || type == Label;
}

bool laterValueCell(std::uint16_t type) {
    switch (type) {
    case ErrorCell:
    case NotAvailable:
    case LaterLabel:
    case LaterFormulaText:
    case SmallNumber:
    case PackedNumber:
    case DoubleNumber:
    case DoubleFormula:
    case ExtendedNumber:
    case ExtendedFormula:
        return true;
    default:
        return false;
    }
}

// A label's text after its alignment prefix; a label written without one keeps its
// first character.
ByteSpan labelText(ByteSpan text) {
    if (!text.empty() &&
        (text[0] == '\'' || text[0] == '"' || text[0] == '^' || text[0] == '\\' || text[0] == '|'))
        return text.subspan(1);
    return text;
}

} // namespace

LotusWorksheet::LotusWorksheet(ByteSpan image, std::string_view fileName)
    : image_(image), fileName_(fileName) {
    walk();
}

LotusWorksheet::~LotusWorksheet() = default;

void LotusWorksheet::walk() {
    const ByteView file(image_, fileName_);
    if (image_.size() > std::numeric_limits<std::uint32_t>::max())
        file.fail("it is larger than a worksheet can be");
    if (image_.size() < 6 || le16(image_, 0) != kBeginning || le16(image_, 2) < 2)
        file.fail("it is not a Lotus 1-2-3 worksheet");
    const std::uint16_t version = le16(image_, 4);
    // 0x0404 is Release 1A, 0x0405 and 0x0406 Release 2 and Symphony; Release 3 begins
    // at 0x1000.
    if (version >= 0x0404 && version <= 0x0406) {
        releaseTwo_ = true;
        text_ = std::make_unique<LotusText>(1);
    } else if (version >= 0x1000 && version <= 0x10FF) {
        releaseTwo_ = false;
        const std::size_t length = le16(image_, 2);
        const std::uint8_t group = length >= 17 && image_.size() >= 4 + 17 ? image_[4 + 16] : 1;
        text_ = std::make_unique<LotusText>(group == 0 ? 1 : group);
    } else {
        file.fail("it is not a Lotus 1-2-3 worksheet");
    }

    bool sorted = true;
    auto keep = [&](std::uint16_t row, std::uint16_t column, std::size_t at) {
        if (!cells_.empty()) {
            const auto& last = cells_.back();
            sorted = sorted && (last.row < row || (last.row == row && last.column < column));
        }
        cells_.push_back({row, column, le16(image_, at + 2), static_cast<std::uint32_t>(at)});
    };
    std::size_t at = 0;
    for (;;) {
        // A length is trusted only once its record has passed every check: a wrong one
        // shifts the walk onto bytes that merely look like records.
        if (at + 4 > image_.size() || at + 4 + le16(image_, at + 2) > image_.size())
            file.fail("it ends before its end-of-file record (it may have been cut short)");
        const std::uint16_t type = le16(image_, at);
        const std::size_t length = le16(image_, at + 2);
        const ByteSpan data = image_.subspan(at + 4, length);
        if (type == kEndOfFile) {
            if (length != 0 || !lotusTrailerSound(version, image_.subspan(at + 4)))
                file.fail("its end-of-file record is not its last (it may be damaged)");
            break;
        }
        if (type == (releaseTwo_ ? std::uint16_t{Password} : std::uint16_t{LaterPassword}))
            throw EngineError(err::CannotOpen, "The worksheet '" + fileName_ +
                                                   "' is protected by a password; Varnoke "
                                                   "cannot read it.");
        if (const auto fault = lotusRecordFault(releaseTwo_, type, data, at == 0); !fault.empty())
            file.fail(std::string(fault) + " (it may be damaged)");
        if (releaseTwo_) {
            const bool cell = (type >= Blank && type <= Formula) || type == FormulaText;
            if (cell && length >= 5 && le16(data, 1) >= kReleaseTwoColumns)
                file.fail("a cell lies beyond the worksheet's last column");
            if (releaseTwoValueCell(type)) keep(le16(data, 3), le16(data, 1), at);
        } else if (type == RowFormat) {
            readRowFormats(data);
        } else if (laterValueCell(type)) {
            if (data[2] == 0)
                keep(le16(data, 0), data[3], at);
            else
                laterSheetsHoldCells_ = true;
        }
        at += 4 + length;
    }

    if (sorted) return;
    // Records may come by column; a later record of a cell takes the earlier's place.
    std::stable_sort(cells_.begin(), cells_.end(), [](const LotusCellAt& a, const LotusCellAt& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        if (kept > 0 && cells_[kept - 1].row == cells_[i].row &&
            cells_[kept - 1].column == cells_[i].column)
            cells_[kept - 1] = cells_[i];
        else
            cells_[kept++] = cells_[i];
    }
    cells_.resize(kept);
}

// A row's formats: sheet, kind, row, then for the kind 0 a 32-bit format for each
// column from the first (its low byte as Release 2's format byte), the top bit marking
// one followed by a count of further columns it covers; the kind 2 copies the formats
// of another row as they stand. Only the first sheet's are kept: the other sheets' are
// never asked for (sound files copy formats within a sheet).
void LotusWorksheet::readRowFormats(ByteSpan data) {
    if (data.size() < 4 || data[0] != 0) return;
    const std::uint16_t row = le16(data, 2);
    if (data[1] == 2) {
        if (data.size() < 8) return;
        const auto source =
            le16(data, 4) == 0 ? rowFormats_.find(le16(data, 6)) : rowFormats_.end();
        if (source != rowFormats_.end())
            rowFormats_[row] = source->second;
        else
            rowFormats_.erase(row);
        return;
    }
    if (data[1] != 0) return;
    auto runs = std::make_shared<std::vector<FormatRun>>();
    unsigned column = 0;
    for (std::size_t o = 4; o + 4 <= data.size() && column < 0x10000; o += 4) {
        const std::uint32_t format = data[o] | data[o + 1] << 8 | data[o + 2] << 16 |
                                     static_cast<std::uint32_t>(data[o + 3]) << 24;
        unsigned columns = 1;
        if ((format & 0x80000000u) && o + 4 < data.size()) columns += data[4 + o++];
        columns = std::min(columns, 0x10000 - column);
        runs->push_back({static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(columns),
                         static_cast<std::uint8_t>(format & 0xFF)});
        column += columns;
    }
    runs->shrink_to_fit();
    rowFormats_[row] = std::move(runs);
}

std::uint8_t LotusWorksheet::laterFormat(std::uint16_t row, std::uint16_t column) const {
    const auto formats = rowFormats_.find(row);
    if (formats == rowFormats_.end() || !formats->second) return kNoFormat;
    const auto& runs = *formats->second;
    const auto run =
        std::upper_bound(runs.begin(), runs.end(), column,
                         [](std::uint16_t c, const FormatRun& r) { return c < r.firstColumn; });
    if (run == runs.begin()) return kNoFormat;
    const auto& found = *std::prev(run);
    return column - found.firstColumn < found.columns ? found.format : kNoFormat;
}

Value LotusWorksheet::value(const LotusCellAt& cell) const {
    // The file is read again here, after the walk: a file rewritten meanwhile may hold
    // another length, which is never taken on trust.
    if (std::size_t{cell.record} + 4 + cell.length > image_.size() ||
        le16(image_, cell.record + 2) != cell.length)
        throwChangedWhileRead(fileName_, "a cell's record is no longer where it was");
    const std::uint16_t type = le16(image_, cell.record);
    const ByteView data(image_.subspan(cell.record + 4, cell.length), fileName_);
    if (releaseTwo_) return releaseTwoValue(type, data, cell.record + 4 + cell.length);
    return laterValue(cell, type, data);
}

Value LotusWorksheet::releaseTwoValue(std::uint16_t type, const ByteView& data,
                                      std::size_t next) const {
    const std::uint8_t format = data.u8(0);
    switch (type) {
    case Integer:
        return lotusFormatted(Value::number(static_cast<std::int16_t>(data.u16le(5))), format);
    case Number: {
        const double number = ieeeDouble(data, 5);
        // NaN and infinite patterns are the error values ERR and NA.
        if (std::isnan(number) || std::isinf(number)) return Value::null();
        return lotusFormatted(Value::number(number), format);
    }
    case Label:
        return Value::text(text_->toUtf8(labelText(data.slice(5, data.size() - 5))));
    case Formula: {
        const double number = ieeeDouble(data, 5);
        if (!std::isnan(number) && !std::isinf(number))
            return lotusFormatted(Value::number(number), format);
        // A text result is the STRING record that follows; without one, an error value.
        if (next + 4 <= image_.size() && le16(image_, next) == FormulaText) {
            // The walk found this record sound; read again, it must still be.
            const std::size_t length = le16(image_, next + 2);
            if (next + 4 + length > image_.size() ||
                !lotusRecordFault(true, FormulaText, image_.subspan(next + 4, length), false)
                     .empty())
                throwChangedWhileRead(fileName_, "a formula's text is no longer what it was");
            return Value::text(text_->toUtf8(image_.subspan(next + 4 + 5, length - 5)));
        }
        return Value::null();
    }
    default:
        return {};
    }
}

Value LotusWorksheet::laterValue(const LotusCellAt& cell, std::uint16_t type,
                                 const ByteView& data) const {
    auto formatted = [&](Value number) {
        return lotusFormatted(std::move(number), laterFormat(cell.row, cell.column));
    };
    auto real = [&](std::size_t at) -> Value {
        const LotusReal r = lotusExtendedReal(data.slice(at, 10));
        switch (r.kind) {
        case LotusReal::Kind::Number:
            return formatted(lotusNumber(r.number));
        case LotusReal::Kind::Blank:
            return {};
        case LotusReal::Kind::Text:
            return Value::text(""); // until the text record of the cell
        case LotusReal::Kind::Error:
            break;
        }
        return Value::null();
    };
    switch (type) {
    case ErrorCell:
    case NotAvailable:
        return Value::null();
    case LaterLabel:
        return Value::text(text_->toUtf8(labelText(data.slice(4, data.size() - 4))));
    case LaterFormulaText:
        return Value::text(text_->toUtf8(data.slice(4, data.size() - 4)));
    case ExtendedNumber:
    case ExtendedFormula:
        return real(4);
    case SmallNumber:
        return formatted(lotusNumber(lotusSmallNumber(static_cast<std::int16_t>(data.u16le(4)))));
    case PackedNumber:
        return formatted(lotusNumber(lotusPackedNumber(data.u32le(4))));
    case DoubleNumber:
    case DoubleFormula: {
        const double number = ieeeDouble(data, 4);
        // A formula with a text result saves NaN here, its text in the record after.
        if (std::isnan(number) || std::isinf(number)) return Value::null();
        return formatted(Value::number(number));
    }
    default:
        return {};
    }
}

std::string lotusEmptyMessage(const LotusWorksheet& sheet, std::string_view fileName) {
    if (!sheet.laterSheetsHoldCells()) return emptyTableMessage("sheet", {}, fileName);
    return "The first sheet of '" + std::string(fileName) +
           "' is empty; only a worksheet's first sheet is linked.";
}

} // namespace varnoke::drivers
