// The remote query result reader: any reply a query server may send, read whole and
// checked; a reply it accepts must give one value per field in every row, and a field
// it names as made text must be a text field.
#include "queries/remote_result.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto result = varnoke::parseRemoteResult(text);
    if (auto* table = std::get_if<varnoke::RemoteResult>(&result)) {
        if (table->fields.empty()) std::abort();
        for (const auto& row : table->rows)
            if (row.size() != table->fields.size()) std::abort();
        for (const auto& widened : table->widened) {
            const auto field =
                std::find_if(table->fields.begin(), table->fields.end(),
                             [&](const varnoke::RemoteField& f) { return f.name == widened.name; });
            if (field == table->fields.end() || (field->type != 10 && field->type != 12))
                std::abort();
        }
        if (table->widened.empty() != varnoke::widenedNote(*table).empty()) std::abort();
    }
    return 0;
}
