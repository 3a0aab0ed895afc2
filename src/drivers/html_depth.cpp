#include "drivers/html_depth.h"

#include "drivers/html_tags.h"

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

class DepthCounter final : public HtmlVisitor {
public:
    explicit DepthCounter(std::size_t limit) : limit_(limit) {}

    void startTag(std::string_view name, std::string_view, bool selfClosing) override {
        if (isVoid(name) || selfClosing) return;
        if (const int group = closingGroup(name); group != 0) {
            for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
                if (isGroupHolder(*it)) break;
                if (closingGroup(*it) == group) {
                    open_.erase(std::next(it).base(), open_.end());
                    break;
                }
            }
        }
        open_.emplace_back(name);
        deepest_ = std::max(deepest_, open_.size());
    }
    void endTag(std::string_view name) override {
        const auto match = std::find(open_.rbegin(), open_.rend(), name);
        if (match != open_.rend()) open_.erase(std::next(match).base(), open_.end());
    }
    void text(std::string_view) override {}
    bool finished() const override { return deepest_ > limit_; }

    std::size_t deepest() const { return deepest_; }

private:
    std::size_t limit_;
    std::vector<std::string> open_;
    std::size_t deepest_ = 0;
};

} // namespace

std::size_t htmlNestingDepth(std::string_view html, std::size_t limit) {
    DepthCounter counter(limit);
    walkHtml(html, counter);
    return counter.deepest();
}

} // namespace varnoke::drivers
