#include "engine/new_table.h"

#include "engine/engine_error.h"
#include "engine/foreign_reader.h"
#include "engine/names.h"
#include "engine/sql_ast.h"
#include "value/printable.h"

#include <unordered_set>

namespace varnoke::detail {

namespace {

inline constexpr int kInvalidName = 3125;
inline constexpr int kTooManyFields = 3190;

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// A name a message shows whole is at most this many characters long: a binary file's
// first line read as a text's header would make a message as wide as the screen.
constexpr std::size_t kShownNameLength = 40;

std::string shown(std::string_view name) {
    return printable(name, kShownNameLength);
}

// Why the engine cannot hold name; empty when it can.
std::string nameFault(std::string_view name) {
    if (name.find_first_not_of(' ') == std::string_view::npos) return "it is blank";
    for (std::size_t i = 0; i < name.size(); ++i)
        if (isControl(static_cast<unsigned char>(name[i])))
            return "it holds a control character at byte " + std::to_string(i + 1);
    return {};
}

} // namespace

void checkTableName(std::string_view name) {
    if (const auto fault = nameFault(name); !fault.empty())
        throw EngineError(kInvalidName,
                          "'" + shown(name) + "' is not a valid table name: " + fault + ".");
}

std::string newTableColumns(const std::vector<ColumnInfo>& cols) {
    if (cols.size() > kMaxTableFields)
        throw EngineError(kTooManyFields,
                          "Too many fields defined: " + std::to_string(cols.size()) +
                              ", more than the " + std::to_string(kMaxTableFields) +
                              " a table can hold.");
    std::unordered_set<std::string> seen;
    std::string defs;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const std::string& name = cols[i].name;
        if (const auto fault = nameFault(name); !fault.empty())
            throw EngineError(kInvalidName, "Field " + std::to_string(i + 1) + " ('" + shown(name) +
                                                "') is not a valid field name: " + fault + ".");
        // A set, not a scan of the earlier names: a table may have thousands of fields.
        if (!seen.insert(nameKey(name)).second)
            throw EngineError(err::DuplicateFieldName,
                              "Field '" + shown(name) + "' is defined more than once.");
        if (!defs.empty()) defs += ", ";
        defs += quoteName(name) + " " + sql::declaredType(cols[i].type);
    }
    return defs;
}

} // namespace varnoke::detail
