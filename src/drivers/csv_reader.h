#pragma once
// Comma-delimited text: the records of a .csv file as rows of texts.
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::drivers {

// Splits text into records and fields: commas between fields, a field in double quotes
// may hold commas, line breaks and doubled quotes. Lines may end in CR LF, LF or CR;
// blank lines are skipped. Raises 3274 naming fileName when a quoted field never closes.
std::vector<std::vector<std::string>> parseCsv(std::string_view text, std::string_view fileName);

} // namespace varnoke::drivers
