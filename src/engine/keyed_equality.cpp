#include "engine/keyed_equality.h"

#include <algorithm>

namespace varnoke::detail {

std::optional<KeyedEquality> keyedEquality(const sql::Expr& condition, const Renderer& r,
                                           std::size_t firstSearched, const TableInfo& table) {
    using K = sql::Expr::Kind;
    if (condition.kind != K::Compare || condition.op != "=" || condition.args.size() != 2)
        return std::nullopt;
    const sql::Expr& a = *condition.args[0];
    const sql::Expr& b = *condition.args[1];
    const sql::Expr* literal = a.kind == K::Literal ? &a : &b;
    const sql::Expr* column = a.kind == K::Literal ? &b : &a;
    if (literal->kind != K::Literal || column->kind != K::Column) return std::nullopt;
    // The renderer resolved the name: a text column of the table, compared case-blind.
    if (r.searched.size() != firstSearched + 1) return std::nullopt;
    const SearchedColumn& s = r.searched[firstSearched];
    if (s.kind != IndexKind::NoCase || !sameName(s.table.name, table.name) ||
        s.table.schema != table.schema)
        return std::nullopt;
    const auto bound = std::find_if(r.literalBinds.begin(), r.literalBinds.end(),
                                    [&](const auto& lb) { return lb.first == literal; });
    if (bound == r.literalBinds.end()) return std::nullopt;
    const int keyBind = bound->second;
    if (!r.binds[static_cast<std::size_t>(keyBind - 1)].isText()) return std::nullopt;
    return KeyedEquality{s.column, keyBind};
}

} // namespace varnoke::detail
