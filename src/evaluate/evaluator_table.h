#pragma once
// The criteria-row evaluators by name. Every member of a family runs the same frame
// (row_evaluation.h); a row here says which pair of field kinds it tests, its polarity
// and action, and the few ways a member departs from its siblings.
#include "process/clause_builders.h"
#include "process/field_class.h"

#include <span>
#include <string_view>

namespace varnoke {

enum class Polarity { Equal, NotEqual };
enum class Action { Rep, Del };

// The condition a member serves for one row, as far as the frame cares: the equal form,
// or one of the two orderings (greater and after; less and before).
enum class Order : unsigned { Equal = 1, Greater = 2, Less = 4 };

// A set of Orders.
struct OrderSet {
    unsigned bits = 0;
    constexpr bool has(Order o) const { return (bits & static_cast<unsigned>(o)) != 0; }
};
constexpr OrderSet operator|(Order a, Order b) {
    return {static_cast<unsigned>(a) | static_cast<unsigned>(b)};
}
constexpr OrderSet only(Order o) {
    return {static_cast<unsigned>(o)};
}
inline constexpr OrderSet kNoOrders{};

struct EvaluatorMember {
    std::string_view name;
    // The changed file's field of the row and the operand, the other file's field; a
    // typed value counts as Text on whichever side it stands.
    FieldClass tested;
    FieldClass operand;
    Polarity polarity;
    Action action;
    // Reads the row's condition: the numeric and date pairs also serve the orderings.
    bool ordered = false;
    // Under "first occurrence" the record the find reached is taken without the test,
    // for these conditions only.
    OrderSet firstFoundPasses = kNoOrders;
    // Stores the operand's date back into the caller's operand before the test; a value
    // that is no date is left as it was.
    bool operandToDateInPlace = false;
};

// The 36 File A members, list1TextTextEqualRep to list1DateDateNotEqualDel.
std::span<const EvaluatorMember> fileAEvaluators();

// The 36 File B members, list2TextTextEqualRep to list2DateDateNotEqualDel.
std::span<const EvaluatorMember> fileBEvaluators();

// The process key of a member, for composing its name on the given side.
EvaluatorKey evaluatorKeyOf(const EvaluatorMember& member, FileSide side);

// The find-term builder a File B row uses for a non-blank operand, by the pair and the
// polarity (the ordered members choose by condition instead).
Clause pairClause(FieldClass tested, FieldClass operand, Polarity polarity);

} // namespace varnoke
