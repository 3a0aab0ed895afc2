#include "steps/delete_clause.h"

#include "dialog/choice_texts.h"
#include "evaluate/evaluator_table.h"

namespace varnoke {

DeleteCondition deleteConditionOf(std::string_view condition) {
    if (condition == choice::IsGreaterThan) return DeleteCondition::Greater;
    if (condition == choice::IsLessThan) return DeleteCondition::Less;
    if (condition == choice::IsAfter) return DeleteCondition::After;
    if (condition == choice::IsBefore) return DeleteCondition::Before;
    return DeleteCondition::Equal;
}

DeleteCondition mirrored(DeleteCondition condition) {
    switch (condition) {
    case DeleteCondition::Greater:
        return DeleteCondition::Less;
    case DeleteCondition::Less:
        return DeleteCondition::Greater;
    case DeleteCondition::After:
        return DeleteCondition::Before;
    case DeleteCondition::Before:
        return DeleteCondition::After;
    case DeleteCondition::Equal:
        break;
    }
    return DeleteCondition::Equal;
}

std::optional<Clause> deleteClauseFor(FieldClass target, DeleteOperand operand,
                                      DeleteCondition condition, bool notEqual) {
    if (!operand.typed && !operand.fieldClass) return std::nullopt;
    // An ordering compares by its own kind, numbers or dates, whatever the fields hold:
    // the step's checks have made sure the operand reads as one.
    if (!notEqual) {
        switch (condition) {
        case DeleteCondition::Greater:
            return Clause::addValGreaterClause;
        case DeleteCondition::Less:
            return Clause::addValLessClause;
        case DeleteCondition::After:
            return Clause::addDateAfterClause;
        case DeleteCondition::Before:
            return Clause::addDateBeforeClause;
        case DeleteCondition::Equal:
            break;
        }
    }
    // A typed operand is written in the target's own form.
    const FieldClass kind = operand.typed ? target : *operand.fieldClass;
    return pairClause(target, kind, notEqual ? Polarity::NotEqual : Polarity::Equal);
}

} // namespace varnoke
