#include "value/printable.h"

#include <cstdio>

namespace varnoke {

namespace {

// The length of the UTF-8 character at text[at], 0 where none begins there.
std::size_t characterLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
    return length;
}

std::string escape(const char* format, unsigned code) {
    char out[8];
    std::snprintf(out, sizeof out, format, code);
    return out;
}

} // namespace

std::string printable(std::string_view text, std::size_t limit, bool keepLines) {
    std::string out;
    std::size_t shown = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = characterLength(text, at);
        const auto c = static_cast<unsigned char>(text[at]);
        const bool line = keepLines && (c == '\n' || c == '\r' || c == '\t');
        const bool upperControl =
            length == 2 && c == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        std::string piece;
        if (length == 0 || ((c < 0x20 || c == 0x7F) && !line))
            piece = escape("\\x%02X", c);
        else if (upperControl)
            piece = escape("\\u%04X", static_cast<unsigned char>(text[at + 1]));
        else
            piece = text.substr(at, length);
        const bool escaped = length == 0 || piece.size() != length || upperControl;
        const std::size_t width = escaped ? piece.size() : 1;
        if (limit != std::string_view::npos && shown + width > limit) return out + "\u2026";
        shown += width;
        out += piece;
        at += length == 0 ? 1 : length;
    }
    return out;
}

} // namespace varnoke
