#pragma once
// Tables of HTML pages, read from memory (the page mapped) so the same code serves
// files and fuzzing. libxml2's parser builds no tree: a page in UTF-8 takes memory
// for one row at a time, one in another encoding also its text converted, and time
// in proportion to its size.
#include "drivers/reader_support.h"

namespace varnoke::drivers {

// Sends the table named tableName (its caption, id or name, or "TableN"), else the
// page's first table: its first row names the fields. Raises 3078 for a page with no
// table, 3274 for one nested or spanned past Varnoke's limits, with more fields than a
// table holds or a cell longer than a memo.
void readHtmlImage(ByteSpan bytes, std::string_view fileName, std::string_view tableName,
                   ForeignTableSink& sink);

} // namespace varnoke::drivers
