#include "engine/sql_name.h"

namespace varnoke {

std::string bracketName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    out += '[';
    for (char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    out += ']';
    return out;
}

std::optional<std::string> readBracketedName(std::string_view text, std::size_t at,
                                             std::size_t& end) {
    std::string name;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] != ']') {
            name += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == ']') {
            name += ']';
            ++i;
            continue;
        }
        end = i + 1;
        return name;
    }
    return std::nullopt;
}

std::optional<std::string> readQuotedText(std::string_view text, std::size_t at, std::size_t& end) {
    const char quote = text[at];
    std::string out;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] != quote) {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == quote) {
            out += quote;
            ++i;
            continue;
        }
        end = i + 1;
        return out;
    }
    return std::nullopt;
}

} // namespace varnoke
