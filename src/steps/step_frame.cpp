#include "steps/step_frame.h"

#include "dialog/choice_texts.h"
#include "process/run_context.h"
#include "process/run_questions.h"
#include "value/convert.h"

#include <algorithm>
#include <climits>
#include <string>

namespace varnoke {

StepFiles stepFilesOf(RunContext& ctx, ChangedFile changed) {
    if (changed == ChangedFile::A) return {ctx.shared.rsFileB, ctx.shared.rsFileA, "tableTwo"};
    return {ctx.shared.rsFileA, ctx.shared.rsFileB, "tableOne"};
}

std::string_view fieldNameOf(std::string_view reference) {
    return reference.substr(std::min(choice::FieldPrefixLength, reference.size()));
}

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

void beginStep(RunContext& ctx, std::string_view totalsArgument) {
    Form4RunState& run = ctx.run;
    if (run.runStarted.empty()) {
        calcTotRecs(ctx, totalsArgument);
        if (ctx.shared.totRecsDriving > 1) {
            ctx.progress.setMax(progressNumber(ctx.shared.totRecsDriving));
            ctx.progress.setVisible(true);
        }
    }
    run.runStarted = std::string(kFlagYes);
    ctx.shared.recordDone.clear();
    run.runFinished.clear();
}

bool nothingDrives(RunContext& ctx, Recordset& driving) {
    if (!(driving.bof() && driving.eof())) return false;
    ctx.shared.recordDone = std::string(kFlagYes);
    return true;
}

void finishWalk(RunContext& ctx, int progressValue) {
    ctx.progress.setValue(progressValue);
    ctx.shared.recordDone = std::string(kFlagYes);
}

namespace {

// The row's operand comes from the driving record, whatever the row holds when File B
// is changed.
Value operandOf(RunContext& ctx, ChangedFile changed) {
    if (changed == ChangedFile::B) return ctx.shared.rsFileA.value(criteriaText(ctx, "If_This"));
    if (isFileBRow(ctx)) return ctx.shared.rsFileB.value(fieldNameOf(criteriaText(ctx, "This")));
    return ctx.criteria.value("This");
}

} // namespace

void prepareOperand(RunContext& ctx, ChangedFile changed) {
    Form4RunState& run = ctx.run;
    run.ifThisType = ctx.shared.rsFileA.fieldType(criteriaText(ctx, "If_This"));
    run.thisType = isFileBRow(ctx)
                       ? ctx.shared.rsFileB.fieldType(fieldNameOf(criteriaText(ctx, "This")))
                       : fieldtype::Text;
    run.criteriaValue = blankAsNull(operandOf(ctx, changed));
}

bool staysOnRecord(RunContext& ctx) {
    if (stopped(ctx)) return true;
    if (isSet(ctx.run.nextCriteriaRow)) return true;
    if (criteriaText(ctx, "conjunction") == choice::Or && ctx.shared.recordDone.empty()) {
        ctx.run.nextCriteriaRow = std::string(kFlagYes);
        return true;
    }
    return false;
}

void nextRecord(RunContext& ctx) {
    ctx.progress.setValue(ctx.run.recNo);
    ++ctx.run.recNo;
    ctx.shared.recordDone.clear();
}

void advanceDriving(RunContext& ctx, Recordset& driving) {
    driving.moveNext();
    if (driving.eof()) return finishWalk(ctx, progressNumber(ctx.shared.totRecsDriving));
    nextRecord(ctx);
}

} // namespace varnoke
