#include "steps/replace_steps.h"

#include "process/dispatchers.h"
#include "process/field_reference.h"
#include "process/handle_error.h"
#include "process/replace_writers.h"
#include "process/run_context.h"
#include "steps/step_frame.h"
#include "value/convert.h"

namespace varnoke {

namespace {

using Dispatcher = void (*)(RunContext&, int, int, Value&, Value&);

// What the changed file decides: which recordset is walked, how the totals are asked
// for, and which family of dispatchers tests the row.
struct Sides {
    StepFiles files;
    Dispatcher equal;
    Dispatcher notEqual;
    Dispatcher ordered;
    Dispatcher add;
};

Sides sidesOf(RunContext& ctx, ChangedFile changed) {
    if (changed == ChangedFile::A)
        return {stepFilesOf(ctx, changed), equalAnalyseRepA, notEqualAnalyseRepA,
                GreaterLessBeforeAfterRepA, noCompareAddA};
    return {stepFilesOf(ctx, changed), equalAnalyseRepB, notEqualAnalyseRepB,
            GreaterLessBeforeAfterRepB, noCompareAddB};
}

// The value of the "with" field for the driving record in hand. The writers read a field
// of the changed file from the record they change; here it is read only while that file
// stands on a record, as it has none when it is empty or the walk has passed its end.
Value withFieldValue(RunContext& ctx, ChangedFile changed) {
    const std::optional<FieldReference> with = fieldReference(ctx, ctx.choices.combo5);
    if (!with) return Value::null();
    Recordset& rs = recordsetOf(ctx, with->file);
    const bool ofChangedFile = (with->file == FileSide::A) == (changed == ChangedFile::A);
    if (ofChangedFile && (rs.eof() || rs.bof())) return Value::null();
    return rs.value(with->name);
}

Value replacementOf(RunContext& ctx, const ReplaceStepSpec& spec) {
    switch (spec.source) {
    case ReplaceSource::Field:
        return blankAsNull(withFieldValue(ctx, spec.changed));
    case ReplaceSource::Blank:
        break;
    case ReplaceSource::WhatEver:
        return blankAsNull(Value::text(ctx.choices.combo5));
    }
    return Value::null();
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
    Recordset& driving = sides.files.driving;
    ctx.shared.addNewMode = std::string(kFlagNo);
    driving.moveFirst();
    driving.move(ctx.shared.totRecsOther);
    while (!driving.eof()) {
        ctx.platform.events.yieldToEvents();
        // Each new record takes the "with" field of its own driving record, as it is.
        if (spec.source == ReplaceSource::Field)
            run.replaceValue = withFieldValue(ctx, spec.changed);
        sides.add(ctx, run.ifThisType, run.thisType, run.criteriaValue, run.replaceValue);
        if (stopped(ctx)) return false;
        ctx.progress.setValue(progressNumber(driving.absolutePosition() + 1));
        driving.moveNext();
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

// The pair is done: both files move on together, the changed one first.
void advanceParallel(RunContext& ctx, const Sides& sides) {
    sides.files.changed.moveNext();
    sides.files.driving.moveNext();
    if (!sides.files.driving.eof()) return nextRecord(ctx);
    finishWalk(ctx, ctx.progress.max());
}

// Driving records from position totRecsOther on are never keys.
void advanceNonParallel(RunContext& ctx, const ReplaceStepSpec& spec, const Sides& sides) {
    Recordset& driving = sides.files.driving;
    driving.moveNext();
    if (!driving.eof() && driving.absolutePosition() < ctx.shared.totRecsOther)
        return nextRecord(ctx);
    endOfWalk(ctx, spec, sides);
}

void stepBody(RunContext& ctx, const ReplaceStepSpec& spec) {
    const Sides sides = sidesOf(ctx, spec.changed);
    Recordset& driving = sides.files.driving;

    beginStep(ctx, sides.files.totalsArgument);
    getActionFieldTypes(ctx);

    if (nothingDrives(ctx, driving)) return;

    prepareOperand(ctx, spec.changed);
    ctx.run.replaceValue = replacementOf(ctx, spec);
    const bool parallel = spec.pairing == Pairing::Parallel;
    if (parallel && driving.absolutePosition() >= ctx.shared.totRecsOther)
        return endOfWalk(ctx, spec, sides);

    dispatchRow(ctx, spec, sides);
    if (staysOnRecord(ctx)) return;
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
