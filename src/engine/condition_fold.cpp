#include "engine/condition_fold.h"

#include "engine/names.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

namespace varnoke::detail {

namespace {

using K = sql::Expr::Kind;

bool isChain(const sql::Expr& e, std::string_view op) {
    return e.kind == K::Binary && e.op == op && e.args.size() == 2;
}

// The truth of a Boolean literal; nothing for any other term.
std::optional<bool> truthOf(const sql::Expr& e) {
    if (e.kind != K::Literal || e.value.kind() != Value::Kind::Boolean) return std::nullopt;
    return e.value.asBoolean();
}

sql::ExprPtr literal(bool truth) {
    auto e = std::make_unique<sql::Expr>();
    e->kind = K::Literal;
    e->value = Value::boolean(truth);
    return e;
}

// A test of a column for Null: True or False on every row, never Null.
struct NullTest {
    const sql::Expr* column;
    bool asksNull; // Null gives True
};

std::optional<NullTest> nullTestOf(const sql::Expr& e) {
    if (e.kind == K::Not && e.args.size() == 1) {
        auto inner = nullTestOf(*e.args[0]);
        if (inner) inner->asksNull = !inner->asksNull;
        return inner;
    }
    const bool isTest = (e.kind == K::IsNull && e.args.size() == 1) ||
                        (e.kind == K::Call && sameName(e.name, "IsNull") && e.args.size() == 1);
    if (!isTest || e.args[0]->kind != K::Column) return std::nullopt;
    return NullTest{e.args[0].get(), !(e.kind == K::IsNull && e.negated)};
}

bool sameColumn(const sql::Expr& a, const sql::Expr& b) {
    return sameName(a.name, b.name) && sameName(a.qualifier, b.qualifier);
}

bool plainOperand(const sql::Expr& e) {
    return e.kind == K::Column || e.kind == K::Literal;
}

} // namespace

bool cannotFail(const sql::Expr& e) {
    switch (e.kind) {
    case K::Literal:
    case K::Column:
        return true;
    case K::Compare:
        return e.args.size() == 2 && plainOperand(*e.args[0]) && plainOperand(*e.args[1]);
    case K::IsNull:
    case K::Not:
        return e.args.size() == 1 && cannotFail(*e.args[0]);
    case K::Call:
        return nullTestOf(e).has_value();
    case K::Binary:
        return (e.op == "and" || e.op == "or") &&
               std::all_of(e.args.begin(), e.args.end(),
                           [](const sql::ExprPtr& a) { return cannotFail(*a); });
    default:
        return false;
    }
}

bool seeksNearestRow(const sql::Expr& e) {
    if (auto test = nullTestOf(e)) return test->asksNull;
    if (e.kind != K::Compare || e.op != "=" || e.args.size() != 2) return false;
    const sql::Expr& a = *e.args[0];
    const sql::Expr& b = *e.args[1];
    const bool valueSecond = a.kind == K::Column && b.kind == K::Literal;
    const bool valueFirst = b.kind == K::Column && a.kind == K::Literal;
    return (valueSecond && !b.value.isNull()) || (valueFirst && !a.value.isNull());
}

namespace {

// The slots of a chain's terms, in order.
void gatherChain(sql::ExprPtr& e, std::string_view op, std::vector<sql::ExprPtr*>& out) {
    if (isChain(*e, op)) {
        gatherChain(e->args[0], op, out);
        gatherChain(e->args[1], op, out);
    } else {
        out.push_back(&e);
    }
}

bool holdsOpposites(const std::vector<sql::ExprPtr*>& terms) {
    std::vector<NullTest> tests;
    for (const auto* t : terms)
        if (auto test = nullTestOf(**t)) tests.push_back(*test);
    for (std::size_t i = 0; i < tests.size(); ++i)
        for (std::size_t j = i + 1; j < tests.size(); ++j)
            if (tests[i].asksNull != tests[j].asksNull &&
                sameColumn(*tests[i].column, *tests[j].column))
                return true;
    return false;
}

bool fold(sql::ExprPtr& e);

// An And chain (decider False) or an Or chain (decider True).
bool foldChain(sql::ExprPtr& e, std::string_view op) {
    const bool decider = op == "or";
    std::vector<sql::ExprPtr*> terms;
    gatherChain(e, op, terms);
    bool changed = false;
    for (auto* t : terms)
        changed = fold(*t) || changed;
    const bool decided =
        std::any_of(terms.begin(), terms.end(),
                    [&](const sql::ExprPtr* t) { return truthOf(**t) == decider; }) ||
        holdsOpposites(terms);
    if (decided && std::all_of(terms.begin(), terms.end(),
                               [](const sql::ExprPtr* t) { return cannotFail(**t); })) {
        e = literal(decider);
        return true;
    }
    const auto neutral = [&](const sql::ExprPtr* t) { return truthOf(**t) == !decider; };
    if (std::none_of(terms.begin(), terms.end(), neutral)) return changed;
    sql::ExprPtr chain;
    for (auto* t : terms) {
        if (neutral(t)) continue;
        if (!chain) {
            chain = std::move(*t);
            continue;
        }
        auto joined = std::make_unique<sql::Expr>();
        joined->kind = K::Binary;
        joined->op = std::string(op);
        joined->depth = std::max(chain->depth, (*t)->depth) + 1;
        joined->args.push_back(std::move(chain));
        joined->args.push_back(std::move(*t));
        chain = std::move(joined);
    }
    e = chain ? std::move(chain) : literal(!decider);
    return true;
}

bool fold(sql::ExprPtr& e) {
    if (isChain(*e, "and")) return foldChain(e, "and");
    if (isChain(*e, "or")) return foldChain(e, "or");
    if (e->kind != K::Not || e->args.size() != 1) return false;
    const bool changed = fold(e->args[0]);
    if (auto truth = truthOf(*e->args[0])) {
        e = literal(!*truth);
        return true;
    }
    return changed;
}

} // namespace

bool foldFixedTerms(sql::ExprPtr& condition) {
    return condition && fold(condition);
}

} // namespace varnoke::detail
