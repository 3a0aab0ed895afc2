#include "evaluate/evaluator_table.h"

#include <array>

namespace varnoke {

namespace {

using enum FieldClass;
using enum Polarity;
using enum Action;
using enum Clause;

constexpr Order kEq = Order::Equal;
constexpr Order kLess = Order::Less;

// One row per member. The ordered pairs (numbers, dates) also serve greater, less,
// before and after; only their delete members let a found record through untested,
// and each does so for its own conditions.
constexpr std::array<EvaluatorMember, 36> kFileA = {{
    {"list1TextTextEqualRep", Text, Text, Equal, Rep},
    {"list1TextValEqualRep", Text, Val, Equal, Rep},
    {"list1TextDateEqualRep", Text, Date, Equal, Rep},
    {"list1ValTextEqualRep", Val, Text, Equal, Rep},
    {"list1ValValEqualRep", Val, Val, Equal, Rep, true},
    {"list1ValDateEqualRep", Val, Date, Equal, Rep},
    {"list1DateTextEqualRep", Date, Text, Equal, Rep},
    {"list1DateValEqualRep", Date, Val, Equal, Rep},
    {"list1DateDateEqualRep", Date, Date, Equal, Rep, true, kNoOrders, true},

    {"list1TextTextNotEqualRep", Text, Text, NotEqual, Rep},
    {"list1TextValNotEqualRep", Text, Val, NotEqual, Rep},
    {"list1TextDateNotEqualRep", Text, Date, NotEqual, Rep},
    {"list1ValTextNotEqualRep", Val, Text, NotEqual, Rep},
    {"list1ValValNotEqualRep", Val, Val, NotEqual, Rep},
    {"list1ValDateNotEqualRep", Val, Date, NotEqual, Rep},
    {"list1DateTextNotEqualRep", Date, Text, NotEqual, Rep},
    {"list1DateValNotEqualRep", Date, Val, NotEqual, Rep},
    {"list1DateDateNotEqualRep", Date, Date, NotEqual, Rep, false, kNoOrders, true},

    {"list1TextTextEqualDel", Text, Text, Equal, Del, false, only(kEq)},
    {"list1TextValEqualDel", Text, Val, Equal, Del},
    {"list1TextDateEqualDel", Text, Date, Equal, Del},
    {"list1ValTextEqualDel", Val, Text, Equal, Del},
    {"list1ValValEqualDel", Val, Val, Equal, Del, true, kEq | kLess},
    {"list1ValDateEqualDel", Val, Date, Equal, Del},
    {"list1DateTextEqualDel", Date, Text, Equal, Del},
    {"list1DateValEqualDel", Date, Val, Equal, Del},
    {"list1DateDateEqualDel", Date, Date, Equal, Del, true, only(kEq), true},

    {"list1TextTextNotEqualDel", Text, Text, NotEqual, Del},
    {"list1TextValNotEqualDel", Text, Val, NotEqual, Del},
    {"list1TextDateNotEqualDel", Text, Date, NotEqual, Del},
    {"list1ValTextNotEqualDel", Val, Text, NotEqual, Del},
    {"list1ValValNotEqualDel", Val, Val, NotEqual, Del},
    {"list1ValDateNotEqualDel", Val, Date, NotEqual, Del},
    {"list1DateTextNotEqualDel", Date, Text, NotEqual, Del},
    {"list1DateValNotEqualDel", Date, Val, NotEqual, Del},
    {"list1DateDateNotEqualDel", Date, Date, NotEqual, Del, false, kNoOrders, true},
}};

struct PairClauses {
    FieldClass tested, operand;
    Clause equal, notEqual;
};

constexpr std::array<PairClauses, 9> kPairClauses = {{
    {Text, Text, addTextEqualClause, addTextNotEqualClause},
    {Text, Val, addTextValEqualClause, addTextValNotEqualClause},
    {Text, Date, addTextDateEqualClause, addTextDateNotEqualClause},
    {Val, Text, addValTextEqualClause, addValTextNotEqualClause},
    {Val, Val, addValEqualClause, addValNotEqualClause},
    {Val, Date, addValDateEqualClause, addValDateNotEqualClause},
    {Date, Text, addDateTextEqualClause, addDateTextNotEqualClause},
    {Date, Val, addDateValEqualClause, addDateValNotEqualClause},
    {Date, Date, addDateEqualClause, addDateNotEqualClause},
}};

} // namespace

std::span<const EvaluatorMember> fileAEvaluators() {
    return kFileA;
}

EvaluatorKey evaluatorKeyOf(const EvaluatorMember& member, FileSide side) {
    return {side, member.tested, member.operand, member.polarity == NotEqual, member.action == Del};
}

Clause pairClause(FieldClass tested, FieldClass operand, Polarity polarity) {
    for (const PairClauses& p : kPairClauses)
        if (p.tested == tested && p.operand == operand)
            return polarity == Equal ? p.equal : p.notEqual;
    return polarity == Equal ? addTextEqualClause : addTextNotEqualClause;
}

} // namespace varnoke
