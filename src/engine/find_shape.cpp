#include "engine/find_shape.h"

#include "engine/sql_name.h"

#include <algorithm>

namespace varnoke {

namespace {

bool opensSomething(char c) {
    return c == '[' || c == '`' || c == '#' || c == '\'' || c == '"';
}

} // namespace

// Reads names, dates and strings exactly as the parser does, so a quote inside a
// name or a date never starts a string.
std::optional<FindShape> findShape(std::string_view criteria) {
    // The key's own mark, anywhere in the text: such a text is not kept.
    if (criteria.find('\x01') != std::string_view::npos) return std::nullopt;
    FindShape shape;
    shape.key.reserve(criteria.size());
    shape.texts.reserve(4);
    const std::size_t n = criteria.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = criteria[i];
        std::size_t stop = i + 1;
        if (!opensSomething(c)) {
            // Plain text goes into the key a run at a time.
            while (stop < n && !opensSomething(criteria[stop]))
                ++stop;
        } else if (c == '[') {
            const auto end = bracketedNameEnd(criteria, i);
            if (!end) return std::nullopt;
            stop = *end;
        } else if (c == '`' || c == '#') {
            const auto close = criteria.find(c, i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            stop = close + 1;
        } else if (c == '\'' || c == '"') {
            auto text = readQuotedText(criteria, i, stop);
            if (!text) return std::nullopt;
            // The quote stays in the key: the literal's place, not its value.
            shape.key += '\x01';
            shape.key += c;
            shape.texts.push_back(std::move(*text));
            i = stop;
            continue;
        }
        shape.key.append(criteria.substr(i, stop - i));
        i = stop;
    }
    return shape;
}

bool gatherTexts(const sql::Expr& e, std::vector<const sql::Expr*>& out) {
    if (e.kind == sql::Expr::Kind::Subquery || e.select) return false;
    if (e.kind == sql::Expr::Kind::Literal && e.value.isText()) out.push_back(&e);
    for (const auto& a : e.args)
        if (!gatherTexts(*a, out)) return false;
    return true;
}

namespace {

// With `dropsAllowed`, a text found in no node is one folded away.
std::optional<std::vector<int>>
bindsOfTexts(const std::vector<const sql::Expr*>& nodes,
             const std::vector<std::pair<const sql::Expr*, int>>& literals,
             const std::vector<Value>& binds, const std::vector<std::string>& texts,
             bool dropsAllowed, const std::vector<int>& taken) {
    if (dropsAllowed ? nodes.size() > texts.size() : nodes.size() != texts.size())
        return std::nullopt;
    std::vector<std::string> sorted = texts;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return std::nullopt;
    std::vector<int> places;
    std::size_t kept = 0;
    for (const auto& t : texts) {
        auto node = std::find_if(nodes.begin(), nodes.end(),
                                 [&](const sql::Expr* n) { return n->value.asText() == t; });
        if (node == nodes.end()) {
            if (!dropsAllowed) return std::nullopt;
            places.push_back(0);
            continue;
        }
        ++kept;
        int place = 0;
        for (const auto& [literal, bind] : literals) {
            if (literal != *node) continue;
            if (place != 0) return std::nullopt;
            place = bind;
        }
        if (place == 0) return std::nullopt;
        const Value& bound = binds[static_cast<std::size_t>(place - 1)];
        const bool convertedAlike = std::find(taken.begin(), taken.end(), place) != taken.end();
        if (!convertedAlike && (!bound.isText() || bound.asText() != t)) return std::nullopt;
        places.push_back(place);
    }
    // Every node is one of the texts: the parse saw no other.
    if (kept != nodes.size()) return std::nullopt;
    return places;
}

} // namespace

std::optional<std::vector<int>>
textBindsOf(const std::vector<const sql::Expr*>& nodes,
            const std::vector<std::pair<const sql::Expr*, int>>& literals,
            const std::vector<Value>& binds, const std::vector<std::string>& texts,
            const std::vector<int>& taken) {
    return bindsOfTexts(nodes, literals, binds, texts, false, taken);
}

std::optional<std::vector<int>>
textBindsOf(const sql::Expr& criteria,
            const std::vector<std::pair<const sql::Expr*, int>>& literals,
            const std::vector<Value>& binds, const std::vector<std::string>& texts,
            const std::vector<int>& taken) {
    std::vector<const sql::Expr*> nodes;
    if (!gatherTexts(criteria, nodes)) return std::nullopt;
    return textBindsOf(nodes, literals, binds, texts, taken);
}

std::optional<std::vector<int>>
foldedTextBindsOf(const sql::Expr& folded,
                  const std::vector<std::pair<const sql::Expr*, int>>& literals,
                  const std::vector<Value>& binds, const std::vector<std::string>& texts,
                  const std::vector<int>& taken) {
    std::vector<const sql::Expr*> nodes;
    if (!gatherTexts(folded, nodes)) return std::nullopt;
    return bindsOfTexts(nodes, literals, binds, texts, true, taken);
}

} // namespace varnoke
