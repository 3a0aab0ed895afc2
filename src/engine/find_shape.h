#pragma once

#include "engine/sql_ast.h"
#include "value/value.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnoke {

// A find's or statement's text with its text literals taken out: texts that differ only
// in those literals share a key, and so can share one parsed and rendered query.
struct FindShape {
    std::string key;
    std::vector<std::string> texts; // the literals' values, in the order written
};

// Nothing when a quote, bracket or date never closes: such text goes to the parser,
// which reports it.
std::optional<FindShape> findShape(std::string_view criteria);

// Adds the text literals of an expression to `out`; false when it holds a subquery,
// whose tables may be redefined between uses.
bool gatherTexts(const sql::Expr& e, std::vector<const sql::Expr*>& out);

// The bind each of `texts` went to, when every one was bound once as written, so a text
// of the same shape can take other texts in their places. `nodes` are the parsed text
// literals, `literals` each literal's bind. Nothing when a text was read for its meaning
// (a date or number compared with or stored into a field) and its bind is not among
// `taken` (binds whose text a comparison converted, as the caller converts every text of
// the shape alike), when two texts are equal (their places could not be told apart) or
// when the parse saw other texts.
std::optional<std::vector<int>>
textBindsOf(const std::vector<const sql::Expr*>& nodes,
            const std::vector<std::pair<const sql::Expr*, int>>& literals,
            const std::vector<Value>& binds, const std::vector<std::string>& texts,
            const std::vector<int>& taken = {});
// The same for the texts of one criteria expression.
std::optional<std::vector<int>>
textBindsOf(const sql::Expr& criteria,
            const std::vector<std::pair<const sql::Expr*, int>>& literals,
            const std::vector<Value>& binds, const std::vector<std::string>& texts,
            const std::vector<int>& taken = {});
// The same for a criteria expression whose fixed terms were folded away after its texts
// passed textBindsOf as written: a text whose term was dropped goes to no bind (0), as
// the query never reads it. The fold keeps or drops a term by its shape alone, never by
// a text's value, so every text of the same shape is dropped alike.
std::optional<std::vector<int>>
foldedTextBindsOf(const sql::Expr& folded,
                  const std::vector<std::pair<const sql::Expr*, int>>& literals,
                  const std::vector<Value>& binds, const std::vector<std::string>& texts,
                  const std::vector<int>& taken = {});

} // namespace varnoke
