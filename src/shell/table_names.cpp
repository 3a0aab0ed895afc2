#include "shell/table_names.h"

#include "dialog/file_attacher.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace varnoke {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

bool isUserTable(std::string_view name) {
    static constexpr std::array<std::string_view, 9> programTables = {
        kExportTableName, "Settings", "Varnoker",      "ConnectStr",   "Table1",
        "Table2",         "Temp",     "Exported Data", "SampleConnStr"};
    if (startsWith(name, "MSys") || startsWith(name, "SSys")) return false;
    // A link's transient table is the program's until Close Files or the exit drops it.
    if (std::find(kTransientTables.begin(), kTransientTables.end(), name) != kTransientTables.end())
        return false;
    return std::find(programTables.begin(), programTables.end(), name) == programTables.end();
}

std::vector<std::string> userTableNames(const TableDefs& tables) {
    std::vector<std::string> names;
    for (const TableDef& table : tables)
        if (isUserTable(table.name())) names.push_back(table.name());
    return names;
}

bool emptiedAtExit(std::string_view name) {
    static constexpr std::array<std::string_view, 11> workingTables = {"Table1",
                                                                       "Table2",
                                                                       "Exported Data",
                                                                       kExportTableName,
                                                                       "SSysCriteria",
                                                                       "ConnectStr",
                                                                       "Temp",
                                                                       "AddedOr",
                                                                       "1A",
                                                                       "2A",
                                                                       "3A"};
    return std::find(workingTables.begin(), workingTables.end(), name) != workingTables.end();
}

bool nameClashes(const TableDefs& tables, std::string_view name) {
    const std::string wanted = lower(name);
    return std::any_of(tables.begin(), tables.end(),
                       [&](const TableDef& table) { return lower(table.name()) == wanted; });
}

std::string tableNameProblem(std::string_view name) {
    const bool blank =
        std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isspace(c) != 0; });
    if (blank) return "A table name cannot be blank.";
    if (name.size() > 64) return "A table name can be at most 64 characters long.";
    if (name.front() == ' ') return "A table name cannot begin with a blank.";
    for (unsigned char c : name)
        if (c < 32 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
            return "A table name cannot hold the characters . ! ` [ ] or control characters.";
    return {};
}

std::string tableNameFromCaption(std::string_view caption) {
    const auto dash = caption.find('-');
    if (dash == std::string_view::npos) return {};
    const auto start = dash + 2;
    return start >= caption.size() ? std::string() : std::string(caption.substr(start));
}

} // namespace varnoke
