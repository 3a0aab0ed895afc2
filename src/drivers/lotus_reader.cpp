#include "drivers/lotus_format.h"

#include "drivers/cell_grid.h"
#include "drivers/child_read.h"
#include "drivers/readers.h"
#include "value/convert.h"

#include <librevenge-stream/librevenge-stream.h>
#include <librevenge/librevenge.h>
#include <libwps/libwps.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>

namespace varnoke::drivers {

namespace {

using librevenge::RVNGPropertyList;
using librevenge::RVNGString;

// Collects the cells of the first sheet as the library walks the worksheet. Only the
// sheet, row, cell and text callbacks matter here; the rest describe layout.
class SheetCollector final : public librevenge::RVNGSpreadsheetInterface {
public:
    std::map<int, std::map<int, Value>> cells; // row -> column -> value
    int sheets = 0;

    void openSheet(const RVNGPropertyList&) override { ++sheets; }
    void openSheetRow(const RVNGPropertyList& props) override {
        if (const auto* r = props["librevenge:row"])
            row_ = r->getInt();
        else
            ++row_;
        column_ = -1;
    }
    void closeSheetRow() override {}
    void openSheetCell(const RVNGPropertyList& props) override {
        inCell_ = sheets == 1;
        text_.clear();
        hasText_ = false;
        if (const auto* c = props["librevenge:column"])
            column_ = c->getInt();
        else
            ++column_;
        if (const auto* r = props["librevenge:row"]) row_ = r->getInt();
        typed_ = typedValue(props);
    }
    void closeSheetCell() override {
        if (!inCell_) return;
        inCell_ = false;
        if (!typed_.isEmpty())
            cells[row_][column_] = typed_;
        else if (hasText_)
            cells[row_][column_] = Value::text(text_);
    }
    void insertText(const RVNGString& text) override {
        if (inCell_) {
            text_ += text.cstr();
            hasText_ = true;
        }
    }
    void insertSpace() override { insertText(" "); }
    void insertTab() override { insertText("\t"); }
    void insertLineBreak() override { insertText("\n"); }

    void setDocumentMetaData(const RVNGPropertyList&) override {}
    void startDocument(const RVNGPropertyList&) override {}
    void endDocument() override {}
    void definePageStyle(const RVNGPropertyList&) override {}
    void defineEmbeddedFont(const RVNGPropertyList&) override {}
    void openPageSpan(const RVNGPropertyList&) override {}
    void closePageSpan() override {}
    void openHeader(const RVNGPropertyList&) override {}
    void closeHeader() override {}
    void openFooter(const RVNGPropertyList&) override {}
    void closeFooter() override {}
    void defineSheetNumberingStyle(const RVNGPropertyList&) override {}
    void closeSheet() override {}
    void defineChartStyle(const RVNGPropertyList&) override {}
    void openChart(const RVNGPropertyList&) override {}
    void closeChart() override {}
    void openChartTextObject(const RVNGPropertyList&) override {}
    void closeChartTextObject() override {}
    void openChartPlotArea(const RVNGPropertyList&) override {}
    void closeChartPlotArea() override {}
    void insertChartAxis(const RVNGPropertyList&) override {}
    void openChartSerie(const RVNGPropertyList&) override {}
    void closeChartSerie() override {}
    void defineParagraphStyle(const RVNGPropertyList&) override {}
    void openParagraph(const RVNGPropertyList&) override {}
    void closeParagraph() override {}
    void defineCharacterStyle(const RVNGPropertyList&) override {}
    void openSpan(const RVNGPropertyList&) override {}
    void closeSpan() override {}
    void openLink(const RVNGPropertyList&) override {}
    void closeLink() override {}
    void defineSectionStyle(const RVNGPropertyList&) override {}
    void openSection(const RVNGPropertyList&) override {}
    void closeSection() override {}
    void insertField(const RVNGPropertyList&) override {}
    void openOrderedListLevel(const RVNGPropertyList&) override {}
    void openUnorderedListLevel(const RVNGPropertyList&) override {}
    void closeOrderedListLevel() override {}
    void closeUnorderedListLevel() override {}
    void openListElement(const RVNGPropertyList&) override {}
    void closeListElement() override {}
    void openFootnote(const RVNGPropertyList&) override {}
    void closeFootnote() override {}
    void openComment(const RVNGPropertyList&) override {}
    void closeComment() override {}
    void openFrame(const RVNGPropertyList&) override {}
    void closeFrame() override {}
    void insertBinaryObject(const RVNGPropertyList&) override {}
    void openTextBox(const RVNGPropertyList&) override {}
    void closeTextBox() override {}
    void openTable(const RVNGPropertyList&) override {}
    void openTableRow(const RVNGPropertyList&) override {}
    void closeTableRow() override {}
    void openTableCell(const RVNGPropertyList&) override {}
    void closeTableCell() override {}
    void insertCoveredTableCell(const RVNGPropertyList&) override {}
    void closeTable() override {}
    void openGroup(const RVNGPropertyList&) override {}
    void closeGroup() override {}
    void defineGraphicStyle(const RVNGPropertyList&) override {}
    void drawRectangle(const RVNGPropertyList&) override {}
    void drawEllipse(const RVNGPropertyList&) override {}
    void drawPolygon(const RVNGPropertyList&) override {}
    void drawPolyline(const RVNGPropertyList&) override {}
    void drawPath(const RVNGPropertyList&) override {}
    void drawConnector(const RVNGPropertyList&) override {}
    void insertEquation(const RVNGPropertyList&) override {}

private:
    static Value typedValue(const RVNGPropertyList& props) {
        const auto* type = props["librevenge:value-type"];
        if (!type) return {};
        const std::string kind = type->getStr().cstr();
        if (kind == "float" || kind == "double" || kind == "percentage" || kind == "currency" ||
            kind == "number") {
            if (const auto* v = props["librevenge:value"]) return Value::number(v->getDouble());
            return {};
        }
        if (kind == "boolean") {
            if (const auto* v = props["librevenge:value"])
                return Value::boolean(v->getDouble() != 0);
            return {};
        }
        if (kind == "date" || kind == "time") {
            double serial = 0;
            const auto* y = props["librevenge:year"];
            const auto* m = props["librevenge:month"];
            const auto* d = props["librevenge:day"];
            if (y && m && d)
                serial = civilSerial(y->getInt(), static_cast<unsigned>(m->getInt()),
                                     static_cast<unsigned>(d->getInt()));
            const auto* h = props["librevenge:hours"];
            const auto* mi = props["librevenge:minutes"];
            const auto* s = props["librevenge:seconds"];
            const double seconds = (h ? h->getInt() * 3600.0 : 0) + (mi ? mi->getInt() * 60.0 : 0) +
                                   (s ? s->getDouble() : 0);
            if (!(y && m && d) && !h) return {};
            return Value::date(serial + seconds / 86400.0);
        }
        return {};
    }

    int row_ = -1;
    int column_ = -1;
    bool inCell_ = false;
    bool hasText_ = false;
    std::string text_;
    Value typed_;
};

class LotusReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const auto file = findLinkedFile(source);
        // A file that cannot be sized cannot be mapped either, which says why.
        std::error_code unsized;
        const auto size = std::filesystem::file_size(file, unsized);
        readLotusFile(file, limitsForFile(unsized ? 0 : size), sink);
    }
};

// The library reads as far as the data goes, so a worksheet cut short would pass as
// a smaller one; the record framing shows whether the file reaches its end record.
// A worksheet has 256 columns; a Release 2 cell record that claims one beyond them
// would have the library lay out a sheet of that width.
void checkRecordFraming(ByteSpan image, std::string_view fileName) {
    const ByteView view(image, fileName);
    constexpr std::uint16_t kEndOfFile = 0x0001;
    const bool wk1 = view.size() >= 6 && view.u16le(4) < 0x1000;
    std::size_t at = 0;
    while (at + 4 <= view.size()) {
        const std::uint16_t type = view.u16le(at);
        const std::size_t length = view.u16le(at + 2);
        if (at + 4 + length > view.size()) break;
        if (type == kEndOfFile) return;
        const bool cell = (type >= 0x0C && type <= 0x10) || type == 0x33;
        if (wk1 && cell && length >= 5 && view.u16le(at + 5) >= 256)
            view.fail("a cell lies beyond the worksheet's last column");
        at += 4 + length;
    }
    view.fail("it ends before its end-of-file record (it may have been cut short)");
}

// Formula cells as the file saved them. The library gives some of them as NaN or
// not at all (a result of 0, a text result), so the saved results are read from the
// records themselves and take the place of what the library sends. So are the long
// whole numbers of later releases, which the library rounds to doubles.
using CellKey = std::pair<int, int>; // row, column
using FormulaResults = std::map<CellKey, Value>;

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

// A saved number as a value: a whole number a double cannot hold exactly keeps its
// digits as text, by the rule every reader follows for long keys.
Value savedNumber(long double value) {
    const auto d = static_cast<double>(value);
    if (doubleHoldsExactly(d) || std::floor(value) != value) return Value::number(d);
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.0Lf", value);
    return Value::text(digits);
}

FormulaResults formulaResults(ByteSpan image, std::string_view fileName) {
    const ByteView view(image, fileName);
    FormulaResults results;
    if (view.size() < 6 || view.u16le(0) != 0) return results;
    const bool wk1 = view.u16le(4) < 0x1000;
    // Record types: WK1 FORMULA/STRING, and those of WK3 and later.
    const std::uint16_t formulaType = wk1 ? 0x10 : 0x19;
    const std::uint16_t stringType = wk1 ? 0x33 : 0x1A;
    constexpr std::uint16_t kNumberType = 0x17; // WK3 and later
    CellKey awaitingText{-1, -1};               // the formula whose text result is due
    for (std::size_t at = 0; at + 4 <= view.size();) {
        const std::uint16_t type = view.u16le(at);
        const std::size_t length = view.u16le(at + 2);
        if (type == 0x0001 || at + 4 + length > view.size()) break;
        const ByteView data(view.slice(at + 4, length), fileName);
        at += 4 + length;
        if (type == formulaType && data.size() >= (wk1 ? 13u : 14u)) {
            // WK1: format, column, row, double; later: row, sheet, column, extended real.
            const bool firstSheet = wk1 || data.u8(2) == 0;
            const CellKey key =
                wk1 ? CellKey{data.u16le(3), data.u16le(1)} : CellKey{data.u16le(0), data.u8(3)};
            const long double value =
                wk1 ? std::bit_cast<double>(std::uint64_t{data.u32le(5)} |
                                            std::uint64_t{data.u32le(9)} << 32)
                    : extendedReal(data.slice(4, 10));
            awaitingText = {-1, -1};
            if (!firstSheet) continue;
            // A text result follows in a STRING record; anything else not a number is
            // an error value.
            results[key] = !std::isfinite(value) ? Value::null()
                           : wk1                 ? Value::number(static_cast<double>(value))
                                                 : savedNumber(value);
            if (!std::isfinite(value)) awaitingText = key;
        } else if (!wk1 && type == kNumberType && data.size() >= 14 && data.u8(2) == 0) {
            const long double value = extendedReal(data.slice(4, 10));
            if (auto v = savedNumber(value); std::isfinite(value) && v.isText())
                results[{data.u16le(0), data.u8(3)}] = std::move(v);
        } else if (type == stringType && awaitingText.first >= 0 && data.size() >= 5) {
            const CellKey key =
                wk1 ? CellKey{data.u16le(3), data.u16le(1)} : CellKey{data.u16le(0), data.u8(3)};
            if (key == awaitingText) {
                const auto text =
                    lotusText(data.slice(5 - (wk1 ? 0 : 1), data.size() - (wk1 ? 5 : 4)));
                results[key] = text.empty() ? Value::null() : Value::text(text);
            }
            awaitingText = {-1, -1};
        }
    }
    return results;
}

} // namespace

void readLotusImage(ByteSpan image, std::string_view fileName, ForeignTableSink& sink) {
    checkRecordFraming(image, fileName);
    librevenge::RVNGStringStream input(image.data(), static_cast<unsigned>(image.size()));
    libwps::WPSKind kind = libwps::WPS_TEXT;
    libwps::WPSCreator creator = libwps::WPS_MSWORKS;
    bool needsEncoding = false;
    const auto confidence =
        libwps::WPSDocument::isFileFormatSupported(&input, kind, creator, needsEncoding);
    if (confidence == libwps::WPS_CONFIDENCE_SUPPORTED_ENCRYPTION)
        throw EngineError(err::CannotOpen, "The worksheet '" + std::string(fileName) +
                                               "' is protected by a password; Varnoke cannot "
                                               "read it.");
    if (confidence != libwps::WPS_CONFIDENCE_EXCELLENT || kind != libwps::WPS_SPREADSHEET ||
        creator != libwps::WPS_LOTUS)
        throwBadFormat(fileName, "it is not a Lotus 1-2-3 worksheet");
    SheetCollector collector;
    input.seek(0, librevenge::RVNG_SEEK_SET);
    const auto result = libwps::WPSDocument::parse(&input, &collector, "", "CP1252");
    if (result == libwps::WPS_ENCRYPTION_ERROR)
        throw EngineError(err::CannotOpen, "The worksheet '" + std::string(fileName) +
                                               "' is protected by a password; Varnoke cannot "
                                               "read it.");
    if (result != libwps::WPS_OK) throwBadFormat(fileName, "the worksheet cannot be read");

    for (auto& [key, value] : formulaResults(image, fileName))
        collector.cells[key.first][key.second] = std::move(value);

    std::vector<CellRow> grid;
    if (!collector.cells.empty()) {
        const int first = collector.cells.begin()->first;
        const int last = collector.cells.rbegin()->first;
        int width = 0;
        for (const auto& [r, row] : collector.cells)
            if (!row.empty()) width = std::max(width, row.rbegin()->first + 1);
        if (last - first > 1'000'000 || width > 10'000)
            throwBadFormat(fileName, "its sheet is too large");
        // Rows without cells stay empty, so a sheet's size costs only what it holds.
        grid.resize(static_cast<std::size_t>(last - first + 1));
        for (auto& [r, row] : collector.cells) {
            if (row.empty() || row.rbegin()->first < 0) continue;
            auto& cells = grid[static_cast<std::size_t>(r - first)];
            cells.resize(static_cast<std::size_t>(row.rbegin()->first + 1));
            for (auto& [c, value] : row)
                if (c >= 0) cells[static_cast<std::size_t>(c)] = std::move(value);
        }
    }
    sendGrid(std::move(grid), CellSource::Worksheet, fileName,
             emptyTableMessage("sheet", {}, fileName), sink);
}

const ForeignReader& lotusReader() {
    static const LotusReader reader;
    return reader;
}

void readLotusFile(const std::filesystem::path& file, const ChildLimits& limits,
                   ForeignTableSink& sink) {
    const MappedFile bytes(file);
    const std::string name = fileNameOf(file);
    // The child sees a cut it runs into (its copy of the watch is its own); the
    // parent sees one by the file's size, and one that broke the child.
    readMapped({&bytes}, [&] {
        readInChild(name, limits,
                    [&](ForeignTableSink& out) {
                        readMapped({&bytes}, [&] { readLotusImage(bytes.bytes(), name, out); });
                    },
                    sink, {bytes.descriptor()});
    });
}

} // namespace varnoke::drivers
