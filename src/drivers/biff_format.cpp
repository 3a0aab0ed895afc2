#include "drivers/biff_format.h"

#include "drivers/biff_decrypt.h"
#include "drivers/biff_records.h"
#include "drivers/compound_file.h"
#include "drivers/sheet_cells.h"

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
    Font = 0x0031,
    Format = 0x041E,
    Xf = 0x00E0,
    Label = 0x0204,
    RString = 0x00D6,
    LabelSst = 0x00FD,
    Rk = 0x027E,
    MulRk = 0x00BD,
    Number = 0x0203,
    Formula = 0x0006,
    // Numbers an older version gave FORMULA, which some writers still use.
    FormulaBiff3 = 0x0206,
    FormulaBiff4 = 0x0406,
    Blank = 0x0201,
    MulBlank = 0x00BE,
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

// Built-in formats that show dates or times, by their fixed numbers; 46, "[h]:mm:ss",
// shows a duration.
bool isBuiltInDateFormat(std::uint16_t index) {
    return (index >= 14 && index <= 22) || (index >= 27 && index <= 36) || index == 45 ||
           index == 47 || (index >= 50 && index <= 58);
}

// The iconv name of a CODEPAGE record's page.
std::string codePageName(std::uint16_t id) {
    switch (id) {
    case 367:
        return "ASCII";
    case 10000:
    case 0x8000:
        return "MACINTOSH";
    case 10007:
        return "MAC-CYRILLIC";
    case 10017:
        return "MAC-UK";
    case 10029:
        return "MAC-CENTRALEUROPE";
    case 10079:
        return "MAC-IS";
    case 65001:
        return "UTF-8";
    case 0x8001:
    case 1200: // a text code page only in name: fall back to the Windows one
        return "CP1252";
    default:
        return "CP" + std::to_string(id);
    }
}

// A BIFF5 workbook without a CODEPAGE record: the code page its default font's
// character set names, as Windows pairs them.
std::uint16_t codePageOfCharset(std::uint8_t charset) {
    static constexpr std::pair<std::uint8_t, std::uint16_t> kPages[]{
        {128, 932},  {129, 949},  {134, 936},  {136, 950},  {161, 1253}, {162, 1254},
        {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874},  {238, 1250}};
    for (const auto& [set, page] : kPages)
        if (set == charset) return page;
    return 1252;
}

struct SheetEntry {
    std::string name;
    std::size_t start; // of its substream
};

struct Globals {
    bool biff8 = true;
    CodePage codePage{"CP1252"};
    bool codePageMarked = false; // by a CODEPAGE record or the first font
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

    SheetCells cells(std::string_view sheet, std::string* chosenName = nullptr) {
        if (g_.worksheets.empty()) fail("it holds no worksheet");
        const SheetEntry& chosen = chooseSheet(sheet);
        if (chosenName) *chosenName = chosen.name;
        readSheet(chosen);
        return std::move(cells_);
    }

private:
    [[noreturn]] void fail(std::string_view what) const { throwBadFormat(fileName_, what); }

    BiffReader reader(const BiffRecord& record, std::size_t skip) const {
        BiffReader r(records_.withContinues(record), fileName_);
        r.skip(skip);
        return r;
    }

    // A text with its length in front: one byte long or two, by record. Some writers
    // leave out the flags byte of an empty text that stands alone in its record.
    std::string text(BiffReader& r, bool wideLength) const {
        const std::size_t count = wideLength ? r.u16() : r.u8();
        if (count == 0) return {};
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
        substreams_ = substreamStarts(records_.view().slice(0, records_.view().size()), fileName_);
        std::size_t sheetsListed = 0;
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
                if (!g_.biff8) markCodePage(data.u16le(0));
                break;
            case Font:
                if (!g_.biff8 && !g_.codePageMarked) markCodePage(codePageOfCharset(data.u8(12)));
                break;
            case DateMode:
                g_.date1904 = data.u16le(0) == 1;
                break;
            case Xf:
                g_.formatOfXf.push_back(data.u16le(2));
                break;
            case Format:
                g_.formatIsDate[data.u16le(0)] = isDateFormatCode(formatCode(data));
                break;
            case BoundSheet: {
                // The sheets' substreams follow the globals in the order of their entries.
                const std::size_t index = ++sheetsListed;
                const auto start = substreamNear(data.u32le(0));
                if (!start || index >= substreams_.size() || *start != substreams_[index])
                    fail("its list of sheets does not match the sheets it holds (the file may "
                         "be damaged)");
                auto r = reader(*record, 6);
                // Charts, macro and dialog sheets hold no table.
                if (data.u8(5) == 0) g_.worksheets.push_back({text(r, false), *start});
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

    // A FORMAT's code. One public writer counts a character more than the record holds;
    // the code only tells whether a number is a date, so the characters there serve.
    std::string formatCode(const ByteView& data) const {
        const std::size_t count = g_.biff8 ? data.u16le(2) : data.u8(2);
        const std::size_t at = g_.biff8 ? 5 : 3;
        if (count == 0 || data.size() < at) return {};
        const std::size_t width = g_.biff8 && (data.u8(4) & 0x01) ? 2 : 1;
        const auto chars = data.slice(at, std::min(count, (data.size() - at) / width) * width);
        if (!g_.biff8)
            return g_.codePage.toUtf8({reinterpret_cast<const char*>(chars.data()), chars.size()});
        return width == 2 ? utf16leToUtf8(chars) : latin1ToUtf8(chars);
    }

    void markCodePage(std::uint16_t id) {
        auto page = CodePage::known(codePageName(id));
        if (!page)
            fail("its texts are in code page " + std::to_string(id) +
                 ", which this system cannot convert");
        g_.codePage = std::move(*page);
        g_.codePageMarked = true;
    }

    void readSharedTexts(const BiffRecord& record) {
        auto r = reader(record, 4);
        const std::uint32_t unique = r.u32();
        // Every shared text has its flags byte, an empty one too.
        while (g_.sharedTexts.size() < unique && !r.atEnd())
            g_.sharedTexts.push_back(g_.biff8 ? r.unicodeText(r.u16())
                                              : r.codePageText(r.u16(), g_.codePage));
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
        cells_.put(row, column, std::move(value));
    }

    static double rkNumber(std::uint32_t rk) {
        double number = 0;
        if (rk & 0x02)
            number = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
        else
            number = std::bit_cast<double>(std::uint64_t{rk & 0xFFFFFFFCu} << 32);
        return rk & 0x01 ? number / 100 : number;
    }

    // The substream a sheet's entry points at. Some writers give an offset a few bytes
    // off its BOF; the walk found every BOF, so the nearest one is the sheet's when no
    // other lies as near.
    std::optional<std::size_t> substreamNear(std::size_t offset) const {
        constexpr std::size_t kSlack = 16;
        const auto after = std::lower_bound(substreams_.begin() + 1, substreams_.end(), offset);
        if (after != substreams_.end() && *after == offset) return *after;
        const bool next = after != substreams_.end() && *after - offset <= kSlack;
        const bool previous = after - 1 != substreams_.begin() && offset - *(after - 1) <= kSlack;
        if (next == previous) return std::nullopt;
        return next ? *after : *(after - 1);
    }

    // A cell record of a variable size that does not hold what it says is damage: the
    // walk went astray, and its bytes are no cell. (Fixed sizes are checked by the walk.)
    void checkCellSize(const BiffRecord& record) const {
        const std::size_t size = record.data.size();
        bool sound = true;
        switch (record.type) {
        case MulRk: // first column, then 6 bytes a cell, then the last column
            sound = size >= 12 && (size - 6) % 6 == 0 &&
                    ByteView(record.data, fileName_).u16le(size - 2) ==
                        ByteView(record.data, fileName_).u16le(2) + (size - 6) / 6 - 1;
            break;
        case MulBlank:
            sound = size >= 8 && size % 2 == 0;
            break;
        case Formula:
        case FormulaBiff3:
        case FormulaBiff4:
            sound = size >= 22;
            break;
        case Label:
        case RString:
            sound = size >= 8;
            break;
        default:
            break;
        }
        if (!sound) fail("a cell record in it has the wrong length (the file may be damaged)");
    }

    void readSheet(const SheetEntry& sheet) {
        BiffRecordStream records(records_.view().slice(0, records_.view().size()), fileName_,
                                 sheet.start);
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
            checkCellSize(*record);
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
                const std::size_t count = (data.size() - 6) / 6;
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
            case FormulaBiff3:
            case FormulaBiff4:
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
    std::vector<std::size_t> substreams_;
    Globals g_;
    SheetCells cells_;
};

} // namespace

bool isDateFormatCode(std::string_view code) {
    bool date = false;
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
            // [h], [mm], [ss]: a duration, whatever else the code shows; anything else is a
            // colour, condition or locale.
            if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos)
                return false;
            i = close;
        } else {
            switch (std::tolower(static_cast<unsigned char>(c))) {
            case 'd':
            case 'm':
            case 'y':
            case 'h':
            case 's':
                date = true;
                break;
            default:
                break;
            }
        }
    }
    return date;
}

namespace {

SheetCells worksheetCells(ByteSpan file, std::string_view fileName, std::string_view sheet,
                          std::string* chosenName) {
    const auto stream = readCompoundStream(file, fileName, {"Workbook", "Book"});
    if (!stream) throwBadFormat(fileName, "it holds no Excel workbook");
    return Workbook(*stream, fileName).cells(sheet, chosenName);
}

} // namespace

std::vector<CellRow> readWorksheetCells(ByteSpan file, std::string_view fileName,
                                        std::string_view sheet) {
    return worksheetCells(file, fileName, sheet, nullptr).grid();
}

void readWorkbookImage(ByteSpan file, std::string_view fileName, std::string_view sheet,
                       ForeignTableSink& sink) {
    std::string chosen;
    auto cells = worksheetCells(file, fileName, sheet, &chosen);
    cells.send(fileName, emptyTableMessage("sheet", chosen, fileName), sink);
}

} // namespace varnoke::drivers
