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

// Where what lies between text[at] and the first `close` not doubled ends (past that
// close); the text itself, doubled closes read as one, goes to `out` when one is given.
// Copies runs between closes, not characters: every statement and find of a run reads
// its texts through here.
std::optional<std::size_t> doubledEnd(std::string_view text, std::size_t at, char close,
                                      std::string* out) {
    std::size_t i = at + 1;
    while (true) {
        const std::size_t found = text.find(close, i);
        if (found == std::string_view::npos) return std::nullopt;
        if (out) out->append(text.substr(i, found - i));
        if (found + 1 < text.size() && text[found + 1] == close) {
            if (out) *out += close;
            i = found + 2;
            continue;
        }
        return found + 1;
    }
}

std::optional<std::string> readDoubled(std::string_view text, std::size_t at, char close,
                                       std::size_t& end) {
    std::string out;
    const auto stop = doubledEnd(text, at, close, &out);
    if (!stop) return std::nullopt;
    end = *stop;
    return out;
}

} // namespace

std::optional<std::size_t> bracketedNameEnd(std::string_view text, std::size_t at) {
    return doubledEnd(text, at, ']', nullptr);
}

std::optional<std::string> readBracketedName(std::string_view text, std::size_t at,
                                             std::size_t& end) {
    return readDoubled(text, at, ']', end);
}

std::optional<std::string> readQuotedText(std::string_view text, std::size_t at, std::size_t& end) {
    return readDoubled(text, at, text[at], end);
}

} // namespace varnoke
