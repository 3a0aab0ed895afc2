#include "steps/replace_steps.h"

#include "process/dispatchers.h"
#include "process/handle_error.h"
#include "process/replace_writers.h"
#include "process/run_context.h"
#include "process/run_questions.h"
#include "value/convert.h"

#include <algorithm>
#include <climits>

namespace varnoke {

namespace {

using Dispatcher = void (*)(RunContext&, int, int, Value&, Value&);

// What the changed file decides: which recordset is walked, how the totals are asked
// for, and which family of dispatchers tests the row.
struct Sides {
    Recordset& driving;
    Recordset& changed;
    std::string_view totalsArgument; // calcTotRecs: the driving file's table
    Dispatcher equal;
    Dispatcher notEqual;
    Dispatcher ordered;
    Dispatcher add;
};

Sides sidesOf(RunContext& ctx, ChangedFile changed) {
    if (changed == ChangedFile::A)
        return {ctx.shared.rsFileB,  ctx.shared.rsFileA,         "tableTwo",   equalAnalyseRepA,
                notEqualAnalyseRepA, GreaterLessBeforeAfterRepA, noCompareAddA};
    return {ctx.shared.rsFileA,  ctx.shared.rsFileB,         "tableOne",   equalAnalyseRepB,
            notEqualAnalyseRepB, GreaterLessBeforeAfterRepB, noCompareAddB};
}

std::string_view fieldNameOf(std::string_view reference) {
    return reference.substr(std::min(choice::FieldPrefixLength, reference.size()));
}

// A blank operand or replacement travels as Null; a 0 is a value and stays.
Value blankAsNull(Value v) {
    return isBlank(v) ? Value::null() : v;
}

int progressNumber(long count) {
    return static_cast<int>(std::clamp<long>(count, INT_MIN, INT_MAX));
}

bool isOrderedCondition(std::string_view condition) {
    return condition == choice::IsGreaterThan || condition == choice::IsLessThan ||
           condition == choice::IsBefore || condition == choice::IsAfter;
}

bool stopped(const RunContext& ctx) {
    return isSet(ctx.shared.stopFlag) || isSet(ctx.run.runFinished);
}

// The value of the "with" field in the current record of the file Combo5 names.
Value withFieldValue(RunContext& ctx) {
    const std::string& source = ctx.choices.combo5;
    Recordset& rs = source.starts_with("File A") ? ctx.shared.rsFileA : ctx.shared.rsFileB;
    return rs.value(fieldNameOf(source));
}

Value replacementOf(RunContext& ctx, ReplaceSource source) {
    switch (source) {
    case ReplaceSource::Field:
        return blankAsNull(withFieldValue(ctx));
    case ReplaceSource::Blank:
        break;
    case ReplaceSource::WhatEver:
        return blankAsNull(Value::text(ctx.choices.combo5));
    }
    return Value::null();
}

// The row's operand comes from the driving record: the File B field a row names (or
// the row's own typed value) when File A is changed, File A's If_This field when
// File B is changed, whatever the row holds.
Value operandOf(RunContext& ctx, ChangedFile changed) {
    if (changed == ChangedFile::B) return ctx.shared.rsFileA.value(criteriaText(ctx, "If_This"));
    if (isFileBRow(ctx)) return ctx.shared.rsFileB.value(fieldNameOf(criteriaText(ctx, "This")));
    return ctx.criteria.value("This");
}

void prepareRow(RunContext& ctx, const ReplaceStepSpec& spec) {
    Form4RunState& run = ctx.run;
    run.ifThisType = ctx.shared.rsFileA.field(criteriaText(ctx, "If_This")).type();
    run.thisType = isFileBRow(ctx)
                       ? ctx.shared.rsFileB.field(fieldNameOf(criteriaText(ctx, "This"))).type()
                       : fieldtype::Text;
    run.criteriaValue = blankAsNull(operandOf(ctx, spec.changed));
    run.replaceValue = replacementOf(ctx, spec.source);
}

void dispatchRow(RunContext& ctx, const ReplaceStepSpec& spec, const Sides& sides) {
    Form4RunState& run = ctx.run;
    Dispatcher dispatcher = spec.polarity == StepPolarity::Equal ? sides.equal : sides.notEqual;
    if (isOrderedCondition(criteriaText(ctx, "condition"))) dispatcher = sides.ordered;
    dispatcher(ctx, run.ifThisType, run.thisType, run.criteriaValue, run.replaceValue);
}

// Appends one record to the changed file for every driving record from position
// totRecsOther on. False when a Stop or the end of the run broke it off.
bool addTail(RunContext& ctx, const ReplaceStepSpec& spec, const Sides& sides) {
    Form4RunState& run = ctx.run;
    ctx.shared.addNewMode = std::string(kFlagNo);
    sides.driving.moveFirst();
    sides.driving.move(ctx.shared.totRecsOther);
    while (!sides.driving.eof()) {
        ctx.platform.events.yieldToEvents();
        // Each new record takes the "with" field of its own driving record, as it is.
        if (spec.source == ReplaceSource::Field) run.replaceValue = withFieldValue(ctx);
        sides.add(ctx, run.ifThisType, run.thisType, run.criteriaValue, run.replaceValue);
        if (stopped(ctx)) return false;
        ctx.progress.setValue(progressNumber(sides.driving.absolutePosition() + 1));
        sides.driving.moveNext();
    }
    return true;
}

// The driving file is used up as a source of keys. The parallel method reaches this
// only when the driving file is the longer one, so it does not compare the counts.
void endOfWalk(RunContext& ctx, const ReplaceStepSpec& spec, const Sides& sides) {
    SharedState& shared = ctx.shared;
    if (!ctx.choices.addingAllowed()) {
        ctx.progress.setValue(progressNumber(shared.totRecsDriving));
    } else if (spec.pairing == Pairing::Parallel || shared.totRecsDriving > shared.totRecsOther) {
        if (!addTail(ctx, spec, sides)) return;
    } else {
        ctx.progress.setValue(ctx.progress.max());
    }
    shared.recordDone = std::string(kFlagYes);
}

void nextRecord(RunContext& ctx) {
    ctx.progress.setValue(ctx.run.recNo);
    ++ctx.run.recNo;
    ctx.shared.recordDone.clear();
}

// The pair is done: both files move on together, the changed one first.
void advanceParallel(RunContext& ctx, const Sides& sides) {
    sides.changed.moveNext();
    sides.driving.moveNext();
    if (!sides.driving.eof()) return nextRecord(ctx);
    ctx.progress.setValue(ctx.progress.max());
    ctx.shared.recordDone = std::string(kFlagYes);
}

// Driving records from position totRecsOther on are never keys.
void advanceNonParallel(RunContext& ctx, const ReplaceStepSpec& spec, const Sides& sides) {
    sides.driving.moveNext();
    if (!sides.driving.eof() && sides.driving.absolutePosition() < ctx.shared.totRecsOther)
        return nextRecord(ctx);
    endOfWalk(ctx, spec, sides);
}

void stepBody(RunContext& ctx, const ReplaceStepSpec& spec) {
    SharedState& shared = ctx.shared;
    Form4RunState& run = ctx.run;
    const Sides sides = sidesOf(ctx, spec.changed);

    if (run.runStarted.empty()) {
        calcTotRecs(ctx, sides.totalsArgument);
        if (shared.totRecsDriving > 1) {
            ctx.progress.setMax(progressNumber(shared.totRecsDriving));
            ctx.progress.setVisible(true);
        }
    }
    run.runStarted = std::string(kFlagYes);
    getActionFieldTypes(ctx);
    shared.recordDone.clear();
    run.runFinished.clear();

    // Nothing drives the run: it is over before any record is read.
    if (sides.driving.bof() && sides.driving.eof()) {
        shared.recordDone = std::string(kFlagYes);
        return;
    }

    prepareRow(ctx, spec);
    const bool parallel = spec.pairing == Pairing::Parallel;
    if (parallel && sides.driving.absolutePosition() >= shared.totRecsOther)
        return endOfWalk(ctx, spec, sides);

    dispatchRow(ctx, spec, sides);
    if (stopped(ctx)) return;
    if (isSet(run.nextCriteriaRow)) return; // an "and" row held: same record, next row
    if (criteriaText(ctx, "conjunction") == choice::Or && shared.recordDone.empty()) {
        run.nextCriteriaRow = std::string(kFlagYes);
        return;
    }
    if (parallel) return advanceParallel(ctx, sides);
    advanceNonParallel(ctx, spec, sides);
}

} // namespace

void replaceStep(RunContext& ctx, const ReplaceStepSpec& spec) {
    try {
        stepBody(ctx, spec);
    } catch (const RuntimeError& error) {
        // Nothing is undone and the driving file stays where the error found it.
        handleError(ctx, error);
    }
}

} // namespace varnoke
