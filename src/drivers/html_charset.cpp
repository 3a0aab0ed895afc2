#include "drivers/html_charset.h"

#include "drivers/charset_labels.h"
#include "drivers/html_chars.h"
#include "drivers/text_decoders.h"

#include <algorithm>
#include <array>
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

    std::optional<std::string_view> encoding() {
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
                const std::size_t nameAt = ++at_;
                while (at_ < s_.size() && !isSpace(s_[at_]) && s_[at_] != '>' && s_[at_] != '/')
                    ++at_;
                std::string name(s_.substr(nameAt, std::min<std::size_t>(at_ - nameAt, 16)));
                std::transform(name.begin(), name.end(), name.begin(), lower);
                while (attribute()) {
                }
                if (isRawText(name) && !skipRawText(name)) return {};
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

    // Elements whose text browsers' scan reads as text, not markup: a meta inside one
    // declares nothing.
    static bool isRawText(std::string_view name) {
        static constexpr std::array<std::string_view, 9> raw{"iframe",    "noembed", "noframes",
                                                             "plaintext", "script",  "style",
                                                             "textarea",  "title",   "xmp"};
        return std::find(raw.begin(), raw.end(), name) != raw.end();
    }

    // Past the end tag of element name, from just after its start tag's name; false where
    // the scanned part holds none.
    bool skipRawText(std::string_view name) {
        if (name == "plaintext") return false;
        const std::size_t open = s_.find('>', at_);
        if (open == std::string_view::npos) return false;
        for (std::size_t at = s_.find("</", open); at != std::string_view::npos;
             at = s_.find("</", at + 2)) {
            const std::size_t after = at + 2 + name.size();
            if (after <= s_.size() && equalsNoCase(s_.substr(at + 2, name.size()), name) &&
                (after == s_.size() || isSpace(s_[after]) || s_[after] == '/' ||
                 s_[after] == '>')) {
                at_ = at;
                return true;
            }
        }
        return false;
    }

    // A meta tag's attributes, from just past its name: the decoder of the charset it
    // declares, if that is one browsers know.
    std::optional<std::string_view> meta() {
        std::vector<std::string> seen;
        bool pragma = false;                   // http-equiv="content-type"
        std::optional<bool> needPragma;        // unset: the tag declares nothing
        std::optional<std::string_view> found; // the declared charset's decoder
        while (auto a = attribute()) {
            if (std::find(seen.begin(), seen.end(), a->name) != seen.end()) continue;
            seen.push_back(a->name);
            if (a->name == "http-equiv") {
                pragma = pragma || a->value == "content-type";
            } else if (a->name == "content" && !needPragma) {
                if (const auto label = charsetInContent(a->value)) {
                    found = encodingOfLabel(*label);
                    needPragma = true;
                }
            } else if (a->name == "charset") {
                found = encodingOfLabel(a->value);
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

// The bytes browsers scan for a meta before they parse.
constexpr std::size_t kScanned = 1024;

// The ISO-2022 encodings, which the standard's decoders here leave to iconv: they
// shift once for a whole run of text, so they are converted whole.
void appendShifting(std::string_view bytes, std::string_view encoding, std::string& out) {
    out += CodePage(encoding == "iso-2022-jp" ? "ISO-2022-JP" : "ISO-2022-KR").toUtf8(bytes);
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

std::optional<std::string_view> encodingOfLabel(std::string_view label) {
    label = trim(label);
    if (label.size() > 32) return {};
    std::string key(label);
    std::transform(key.begin(), key.end(), key.begin(), lower);
    const auto& table = detail::kCharsetLabels;
    const auto it =
        std::lower_bound(table.begin(), table.end(), key,
                         [](const auto& row, const std::string& k) { return row.label < k; });
    if (it == table.end() || it->label != key) return {};
    return it->decoder;
}

std::optional<std::string_view> encodingOfMeta(std::optional<std::string_view> charset,
                                               std::optional<std::string_view> httpEquiv,
                                               std::optional<std::string_view> content) {
    if (charset)
        if (const auto encoding = encodingOfLabel(*charset)) return encoding;
    if (!httpEquiv || !content || !equalsNoCase(*httpEquiv, "content-type")) return {};
    const auto label = charsetInContent(*content);
    return label ? encodingOfLabel(*label) : std::nullopt;
}

HtmlPageText::HtmlPageText(ByteSpan bytes) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (raw.starts_with("\xEF\xBB\xBF")) {
        certain_ = true;
        read(raw.substr(3), "utf-8");
        return;
    }
    if (raw.starts_with("\xFF\xFE") || raw.starts_with("\xFE\xFF")) {
        certain_ = true;
        encoding_ = "utf-16";
        appendUtf16(converted_, bytes.subspan(2), raw[0] == '\xFE');
        text_ = converted_;
        return;
    }
    // Browsers take the first meta of the scan and look for no other.
    if (const auto declared = Prescan(raw.substr(0, kScanned)).encoding()) {
        certain_ = true;
        read(raw, *declared);
    } else if (isValidUtf8(raw)) {
        encoding_ = "utf-8";
        text_ = raw;
    } else {
        convert(raw, "windows-1252");
    }
}

HtmlPageText::HtmlPageText(ByteSpan bytes, std::string_view encoding) : certain_(true) {
    read({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, encoding);
}

bool HtmlPageText::metaCounts(std::size_t at, bool inHead) const {
    if (inHead) return true;
    // A guessed encoding is UTF-8 over the bytes themselves or Windows-1252, one
    // character a byte, so the characters before the meta count its bytes.
    // (a character takes at most three bytes of the text).
    if (encoding_ == "utf-8" || at < kScanned || at >= 3 * kScanned) return at < kScanned;
    return utf8Length(text_.substr(0, at)) < kScanned;
}

std::optional<std::string_view> HtmlPageText::metaMet(std::string_view encoding) {
    if (std::exchange(certain_, true) || encoding == encoding_) return {};
    return encoding;
}

void HtmlPageText::read(std::string_view raw, std::string_view encoding) {
    if (encoding == "utf-8" && isValidUtf8(raw)) {
        encoding_ = encoding;
        text_ = raw;
    } else {
        convert(raw, encoding);
    }
}

// Invalid UTF-8 too is converted: the parser would read the whole page as Latin-1.
void HtmlPageText::convert(std::string_view raw, std::string_view encoding) {
    encoding_ = encoding;
    if (encoding == "hz-gb-2312") {
        decodeText("gb18030", fromHz(raw), converted_);
    } else if (encoding.starts_with("iso-2022-")) {
        appendShifting(raw, encoding, converted_);
    } else {
        decodeText(encoding, raw, converted_);
    }
    text_ = converted_;
}

} // namespace varnoke::drivers
