#include "drivers/lotus_format.h"

#include "drivers/cell_grid.h"
#include "drivers/child_read.h"
#include "drivers/lotus_records.h"
#include "drivers/readers.h"

#include <librevenge-stream/librevenge-stream.h>
#include <librevenge/librevenge.h>
#include <libwps/libwps.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>

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
            // An error value (ERR, NA) comes as NaN: no data, as a formula's error is.
            if (const auto* v = props["librevenge:value"])
                return std::isfinite(v->getDouble()) ? Value::number(v->getDouble())
                                                     : Value::null();
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
        readLotusFile(findLinkedFile(source), sink);
    }
};

// Rows of the first sheet, each its cells by column.
using SheetCells = std::map<int, std::map<int, Value>>;

[[noreturn]] void throwProtected(std::string_view fileName) {
    throw EngineError(err::CannotOpen, "The worksheet '" + std::string(fileName) +
                                           "' is protected by a password; Varnoke cannot "
                                           "read it.");
}

// Whether the library takes the file, or one of the parts it is read as, for a 1-2-3
// worksheet. It wants a few records before the end to tell (which a part need not
// have), and a Release 2 range within the rows it reads (which the file need not have).
void checkLibraryKnows(ByteSpan image, const std::vector<LotusSheetPart>& parts,
                       std::string_view fileName) {
    std::vector<ByteSpan> candidates{image};
    for (const auto& part : parts)
        candidates.emplace_back(part.image);
    for (const ByteSpan candidate : candidates) {
        librevenge::RVNGStringStream input(candidate.data(),
                                           static_cast<unsigned>(candidate.size()));
        libwps::WPSKind kind = libwps::WPS_TEXT;
        libwps::WPSCreator creator = libwps::WPS_MSWORKS;
        bool needsEncoding = false;
        const auto confidence =
            libwps::WPSDocument::isFileFormatSupported(&input, kind, creator, needsEncoding);
        if (confidence == libwps::WPS_CONFIDENCE_SUPPORTED_ENCRYPTION) throwProtected(fileName);
        if (confidence == libwps::WPS_CONFIDENCE_EXCELLENT && kind == libwps::WPS_SPREADSHEET &&
            creator == libwps::WPS_LOTUS)
            return;
    }
    throwBadFormat(fileName, "it is not a Lotus 1-2-3 worksheet");
}

// Reads a worksheet through the library into cells, its rows moved down by firstRow.
void readThroughLibrary(ByteSpan image, int firstRow, std::string_view fileName,
                        SheetCells& cells) {
    librevenge::RVNGStringStream input(image.data(), static_cast<unsigned>(image.size()));
    SheetCollector collector;
    const auto result = libwps::WPSDocument::parse(&input, &collector, "", "CP1252");
    if (result == libwps::WPS_ENCRYPTION_ERROR) throwProtected(fileName);
    if (result != libwps::WPS_OK) throwBadFormat(fileName, "the worksheet cannot be read");
    for (auto& [row, columns] : collector.cells)
        for (auto& [column, value] : columns)
            cells[row + firstRow][column] = std::move(value);
}

// The library may stop before the end of the records and say nothing, or pass over a
// cell; every cell our own walk found a value in must have come through. The rows
// that hold such a cell are counted, and those that came through whole.
void checkEveryCellRead(const std::vector<LotusCellKey>& valueCells, const SheetCells& cells,
                        std::string_view fileName) {
    auto arrived = [&](const LotusCellKey& key) {
        const auto row = cells.find(key.first);
        return row != cells.end() && row->second.count(key.second) != 0;
    };
    std::size_t rows = 0;
    std::size_t whole = 0;
    for (auto at = valueCells.begin(); at != valueCells.end();) {
        const auto end = std::find_if(at, valueCells.end(),
                                      [&](const LotusCellKey& k) { return k.first != at->first; });
        ++rows;
        if (std::all_of(at, end, arrived)) ++whole;
        at = end;
    }
    if (whole < rows)
        throwBadFormat(fileName, "its first sheet holds values in " + std::to_string(rows) +
                                     " rows, of which only " + std::to_string(whole) +
                                     " could be read whole");
}

} // namespace

void readLotusImage(ByteSpan image, std::string_view fileName, ForeignTableSink& sink) {
    checkLotusRecords(image, fileName);
    SheetCells cells;
    const auto parts = lotusLibraryParts(image);
    checkLibraryKnows(image, parts, fileName);
    if (parts.empty()) readThroughLibrary(image, 0, fileName, cells);
    for (const auto& part : parts)
        readThroughLibrary(part.image, part.firstRow, fileName, cells);

    auto records = readLotusRecords(image, fileName);
    for (auto& [key, value] : records.savedValues)
        cells[key.first][key.second] = std::move(value);
    checkEveryCellRead(records.valueCells, cells, fileName);

    std::vector<CellRow> grid;
    if (!cells.empty()) {
        const int first = cells.begin()->first;
        const int last = cells.rbegin()->first;
        int width = 0;
        for (const auto& [r, row] : cells)
            if (!row.empty()) width = std::max(width, row.rbegin()->first + 1);
        if (last - first > 1'000'000 || width > 10'000)
            throwBadFormat(fileName, "its sheet is too large");
        // Rows without cells stay empty, so a sheet's size costs only what it holds.
        grid.resize(static_cast<std::size_t>(last - first + 1));
        for (auto& [r, row] : cells) {
            if (row.empty() || row.rbegin()->first < 0) continue;
            auto& rowCells = grid[static_cast<std::size_t>(r - first)];
            rowCells.resize(static_cast<std::size_t>(row.rbegin()->first + 1));
            for (auto& [c, value] : row)
                if (c >= 0) rowCells[static_cast<std::size_t>(c)] = std::move(value);
        }
    }
    sendGrid(std::move(grid), CellSource::Worksheet, fileName,
             emptyTableMessage("sheet", {}, fileName), sink);
}

const ForeignReader& lotusReader() {
    static const LotusReader reader;
    return reader;
}

namespace {

// limitsOf gives the limits of the file's bytes.
void readLotusFileWithin(const std::filesystem::path& file,
                         const std::function<ChildLimits(ByteSpan)>& limitsOf,
                         ForeignTableSink& sink) {
    const MappedFile bytes(file);
    const std::string name = fileNameOf(file);
    // The child sees a cut it runs into (its copy of the watch is its own); the
    // parent sees one by the file's size, and one that broke the child.
    readMapped({&bytes}, [&] {
        readInChild(name, limitsOf(bytes.bytes()),
                    [&](ForeignTableSink& out) {
                        readMapped({&bytes}, [&] { readLotusImage(bytes.bytes(), name, out); });
                    },
                    sink, {bytes.descriptor()});
    });
}

} // namespace

void readLotusFile(const std::filesystem::path& file, ForeignTableSink& sink) {
    readLotusFileWithin(
        file, [](ByteSpan image) { return limitsForFile(image.size(), countLotusRecords(image)); },
        sink);
}

void readLotusFile(const std::filesystem::path& file, const ChildLimits& limits,
                   ForeignTableSink& sink) {
    readLotusFileWithin(
        file, [&](ByteSpan) { return limits; }, sink);
}

} // namespace varnoke::drivers
