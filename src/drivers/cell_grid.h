#pragma once
// Tables that arrive as a grid of cells (text files, pages, worksheets): a header row
// names the fields, and each column's type follows from the values under it.
#include "drivers/foreign_reader.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::drivers {

using CellRow = std::vector<Value>;

enum class CellSource {
    Text,     // every cell is text; numbers and dates are recognised in it
    Worksheet // cells arrive typed; numbers stay doubles; columns left of every value go
};

// Decides each column's type from the values under it, then converts rows to it; the
// rows may be seen twice (once to type, once to send) so that a long file need not be
// held whole. A column whose values are all whole numbers is long (text sources
// only), all numbers double, all dates date, all yes/no yes/no; anything else is text
// of 255 characters, or memo when a value is longer. Blank cells (empty, Null, or a
// text of only spaces) are Null and do not decide a column's type.
//
// A source that has no fixed header row (a worksheet) gives every row to observe() and
// convert(): the first row holding a non-blank cell then names the fields, and the rows
// above it, blank, are not sent. A worksheet's columns left of its leftmost non-blank
// cell, in any row, are no fields.
class GridTyper {
public:
    // fileName names the file in messages: a grid wider than a table can hold, or a value
    // longer than a memo holds, raises 3274 as soon as it is seen.
    GridTyper(CellSource source, std::string_view fileName);
    ~GridTyper();

    // The first row of a source whose first row names the fields, blank or not.
    void header(const CellRow& row);
    // Each further row (each row, without header()), before any is converted.
    void observe(const CellRow& row);
    // The same for a row of texts from a text source, without making values of them.
    void observeTexts(const std::vector<std::string>& row);
    // The fields, once every row was observed, named as makeNamesUnique names them.
    // Raises 3274 with emptyMessage when no column holds a name or a value.
    std::vector<ForeignField> fields(std::string_view emptyMessage);
    // One value a field into values, the rows given in the order observed; false for
    // the header row found by observe() and a row with nothing in it, which is only
    // spacing and is not sent.
    bool convert(CellRow& row, std::vector<Value>& values);

private:
    void widen(const CellRow& row);
    void widenTo(std::size_t width);
    void measure(std::size_t column, std::size_t bytes, const std::string& text);

    struct Column;
    CellSource source_;
    std::string fileName_;
    std::size_t rows_ = 0;                          // observed so far, the header not counted
    std::optional<std::vector<std::string>> names_; // the header row's texts, once met
    bool headerToPass_ = false; // convert() has yet to meet the header observe() found
    std::vector<Column> columns_;
    std::size_t width_ = 0;
    std::size_t first_ = 0; // a worksheet's leftmost column holding a non-blank cell
};

// The message for a sheet or table (kind) with no data in it; with no name, the file's.
std::string emptyTableMessage(std::string_view kind, std::string_view name,
                              std::string_view fileName);

// Gives each row of a sheet, in order, to its argument; called twice (to type, to send).
using RowVisit = std::function<void(CellRow&)>;
using SheetRows = std::function<void(const RowVisit&)>;

// Sends the rows of a sheet that is visited twice rather than held: the first row
// holding a non-blank cell names the fields, the rows under it are sent.
void sendSheet(const SheetRows& rows, CellSource source, std::string_view fileName,
               std::string_view emptyMessage, ForeignTableSink& sink);

// The same for a grid held whole.
void sendGrid(std::vector<CellRow> grid, CellSource source, std::string_view fileName,
              std::string_view emptyMessage, ForeignTableSink& sink);

} // namespace varnoke::drivers
