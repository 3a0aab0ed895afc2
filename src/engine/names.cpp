#include "engine/names.h"

#include <algorithm>

namespace varnoke::detail {

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

namespace {
// Names fold only their ASCII letters, whatever the program's locale.
char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
} // namespace

std::string upperName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    // Called for every name a statement or a field access resolves: no copies.
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return x == y || upperAscii(x) == upperAscii(y); });
}

} // namespace varnoke::detail
