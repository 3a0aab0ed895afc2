#pragma once
// Table and column names as SQLite sees them: quoted for its SQL, and compared without
// regard to the case of their ASCII letters, whatever the program's locale.
#include <string>
#include <string_view>

namespace varnoke::detail {

std::string quoteName(std::string_view name);
std::string upperName(std::string_view name);
bool sameName(std::string_view a, std::string_view b);

} // namespace varnoke::detail
