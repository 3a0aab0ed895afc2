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

// File B: the first class is the File B field named in This, the second File A's
// If_This. Only the numeric equal members let the found record through untested, and
// only for "is equal to".
constexpr std::array<EvaluatorMember, 36> kFileB = {{
    {"list2TextTextEqualRep", Text, Text, Equal, Rep},
    {"list2TextValEqualRep", Text, Val, Equal, Rep},
    {"list2TextDateEqualRep", Text, Date, Equal, Rep},
    {"list2ValTextEqualRep", Val, Text, Equal, Rep},
    {"list2ValValEqualRep", Val, Val, Equal, Rep, true, only(kEq)},
    {"list2ValDateEqualRep", Val, Date, Equal, Rep},
    {"list2DateTextEqualRep", Date, Text, Equal, Rep},
    {"list2DateValEqualRep", Date, Val, Equal, Rep},
    {"list2DateDateEqualRep", Date, Date, Equal, Rep, true, kNoOrders, true},

    {"list2TextTextNotEqualRep", Text, Text, NotEqual, Rep},
    {"list2TextValNotEqualRep", Text, Val, NotEqual, Rep},
    {"list2TextDateNotEqualRep", Text, Date, NotEqual, Rep},
    {"list2ValTextNotEqualRep", Val, Text, NotEqual, Rep},
    {"list2ValValNotEqualRep", Val, Val, NotEqual, Rep},
    {"list2ValDateNotEqualRep", Val, Date, NotEqual, Rep},
    {"list2DateTextNotEqualRep", Date, Text, NotEqual, Rep},
    {"list2DateValNotEqualRep", Date, Val, NotEqual, Rep},
    {"list2DateDateNotEqualRep", Date, Date, NotEqual, Rep, false, kNoOrders, true},

    {"list2TextTextEqualDel", Text, Text, Equal, Del},
    {"list2TextValEqualDel", Text, Val, Equal, Del},
    {"list2TextDateEqualDel", Text, Date, Equal, Del},
    {"list2ValTextEqualDel", Val, Text, Equal, Del},
    {"list2ValValEqualDel", Val, Val, Equal, Del, true, only(kEq)},
    {"list2ValDateEqualDel", Val, Date, Equal, Del},
    {"list2DateTextEqualDel", Date, Text, Equal, Del},
    {"list2DateValEqualDel", Date, Val, Equal, Del},
    {"list2DateDateEqualDel", Date, Date, Equal, Del, true, kNoOrders, true},

    {"list2TextTextNotEqualDel", Text, Text, NotEqual, Del},
    {"list2TextValNotEqualDel", Text, Val, NotEqual, Del},
    {"list2TextDateNotEqualDel", Text, Date, NotEqual, Del},
    {"list2ValTextNotEqualDel", Val, Text, NotEqual, Del},
    {"list2ValValNotEqualDel", Val, Val, NotEqual, Del},
    {"list2ValDateNotEqualDel", Val, Date, NotEqual, Del},
    {"list2DateTextNotEqualDel", Date, Text, NotEqual, Del},
    {"list2DateValNotEqualDel", Date, Val, NotEqual, Del},
    {"list2DateDateNotEqualDel", Date, Date, NotEqual, Del, false, kNoOrders, true},
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

std::span<const EvaluatorMember> fileBEvaluators() {
    return kFileB;
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
