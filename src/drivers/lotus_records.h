#pragma once
// Our own walk of a 1-2-3 worksheet's records, beside what libwps reads of it: whether
// the file is whole, the formula results as the file saved them, the rows that hold a
// value, and a Release 2 (WK1) sheet cut into parts that libwps reads whole.
#include "drivers/reader_support.h"
#include "value/value.h"

#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace varnoke::drivers {

using LotusCellKey = std::pair<int, int>; // row, column

struct LotusRecords {
    // Formula cells of the first sheet as the file saved them. The library gives some
    // of them as NaN or not at all (a result of 0, a text result), and rounds the long
    // whole numbers of later releases to doubles, so these take the place of what it
    // sends. So do such long numbers in number cells.
    std::map<LotusCellKey, Value> savedValues;
    // The cells of the first sheet that hold a value (a number, a formula or a label
    // with text), by row and column: what a link must bring.
    std::vector<LotusCellKey> valueCells;
};

// Raises 3274 for a worksheet that ends before its end-of-file record (it may have
// been cut short), or with a Release 2 cell beyond the 256th column, for which the
// library would lay out a sheet of that width.
void checkLotusRecords(ByteSpan image, std::string_view fileName);

LotusRecords readLotusRecords(ByteSpan image, std::string_view fileName);

// The records before the end-of-file record: no more cells than that are kept by the
// library, whatever their kind (it keeps a blank one too).
std::size_t countLotusRecords(ByteSpan image);

// libwps reads a Release 2 cell's row as a signed number: at the first cell past row
// 32,767 it stops reading the file, and a sheet whose active range ends past that row
// it does not take for a worksheet at all. Such a sheet is read as parts that keep
// every row below that: the cells of each part, the rest of the records (column
// widths, formats, the range held below that row) as the file has them.
struct LotusSheetPart {
    Bytes image;
    int firstRow = 0; // the file's row of the part's row 0
};

// The parts, or none when the library reads the file as it is.
std::vector<LotusSheetPart> lotusLibraryParts(ByteSpan image);

} // namespace varnoke::drivers
