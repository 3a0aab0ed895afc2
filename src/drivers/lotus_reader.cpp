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

// Visits the sheet's rows, each as its cells by column; rows without a cell are passed
// over, as they hold nothing to send.
void forEachRow(const LotusWorksheet& sheet, const RowVisit& visit) {
    const auto& cells = sheet.cells();
    CellRow row;
    for (auto at = cells.begin(); at != cells.end();) {
        const auto end =
            std::find_if(at, cells.end(), [&](const LotusCellAt& c) { return c.row != at->row; });
        row.assign(std::size_t{std::prev(end)->column} + 1, Value());
        for (auto cell = at; cell != end; ++cell)
            row[cell->column] = sheet.value(*cell);
        at = end;
        visit(row);
    }
}

} // namespace

void readLotusImage(ByteSpan image, std::string_view fileName, ForeignTableSink& sink) {
    const LotusWorksheet sheet(image, fileName);
    // The rows are decoded twice, once to type the columns and once to send them, so
    // that no more than one row is ever held.
    sendSheet([&](const RowVisit& visit) { forEachRow(sheet, visit); }, CellSource::Worksheet,
              fileName, lotusEmptyMessage(sheet, fileName), sink);
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
