#include "evaluate/row_test.h"

#include "dialog/choice_texts.h"
#include "process/clause_builders.h"
#include "value/convert.h"
#include "value/runtime_error.h"

#include <cmath>
#include <cstdio>

namespace varnoke {

namespace {

double numberIn(const Value& v) {
    return v.isNumeric() ? numberOf(v) : leadingNumber(textOf(v));
}

// A typed operand in the form the clause builders write for the kind of the field
// searched: a number field takes the number the text begins with.
Value typedTermValue(FieldClass field, const Value& operand) {
    if (field == FieldClass::Val && !isBlank(operand)) return Value::number(numberIn(operand));
    return operand;
}

// The order of the field value against the converted operand; empty never happens
// here, as neither side is Null.
int orderAgainst(const Value& fieldValue, const Value& form) {
    return compareValues(fieldValue, form).value_or(1);
}

Value typedAsTested(FieldClass tested, const Value& typed) {
    if (isBlank(typed)) return Value::null();
    switch (tested) {
    case FieldClass::Val:
        return Value::number(leadingNumber(textOf(typed)));
    case FieldClass::Date:
        return isDate(typed) ? Value::date(dateOf(typed)) : typed;
    case FieldClass::Text:
        break;
    }
    return typed;
}

} // namespace

Order reversed(Order order) {
    switch (order) {
    case Order::Greater:
        return Order::Less;
    case Order::Less:
        return Order::Greater;
    case Order::Equal:
        break;
    }
    return Order::Equal;
}

bool typedRowMet(const EvaluatorMember& member, Order order, const Value& typed,
                 const Value& operand) {
    const bool asText = member.tested == FieldClass::Text && !isBlank(operand) && !operand.isText();
    return rowMet(member, order, typedAsTested(member.tested, typed),
                  asText ? Value::text(textOf(operand)) : operand);
}

std::string isNullText(std::string_view field) {
    return "IsNull(" + bracketName(field) + ")";
}

Order orderFor(const EvaluatorMember& member, std::string_view condition) {
    if (!member.ordered) return Order::Equal;
    if (condition == choice::IsGreaterThan || condition == choice::IsAfter) return Order::Greater;
    if (condition == choice::IsLessThan || condition == choice::IsBefore) return Order::Less;
    return Order::Equal;
}

Value comparisonForm(const EvaluatorMember& member, const Value& operand) {
    switch (member.tested) {
    case FieldClass::Text:
        if (member.operand == FieldClass::Val) return Value::text(numberText(numberOf(operand)));
        if (member.operand == FieldClass::Date) return Value::text(textOf(operand));
        return operand;
    case FieldClass::Val:
        if (member.operand == FieldClass::Val) return Value::number(numberIn(operand));
        return Value::number(leadingNumber(textOf(operand)));
    case FieldClass::Date:
        break;
    }
    if (member.operand == FieldClass::Val)
        return Value::date(dateOf(Value::number(numberOf(operand))));
    return Value::date(dateOf(operand));
}

bool rowMet(const EvaluatorMember& member, Order order, const Value& fieldValue,
            const Value& operand) {
    const bool blank = isBlank(operand);
    if (member.polarity == Polarity::NotEqual) {
        // A Null field differs from every operand and needs no conversion.
        if (blank) return !fieldValue.isNull();
        if (fieldValue.isNull()) return true;
        return orderAgainst(fieldValue, comparisonForm(member, operand)) != 0;
    }
    switch (order) {
    case Order::Greater:
        if (blank) return !fieldValue.isNull();
        {
            const Value form = comparisonForm(member, operand);
            return !fieldValue.isNull() && orderAgainst(fieldValue, form) > 0;
        }
    case Order::Less:
        if (blank) return false;
        {
            const Value form = comparisonForm(member, operand);
            return fieldValue.isNull() || orderAgainst(fieldValue, form) < 0;
        }
    case Order::Equal:
        break;
    }
    if (blank) return fieldValue.isNull();
    const Value form = comparisonForm(member, operand);
    return !fieldValue.isNull() && orderAgainst(fieldValue, form) == 0;
}

namespace {

// To the last digit, so the term reads back the very number the test compares.
std::string exactNumberText(double n) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", n);
    return buf;
}

// The field against the value as the test orders them; a value differs as less or
// greater, which an index answers where it cannot answer "<>".
std::string compared(const std::string& name, bool notEqual, Order order,
                     const std::string& value) {
    if (notEqual) return name + " < " + value + " or " + name + " > " + value;
    switch (order) {
    case Order::Greater:
        return name + " > " + value;
    case Order::Less:
        return name + " < " + value;
    case Order::Equal:
        break;
    }
    return name + " = " + value;
}

// Null counts lower than every value and differs from each: the tests that accept it.
bool acceptsNull(const EvaluatorMember& member, Order order) {
    return member.polarity == Polarity::NotEqual || order == Order::Less;
}

std::optional<std::string> termOfForm(const EvaluatorMember& member, Order order,
                                      std::string_view field, const Value& form) {
    const std::string name = bracketName(field);
    const bool notEqual = member.polarity == Polarity::NotEqual;
    std::string term;
    switch (member.tested) {
    case FieldClass::Text:
        if (order != Order::Equal || !form.isText()) return std::nullopt;
        term = "StrComp(" + name + ", " + quoteText(form.asText()) + ", 0) " +
               (notEqual ? "<>" : "=") + " 0";
        break;
    case FieldClass::Val:
        // As a text, the number takes the field's own type.
        if (!form.isNumeric()) return std::nullopt;
        term = compared(name, notEqual, order, quoteText(exactNumberText(numberOf(form))));
        break;
    case FieldClass::Date:
        if (!form.isDate()) return std::nullopt;
        term = compared(name, notEqual, order, exactNumberText(form.asDateSerial()));
        break;
    }
    if (!acceptsNull(member, order)) return term;
    return "(" + term + " or " + isNullText(field) + ")";
}

// A yes/no field holds True, False or Null, and stores True as 1 where the test reads
// -1: the term names the values the test itself accepts ('-1' taken as the field's type
// is True).
std::string yesNoTerm(const EvaluatorMember& member, Order order, std::string_view field,
                      const Value& operand) {
    const std::string name = bracketName(field);
    std::string term;
    const auto add = [&](bool met, const std::string& part) {
        if (met) term += (term.empty() ? "" : " or ") + part;
    };
    add(rowMet(member, order, Value::boolean(true), operand), name + " = '-1'");
    add(rowMet(member, order, Value::boolean(false), operand), name + " = '0'");
    add(rowMet(member, order, Value::null(), operand), isNullText(field));
    if (term.empty()) return "(" + isNullText(field) + " and not " + isNullText(field) + ")";
    return "(" + term + ")";
}

} // namespace

std::optional<std::string> exactFindText(const EvaluatorMember& member, Order order,
                                         std::string_view field, const Value& operand,
                                         bool yesNoField) {
    if (isBlank(operand)) {
        // A blank is lower than every value and differs from each but Null.
        if (member.polarity == Polarity::NotEqual || order == Order::Greater)
            return "not " + isNullText(field);
        if (order == Order::Equal) return isNullText(field);
        return std::nullopt;
    }
    try {
        if (yesNoField && member.tested == FieldClass::Val)
            return yesNoTerm(member, order, field, operand);
        const Value form = comparisonForm(member, operand);
        if ((form.isNumeric() || form.isDate()) && !std::isfinite(numberOf(form)))
            return std::nullopt;
        return termOfForm(member, order, field, form);
    } catch (const RuntimeError&) {
        // The test itself reports the conversion, as it always has.
        return std::nullopt;
    }
}

bool rowCanHold(const EvaluatorMember& member, Order order, const Value& operand) {
    return !(member.polarity == Polarity::Equal && order == Order::Less && isBlank(operand));
}

std::optional<std::string> typedFindText(const EvaluatorMember& member, Order order,
                                         std::string_view field, const Value& operand) {
    using enum Clause;
    const Value value = typedTermValue(member.tested, operand);
    const ClauseInput in{field, value, false, 0};
    const auto term = [&](Clause clause) { return withClause("", clause, in); };
    const bool blank = isBlank(operand);
    const bool numbers = member.tested == FieldClass::Val;
    // Null counts lower than every value and differs from each.
    const std::string orNull = " or " + isNullText(field);
    if (member.polarity == Polarity::NotEqual) {
        if (blank) return term(addNotIsNullClause);
        return term(pairClause(member.tested, member.tested, Polarity::NotEqual)) + orNull;
    }
    switch (order) {
    case Order::Greater:
        if (blank) return term(addNotIsNullClause);
        return term(numbers ? addValGreaterClause : addDateAfterClause);
    case Order::Less:
        if (blank) return std::nullopt;
        return term(numbers ? addValLessClause : addDateBeforeClause) + orNull;
    case Order::Equal:
        break;
    }
    if (blank) return term(addIsNullClause);
    return term(pairClause(member.tested, member.tested, Polarity::Equal));
}

} // namespace varnoke
