#include "drivers/lotus_format.h"

#include "drivers/cell_grid.h"
#include "drivers/lotus_records.h"
#include "drivers/readers.h"

#include <algorithm>

namespace varnoke::drivers {

namespace {

class LotusReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        readLotusFile(findLinkedFile(source), sink);
    }
};

bool isBlank(const Value& v) {
    return v.isEmpty() || v.isNull() || (v.isText() && v.asText().empty());
}

// Visits the sheet's rows from the first that holds a value, each as its cells by
// column; rows without a cell are passed over, as they hold nothing to send.
template <class Visit> void forEachRow(const LotusWorksheet& sheet, Visit&& visit) {
    const auto& cells = sheet.cells();
    CellRow row;
    bool begun = false;
    for (auto at = cells.begin(); at != cells.end();) {
        const auto end =
            std::find_if(at, cells.end(), [&](const LotusCellAt& c) { return c.row != at->row; });
        row.assign(std::size_t{std::prev(end)->column} + 1, Value());
        bool holds = false;
        for (auto cell = at; cell != end; ++cell) {
            Value v = sheet.value(*cell);
            holds = holds || !isBlank(v);
            row[cell->column] = std::move(v);
        }
        at = end;
        begun = begun || holds;
        if (begun) visit(row);
    }
}

} // namespace

void readLotusImage(ByteSpan image, std::string_view fileName, ForeignTableSink& sink) {
    const LotusWorksheet sheet(image, fileName);
    // The rows are decoded twice, once to type the columns and once to send them, so
    // that no more than one row is ever held.
    GridTyper typer(CellSource::Worksheet, fileName);
    bool header = true;
    forEachRow(sheet, [&](CellRow& row) {
        if (header)
            typer.header(row);
        else
            typer.observe(row);
        header = false;
    });
    sink.begin(typer.fields(lotusEmptyMessage(sheet, fileName)));
    std::vector<Value> values;
    header = true;
    forEachRow(sheet, [&](CellRow& row) {
        if (!header && typer.convert(row, values)) sink.row(values);
        header = false;
    });
}

const ForeignReader& lotusReader() {
    static const LotusReader reader;
    return reader;
}

void readLotusFile(const std::filesystem::path& file, ForeignTableSink& sink) {
    const MappedFile bytes(file);
    const std::string name = fileNameOf(file);
    readMapped({&bytes}, [&] { readLotusImage(bytes.bytes(), name, sink); });
}

} // namespace varnoke::drivers
