#pragma once
// Which tables of the working database belong to the user, which ones the program
// empties when it ends, and how a typed table name is checked.
#include "engine/database.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

inline constexpr std::string_view kExportTableName = "Varnoke's Export TABLE";

// A table the user made (Save TABLE As) or the program left behind under a name that
// is not one of its fixed ones. Exact, case-sensitive comparisons: "temp" is a user
// table, "Temp" is not.
bool isUserTable(std::string_view name);
// The user tables of the database, in the collection's order.
std::vector<std::string> userTableNames(const TableDefs& tables);

// The program's own working tables, whose rows mean nothing once it has ended.
// Everything else keeps its rows: the settings, the sample connection strings, the
// engine's own tables and whatever the user saved.
bool emptiedAtExit(std::string_view name);

// True when name equals the name of any table, without regard to case.
bool nameClashes(const TableDefs& tables, std::string_view name);

// Why the engine could not hold a table of this name, or "" when it can.
std::string tableNameProblem(std::string_view name);

// The table a viewer shows, read from its caption "Table - name": the text two
// characters after the first "-". Empty when the caption holds no "-".
std::string tableNameFromCaption(std::string_view caption);

} // namespace varnoke
