#include "drivers/text_decoders.h"

#include "drivers/encoding_indexes.h"
#include "drivers/reader_support.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

namespace varnoke::drivers {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// What one step of a decoder read: the character (or U+FFFD) and how many bytes it took.
// Bytes a decoder looked at but did not take are read again from the next step, as the
// standard's decoders put them back into the stream.
struct Step {
    char32_t code;
    std::size_t taken;
};

using ByteAt = std::uint8_t;

bool inRange(ByteAt b, ByteAt low, ByteAt high) {
    return b >= low && b <= high;
}

template <typename Table> char32_t lookup(Table table, std::size_t pointer) {
    return pointer < table.size() ? static_cast<char32_t>(table[pointer]) : 0;
}

// A pair that names no character gives U+FFFD for its lead only when its second byte is
// ASCII, so that the ASCII byte is read again; otherwise for both.
Step pairOrError(char32_t code, ByteAt second) {
    if (code != 0) return {code, 2};
    return {kReplacement, second < 0x80 ? 1u : 2u};
}

// ---- UTF-8

Step utf8Step(std::span<const ByteAt> s) {
    const ByteAt b = s[0];
    if (b < 0x80) return {b, 1};
    std::size_t need = 0;
    ByteAt lower = 0x80, upper = 0xBF;
    char32_t code = 0;
    if (inRange(b, 0xC2, 0xDF)) {
        need = 1;
        code = b & 0x1F;
    } else if (inRange(b, 0xE0, 0xEF)) {
        if (b == 0xE0) lower = 0xA0;
        if (b == 0xED) upper = 0x9F;
        need = 2;
        code = b & 0xF;
    } else if (inRange(b, 0xF0, 0xF4)) {
        if (b == 0xF0) lower = 0x90;
        if (b == 0xF4) upper = 0x8F;
        need = 3;
        code = b & 0x7;
    } else {
        return {kReplacement, 1};
    }
    for (std::size_t i = 1; i <= need; ++i) {
        if (i >= s.size()) return {kReplacement, s.size()};
        if (!inRange(s[i], lower, upper)) return {kReplacement, i};
        lower = 0x80;
        upper = 0xBF;
        code = code << 6 | (s[i] & 0x3F);
    }
    return {code, need + 1};
}

// ---- GB18030 (and GBK, which browsers decode with it)

char32_t gbRangesCode(std::uint32_t pointer) {
    if ((pointer > 39419 && pointer < 189000) || pointer > 1237575) return 0;
    if (pointer == 7457) return 0xE7C7;
    const auto ranges = indexes::gb18030Ranges();
    const auto after =
        std::upper_bound(ranges.begin(), ranges.end(), pointer,
                         [](std::uint32_t p, const indexes::GbRange& r) { return p < r.pointer; });
    const auto& range = *(after - 1); // the first range begins at pointer 0
    return range.code + pointer - range.pointer;
}

Step gb18030Step(std::span<const ByteAt> s) {
    const ByteAt first = s[0];
    if (first < 0x80) return {first, 1};
    if (first == 0x80) return {0x20AC, 1};
    if (first == 0xFF) return {kReplacement, 1};
    if (s.size() < 2) return {kReplacement, 1};
    const ByteAt second = s[1];
    if (inRange(second, 0x30, 0x39)) {
        if (s.size() < 3) return {kReplacement, s.size()};
        const ByteAt third = s[2];
        if (!inRange(third, 0x81, 0xFE)) return {kReplacement, 1};
        if (s.size() < 4) return {kReplacement, s.size()};
        const ByteAt fourth = s[3];
        if (!inRange(fourth, 0x30, 0x39)) return {kReplacement, 1};
        const std::uint32_t pointer =
            ((static_cast<std::uint32_t>(first - 0x81) * 10 + (second - 0x30)) * 126 +
             (third - 0x81)) *
                10 +
            (fourth - 0x30);
        const char32_t code = gbRangesCode(pointer);
        return {code ? code : kReplacement, 4};
    }
    char32_t code = 0;
    if (inRange(second, 0x40, 0x7E) || inRange(second, 0x80, 0xFE)) {
        const std::size_t offset = second < 0x7F ? 0x40 : 0x41;
        code = lookup(indexes::gb18030(), (first - 0x81) * 190 + (second - offset));
    }
    return pairOrError(code, second);
}

// ---- Big5

Step big5Step(std::span<const ByteAt> s, std::string& out) {
    const ByteAt lead = s[0];
    if (lead < 0x80) return {lead, 1};
    if (!inRange(lead, 0x81, 0xFE) || s.size() < 2) return {kReplacement, 1};
    const ByteAt trail = s[1];
    char32_t code = 0;
    if (inRange(trail, 0x40, 0x7E) || inRange(trail, 0xA1, 0xFE)) {
        const std::size_t offset = trail < 0x7F ? 0x40 : 0x62;
        const std::size_t pointer = (lead - 0x81) * 157 + (trail - offset);
        // Four pointers stand for a letter with a combining mark: two code points.
        switch (pointer) {
        case 1133:
        case 1135:
        case 1164:
        case 1166:
            appendUtf8(out, pointer < 1164 ? 0x00CA : 0x00EA);
            return {(pointer == 1133 || pointer == 1164) ? 0x0304u : 0x030Cu, 2};
        default:
            code = lookup(indexes::big5(), pointer);
        }
    }
    return pairOrError(code, trail);
}

// ---- EUC-KR

Step eucKrStep(std::span<const ByteAt> s) {
    const ByteAt lead = s[0];
    if (lead < 0x80) return {lead, 1};
    if (!inRange(lead, 0x81, 0xFE) || s.size() < 2) return {kReplacement, 1};
    const ByteAt trail = s[1];
    const char32_t code = inRange(trail, 0x41, 0xFE)
                              ? lookup(indexes::eucKr(), (lead - 0x81) * 190 + (trail - 0x41))
                              : 0;
    return pairOrError(code, trail);
}

// ---- EUC-JP

Step eucJpStep(std::span<const ByteAt> s) {
    const ByteAt lead = s[0];
    if (lead < 0x80) return {lead, 1};
    if (!(lead == 0x8E || lead == 0x8F || inRange(lead, 0xA1, 0xFE)) || s.size() < 2)
        return {kReplacement, 1};
    const ByteAt second = s[1];
    if (lead == 0x8E && inRange(second, 0xA1, 0xDF)) return {char32_t{0xFF61 - 0xA1} + second, 2};
    if (lead == 0x8F && inRange(second, 0xA1, 0xFE)) {
        // JIS X 0212: the pair after the shift byte.
        if (s.size() < 3) return {kReplacement, 2};
        const ByteAt third = s[2];
        const char32_t code =
            inRange(third, 0xA1, 0xFE)
                ? lookup(indexes::jis0212(), (second - 0xA1) * 94 + (third - 0xA1))
                : 0;
        if (code != 0) return {code, 3};
        return {kReplacement, third < 0x80 ? 2u : 3u};
    }
    const char32_t code = inRange(lead, 0xA1, 0xFE) && inRange(second, 0xA1, 0xFE)
                              ? lookup(indexes::jis0208(), (lead - 0xA1) * 94 + (second - 0xA1))
                              : 0;
    return pairOrError(code, second);
}

// ---- Shift_JIS

Step shiftJisStep(std::span<const ByteAt> s) {
    const ByteAt lead = s[0];
    if (lead <= 0x80) return {lead, 1};
    if (inRange(lead, 0xA1, 0xDF)) return {char32_t{0xFF61 - 0xA1} + lead, 1};
    if (!(inRange(lead, 0x81, 0x9F) || inRange(lead, 0xE0, 0xFC)) || s.size() < 2)
        return {kReplacement, 1};
    const ByteAt trail = s[1];
    char32_t code = 0;
    if (inRange(trail, 0x40, 0x7E) || inRange(trail, 0x80, 0xFC)) {
        const std::size_t offset = trail < 0x7F ? 0x40 : 0x41;
        const std::size_t leadOffset = lead < 0xA0 ? 0x81 : 0xC1;
        const std::size_t pointer = (lead - leadOffset) * 188 + trail - offset;
        // The user-defined area maps to the Private Use Area.
        code = pointer >= 8836 && pointer <= 10715 ? static_cast<char32_t>(0xE000 - 8836 + pointer)
                                                   : lookup(indexes::jis0208(), pointer);
    }
    return pairOrError(code, trail);
}

// ---- single-byte encodings

const char16_t* singleByteTable(std::string_view encoding) {
    const auto tables = indexes::singleByte();
    const auto it = std::lower_bound(
        tables.begin(), tables.end(), encoding,
        [](const indexes::SingleByte& t, std::string_view name) { return t.name < name; });
    return it != tables.end() && it->name == encoding ? it->codes : nullptr;
}

void decodeSingleByte(const char16_t* table, std::string_view bytes, std::string& out) {
    for (const char c : bytes) {
        const auto b = static_cast<ByteAt>(c);
        if (b < 0x80) {
            out += c;
        } else {
            const char16_t code = table[b - 0x80];
            appendUtf8(out, code ? code : kReplacement);
        }
    }
}

enum class MultiByte { Utf8, Gb18030, Big5, EucKr, EucJp, ShiftJis };

std::optional<MultiByte> multiByteOf(std::string_view encoding) {
    if (encoding == "utf-8") return MultiByte::Utf8;
    if (encoding == "gb18030" || encoding == "gbk") return MultiByte::Gb18030;
    if (encoding == "big5") return MultiByte::Big5;
    if (encoding == "euc-kr") return MultiByte::EucKr;
    if (encoding == "euc-jp") return MultiByte::EucJp;
    if (encoding == "shift_jis") return MultiByte::ShiftJis;
    return {};
}

void decodeMultiByte(MultiByte kind, std::string_view bytes, std::string& out) {
    const std::span<const ByteAt> all(reinterpret_cast<const ByteAt*>(bytes.data()), bytes.size());
    for (std::size_t at = 0; at < all.size();) {
        // ASCII runs are copied whole: they are most of a page.
        const std::size_t run = at;
        while (at < all.size() && all[at] < 0x80)
            ++at;
        out.append(bytes.substr(run, at - run));
        if (at >= all.size()) break;
        const auto rest = all.subspan(at);
        Step step{};
        switch (kind) {
        case MultiByte::Utf8:
            step = utf8Step(rest);
            break;
        case MultiByte::Gb18030:
            step = gb18030Step(rest);
            break;
        case MultiByte::Big5:
            step = big5Step(rest, out);
            break;
        case MultiByte::EucKr:
            step = eucKrStep(rest);
            break;
        case MultiByte::EucJp:
            step = eucJpStep(rest);
            break;
        case MultiByte::ShiftJis:
            step = shiftJisStep(rest);
            break;
        }
        appendUtf8(out, step.code);
        at += step.taken;
    }
}

} // namespace

bool decodesEncoding(std::string_view encoding) {
    return multiByteOf(encoding) || singleByteTable(encoding);
}

void decodeText(std::string_view encoding, std::string_view bytes, std::string& out) {
    out.reserve(out.size() + bytes.size() + bytes.size() / 2);
    if (const auto kind = multiByteOf(encoding)) {
        decodeMultiByte(*kind, bytes, out);
        return;
    }
    const char16_t* table = singleByteTable(encoding);
    decodeSingleByte(table ? table : singleByteTable("windows-1252"), bytes, out);
}

} // namespace varnoke::drivers
