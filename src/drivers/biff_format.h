#pragma once
// Excel 5.0 (BIFF5) and Excel 97-2003 (BIFF8) workbooks, read from memory so the same
// code serves files and fuzzing. Small and large workbooks alike: the workbook stream
// may sit in the compound file's mini stream.
#include "drivers/cell_grid.h"
#include "drivers/reader_support.h"

namespace varnoke::drivers {

// The cells of one worksheet from its first row and column: the sheet named `sheet`
// (without regard to case, a trailing "$" ignored), else the first worksheet. Numbers
// are doubles, numbers shown with a date or time format dates, yes/no cells yes/no values,
// texts UTF-8; a formula gives the result it was last saved with; blanks and error
// values are Null. Raises 3274 for a damaged or cut-short workbook, 3051 for one
// protected by a password.
std::vector<CellRow> readWorksheetCells(ByteSpan file, std::string_view fileName,
                                        std::string_view sheet);

// Sends that worksheet as a table whose first row names the fields.
void readWorkbookImage(ByteSpan file, std::string_view fileName, std::string_view sheet,
                       ForeignTableSink& sink);

// Whether a number format code shows its number as a date or a time ("dd/mm/yyyy",
// "h:mm AM/PM"); quoted texts, escaped characters and colour or locale brackets do not
// count. Elapsed time ("[h]:mm", "[mm]:ss") shows a duration, a number of days.
bool isDateFormatCode(std::string_view code);

} // namespace varnoke::drivers
