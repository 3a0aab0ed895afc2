#pragma once
// The condition one criteria row contributes to the all-records delete statement: which
// clause builder writes it for the kinds of the target field and of the operand, the
// row's condition and polarity.
#include "process/clause_builders.h"
#include "process/field_class.h"

#include <optional>
#include <string_view>

namespace varnoke {

// The operand's kind: the class of the other file's field, or a typed value.
struct DeleteOperand {
    std::optional<FieldClass> fieldClass; // empty for a typed value
    bool typed = false;
};

enum class DeleteCondition { Equal, Greater, Less, After, Before };

// "is greater than" -> Greater ...; anything else reads as Equal.
DeleteCondition deleteConditionOf(std::string_view condition);

// Seen from the other file: greater and less, after and before change places.
DeleteCondition mirrored(DeleteCondition condition);

// The builder for a non-blank operand, the one the evaluators use for the same pair of
// kinds, or none for an operand field of no known kind. An ordering is always an
// ordered comparison. A typed operand on a number target is expected as its leading
// number already.
std::optional<Clause> deleteClauseFor(FieldClass target, DeleteOperand operand,
                                      DeleteCondition condition, bool notEqual);

// A condition no record meets, for a row that selects nothing.
inline constexpr std::string_view kSelectsNothing = "(1 = 0)";

} // namespace varnoke
