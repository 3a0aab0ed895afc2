#include "engine/sql_name.h"

namespace varnoke {

void appendBracketName(std::string& out, std::string_view name) {
    out += '[';
    for (char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    out += ']';
}

std::string bracketName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    appendBracketName(out, name);
    return out;
}

namespace {

// What lies between text[at] and the first `close` not doubled, with doubled ones read
// as one; `end` is set past that close. Copies runs between closes, not characters:
// every statement and find of a run reads its texts through here.
std::optional<std::string> readDoubled(std::string_view text, std::size_t at, char close,
                                       std::size_t& end) {
    std::string out;
    std::size_t i = at + 1;
    while (true) {
        const std::size_t found = text.find(close, i);
        if (found == std::string_view::npos) return std::nullopt;
        out.append(text.substr(i, found - i));
        if (found + 1 < text.size() && text[found + 1] == close) {
            out += close;
            i = found + 2;
            continue;
        }
        end = found + 1;
        return out;
    }
}

} // namespace

std::optional<std::size_t> bracketedNameEnd(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    while (true) {
        const std::size_t found = text.find(']', i);
        if (found == std::string_view::npos) return std::nullopt;
        if (found + 1 < text.size() && text[found + 1] == ']') {
            i = found + 2;
            continue;
        }
        return found + 1;
    }
}

std::optional<std::string> readBracketedName(std::string_view text, std::size_t at,
                                             std::size_t& end) {
    return readDoubled(text, at, ']', end);
}

std::optional<std::string> readQuotedText(std::string_view text, std::size_t at, std::size_t& end) {
    return readDoubled(text, at, text[at], end);
}

} // namespace varnoke
