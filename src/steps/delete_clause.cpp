#include "steps/delete_clause.h"

#include "dialog/choice_texts.h"

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

namespace {

using enum Clause;

struct Forms {
    Clause equal;
    Clause notEqual;
};

// A same-kind operand (or a typed one) also serves the orderings of its kind; a
// different kind is compared for equality whatever the row's condition says.
std::optional<Clause> ordered(DeleteCondition condition, bool notEqual, Forms forms,
                              DeleteCondition up, Clause upClause, DeleteCondition down,
                              Clause downClause) {
    if (notEqual) return forms.notEqual;
    if (condition == DeleteCondition::Equal) return forms.equal;
    if (condition == up) return upClause;
    if (condition == down) return downClause;
    return std::nullopt;
}

Clause plain(bool notEqual, Forms forms) {
    return notEqual ? forms.notEqual : forms.equal;
}

} // namespace

std::optional<Clause> deleteClauseFor(FieldClass target, DeleteOperand operand,
                                      DeleteCondition condition, bool notEqual) {
    if (!operand.typed && !operand.fieldClass) return std::nullopt;
    const std::optional<FieldClass> kind =
        operand.typed ? std::optional<FieldClass>{} : operand.fieldClass;
    switch (target) {
    case FieldClass::Val:
        if (operand.typed || kind == FieldClass::Val)
            return ordered(condition, notEqual, {addValEqualClause, addValNotEqualClause},
                           DeleteCondition::Greater, addValGreaterClause, DeleteCondition::Less,
                           addValLessClause);
        return plain(notEqual, kind == FieldClass::Date
                                   ? Forms{addValDateEqualClause, addValDateNotEqualClause}
                                   : Forms{addValTextEqualClause, addValTextNotEqualClause});
    case FieldClass::Date:
        if (operand.typed || kind == FieldClass::Date)
            return ordered(condition, notEqual, {addDateEqualClause, addDateNotEqualClause},
                           DeleteCondition::After, addDateAfterClause, DeleteCondition::Before,
                           addDateBeforeClause);
        return plain(notEqual, kind == FieldClass::Val
                                   ? Forms{addDateValEqualClause, addDateValNotEqualClause}
                                   : Forms{addDateTextEqualClause, addDateTextNotEqualClause});
    case FieldClass::Text:
        break;
    }
    if (kind == FieldClass::Val)
        return plain(notEqual, {addTextValEqualClause, addTextValNotEqualClause});
    if (kind == FieldClass::Date)
        return plain(notEqual, {addTextDateEqualClause, addTextDateNotEqualClause});
    return plain(notEqual, {addTextEqualClause, addTextNotEqualClause});
}

} // namespace varnoke
