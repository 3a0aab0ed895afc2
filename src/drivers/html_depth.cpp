#include "drivers/html_depth.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace varnoke::drivers {

namespace {

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isVoid(std::string_view name) {
    return isOneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link",
                          "meta", "param", "source", "track", "wbr", "keygen", "basefont",
                          "bgsound", "frame", "isindex"});
}

// Elements whose text is not markup: their content is skipped to the matching end tag.
bool isRawText(std::string_view name) {
    return isOneOf(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed",
                          "noframes", "plaintext"});
}

// A start tag of one of these closes an open element of its own group, up to the
// nearest element that holds such groups.
int closingGroup(std::string_view name) {
    if (isOneOf(name, {"td", "th"})) return 1;
    if (name == "tr") return 2;
    if (isOneOf(name, {"thead", "tbody", "tfoot"})) return 3;
    if (name == "li") return 4;
    if (isOneOf(name, {"dt", "dd"})) return 5;
    if (name == "p") return 6;
    if (name == "option") return 7;
    return 0;
}

bool isGroupHolder(std::string_view name) {
    return isOneOf(name, {"table", "ul", "ol", "dl", "select", "html", "body"});
}

} // namespace

std::size_t htmlNestingDepth(std::string_view html, std::size_t limit) {
    std::vector<std::string> open;
    std::size_t deepest = 0;
    std::size_t i = 0;
    const std::size_t n = html.size();
    auto lower = [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    };
    while (i < n) {
        const std::size_t lt = html.find('<', i);
        if (lt == std::string_view::npos || lt + 1 >= n) break;
        i = lt + 1;
        if (html.compare(i, 3, "!--") == 0) {
            const auto end = html.find("-->", i + 3);
            i = end == std::string_view::npos ? n : end + 3;
            continue;
        }
        const bool closing = html[i] == '/';
        if (closing) ++i;
        if (i >= n || !std::isalpha(static_cast<unsigned char>(html[i]))) {
            // "<!DOCTYPE ...>", "<?...>" and stray "<" are no elements.
            continue;
        }
        std::string name;
        while (i < n && (std::isalnum(static_cast<unsigned char>(html[i])) || html[i] == '-'))
            name += lower(html[i++]);
        // The rest of the tag, with quoted attribute values that may hold ">".
        bool selfClosing = false;
        char quote = 0;
        for (; i < n; ++i) {
            const char c = html[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                selfClosing = i > 0 && html[i - 1] == '/';
                ++i;
                break;
            }
        }
        if (closing) {
            const auto match = std::find(open.rbegin(), open.rend(), name);
            if (match != open.rend()) open.erase(std::next(match).base(), open.end());
            continue;
        }
        if (isVoid(name) || selfClosing) continue;
        if (isRawText(name)) {
            // Skip to the end tag without regard to case.
            const std::string end = "</" + name;
            std::size_t at = i;
            for (; at + end.size() <= n; ++at)
                if (std::equal(end.begin(), end.end(), html.begin() + static_cast<long>(at),
                               [&](char a, char b) { return a == lower(b); }))
                    break;
            i = at;
            continue;
        }
        if (const int group = closingGroup(name); group != 0) {
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if (isGroupHolder(*it)) break;
                if (closingGroup(*it) == group) {
                    open.erase(std::next(it).base(), open.end());
                    break;
                }
            }
        }
        open.push_back(std::move(name));
        deepest = std::max(deepest, open.size());
        if (deepest > limit) return deepest;
    }
    return deepest;
}

} // namespace varnoke::drivers
