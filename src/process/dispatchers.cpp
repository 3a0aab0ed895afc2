#include "process/dispatchers.h"

#include "process/field_class.h"
#include "process/run_context.h"
#include "process/run_questions.h"
#include "process/type_fallback.h"
#include "value/convert.h"

namespace varnoke {

namespace {

struct Analyse {
    FileSide side;
    bool notEqual;
    bool del;
};

void callEvaluator(RunContext& ctx, const EvaluatorKey& key, Value& compareThis, Value* inputThis) {
    const std::string& name = evaluatorName(key);
    if (key.del)
        ctx.registry.callDel(name, ctx, compareThis);
    else
        ctx.registry.callRep(name, ctx, compareThis, *inputThis);
}

bool isOrdered(std::string_view condition, std::string_view a, std::string_view b) {
    return condition == a || condition == b;
}

// The value of the tested field in the changed file's current record.
Value testedFieldValue(RunContext& ctx, FileSide side) {
    if (side == FileSide::A) return ctx.shared.rsFileA.value(criteriaText(ctx, "If_This"));
    return ctx.shared.rsFileB.value(criteriaText(ctx, "This").substr(choice::FieldPrefixLength));
}

// A typed operand arrives as text: "5" against a number field compares as 5.
std::optional<int> orderOf(const Value& operand, const Value& field) {
    const auto asNumber = [](const Value& v) -> Value {
        if (v.isText() && isNumberText(v.asText())) return Value::number(numberOf(v));
        return v;
    };
    if (field.isNumeric()) return compareValues(asNumber(operand), field);
    if (operand.isNumeric()) return compareValues(operand, asNumber(field));
    return compareValues(operand, field);
}

// A replace on a field of no known kind writes through the fallback ladder when the
// record meets the row. Null meets neither "equal" nor "not equal".
void fallback(RunContext& ctx, const Analyse& a, const Value& compareThis, Value& inputThis) {
    const std::optional<int> order = orderOf(compareThis, testedFieldValue(ctx, a.side));
    const bool meets = order && (a.notEqual ? *order != 0 : *order == 0);
    if (!meets) return;
    ctx.shared.msgAnswer = answer::Ok;
    if (a.side == FileSide::A)
        caseElseRepA(ctx, inputThis, ctx.run.recNo);
    else
        caseElseRepB(ctx, inputThis, ctx.run.recNo);
    if (ctx.shared.msgAnswer != answer::Ok) ctx.shared.stopFlag = std::string(kFlagYes);
}

void analyse(RunContext& ctx, const Analyse& a, int type1, int type2, Value& compareThis,
             Value* inputThis) {
    if (a.side == FileSide::B && badTypedDateOnFileB(ctx, type1)) return;
    const int testedType = a.side == FileSide::A ? type1 : type2;
    const int operandType = a.side == FileSide::A ? type2 : type1;
    const std::optional<FieldClass> tested = fieldClassOf(testedType);
    EvaluatorKey key{a.side, FieldClass::Text, FieldClass::Text, a.notEqual, a.del};

    if (!tested) {
        if (a.del) return callEvaluator(ctx, key, compareThis, inputThis);
        return fallback(ctx, a, compareThis, *inputThis);
    }
    if (*tested == FieldClass::Date && !isBlank(compareThis) && !isDate(compareThis)) {
        badDate(ctx);
        return;
    }
    key.tested = *tested;
    if (isFileBRow(ctx)) {
        const std::optional<FieldClass> operand = fieldClassOf(operandType);
        if (!operand) return;
        key.operand = *operand;
        return callEvaluator(ctx, key, compareThis, inputThis);
    }

    // A typed value or blank. Two members read it as a number or a date first; a blank
    // stays Null, which the evaluators search with IsNull.
    const std::string condition = criteriaText(ctx, "condition");
    const bool equalRep = !a.notEqual && !a.del;
    if (equalRep && key.tested == FieldClass::Val &&
        isOrdered(condition, choice::IsGreaterThan, choice::IsLessThan)) {
        if (!isBlank(compareThis)) compareThis = Value::number(leadingNumber(textOf(compareThis)));
        key.operand = FieldClass::Val;
    } else if (a.side == FileSide::B && a.del && !a.notEqual && key.tested == FieldClass::Date &&
               isOrdered(condition, choice::IsBefore, choice::IsAfter)) {
        if (!isBlank(compareThis)) compareThis = Value::date(dateOf(compareThis));
        key.operand = FieldClass::Date;
    }
    callEvaluator(ctx, key, compareThis, inputThis);
}

// The greater, less, before and after checks; the evaluator class pair when they pass.
std::optional<FieldClass> orderedClass(RunContext& ctx, int type1, int type2,
                                       const Value& compareThis) {
    const std::string condition = criteriaText(ctx, "condition");
    if (isOrdered(condition, choice::IsGreaterThan, choice::IsLessThan)) {
        const bool numbers = fieldClassOf(type1) == FieldClass::Val &&
                             (!isFileBRow(ctx) || fieldClassOf(type2) == FieldClass::Val);
        if (numbers) return FieldClass::Val;
        getOuttaThere(ctx);
        return std::nullopt;
    }
    if (isOrdered(condition, choice::IsBefore, choice::IsAfter)) {
        const bool dates = isFileBRow(ctx)
                               ? fieldClassOf(type2) == FieldClass::Date || isDate(compareThis)
                               : isBlank(compareThis) || isDate(compareThis);
        if (dates) return FieldClass::Date;
        badDate(ctx);
    }
    return std::nullopt;
}

void greaterLessBeforeAfter(RunContext& ctx, FileSide side, bool del, int type1, int type2,
                            Value& compareThis, Value* inputThis) {
    if (side == FileSide::B && badTypedDateOnFileB(ctx, type1)) return;
    const std::optional<FieldClass> pair = orderedClass(ctx, type1, type2, compareThis);
    if (!pair) return;
    callEvaluator(ctx, {side, *pair, *pair, false, del}, compareThis, inputThis);
    if (!del) return;
    // An "or" row that did not act hands the same record to the next row.
    if (isSet(ctx.shared.stopFlag) || isSet(ctx.run.runFinished)) return;
    if (isSet(ctx.run.nextCriteriaRow)) return;
    if (criteriaText(ctx, "conjunction") == choice::Or && ctx.shared.recordDone.empty())
        ctx.run.nextCriteriaRow = std::string(kFlagYes);
}

void noCompareAdd(RunContext& ctx, FileSide side, int type1, int type2, Value& compareThis,
                  Value& inputThis) {
    ctx.shared.addNewMode = std::string(kFlagNo);
    // A surplus record is appended untested: the row's types only name the member, and
    // raise no question.
    const int testedType = side == FileSide::A ? type1 : type2;
    const int operandType = side == FileSide::A ? type2 : type1;
    const FieldClass tested = fieldClassOf(testedType).value_or(FieldClass::Text);
    const FieldClass operand =
        isFileBRow(ctx) ? fieldClassOf(operandType).value_or(FieldClass::Text) : FieldClass::Text;
    callEvaluator(ctx, {side, tested, operand, false, false}, compareThis, &inputThis);
}

} // namespace

void equalAnalyseRepA(RunContext& ctx, int t1, int t2, Value& compareThis, Value& inputThis) {
    analyse(ctx, {FileSide::A, false, false}, t1, t2, compareThis, &inputThis);
}
void notEqualAnalyseRepA(RunContext& ctx, int t1, int t2, Value& compareThis, Value& inputThis) {
    analyse(ctx, {FileSide::A, true, false}, t1, t2, compareThis, &inputThis);
}
void equalAnalyseDelA(RunContext& ctx, int t1, int t2, Value& compareThis) {
    analyse(ctx, {FileSide::A, false, true}, t1, t2, compareThis, nullptr);
}
void notEqualAnalyseDelA(RunContext& ctx, int t1, int t2, Value& compareThis) {
    analyse(ctx, {FileSide::A, true, true}, t1, t2, compareThis, nullptr);
}
void equalAnalyseRepB(RunContext& ctx, int t1, int t2, Value& compareThis, Value& inputThis) {
    analyse(ctx, {FileSide::B, false, false}, t1, t2, compareThis, &inputThis);
}
void notEqualAnalyseRepB(RunContext& ctx, int t1, int t2, Value& compareThis, Value& inputThis) {
    analyse(ctx, {FileSide::B, true, false}, t1, t2, compareThis, &inputThis);
}
void equalAnalyseDelB(RunContext& ctx, int t1, int t2, Value& compareThis) {
    analyse(ctx, {FileSide::B, false, true}, t1, t2, compareThis, nullptr);
}
void notEqualAnalyseDelB(RunContext& ctx, int t1, int t2, Value& compareThis) {
    analyse(ctx, {FileSide::B, true, true}, t1, t2, compareThis, nullptr);
}

void GreaterLessBeforeAfterRepA(RunContext& ctx, int t1, int t2, Value& compareThis,
                                Value& inputThis) {
    greaterLessBeforeAfter(ctx, FileSide::A, false, t1, t2, compareThis, &inputThis);
}
void GreaterLessBeforeAfterRepB(RunContext& ctx, int t1, int t2, Value& compareThis,
                                Value& inputThis) {
    greaterLessBeforeAfter(ctx, FileSide::B, false, t1, t2, compareThis, &inputThis);
}
void GreaterLessBeforeAfterDelA(RunContext& ctx, int t1, int t2, Value& compareThis) {
    greaterLessBeforeAfter(ctx, FileSide::A, true, t1, t2, compareThis, nullptr);
}
void GreaterLessBeforeAfterDelB(RunContext& ctx, int t1, int t2, Value& compareThis) {
    greaterLessBeforeAfter(ctx, FileSide::B, true, t1, t2, compareThis, nullptr);
}

bool badTypedDateOnFileB(RunContext& ctx, int theFieldType1) {
    if (isFileBRow(ctx)) return false;
    const Value typed = ctx.criteria.value("This");
    if (isBlank(typed) || isDate(typed)) return false;
    const bool dateRow =
        fieldClassOf(theFieldType1) == FieldClass::Date ||
        isOrdered(criteriaText(ctx, "condition"), choice::IsBefore, choice::IsAfter);
    if (!dateRow) return false;
    badDate(ctx);
    return true;
}

bool GreaterLessBeforeAfter_check(RunContext& ctx, int t1, int t2) {
    const std::string condition = criteriaText(ctx, "condition");
    const bool ordered = isOrdered(condition, choice::IsGreaterThan, choice::IsLessThan) ||
                         isOrdered(condition, choice::IsBefore, choice::IsAfter);
    return !ordered || orderedClass(ctx, t1, t2, ctx.run.criteriaValue).has_value();
}

void noCompareAddA(RunContext& ctx, int t1, int t2, Value& compareThis, Value& inputThis) {
    noCompareAdd(ctx, FileSide::A, t1, t2, compareThis, inputThis);
}
void noCompareAddB(RunContext& ctx, int t1, int t2, Value& compareThis, Value& inputThis) {
    noCompareAdd(ctx, FileSide::B, t1, t2, compareThis, inputThis);
}

} // namespace varnoke
