#pragma once
// The text of a dBase number field as a number. Writers other than dBase put commas in
// it: between the thousands of a number with a decimal point ("1,200.00"), or as the
// decimal sign ("1,5"). A text that could be read either way ("1,200") is no number.
#include <optional>
#include <string_view>
#include <variant>

namespace varnoke::drivers {

struct BlankNumber {}; // blanks, or the stars of a number too wide for its field
struct NotANumber {};  // text no reading makes a number of

using DbfNumber = std::variant<double, BlankNumber, NotANumber>;

DbfNumber parseDbfNumber(std::string_view text);

} // namespace varnoke::drivers
