#include "value/case_fold.h"

#include "value/case_fold_table.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace varnoke {

char32_t foldCodePoint(char32_t c) {
    using detail::FoldRange;
    if (c < detail::kFoldRanges[0].first) return c;
    const auto* after =
        std::upper_bound(std::begin(detail::kFoldRanges), std::end(detail::kFoldRanges), c,
                         [](char32_t x, const FoldRange& r) { return x < r.first; });
    const FoldRange& r = *std::prev(after);
    const char32_t offset = c - r.first;
    if (offset / r.stride >= r.count || offset % r.stride != 0) return c;
    return static_cast<char32_t>(static_cast<std::int64_t>(c) + r.delta);
}

// A well-formed sequence only: no overlong form, no surrogate, nothing past U+10FFFF
// (the table of well-formed UTF-8 byte sequences of the Unicode standard).
std::uint32_t FoldedUnits::nextWide() {
    const auto* p = reinterpret_cast<const unsigned char*>(at_);
    const auto left = static_cast<std::size_t>(end_ - at_);
    const unsigned char lead = p[0];
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    bool wellFormed = length > 0 && left >= length && p[1] >= low && p[1] <= high;
    for (std::size_t i = 2; wellFormed && i < length; ++i)
        wellFormed = (p[i] & 0xC0) == 0x80;
    if (!wellFormed) {
        ++at_;
        return kStrayByte + lead;
    }
    for (std::size_t i = 1; i < length; ++i)
        c = (c << 6) | (p[i] & 0x3F);
    at_ += length;
    return foldCodePoint(c);
}

int compareFolded(std::string_view a, std::string_view b) {
    // ASCII first, byte by byte, as most texts are; the rest unit by unit. Both texts
    // stand at a character's start wherever the ASCII run ends.
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if ((x | y) >= 0x80) break;
        if (x == y) continue;
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return x < y ? -1 : 1;
    }
    FoldedUnits u(a.substr(i)), v(b.substr(i));
    while (!u.done() && !v.done()) {
        const auto x = u.next();
        const auto y = v.next();
        if (x != y) return x < y ? -1 : 1;
    }
    return u.done() ? (v.done() ? 0 : -1) : 1;
}

bool sameFolded(std::string_view a, std::string_view b) {
    if (a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0) return true;
    return compareFolded(a, b) == 0;
}

std::string foldedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (FoldedUnits u(text); !u.done();) {
        const std::uint32_t c = u.next();
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= FoldedUnits::kStrayByte) {
            out += static_cast<char>(c - FoldedUnits::kStrayByte);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace varnoke
