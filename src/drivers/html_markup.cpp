#include "drivers/html_markup.h"

#include "drivers/html_chars.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <array>
#include <unordered_map>

namespace varnoke::drivers {

namespace {

using html::isAlnum;
using html::isAlpha;
using html::isDigit;
using html::isSpace;
using html::lower;

bool startsNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.size() - std::min(at, text.size()) >= prefix.size() &&
           equalsNoCase(text.substr(at, prefix.size()), prefix);
}

// --- Character references ---------------------------------------------------------

// libxml2's table of HTML's named references, by name.
const std::unordered_map<std::string_view, std::uint32_t>& namedReferences() {
    static const auto table = [] {
        std::unordered_map<std::string_view, std::uint32_t> names;
        // Its highest code point is below U+2800.
        for (std::uint32_t code = 1; code < 0x2800; ++code)
            if (const htmlEntityDesc* e = htmlEntityValueLookup(code))
                names.emplace(e->name, e->value);
        return names;
    }();
    return table;
}

std::optional<std::uint32_t> namedReference(std::string_view name) {
    const auto& names = namedReferences();
    if (const auto it = names.find(name); it != names.end()) return it->second;
    // The few names browsers also know in capitals.
    static constexpr std::array<std::string_view, 6> capitals{"AMP",  "LT",   "GT",
                                                              "QUOT", "COPY", "REG"};
    if (std::find(capitals.begin(), capitals.end(), name) == capitals.end()) return {};
    std::string small(name);
    std::transform(small.begin(), small.end(), small.begin(), lower);
    return names.at(small);
}

// Numbers 128-159 name Windows-1252's characters, as in every browser.
std::uint32_t numberedCharacter(std::uint32_t code) {
    static constexpr std::array<std::uint16_t, 32> windows{
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    if (code >= 0x80 && code < 0xA0) return windows[code - 0x80];
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return 0xFFFD;
    return code;
}

// --- Elements ---------------------------------------------------------------------

enum class Kind { Table, Block, Preformatted, Break, Hidden, Template, Literal, Other };

Kind kindOf(std::string_view name) {
    static constexpr std::array<std::string_view, 8> table{"caption", "table", "tbody", "td",
                                                           "tfoot",   "th",    "thead", "tr"};
    // A select's options stand on lines of their own, as in its open list.
    static constexpr std::array<std::string_view, 39> block{
        "address", "article", "aside",  "blockquote", "center",   "dd",       "details",
        "dialog",  "dir",     "div",    "dl",         "dt",       "fieldset", "figcaption",
        "figure",  "footer",  "form",   "h1",         "h2",       "h3",       "h4",
        "h5",      "h6",      "header", "hgroup",     "hr",       "legend",   "li",
        "main",    "menu",    "nav",    "ol",         "optgroup", "option",   "p",
        "section", "summary", "ul",     "select"};
    static constexpr std::array<std::string_view, 7> hidden{
        "iframe", "noembed", "noframes", "noscript", "script", "style", "title"};
    static constexpr std::array<std::string_view, 3> literal{"plaintext", "textarea", "xmp"};
    const auto in = [&](const auto& list) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    if (in(table)) return Kind::Table;
    if (in(block)) return Kind::Block;
    if (name == "pre" || name == "listing") return Kind::Preformatted;
    if (name == "br") return Kind::Break;
    if (name == "template") return Kind::Template;
    if (in(hidden)) return Kind::Hidden;
    if (in(literal)) return Kind::Literal;
    return Kind::Other;
}

// Whether a tag leaves the page's head as browsers' scan for a meta tag judges it: any
// tag but those a head holds (and the start of html and head) ends it, a template too,
// whatever the tree would make of it.
bool keepsHead(std::string_view name, bool end) {
    static constexpr std::array<std::string_view, 8> head{"base",   "link",     "meta",  "object",
                                                          "script", "noscript", "style", "title"};
    if (std::find(head.begin(), head.end(), name) != head.end()) return true;
    return !end && (name == "html" || name == "head");
}

bool keptAttribute(std::string_view name) {
    return name == "id" || name == "name" || name == "colspan" || name == "rowspan";
}

// Longer values name no table and span nothing more.
constexpr std::size_t kMaxAttribute = 4096;

class Cleaner {
public:
    Cleaner(std::string_view text, MarkupSink& sink) : text_(text), sink_(sink) {}

    void run() {
        while (pos_ < text_.size() && !sink_.stopped()) {
            plainText();
            if (pos_ >= text_.size()) break;
            const char c = text_[pos_];
            if (c == '&') {
                reference();
            } else if (c == '<') {
                markup();
            } else {
                ++pos_; // a control character, which a page never shows
            }
            if (out_.size() >= kChunk) flush();
        }
        flush();
    }

private:
    static constexpr std::size_t kChunk = 1 << 12;

    void flush() {
        if (out_.empty()) return;
        sink_.markup(out_);
        out_.clear();
    }

    static bool special(char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '<' || c == '&' || (u < 0x20 && !isSpace(c));
    }

    // Text up to the next markup, reference or control character, sent in pieces that
    // end between characters.
    void plainText() {
        if (!sink_.wantsText()) {
            pos_ = std::min(text_.find('<', pos_), text_.size());
            return;
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !special(text_[pos_]))
            ++pos_;
        for (std::size_t at = start; at < pos_;) {
            std::size_t end = std::min(pos_, at + kChunk);
            while (end < pos_ && end > at &&
                   (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80)
                --end;
            out_.append(text_.substr(at, end - at));
            at = end;
            if (out_.size() >= kChunk) flush();
        }
    }

    void character(std::uint32_t code) {
        if (code == '<') {
            out_ += "&lt;";
        } else if (code == '&') {
            out_ += "&amp;";
        } else if (code >= 0x20 || isSpace(static_cast<char>(code))) {
            appendUtf8(out_, code);
        }
    }

    void reference() {
        const std::size_t start = pos_ + 1;
        if (start < text_.size() && text_[start] == '#') {
            const bool hex = start + 1 < text_.size() && lower(text_[start + 1]) == 'x';
            const std::size_t digits = start + 1 + (hex ? 1 : 0);
            std::size_t end = digits;
            std::uint32_t code = 0;
            for (; end < text_.size(); ++end) {
                const char c = lower(text_[end]);
                int digit = -1;
                if (isDigit(c)) digit = c - '0';
                if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
                if (digit < 0) break;
                code = std::min<std::uint32_t>(code * (hex ? 16 : 10) + digit, 0x110000);
            }
            if (end > digits) {
                character(numberedCharacter(code));
                pos_ = end < text_.size() && text_[end] == ';' ? end + 1 : end;
                return;
            }
        } else {
            std::size_t end = start;
            while (end < text_.size() && end - start < 32 && isAlnum(text_[end]))
                ++end;
            const std::string_view name = text_.substr(start, end - start);
            if (end < text_.size() && text_[end] == ';') {
                if (const auto code = namedReference(name)) {
                    character(*code);
                    pos_ = end + 1;
                    return;
                }
            }
            // Without a semicolon browsers still read the names of Latin-1's characters
            // (and of &, <, >, "), the longest that fits.
            for (std::size_t size = std::min<std::size_t>(name.size(), 6); size >= 2; --size) {
                const auto code = namedReference(name.substr(0, size));
                if (code && *code < 0x100) {
                    character(*code);
                    pos_ = start + size;
                    return;
                }
            }
        }
        out_ += "&amp;";
        pos_ = start;
    }

    void skipPast(char c) {
        const auto at = text_.find(c, pos_);
        pos_ = at == std::string_view::npos ? text_.size() : at + 1;
    }

    void markup() {
        const std::size_t next = pos_ + 1;
        const char c = next < text_.size() ? text_[next] : '\0';
        if (text_.substr(pos_).starts_with("<!--")) {
            comment();
        } else if (c == '!' || c == '?') {
            skipPast('>');
        } else if (c == '/' && next + 1 < text_.size() && isAlpha(text_[next + 1])) {
            tag(next + 1, true);
        } else if (c == '/') {
            skipPast('>');
        } else if (isAlpha(c)) {
            tag(next, false);
        } else {
            out_ += "&lt;";
            pos_ = next;
        }
    }

    // "<!-->" and "<!--->" are empty; any other comment ends at the first "-->" or
    // "--!>", or with the page.
    void comment() {
        const std::size_t body = pos_ + 4;
        const std::string_view rest = text_.substr(body);
        if (rest.starts_with(">") || rest.starts_with("->")) {
            pos_ = body + (rest[0] == '>' ? 1 : 2);
            return;
        }
        for (auto at = text_.find("--", body); at != std::string_view::npos;
             at = text_.find("--", at + 1)) {
            const std::string_view after = text_.substr(at + 2);
            if (after.starts_with(">") || after.starts_with("!>")) {
                pos_ = at + 2 + (after[0] == '>' ? 1 : 2);
                return;
            }
        }
        pos_ = text_.size();
    }

    static void appendAttribute(std::string& to, std::string_view name, std::string_view value) {
        to += ' ';
        to += name;
        to += "=\"";
        for (char c : value.substr(0, kMaxAttribute)) {
            if (c == '"') {
                to += "&quot;";
            } else if (!special(c) || c == '&') {
                to += c;
            }
        }
        to += '"';
    }

    // A tag whose name starts at nameAt: read as browsers read it (a quote counts only
    // where a value starts), sent as the table reading needs it.
    void tag(std::size_t nameAt, bool end) {
        std::size_t at = nameAt;
        std::string name;
        while (at < text_.size() && !isSpace(text_[at]) && text_[at] != '/' && text_[at] != '>') {
            if (name.size() < 16) name += lower(text_[at]);
            ++at;
        }
        const Kind kind = kindOf(name);
        attributes_.clear();
        const bool meta = !end && name == "meta";
        MetaTag declared;
        declared.at = pos_;
        declared.inHead = inHead_ = inHead_ && keepsHead(name, end);
        if (!inHead_) sink_.pastHead(pos_);
        while (true) {
            while (at < text_.size() && (isSpace(text_[at]) || text_[at] == '/'))
                ++at;
            if (at >= text_.size()) {
                pos_ = at; // a tag cut off by the end of the page is no tag
                return;
            }
            if (text_[at] == '>') break;
            const std::size_t nameStart = at++;
            while (at < text_.size() && !isSpace(text_[at]) && text_[at] != '/' &&
                   text_[at] != '>' && text_[at] != '=')
                ++at;
            std::string attribute(
                text_.substr(nameStart, std::min<std::size_t>(at - nameStart, 16)));
            std::transform(attribute.begin(), attribute.end(), attribute.begin(), lower);
            std::size_t valueAt = at;
            while (valueAt < text_.size() && isSpace(text_[valueAt]))
                ++valueAt;
            std::string_view value;
            if (valueAt < text_.size() && text_[valueAt] == '=') {
                at = valueAt + 1;
                while (at < text_.size() && isSpace(text_[at]))
                    ++at;
                if (at < text_.size() && (text_[at] == '"' || text_[at] == '\'')) {
                    const auto close = text_.find(text_[at], at + 1);
                    if (close == std::string_view::npos) {
                        pos_ = text_.size();
                        return;
                    }
                    value = text_.substr(at + 1, close - at - 1);
                    at = close + 1;
                } else {
                    const std::size_t valueStart = at;
                    while (at < text_.size() && !isSpace(text_[at]) && text_[at] != '>')
                        ++at;
                    value = text_.substr(valueStart, at - valueStart);
                }
            }
            if (kind == Kind::Table && !end && keptAttribute(attribute))
                appendAttribute(attributes_, attribute, value);
            if (meta) {
                // A repeated attribute is dropped, as the tokenizer drops it.
                auto* slot = attribute == "charset"      ? &declared.charset
                             : attribute == "http-equiv" ? &declared.httpEquiv
                             : attribute == "content"    ? &declared.content
                                                         : nullptr;
                if (slot && !*slot) *slot = value.substr(0, kMaxAttribute);
            }
        }
        pos_ = at + 1;
        if (meta) sink_.meta(declared);
        switch (kind) {
        case Kind::Table:
            if (end) {
                // The parser is to have read all before the tag, so that it is asked
                // about what it really holds open.
                flush();
                if (sink_.closes(name)) out_ += "</" + name + ">";
            } else {
                out_ += '<' + name + attributes_ + '>';
            }
            break;
        case Kind::Block:
            // Edges of blocks with nothing between them make one line end.
            if (!out_.ends_with("<hr>")) out_ += "<hr>";
            break;
        case Kind::Preformatted:
            if (end) {
                flush();
                if (sink_.closes("pre")) out_ += "</pre>";
            } else {
                out_ += "<pre>";
                // The line end just after the tag is the markup's, not the text's.
                if (text_.substr(pos_).starts_with("\r\n")) {
                    pos_ += 2;
                } else if (pos_ < text_.size() && (text_[pos_] == '\n' || text_[pos_] == '\r')) {
                    ++pos_;
                }
            }
            break;
        case Kind::Break:
            out_ += "<br>"; // "</br>" breaks a line in every browser
            break;
        case Kind::Template:
            if (!end) skipTemplate();
            break;
        case Kind::Hidden:
        case Kind::Literal:
            if (!end && name == "noscript" && inHead_) {
                headNoscript();
            } else if (!end) {
                rawText(name, kind == Kind::Literal);
            }
            break;
        case Kind::Other:
            break;
        }
    }

    // A template's content is markup kept for scripts, never shown: up to the end tag
    // that closes it, templates inside it counted.
    void skipTemplate() {
        int open = 1;
        for (auto at = text_.find('<', pos_); at != std::string_view::npos;
             at = text_.find('<', at + 1)) {
            const bool closing = at + 1 < text_.size() && text_[at + 1] == '/';
            const std::size_t nameAt = at + (closing ? 2 : 1);
            const std::size_t after = nameAt + 8;
            if (!startsNoCase(text_, nameAt, "template") ||
                (after < text_.size() && !isSpace(text_[after]) && text_[after] != '/' &&
                 text_[after] != '>'))
                continue;
            open += closing ? -1 : 1;
            if (open == 0) {
                pos_ = at;
                skipPast('>');
                return;
            }
        }
        pos_ = text_.size();
    }

    // A noscript in the head is never shown, but browsers' scan for a meta reads it as
    // markup: its metas count, and a tag no head holds ends the head there.
    void headNoscript() {
        const std::size_t start = pos_;
        rawText("noscript", false);
        const std::size_t after = pos_;
        const std::string_view content = text_.substr(start, after - start);
        for (std::size_t at = content.find('<'); at != std::string_view::npos && inHead_;
             at = content.find('<', at + 1)) {
            if (content.substr(at).starts_with("<!--")) {
                pos_ = start + at;
                comment();
                at = std::min(pos_ - start, content.size()) - 1;
                continue;
            }
            const bool closing = at + 1 < content.size() && content[at + 1] == '/';
            const std::size_t nameAt = at + (closing ? 2 : 1);
            if (nameAt >= content.size() || !isAlpha(content[nameAt])) continue;
            if (!closing && startsNoCase(content, nameAt, "meta") &&
                (nameAt + 4 >= content.size() || isSpace(content[nameAt + 4]) ||
                 content[nameAt + 4] == '/' || content[nameAt + 4] == '>')) {
                pos_ = start + at;
                tag(start + nameAt, false);
                at = std::min(pos_ - start, content.size()) - 1;
                continue;
            }
            std::size_t end = nameAt;
            std::string name;
            while (end < content.size() && !isSpace(content[end]) && content[end] != '/' &&
                   content[end] != '>') {
                if (name.size() < 16) name += lower(content[end]);
                ++end;
            }
            if (!(closing && name == "noscript") && !keepsHead(name, closing)) {
                inHead_ = false;
                sink_.pastHead(start + at);
            }
        }
        pos_ = after;
    }

    // The content of an element whose text is not markup, up to its end tag.
    void rawText(std::string_view name, bool shown) {
        std::size_t end = text_.size();
        if (name != "plaintext") {
            for (auto at = text_.find("</", pos_); at != std::string_view::npos;
                 at = text_.find("</", at + 2)) {
                const std::size_t after = at + 2 + name.size();
                if (startsNoCase(text_, at + 2, name) &&
                    (after >= text_.size() || isSpace(text_[after]) || text_[after] == '/' ||
                     text_[after] == '>')) {
                    end = at;
                    break;
                }
            }
        }
        if (shown) {
            for (char c : text_.substr(pos_, end - pos_)) {
                if (c == '<') {
                    out_ += "&lt;";
                } else if (c == '&') {
                    out_ += "&amp;";
                } else if (!special(c)) {
                    out_ += c;
                }
                if (out_.size() >= kChunk) flush();
            }
        }
        pos_ = end;
        if (pos_ < text_.size()) skipPast('>');
    }

    std::string_view text_;
    MarkupSink& sink_;
    std::size_t pos_ = 0;
    std::string out_;
    std::string attributes_; // of the tag being read
    bool inHead_ = true;     // no tag yet has ended the head
};

} // namespace

void cleanHtml(std::string_view text, MarkupSink& sink) {
    Cleaner(text, sink).run();
}

} // namespace varnoke::drivers
