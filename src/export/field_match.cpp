#include "export/field_match.h"

#include "engine/recordset.h"

#include <algorithm>

namespace varnoke {

std::optional<int> exactField(const Recordset& rs, std::string_view name) {
    for (int i = 0; i < rs.fieldCount(); ++i)
        if (rs.fieldName(i) == name) return i;
    return std::nullopt;
}

bool copyByName(const Recordset& source, int count, Recordset& target) {
    bool written = false;
    for (int i = 0; i < std::min(count, source.fieldCount()); ++i) {
        if (const std::optional<int> to = exactField(target, source.fieldName(i))) {
            target.setValueAt(*to, source.valueAt(i));
            written = true;
        }
    }
    return written;
}

} // namespace varnoke
