#pragma once
// One reader per kind of foreign file; the registry maps connect prefixes to them.
// Each is stateless, so one instance serves every link.
#include "drivers/foreign_reader.h"

namespace varnoke::drivers {

const ForeignReader& dbfReader();     // dBase III/IV/V, FoxPro 2.x/3.0
const ForeignReader& dbcReader();     // FoxPro database containers
const ForeignReader& paradoxReader(); // Paradox 3.x-7.x tables
const ForeignReader& csvReader();     // comma-delimited text
const ForeignReader& htmlReader();    // tables of an HTML page
const ForeignReader& excelReader();   // Excel 5.0-8.0 workbooks
const ForeignReader& lotusReader();   // Lotus 1-2-3 WK1-WK4 worksheets
const ForeignReader& jetReader();     // tables of a Jet database

} // namespace varnoke::drivers
