#include "drivers/html_tags.h"

#include "drivers/reader_support.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace varnoke::drivers {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Elements whose text is not markup: their content runs to the matching end tag.
bool isRawText(std::string_view name) {
    static constexpr std::array<std::string_view, 9> names{"script",  "style",    "textarea",
                                                           "title",   "xmp",      "iframe",
                                                           "noembed", "noframes", "plaintext"};
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Where "</name" begins at or after from, without regard to case; the text's end when
// it never does.
std::size_t endTagAt(std::string_view html, std::size_t from, std::string_view name) {
    for (std::size_t at = html.find("</", from); at != std::string_view::npos;
         at = html.find("</", at + 2)) {
        if (html.size() - at - 2 < name.size()) break;
        if (std::equal(name.begin(), name.end(), html.begin() + static_cast<long>(at + 2),
                       [](char a, char b) { return a == lower(b); }))
            return at;
    }
    return html.size();
}

// The Latin-1 names, from U+00A0 on, and the other names pages use most.
constexpr std::array<std::string_view, 96> kLatin1Names{
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct NamedReference {
    std::string_view name;
    std::uint32_t cp;
    bool bare; // also read without its ";", as browsers do for these
};
constexpr std::array<NamedReference, 15> kOtherNames{{{"amp", '&', true},
                                                      {"lt", '<', true},
                                                      {"gt", '>', true},
                                                      {"quot", '"', true},
                                                      {"apos", '\'', false},
                                                      {"euro", 0x20AC, false},
                                                      {"ndash", 0x2013, false},
                                                      {"mdash", 0x2014, false},
                                                      {"lsquo", 0x2018, false},
                                                      {"rsquo", 0x2019, false},
                                                      {"ldquo", 0x201C, false},
                                                      {"rdquo", 0x201D, false},
                                                      {"bull", 0x2022, false},
                                                      {"hellip", 0x2026, false},
                                                      {"trade", 0x2122, false}}};

// A numeric reference to C1 controls means the Windows character of that byte.
constexpr std::array<std::uint16_t, 32> kWindows1252{
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// The code point of the reference at text[at] ('&'), and its length; nothing when it
// is none.
std::optional<std::pair<std::uint32_t, std::size_t>> reference(std::string_view text,
                                                               std::size_t at) {
    std::size_t i = at + 1;
    if (i < text.size() && text[i] == '#') {
        const bool hex = i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
        i += hex ? 2 : 1;
        const std::size_t digitsAt = i;
        std::uint32_t cp = 0;
        for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); ++i) {
            const char c = text[i];
            if (!hex && !std::isdigit(static_cast<unsigned char>(c))) break;
            const std::uint32_t d =
                std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (lower(c) - 'a' + 10);
            cp = std::min<std::uint32_t>(cp * (hex ? 16 : 10) + d, 0x110000);
        }
        if (i == digitsAt) return std::nullopt;
        if (i < text.size() && text[i] == ';') ++i;
        if (cp >= 0x80 && cp <= 0x9F) cp = kWindows1252[cp - 0x80];
        return std::pair{cp, i - at};
    }
    while (i < text.size() && std::isalnum(static_cast<unsigned char>(text[i])) && i - at <= 8)
        ++i;
    const std::string_view name = text.substr(at + 1, i - at - 1);
    const bool closed = i < text.size() && text[i] == ';';
    const std::size_t length = i - at + (closed ? 1 : 0);
    for (const auto& r : kOtherNames)
        if (r.name == name && (closed || r.bare)) return std::pair{r.cp, length};
    if (!closed) return std::nullopt;
    for (std::size_t k = 0; k < kLatin1Names.size(); ++k)
        if (kLatin1Names[k] == name) return std::pair{static_cast<std::uint32_t>(0xA0 + k), length};
    return std::nullopt;
}

} // namespace

void appendDecoded(std::string_view text, std::string& out) {
    for (std::size_t at = 0;;) {
        const std::size_t amp = text.find('&', at);
        out.append(text.substr(at, amp - at));
        if (amp == std::string_view::npos) return;
        if (const auto r = reference(text, amp)) {
            // As a browser reads them: no NUL, surrogate or code point past Unicode.
            const std::uint32_t cp = r->first;
            const bool valid = cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
            appendUtf8(out, valid ? cp : 0xFFFD);
            at = amp + r->second;
        } else {
            out += '&';
            at = amp + 1;
        }
    }
}

std::optional<std::string> attributeOf(std::string_view attributes, std::string_view name) {
    std::size_t i = 0;
    const std::size_t n = attributes.size();
    while (i < n) {
        while (i < n && (isSpace(attributes[i]) || attributes[i] == '/'))
            ++i;
        const std::size_t nameAt = i;
        while (i < n && !isSpace(attributes[i]) && attributes[i] != '=' && attributes[i] != '/')
            ++i;
        const std::string_view found = attributes.substr(nameAt, i - nameAt);
        if (found.empty()) break;
        while (i < n && isSpace(attributes[i]))
            ++i;
        std::string_view value;
        if (i < n && attributes[i] == '=') {
            ++i;
            while (i < n && isSpace(attributes[i]))
                ++i;
            if (i < n && (attributes[i] == '"' || attributes[i] == '\'')) {
                const char quote = attributes[i++];
                const std::size_t end = std::min(attributes.find(quote, i), n);
                value = attributes.substr(i, end - i);
                i = end + 1;
            } else {
                const std::size_t valueAt = i;
                while (i < n && !isSpace(attributes[i]))
                    ++i;
                value = attributes.substr(valueAt, i - valueAt);
            }
        }
        if (found.size() == name.size() &&
            std::equal(found.begin(), found.end(), name.begin(),
                       [](char a, char b) { return lower(a) == b; })) {
            std::string decoded;
            appendDecoded(value, decoded);
            return decoded;
        }
    }
    return std::nullopt;
}

void walkHtml(std::string_view html, HtmlVisitor& visitor) {
    const std::size_t n = html.size();
    std::string name;
    std::size_t i = 0;
    while (i < n && !visitor.finished()) {
        const std::size_t lt = html.find('<', i);
        if (lt != i) {
            visitor.text(html.substr(i, lt - i));
            if (lt == std::string_view::npos || visitor.finished()) return;
        }
        i = lt + 1;
        if (html.compare(i, 3, "!--") == 0) {
            const auto end = html.find("-->", i + 3);
            i = end == std::string_view::npos ? n : end + 3;
            continue;
        }
        const bool closing = i < n && html[i] == '/';
        std::size_t at = i + (closing ? 1 : 0);
        if (at >= n || !std::isalpha(static_cast<unsigned char>(html[at]))) {
            if (i < n && (html[i] == '!' || html[i] == '?' || closing)) {
                // "<!DOCTYPE ...>", "<?...>" and "</ ...>" are no elements.
                const auto end = html.find('>', i);
                i = end == std::string_view::npos ? n : end + 1;
            } else {
                visitor.text("<");
            }
            continue;
        }
        name.clear();
        while (at < n && !isSpace(html[at]) && html[at] != '/' && html[at] != '>')
            name += lower(html[at++]);
        // The rest of the tag, with quoted attribute values that may hold ">".
        const std::size_t attributesAt = at;
        char quote = 0;
        for (; at < n; ++at) {
            const char c = html[at];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        const std::string_view attributes = html.substr(attributesAt, at - attributesAt);
        i = std::min(at + 1, n);
        if (closing) {
            visitor.endTag(name);
            continue;
        }
        const bool selfClosing = attributes.ends_with('/');
        visitor.startTag(name, attributes, selfClosing);
        if (isRawText(name) && !selfClosing && !visitor.finished()) {
            const std::size_t end = endTagAt(html, i, name);
            if (end > i) visitor.text(html.substr(i, end - i));
            i = end;
        }
    }
}

} // namespace varnoke::drivers
