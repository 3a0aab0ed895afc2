#include "drivers/sheet_cells.h"

#include "drivers/reader_support.h"

#include <algorithm>

namespace varnoke::drivers {

namespace {

bool isBlank(const Value& v) {
    return v.isEmpty() || v.isNull() || (v.isText() && trim(v.asText()).empty());
}

} // namespace

void SheetCells::put(std::uint16_t row, std::uint16_t column, Value value) {
    const std::uint32_t key = std::uint32_t{row} << 16 | column;
    if (!cells_.empty() && key <= cells_.back().key) settled_ = false;
    cells_.push_back({key, isBlank(value) ? Value::null() : std::move(value)});
}

void SheetCells::settle() {
    if (!settled_) {
        // Stable, so that of two values for one cell the later one stays last.
        std::stable_sort(cells_.begin(), cells_.end(),
                         [](const Cell& a, const Cell& b) { return a.key < b.key; });
        std::vector<Cell> unique;
        unique.reserve(cells_.size());
        for (auto& cell : cells_) {
            if (!unique.empty() && unique.back().key == cell.key)
                unique.back() = std::move(cell);
            else
                unique.push_back(std::move(cell));
        }
        cells_ = std::move(unique);
        settled_ = true;
    }
    std::erase_if(cells_, [](const Cell& c) { return c.value.isNull(); });
    firstRow_ = cells_.empty() ? 0 : cells_.front().key >> 16;
    firstColumn_ = 0xFFFF;
    for (const auto& cell : cells_)
        firstColumn_ = std::min(firstColumn_, cell.key & 0xFFFF);
}

void SheetCells::forEachRow(std::uint32_t top, std::uint32_t left,
                            const std::function<void(CellRow&)>& each) {
    settle();
    CellRow row;
    auto cell = cells_.begin();
    for (std::uint32_t r = top; cell != cells_.end(); ++r) {
        row.clear();
        for (; cell != cells_.end() && cell->key >> 16 == r; ++cell) {
            const std::size_t column = (cell->key & 0xFFFF) - left;
            row.resize(column + 1);
            row[column] = cell->value;
        }
        each(row);
    }
}

std::vector<CellRow> SheetCells::grid() {
    std::vector<CellRow> rows;
    forEachRow(0, 0, [&](CellRow& row) { rows.push_back(std::move(row)); });
    return rows;
}

void SheetCells::send(std::string_view fileName, std::string_view emptyMessage,
                      ForeignTableSink& sink) {
    // Rows above the first cell and columns left of the leftmost hold nothing, so they are
    // not widened; the grid finds the header row among the rest.
    settle();
    sendSheet([&](const RowVisit& visit) { forEachRow(firstRow_, firstColumn_, visit); },
              CellSource::Worksheet, fileName, emptyMessage, sink);
}

} // namespace varnoke::drivers
