#include "drivers/field_names.h"

#include "drivers/reader_support.h"

#include <string>
#include <unordered_set>

namespace varnoke::drivers {

void makeNamesUnique(std::vector<ForeignField>& fields) {
    std::unordered_set<std::string> taken;
    std::vector<bool> generated(fields.size(), false);
    // A set, not a scan of earlier names: a file may have thousands of fields.
    for (std::size_t i = 0; i < fields.size(); ++i)
        generated[i] = fields[i].name.empty() || !taken.insert(nameKey(fields[i].name)).second;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!generated[i]) continue;
        const std::string base = "F" + std::to_string(i + 1);
        std::string name = base;
        for (int k = 2; !taken.insert(nameKey(name)).second; ++k)
            name = base + "_" + std::to_string(k);
        fields[i].name = std::move(name);
    }
}

void checkFieldCount(std::size_t count, std::string_view fileName) {
    if (count > kMaxTableFields)
        throwBadFormat(fileName, "it has " + std::to_string(count) + " fields, more than the " +
                                     std::to_string(kMaxTableFields) + " a table can hold");
}

} // namespace varnoke::drivers
