#pragma once
// The cells of one worksheet, held sparse as they arrive: a sheet of one value a row far
// to the right costs a cell a row, not a row's width. The grid is widened a row at a
// time only while the table is typed and sent.
#include "drivers/cell_grid.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace varnoke::drivers {

class SheetCells {
public:
    // A later value for the same cell replaces the earlier one. A text of only blanks
    // is kept as Null: it names no field and decides no column's type.
    void put(std::uint16_t row, std::uint16_t column, Value value);

    // The whole sheet from its first row and column, as wide as each row's last cell.
    std::vector<CellRow> grid();

    // Sends the table as the grid finds it in the sheet.
    void send(std::string_view fileName, std::string_view emptyMessage, ForeignTableSink& sink);

private:
    struct Cell {
        std::uint32_t key; // row << 16 | column
        Value value;
    };
    void settle();
    // Every row from `top` to the last holding a cell, each as wide as its last cell,
    // without the columns left of `left`.
    void forEachRow(std::uint32_t top, std::uint32_t left,
                    const std::function<void(CellRow&)>& each);

    std::vector<Cell> cells_;
    bool settled_ = true;
    std::uint32_t firstRow_ = 0, firstColumn_ = 0;
};

} // namespace varnoke::drivers
