#include "steps/delete_steps.h"

#include "evaluate/row_test.h"
#include "process/clause_builders.h"
#include "process/dispatchers.h"
#include "process/handle_error.h"
#include "process/run_context.h"
#include "process/run_questions.h"
#include "steps/delete_clause.h"
#include "steps/step_frame.h"
#include "value/convert.h"

#include <optional>
#include <string>

namespace varnoke {

namespace {

using Dispatcher = void (*)(RunContext&, int, int, Value&);

struct Dispatchers {
    Dispatcher equal;
    Dispatcher notEqual;
    Dispatcher ordered;
};

Dispatchers dispatchersOf(ChangedFile changed) {
    if (changed == ChangedFile::A)
        return {equalAnalyseDelA, notEqualAnalyseDelA, GreaterLessBeforeAfterDelA};
    return {equalAnalyseDelB, notEqualAnalyseDelB, GreaterLessBeforeAfterDelB};
}

void dispatchRow(RunContext& ctx, const DeleteStepSpec& spec) {
    const Dispatchers d = dispatchersOf(spec.changed);
    Dispatcher dispatcher = d.notEqual;
    if (spec.polarity == StepPolarity::Equal)
        dispatcher = isOrderedCondition(criteriaText(ctx, "condition")) ? d.ordered : d.equal;
    dispatcher(ctx, ctx.run.ifThisType, ctx.run.thisType, ctx.run.criteriaValue);
}

// The pair is done: the changed file moves first, and the end of either file ends the
// run.
void advanceParallel(RunContext& ctx, const StepFiles& files) {
    files.changed.moveNext();
    if (files.changed.eof()) return finishWalk(ctx, progressNumber(ctx.shared.totRecsDriving));
    advanceDriving(ctx, files.driving);
}

// The parallel and first-occurrence methods: the evaluator behind the dispatcher tests
// the row and deletes at most one record.
void evaluatedRow(RunContext& ctx, const DeleteStepSpec& spec, const StepFiles& files) {
    const bool parallel = spec.pairing == Pairing::Parallel;
    // Nothing left to pair the driving record with.
    if (parallel && files.changed.eof())
        return finishWalk(ctx, progressNumber(ctx.shared.totRecsDriving));
    prepareOperand(ctx, spec.changed);
    dispatchRow(ctx, spec);
    if (staysOnRecord(ctx)) return;
    if (parallel) return advanceParallel(ctx, files);
    advanceDriving(ctx, files.driving);
}

// A typed row names no File B field: it holds or fails on the driving File A record,
// compared as the File B evaluators compare a typed row: an ordering by its own kind,
// read with the File A value first.
bool drivingRecordMeetsTypedRow(RunContext& ctx, bool notEqual) {
    const std::string condition = criteriaText(ctx, "condition");
    const DeleteCondition ordering = deleteConditionOf(condition);
    EvaluatorMember member{"", FieldClass::Text,
                           fieldClassOf(ctx.run.ifThisType).value_or(FieldClass::Text),
                           notEqual ? Polarity::NotEqual : Polarity::Equal, Action::Del};
    if (!notEqual && ordering != DeleteCondition::Equal) {
        const bool numbers =
            ordering == DeleteCondition::Greater || ordering == DeleteCondition::Less;
        const FieldClass kind = numbers ? FieldClass::Val : FieldClass::Date;
        member = {"", kind, kind, Polarity::Equal, Action::Del, true};
    }
    return typedRowMet(member, reversed(orderFor(member, condition)), ctx.criteria.value("This"),
                       ctx.run.criteriaValue);
}

// The condition the row adds for the current driving record; none when it adds nothing.
// Stops the run (stopFlag) when the target field has no kind a condition fits.
std::optional<std::string> rowTerm(RunContext& ctx, const DeleteStepSpec& spec) {
    Form4RunState& run = ctx.run;
    const bool fromB = spec.changed == ChangedFile::B;
    const bool notEqual = spec.polarity == StepPolarity::NotEqual;
    if (fromB && !isFileBRow(ctx)) {
        if (drivingRecordMeetsTypedRow(ctx, notEqual)) return std::nullopt;
        return std::string(kSelectsNothing);
    }
    const std::string field =
        fromB ? std::string(fieldNameOf(criteriaText(ctx, "This"))) : criteriaText(ctx, "If_This");
    Value v = run.criteriaValue;
    const ClauseInput in{field, v, ctx.choices.option3, ctx.criteria.recordCount()};
    if (v.isNull())
        return withClause("", notEqual ? Clause::addNotIsNullClause : Clause::addIsNullClause, in);

    const std::optional<FieldClass> target = fieldClassOf(fromB ? run.thisType : run.ifThisType);
    if (!target) {
        ctx.platform.prompter.messageBox(kDataTypesNotProcessed, msgbox::OkOnly);
        ctx.shared.stopFlag = std::string(kFlagYes);
        return std::nullopt;
    }
    const bool typed = !fromB && !isFileBRow(ctx);
    const DeleteOperand operand{
        typed ? std::nullopt : fieldClassOf(fromB ? run.ifThisType : run.thisType), typed};
    // A number is no date either: the same question as the other methods ask.
    if (*target == FieldClass::Date && !isDate(v)) {
        badDate(ctx);
        return std::string(kSelectsNothing);
    }
    if (typed && *target == FieldClass::Val) v = Value::number(leadingNumber(textOf(v)));

    // The File B side reads the ordering with the File A value first, as its evaluators do.
    DeleteCondition condition = deleteConditionOf(criteriaText(ctx, "condition"));
    if (fromB) condition = mirrored(condition);
    const std::optional<Clause> clause = deleteClauseFor(*target, operand, condition, notEqual);
    if (!clause) return std::string(kSelectsNothing);
    return withClause("", *clause, {field, v, in.orChosen, in.criteriaRows});
}

// Only the terms of the current driving record's rows are joined; the option buttons
// choose the joining word.
void joinTerm(RunContext& ctx, const std::optional<std::string>& term) {
    std::string& sql = ctx.run.deleteSql;
    if (ctx.criteria.absolutePosition() <= 0) sql.clear();
    if (!term) return;
    ctx.run.deleteClause = *term;
    if (!sql.empty()) sql += ctx.choices.option3 ? " or " : " and ";
    sql += *term;
}

// "All records": no evaluator; the last row of a driving record runs one statement over
// the changed table.
void statementRow(RunContext& ctx, const DeleteStepSpec& spec, const StepFiles& files) {
    Form4RunState& run = ctx.run;
    prepareOperand(ctx, spec.changed);
    std::optional<std::string> term = std::string(kSelectsNothing);
    // The checks see this record's operand, not the previous one; on the File B side a
    // typed row's own value is looked at first, as the File B dispatchers do.
    const bool badTyped =
        spec.changed == ChangedFile::B && badTypedDateOnFileB(ctx, run.ifThisType);
    if (!badTyped && GreaterLessBeforeAfter_check(ctx, run.ifThisType, run.thisType))
        term = rowTerm(ctx, spec);
    if (isSet(ctx.shared.stopFlag)) return;
    joinTerm(ctx, term);

    const std::string conjunction = criteriaText(ctx, "conjunction");
    if (conjunction == choice::And || conjunction == choice::Or) {
        run.nextCriteriaRow = std::string(kFlagYes);
        return;
    }
    if (!run.deleteSql.empty()) {
        const std::string_view table = spec.changed == ChangedFile::A ? "Table1" : "Table2";
        run.deleteSql = "delete * from " + bracketName(table) + " where " + run.deleteSql + ";";
        ctx.shared.workDb.execute(run.deleteSql);
    }
    advanceDriving(ctx, files.driving);
}

void stepBody(RunContext& ctx, const DeleteStepSpec& spec) {
    const StepFiles files = stepFilesOf(ctx, spec.changed);
    beginStep(ctx, files.totalsArgument);
    if (nothingDrives(ctx, files.driving)) return;
    if (spec.pairing == Pairing::AllRecords) return statementRow(ctx, spec, files);
    evaluatedRow(ctx, spec, files);
}

} // namespace

void deleteStep(RunContext& ctx, const DeleteStepSpec& spec) {
    try {
        stepBody(ctx, spec);
    } catch (const RuntimeError& error) {
        // The driving file stays where the error found it.
        handleError(ctx, error);
    }
}

} // namespace varnoke
