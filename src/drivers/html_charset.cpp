#include "drivers/html_charset.h"

#include "drivers/charset_labels.h"
#include "drivers/html_chars.h"

#include <algorithm>
#include <utility>

namespace varnoke::drivers {

namespace {

using html::isAlpha;
using html::isSpace;
using html::lower;

// The charset a meta tag's content attribute names ("text/html; charset=koi8-r").
std::optional<std::string_view> charsetInContent(std::string_view content) {
    std::size_t at = 0;
    while (true) {
        std::size_t k = at;
        while (k + 7 <= content.size() && !equalsNoCase(content.substr(k, 7), "charset"))
            ++k;
        if (k + 7 > content.size()) return {};
        at = k + 7;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at >= content.size() || content[at] != '=') continue;
        ++at;
        while (at < content.size() && isSpace(content[at]))
            ++at;
        if (at >= content.size()) return {};
        if (content[at] == '"' || content[at] == '\'') {
            const auto close = content.find(content[at], at + 1);
            if (close == std::string_view::npos) return {};
            return content.substr(at + 1, close - at - 1);
        }
        std::size_t end = at;
        while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
            ++end;
        return content.substr(at, end - at);
    }
}

// A walk over the start of a page as browsers make it before they parse: comments
// and the attributes of other tags are passed over, so that only a real meta tag
// decides the encoding.
class Prescan {
public:
    explicit Prescan(std::string_view head) : s_(head) {}

    std::optional<std::string_view> converter() {
        while (at_ < s_.size()) {
            const std::string_view rest = s_.substr(at_);
            if (rest.starts_with("<!--")) {
                // "<!-->" closes itself: its dashes end it too.
                const auto close = s_.find("-->", at_ + 2);
                if (close == std::string_view::npos) return {};
                at_ = close + 3;
            } else if (rest.size() > 5 && equalsNoCase(rest.substr(0, 5), "<meta") &&
                       (isSpace(rest[5]) || rest[5] == '/')) {
                at_ += 5;
                if (const auto found = meta()) return found;
            } else if (rest.size() > 2 && rest[0] == '<' &&
                       (isAlpha(rest[1]) || (rest[1] == '/' && isAlpha(rest[2])))) {
                while (at_ < s_.size() && !isSpace(s_[at_]) && s_[at_] != '>')
                    ++at_;
                while (attribute()) {
                }
            } else if (rest.starts_with("<!") || rest.starts_with("</") || rest.starts_with("<?")) {
                const auto close = s_.find('>', at_);
                if (close == std::string_view::npos) return {};
                at_ = close + 1;
            } else {
                ++at_;
            }
        }
        return {};
    }

private:
    struct Attribute {
        std::string name, value;
    };

    // A meta tag's attributes, from just past its name: the converter of the charset it
    // declares, if that is one browsers know.
    std::optional<std::string_view> meta() {
        std::vector<std::string> seen;
        bool pragma = false;                   // http-equiv="content-type"
        std::optional<bool> needPragma;        // unset: the tag declares nothing
        std::optional<std::string_view> found; // the declared charset's converter
        while (auto a = attribute()) {
            if (std::find(seen.begin(), seen.end(), a->name) != seen.end()) continue;
            seen.push_back(a->name);
            if (a->name == "http-equiv") {
                pragma = pragma || a->value == "content-type";
            } else if (a->name == "content" && !needPragma) {
                if (const auto label = charsetInContent(a->value)) {
                    found = converterOfLabel(*label);
                    needPragma = true;
                }
            } else if (a->name == "charset") {
                found = converterOfLabel(a->value);
                needPragma = false;
            }
        }
        if (!needPragma || (*needPragma && !pragma)) return {};
        return found;
    }

    // The next attribute of a tag, names and values in lower case; nothing at the
    // tag's end (or the head's).
    std::optional<Attribute> attribute() {
        while (at_ < s_.size() && (isSpace(s_[at_]) || s_[at_] == '/'))
            ++at_;
        if (at_ >= s_.size() || s_[at_] == '>') return {};
        Attribute a;
        while (true) {
            if (at_ >= s_.size()) return {};
            const char c = s_[at_];
            if (c == '=' && !a.name.empty()) break;
            if (isSpace(c)) {
                while (at_ < s_.size() && isSpace(s_[at_]))
                    ++at_;
                if (at_ >= s_.size() || s_[at_] != '=') return a;
                break;
            }
            if (c == '/' || c == '>') return a;
            a.name += lower(c);
            ++at_;
        }
        ++at_; // the '='
        while (at_ < s_.size() && isSpace(s_[at_]))
            ++at_;
        if (at_ >= s_.size()) return {};
        if (const char quote = s_[at_]; quote == '"' || quote == '\'') {
            const auto close = s_.find(quote, at_ + 1);
            if (close == std::string_view::npos) return {};
            for (char c : s_.substr(at_ + 1, close - at_ - 1))
                a.value += lower(c);
            at_ = close + 1;
            return a;
        }
        while (at_ < s_.size() && !isSpace(s_[at_]) && s_[at_] != '>')
            a.value += lower(s_[at_++]);
        return a;
    }

    std::string_view s_;
    std::size_t at_ = 0;
};

constexpr std::size_t kPiece = 1 << 20;

void appendUtf16(ByteSpan bytes, bool bigEndian, std::string& out) {
    Bytes piece;
    for (std::size_t at = 0; at + 1 < bytes.size();) {
        std::size_t size = std::min(kPiece, (bytes.size() - at) & ~std::size_t{1});
        const auto highAt = [&](std::size_t i) { return bytes[at + i + (bigEndian ? 0 : 1)]; };
        // A surrogate pair stays whole.
        if (at + size < bytes.size() && size > 2 && (highAt(size - 2) & 0xFC) == 0xD8) size -= 2;
        piece.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
        if (bigEndian)
            for (std::size_t i = 0; i + 1 < piece.size(); i += 2)
                std::swap(piece[i], piece[i + 1]);
        out += utf16leToUtf8(piece);
        at += size;
    }
}

// A code page converted a piece at a time; pieces end before a '<' or a line end,
// which no multi-byte code page uses inside a character. The ISO-2022 encodings shift
// once for a whole run of text: they are converted whole.
void appendCodePage(std::string_view bytes, const CodePage& codePage, std::string& out) {
    const bool shifting = codePage.name().starts_with("ISO-2022");
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t end = shifting ? bytes.size() : std::min(bytes.size(), at + kPiece);
        if (end < bytes.size()) {
            const auto cut = bytes.substr(at, end - at).find_last_of("<\n");
            if (cut != std::string_view::npos && cut > 0) end = at + cut;
        }
        out += codePage.toUtf8(bytes.substr(at, end - at));
        at = end;
    }
}

// HZ's text as GB18030 bytes: "~{" shifts to pairs of GB2312 bytes written in 7 bits,
// "~}" or a line end shifts back, "~~" is a tilde and "~" before a line end joins lines.
std::string fromHz(std::string_view hz) {
    std::string out;
    out.reserve(hz.size());
    bool gb = false;
    const auto graphic = [](char c) { return c > 0x20 && c < 0x7F; };
    for (std::size_t i = 0; i < hz.size(); ++i) {
        const char c = hz[i];
        const char next = i + 1 < hz.size() ? hz[i + 1] : '\0';
        if (c == '~' && (next == '{' || next == '}' || (!gb && (next == '~' || next == '\n')))) {
            if (next == '~') out += '~';
            if (next == '{' || next == '}') gb = next == '{';
            ++i;
        } else if (gb && graphic(c) && graphic(next)) {
            out += static_cast<char>(c | 0x80);
            out += static_cast<char>(next | 0x80);
            ++i;
        } else if (gb && c != '\n') {
            out += '\xFF'; // no character of GB18030: shown as U+FFFD
        } else {
            gb = gb && c != '\n';
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<std::string_view> converterOfLabel(std::string_view label) {
    label = trim(label);
    if (label.size() > 32) return {};
    std::string key(label);
    std::transform(key.begin(), key.end(), key.begin(), lower);
    const auto& table = detail::kCharsetLabels;
    const auto it =
        std::lower_bound(table.begin(), table.end(), key,
                         [](const auto& row, const std::string& k) { return row.label < k; });
    if (it == table.end() || it->label != key) return {};
    return it->converter;
}

std::optional<std::string_view> converterOfMeta(std::optional<std::string_view> charset,
                                                std::optional<std::string_view> httpEquiv,
                                                std::optional<std::string_view> content) {
    if (charset)
        if (const auto converter = converterOfLabel(*charset)) return converter;
    if (!httpEquiv || !content || !equalsNoCase(*httpEquiv, "content-type")) return {};
    const auto label = charsetInContent(*content);
    return label ? converterOfLabel(*label) : std::nullopt;
}

HtmlPageText::HtmlPageText(ByteSpan bytes) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (raw.starts_with("\xEF\xBB\xBF")) {
        certain_ = true;
        read(raw.substr(3), "UTF-8");
        return;
    }
    if (raw.starts_with("\xFF\xFE") || raw.starts_with("\xFE\xFF")) {
        certain_ = true;
        converter_ = "UTF-16";
        appendUtf16(bytes.subspan(2), raw[0] == '\xFE', converted_);
        text_ = converted_;
        return;
    }
    const auto declared = Prescan(raw.substr(0, 1024)).converter();
    if (declared) {
        read(raw, *declared);
    } else if (isValidUtf8(raw)) {
        converter_ = "UTF-8";
        text_ = raw;
    } else {
        convert(raw, "CP1252");
    }
}

HtmlPageText::HtmlPageText(ByteSpan bytes, std::string_view converter) : certain_(true) {
    read({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, converter);
}

std::optional<std::string_view> HtmlPageText::metaMet(std::string_view converter) {
    if (std::exchange(certain_, true) || converter == converter_) return {};
    return converter;
}

void HtmlPageText::read(std::string_view raw, std::string_view converter) {
    if (converter == "UTF-8" && isValidUtf8(raw)) {
        converter_ = converter;
        text_ = raw;
    } else {
        convert(raw, converter);
    }
}

// Invalid UTF-8 too is converted: the parser would read the whole page as Latin-1.
void HtmlPageText::convert(std::string_view raw, std::string_view converter) {
    converter_ = converter;
    if (converter == "HZ") {
        appendCodePage(fromHz(raw), CodePage("GB18030"), converted_);
    } else {
        appendCodePage(raw, CodePage(std::string(converter)), converted_);
    }
    text_ = converted_;
}

} // namespace varnoke::drivers
