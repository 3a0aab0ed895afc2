#pragma once
// Tables that arrive as a grid of cells (text files, pages, worksheets): the first row
// names the fields, and each column's type follows from the values under it.
#include "drivers/foreign_reader.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnoke::drivers {

using CellRow = std::vector<Value>;

enum class CellSource {
    Text,     // every cell is text; numbers and dates are recognised in it
    Worksheet // cells arrive typed; numbers stay doubles
};

// Decides each column's type from the values under it, then converts rows to it; the
// rows may be seen twice (once to type, once to send) so that a long file need not be
// held whole. A column whose values are all whole numbers is long (text sources
// only), all numbers double, all dates date, all yes/no yes/no; anything else is text
// of 255 characters, or memo when a value is longer. Blank cells are Null and do not
// decide a column's type.
class GridTyper {
public:
    // fileName names the file in messages: a grid wider than a table can hold, or a value
    // longer than a memo holds, raises 3274 as soon as it is seen.
    GridTyper(CellSource source, std::string_view fileName);
    ~GridTyper();

    // The first row: it names the fields.
    void header(const CellRow& row);
    // Each further row, before any is converted.
    void observe(const CellRow& row);
    // The same for a row of texts from a text source, without making values of them.
    void observeTexts(const std::vector<std::string>& row);
    // The fields, once every row was observed, named as makeNamesUnique names them.
    // Raises 3274 with emptyMessage when no column holds a name or a value.
    std::vector<ForeignField> fields(std::string_view emptyMessage);
    // One value a field into values; false for a row with nothing in it, which is
    // only spacing and is not sent.
    bool convert(CellRow& row, std::vector<Value>& values) const;

private:
    void widen(const CellRow& row);
    void widenTo(std::size_t width);
    void measure(std::size_t column, std::size_t bytes, const std::string& text);

    struct Column;
    CellSource source_;
    std::string fileName_;
    std::size_t rows_ = 0; // observed so far, the header not counted
    std::vector<std::string> names_;
    std::vector<Column> columns_;
    std::size_t width_ = 0;
};

// The message for a sheet or table (kind) with no data in it; with no name, the file's.
std::string emptyTableMessage(std::string_view kind, std::string_view name,
                              std::string_view fileName);

// Sends a grid held whole: fields from the first row, then every further row.
void sendGrid(std::vector<CellRow> grid, CellSource source, std::string_view fileName,
              std::string_view emptyMessage, ForeignTableSink& sink);

} // namespace varnoke::drivers
