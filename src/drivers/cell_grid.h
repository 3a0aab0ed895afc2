#pragma once
// Tables that arrive as a grid of cells (text files, pages, worksheets): the first row
// names the fields, and each column's type follows from the values under it.
#include "drivers/foreign_reader.h"

#include <string>
#include <vector>

namespace varnoke::drivers {

using CellRow = std::vector<Value>;

enum class CellSource {
    Text,     // every cell is text; numbers and dates are recognised in it
    Worksheet // cells arrive typed; numbers stay doubles
};

// Sends the grid: fields from the first row, then every further row. A column whose
// values are all whole numbers is long (text sources only), all numbers double, all
// dates date, all yes/no yes/no; anything else is text of 255 characters, or memo
// when a value is longer. Blank cells are Null and do not decide a column's type.
void sendGrid(std::vector<CellRow> grid, CellSource source, ForeignTableSink& sink);

} // namespace varnoke::drivers
