#include "engine/find_shape.h"

#include "engine/sql_name.h"

namespace varnoke {

// Reads names, dates and strings exactly as the parser does, so a quote inside a
// name or a date never starts a string.
std::optional<FindShape> findShape(std::string_view criteria) {
    FindShape shape;
    shape.key.reserve(criteria.size());
    const std::size_t n = criteria.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = criteria[i];
        std::size_t stop = i + 1;
        if (c == '[') {
            if (!readBracketedName(criteria, i, stop)) return std::nullopt;
        } else if (c == '`' || c == '#') {
            const auto close = criteria.find(c, i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            stop = close + 1;
        } else if (c == '\x01') {
            return std::nullopt; // the key's own mark
        } else if (c == '\'' || c == '"') {
            auto text = readQuotedText(criteria, i, stop);
            if (!text) return std::nullopt;
            // The quote stays in the key: the literal's place, not its value.
            shape.key += '\x01';
            shape.key += c;
            shape.texts.push_back(std::move(*text));
            i = stop;
            continue;
        }
        shape.key.append(criteria.substr(i, stop - i));
        i = stop;
    }
    return shape;
}

} // namespace varnoke
