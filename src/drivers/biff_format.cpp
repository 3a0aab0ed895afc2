#include "drivers/biff_format.h"

#include "drivers/biff_decrypt.h"
#include "drivers/biff_records.h"
#include "drivers/compound_file.h"

#include <bit>
#include <cctype>
#include <cmath>
#include <unordered_map>

namespace varnoke::drivers {

namespace {

enum RecordType : std::uint16_t {
    Bof = 0x0809,
    Eof = 0x000A,
    BoundSheet = 0x0085,
    Sst = 0x00FC,
    CodePageId = 0x0042,
    DateMode = 0x0022,
    FilePass = 0x002F,
    Format = 0x041E,
    Xf = 0x00E0,
    Label = 0x0204,
    RString = 0x00D6,
    LabelSst = 0x00FD,
    Rk = 0x027E,
    MulRk = 0x00BD,
    Number = 0x0203,
    Formula = 0x0006,
    StringResult = 0x0207,
    BoolErr = 0x0205,
};

constexpr std::uint16_t kBiff5 = 0x0500;
constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kGlobalsPart = 0x0005;
constexpr std::uint16_t kWorksheetPart = 0x0010;
constexpr std::size_t kColumns = 256;
// 9999-12-31 in either date system: larger serials are not dates any program shows.
constexpr double kLastSerial = 2958465;

// Built-in formats that show dates or times, by their fixed numbers.
bool isBuiltInDateFormat(std::uint16_t index) {
    return (index >= 14 && index <= 22) || (index >= 27 && index <= 36) ||
           (index >= 45 && index <= 47) || (index >= 50 && index <= 58);
}

std::string codePageName(std::uint16_t id) {
    switch (id) {
    case 367:
        return "ASCII";
    case 10000:
    case 0x8000:
        return "MACINTOSH";
    case 0x8001:
    case 1200: // a text code page only in name: fall back to the Windows one
        return "CP1252";
    default:
        return "CP" + std::to_string(id);
    }
}

struct SheetEntry {
    std::string name;
    std::uint32_t offset;
};

struct Globals {
    bool biff8 = true;
    CodePage codePage{"CP1252"};
    bool date1904 = false;
    std::vector<std::string> sharedTexts;
    std::vector<std::uint16_t> formatOfXf;
    std::unordered_map<std::uint16_t, bool> formatIsDate; // the formats the workbook defines
    std::vector<SheetEntry> worksheets;
};

class Workbook {
public:
    Workbook(ByteSpan stream, std::string_view fileName)
        : records_(stream, fileName), fileName_(fileName) {
        readGlobals();
    }

    std::vector<CellRow> cells(std::string_view sheet, std::string* chosenName = nullptr) {
        if (g_.worksheets.empty()) fail("it holds no worksheet");
        const SheetEntry& chosen = chooseSheet(sheet);
        if (chosenName) *chosenName = chosen.name;
        readSheet(chosen);
        return std::move(rows_);
    }

private:
    [[noreturn]] void fail(std::string_view what) const { throwBadFormat(fileName_, what); }

    BiffReader reader(const BiffRecord& record, std::size_t skip) const {
        BiffReader r(records_.withContinues(record), fileName_);
        r.skip(skip);
        return r;
    }

    // A text with its length in front: one byte long or two, by record.
    std::string text(BiffReader& r, bool wideLength) const {
        const std::size_t count = wideLength ? r.u16() : r.u8();
        return g_.biff8 ? r.unicodeText(count) : r.codePageText(count, g_.codePage);
    }

    void readGlobals() {
        const auto bof = records_.next();
        if (!bof || bof->type != Bof) fail("it is not an Excel 5.0-8.0 workbook");
        const ByteView head(bof->data, fileName_);
        const auto version = head.u16le(0);
        if ((version != kBiff5 && version != kBiff8) || head.u16le(2) != kGlobalsPart)
            fail("it is not an Excel 5.0-8.0 workbook");
        g_.biff8 = version == kBiff8;
        while (auto record = records_.next()) {
            const ByteView data(record->data, fileName_);
            switch (record->type) {
            case Eof:
                return;
            case FilePass:
                decrypted_ = decryptWorkbook(records_.view().slice(0, records_.view().size()),
                                             *record, g_.biff8, fileName_);
                records_ = BiffRecordStream(decrypted_, fileName_, record->next);
                break;
            case CodePageId:
                if (!g_.biff8) g_.codePage = CodePage(codePageName(data.u16le(0)));
                break;
            case DateMode:
                g_.date1904 = data.u16le(0) == 1;
                break;
            case Xf:
                g_.formatOfXf.push_back(data.u16le(2));
                break;
            case Format: {
                auto r = reader(*record, 2);
                g_.formatIsDate[data.u16le(0)] = isDateFormatCode(text(r, g_.biff8));
                break;
            }
            case BoundSheet: {
                auto r = reader(*record, 6);
                // Charts, macro and dialog sheets hold no table.
                if (data.u8(5) == 0) g_.worksheets.push_back({text(r, false), data.u32le(0)});
                break;
            }
            case Sst:
                readSharedTexts(*record);
                break;
            default:
                break;
            }
        }
        fail("its workbook stream ends too soon (it may have been cut short)");
    }

    void readSharedTexts(const BiffRecord& record) {
        auto r = reader(record, 4);
        const std::uint32_t unique = r.u32();
        while (g_.sharedTexts.size() < unique && !r.atEnd())
            g_.sharedTexts.push_back(text(r, true));
    }

    const SheetEntry& chooseSheet(std::string_view wanted) const {
        if (wanted.ends_with('$')) wanted.remove_suffix(1);
        for (const auto& entry : g_.worksheets)
            if (equalsNoCase(entry.name, wanted)) return entry;
        return g_.worksheets.front();
    }

    bool isDateXf(std::uint16_t xf) const {
        if (xf >= g_.formatOfXf.size()) return false;
        const auto format = g_.formatOfXf[xf];
        // A workbook may define a format under a number that is built in elsewhere.
        if (const auto defined = g_.formatIsDate.find(format); defined != g_.formatIsDate.end())
            return defined->second;
        return isBuiltInDateFormat(format);
    }

    Value numberCell(double number, std::uint16_t xf) const {
        if (!std::isfinite(number)) return Value::null();
        if (!isDateXf(xf)) return Value::number(number);
        double serial = g_.date1904 ? number + 1462 : number;
        // Day 60 of the 1900 system is a 29 February that never was; the days before
        // it stand one lower than in the engine's count.
        if (!g_.date1904 && serial >= 1 && serial < 60) serial += 1;
        if (serial < 0 || serial > kLastSerial) return Value::number(number);
        return Value::date(serial);
    }

    void put(std::uint16_t row, std::uint16_t column, Value value) {
        if (column >= kColumns) fail("a cell lies beyond the worksheet's last column");
        if (rows_.size() <= row) rows_.resize(std::size_t{row} + 1);
        auto& cells = rows_[row];
        if (cells.size() <= column) cells.resize(std::size_t{column} + 1);
        cells[column] = std::move(value);
    }

    static double rkNumber(std::uint32_t rk) {
        double number = 0;
        if (rk & 0x02)
            number = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
        else
            number = std::bit_cast<double>(std::uint64_t{rk & 0xFFFFFFFCu} << 32);
        return rk & 0x01 ? number / 100 : number;
    }

    void readSheet(const SheetEntry& sheet) {
        BiffRecordStream records(records_.view().slice(0, records_.view().size()), fileName_,
                                 sheet.offset);
        const auto bof = records.next();
        if (!bof || bof->type != Bof || ByteView(bof->data, fileName_).u16le(2) != kWorksheetPart)
            fail("its worksheet '" + sheet.name + "' cannot be found");
        int nested = 0; // charts placed on the sheet bring their own BOF ... EOF
        std::optional<std::pair<std::uint16_t, std::uint16_t>> awaitingText;
        while (auto record = records.next()) {
            if (record->type == Bof) {
                ++nested;
                continue;
            }
            if (record->type == Eof) {
                if (nested-- == 0) return;
                continue;
            }
            if (nested > 0) continue;
            const ByteView data(record->data, fileName_);
            switch (record->type) {
            case Number:
                put(data.u16le(0), data.u16le(2), numberCell(readDouble(data, 6), data.u16le(4)));
                break;
            case Rk:
                put(data.u16le(0), data.u16le(2),
                    numberCell(rkNumber(data.u32le(6)), data.u16le(4)));
                break;
            case MulRk: {
                const std::uint16_t row = data.u16le(0);
                const std::size_t count = data.size() < 6 ? 0 : (data.size() - 6) / 6;
                for (std::size_t i = 0; i < count; ++i)
                    put(row, static_cast<std::uint16_t>(data.u16le(2) + i),
                        numberCell(rkNumber(data.u32le(6 + 6 * i)), data.u16le(4 + 6 * i)));
                break;
            }
            case Label:
            case RString: {
                auto r = reader(*record, 6);
                put(data.u16le(0), data.u16le(2), Value::text(text(r, true)));
                break;
            }
            case LabelSst: {
                const auto index = data.u32le(6);
                if (index >= g_.sharedTexts.size())
                    fail("a cell refers to a shared text the workbook does not hold");
                put(data.u16le(0), data.u16le(2), Value::text(g_.sharedTexts[index]));
                break;
            }
            case BoolErr:
                put(data.u16le(0), data.u16le(2),
                    data.u8(7) ? Value::null() : Value::boolean(data.u8(6) != 0));
                break;
            case Formula:
                awaitingText.reset();
                put(data.u16le(0), data.u16le(2), formulaResult(data, awaitingText));
                break;
            case StringResult:
                if (awaitingText) {
                    auto r = reader(*record, 0);
                    put(awaitingText->first, awaitingText->second, Value::text(text(r, true)));
                    awaitingText.reset();
                }
                break;
            default:
                break;
            }
        }
        fail("its worksheet '" + sheet.name + "' ends too soon (it may have been cut short)");
    }

    static double readDouble(const ByteView& data, std::size_t at) {
        return std::bit_cast<double>(std::uint64_t{data.u32le(at)} |
                                     std::uint64_t{data.u32le(at + 4)} << 32);
    }

    // The result a formula was saved with: a number, or a marker for a text (in the
    // STRING record that follows), a yes/no, an error or an empty text.
    Value
    formulaResult(const ByteView& data,
                  std::optional<std::pair<std::uint16_t, std::uint16_t>>& awaitingText) const {
        if (data.u16le(12) != 0xFFFF) return numberCell(readDouble(data, 6), data.u16le(4));
        switch (data.u8(6)) {
        case 0:
            awaitingText.emplace(data.u16le(0), data.u16le(2));
            return Value::null();
        case 1:
            return Value::boolean(data.u8(8) != 0);
        default:
            return Value::null();
        }
    }

    Bytes decrypted_; // the stream, where it was encrypted with the built-in password
    BiffRecordStream records_;
    std::string_view fileName_;
    Globals g_;
    std::vector<CellRow> rows_;
};

} // namespace

bool isDateFormatCode(std::string_view code) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
            const auto close = code.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            i = close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i; // the next character is shown as it is, or is padding
        } else if (c == '[') {
            const auto close = code.find(']', i + 1);
            if (close == std::string_view::npos) return false;
            const auto inside = code.substr(i + 1, close - i - 1);
            // [h], [mm], [ss]: elapsed time; anything else is a colour, condition or locale.
            if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos)
                return true;
            i = close;
        } else {
            switch (std::tolower(static_cast<unsigned char>(c))) {
            case 'd':
            case 'm':
            case 'y':
            case 'h':
            case 's':
                return true;
            default:
                break;
            }
        }
    }
    return false;
}

namespace {

std::vector<CellRow> worksheetCells(ByteSpan file, std::string_view fileName,
                                    std::string_view sheet, std::string* chosenName) {
    const auto stream = readCompoundStream(file, fileName, {"Workbook", "Book"});
    if (!stream) throwBadFormat(fileName, "it holds no Excel workbook");
    return Workbook(*stream, fileName).cells(sheet, chosenName);
}

} // namespace

std::vector<CellRow> readWorksheetCells(ByteSpan file, std::string_view fileName,
                                        std::string_view sheet) {
    return worksheetCells(file, fileName, sheet, nullptr);
}

void readWorkbookImage(ByteSpan file, std::string_view fileName, std::string_view sheet,
                       ForeignTableSink& sink) {
    std::string chosen;
    auto cells = worksheetCells(file, fileName, sheet, &chosen);
    sendGrid(std::move(cells), CellSource::Worksheet, fileName,
             emptyTableMessage("sheet", chosen, fileName), sink);
}

} // namespace varnoke::drivers
