#include "drivers/cell_grid.h"
#include "drivers/reader_support.h"
#include "drivers/readers.h"

#include <freexl.h>

#include <cstdio>
#include <memory>
#include <optional>

namespace varnoke::drivers {

namespace {

struct WorkbookCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using Workbook = std::unique_ptr<const void, WorkbookCloser>;

// FreeXL gives dates and times as ISO texts: "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS",
// "HH:MM:SS".
std::optional<double> isoSerial(const char* text, int type) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (type == FREEXL_CELL_DATE && std::sscanf(text, "%d-%d-%d", &y, &mo, &d) == 3)
        return civilSerial(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    if (type == FREEXL_CELL_DATETIME &&
        std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) == 6)
        return civilSerial(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) +
               (h * 3600 + mi * 60 + s) / 86400.0;
    if (type == FREEXL_CELL_TIME && std::sscanf(text, "%d:%d:%d", &h, &mi, &s) == 3)
        return (h * 3600 + mi * 60 + s) / 86400.0;
    return std::nullopt;
}

std::string openError(int code) {
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return "it cannot be opened";
    case FREEXL_INSUFFICIENT_MEMORY:
        return "there is not enough memory to read it";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return "it holds no Excel workbook";
    case FREEXL_UNSUPPORTED_CHARSET:
        return "its character set is not supported";
    default:
        return "it is not an Excel 5.0-8.0 workbook, or it is damaged (error " +
               std::to_string(code) + ")";
    }
}

class ExcelReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const auto file = findLinkedFile(source);
        const std::string name = fileNameOf(file);
        readWholeFile(file); // the engine's errors for a missing or unreadable file
        const void* raw = nullptr;
        const int opened = freexl_open(file.c_str(), &raw);
        Workbook book(raw);
        if (opened != FREEXL_OK) throwBadFormat(name, openError(opened));
        // The library reports success with no workbook for files whose streams it
        // cannot follow.
        if (!book) throwBadFormat(name, "its workbook stream cannot be read");

        unsigned info = 0;
        if (freexl_get_info(book.get(), FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
            info == FREEXL_BIFF_OBFUSCATED)
            throw EngineError(err::CannotOpen, "The workbook '" + name +
                                                   "' is protected by a password; Varnoke "
                                                   "cannot read it.");
        unsigned sheets = 0;
        if (freexl_get_info(book.get(), FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK ||
            sheets == 0)
            throwBadFormat(name, "it holds no worksheet");

        const unsigned short sheet = chooseSheet(book.get(), sheets, source.sourceTable);
        if (freexl_select_active_worksheet(book.get(), sheet) != FREEXL_OK)
            throwBadFormat(name, "its worksheet cannot be selected");
        unsigned rows = 0;
        unsigned short columns = 0;
        if (freexl_worksheet_dimensions(book.get(), &rows, &columns) != FREEXL_OK)
            throwBadFormat(name, "its worksheet has no dimensions");

        std::vector<CellRow> grid(rows);
        for (unsigned r = 0; r < rows; ++r) {
            grid[r].reserve(columns);
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue cell{};
                if (freexl_get_cell_value(book.get(), r, c, &cell) != FREEXL_OK)
                    throwBadFormat(name, "a cell cannot be read");
                grid[r].push_back(valueOf(cell));
            }
        }
        sendGrid(std::move(grid), CellSource::Worksheet, sink);
    }

private:
    // The sheet the source table names ("Sheet1" or "Sheet1$"); else the first, since a
    // file-type link names the workbook itself.
    static unsigned short chooseSheet(const void* book, unsigned sheets, std::string_view table) {
        std::string_view wanted = table;
        if (wanted.ends_with('$')) wanted.remove_suffix(1);
        for (unsigned i = 0; i < sheets && i < 0xFFFF; ++i) {
            const char* sheetName = nullptr;
            if (freexl_get_worksheet_name(book, static_cast<unsigned short>(i), &sheetName) ==
                    FREEXL_OK &&
                sheetName && equalsNoCase(sheetName, wanted))
                return static_cast<unsigned short>(i);
        }
        return 0;
    }

    static Value valueOf(const FreeXL_CellValue& cell) {
        switch (cell.type) {
        case FREEXL_CELL_INT:
            return Value::number(cell.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return Value::number(cell.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            return cell.value.text_value ? Value::text(cell.value.text_value) : Value();
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            if (cell.value.text_value)
                if (auto serial = isoSerial(cell.value.text_value, cell.type))
                    return Value::date(*serial);
            return Value();
        default:
            return Value();
        }
    }
};

} // namespace

const ForeignReader& excelReader() {
    static const ExcelReader reader;
    return reader;
}

} // namespace varnoke::drivers
