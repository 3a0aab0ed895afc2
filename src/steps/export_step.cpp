#include "steps/export_steps.h"

#include "dialog/choice_texts.h"
#include "export/add_to_check.h"
#include "export/export_table.h"
#include "export/export_texts.h"
#include "export/export_writer.h"
#include "process/dispatchers.h"
#include "process/handle_error.h"
#include "process/registry.h"
#include "process/run_context.h"
#include "steps/step_frame.h"

#include <array>
#include <string>

namespace varnoke {

namespace {

constexpr std::array<ExportStepSpec, 2> kExportSteps = {{
    {"twoEqualExport", StepPolarity::Equal},
    {"twoNotEqualExport", StepPolarity::NotEqual},
}};

// The run's questions, asked before anything is counted; false when one stopped it.
bool askExportQuestions(RunContext& ctx) {
    const Form4Choices& c = ctx.choices;
    if (c.combo9Visible && c.combo9 == choice::SelectFields) {
        checkForDupes(ctx);
        if (isSet(ctx.shared.stopFlag)) return false;
        // Records go to the program's export table; the export file is left as it is.
        if (ctx.shared.dupFieldChoice == exporttext::ToExportTable) return true;
    }
    exportFileCheckAddTo(ctx);
    return !isSet(ctx.shared.stopFlag);
}

// With no File A record at all, adding records lets File B's records count for the bar.
void countFileBWhenFileAIsEmpty(RunContext& ctx) {
    SharedState& shared = ctx.shared;
    if (shared.totRecsDriving != 0 || shared.totRecsOther <= 0 || !ctx.choices.addingAllowed())
        return;
    shared.totRecsDriving = shared.totRecsOther;
    if (shared.totRecsDriving > 1) {
        ctx.progress.setMax(progressNumber(shared.totRecsDriving));
        ctx.progress.setVisible(true);
    }
}

// One file has run out: the other's remaining records are exported untested when adding
// is allowed and the export choice takes something from that file; otherwise the run
// ends.
void exportRest(RunContext& ctx, Recordset& longer, std::string_view wholeRecordChoice) {
    const Form4Choices& c = ctx.choices;
    const bool exportsFromLonger =
        c.combo9 == wholeRecordChoice || c.combo9 == choice::SelectFields;
    if (!(c.addingAllowed() && c.combo9Visible && exportsFromLonger))
        return finishWalk(ctx, progressNumber(ctx.shared.totRecsDriving));

    ctx.shared.addNewMode = std::string(kFlagNo);
    for (; !longer.eof(); longer.moveNext()) {
        ctx.platform.events.yieldToEvents();
        // The record in hand is written before a Stop pressed during the yield is seen,
        // as the replace tail writes its record in hand.
        exportIt(ctx);
        if (stopped(ctx)) return;
        ctx.progress.setValue(progressNumber(longer.absolutePosition() + 1));
    }
    ctx.shared.recordDone = std::string(kFlagYes);
}

void dispatchRow(RunContext& ctx, const ExportStepSpec& spec) {
    Form4RunState& run = ctx.run;
    if (spec.polarity == StepPolarity::NotEqual)
        return notEqualAnalyseDelA(ctx, run.ifThisType, run.thisType, run.criteriaValue);
    if (isOrderedCondition(criteriaText(ctx, "condition")))
        return GreaterLessBeforeAfterDelA(ctx, run.ifThisType, run.thisType, run.criteriaValue);
    equalAnalyseDelA(ctx, run.ifThisType, run.thisType, run.criteriaValue);
}

// Both files move on together; the run ends with File A.
void advancePair(RunContext& ctx) {
    ctx.shared.rsFileB.moveNext();
    ctx.shared.rsFileA.moveNext();
    nextRecord(ctx);
    if (ctx.shared.rsFileA.eof()) ctx.shared.recordDone = std::string(kFlagYes);
}

void stepBody(RunContext& ctx, const ExportStepSpec& spec) {
    SharedState& shared = ctx.shared;
    const bool firstCall = ctx.run.runStarted.empty();
    if (firstCall && !askExportQuestions(ctx)) return;
    beginStep(ctx, "tableOne");
    if (firstCall) countFileBWhenFileAIsEmpty(ctx);

    if (shared.rsFileA.eof()) return exportRest(ctx, shared.rsFileB, choice::EntireRecordFromFileB);
    if (shared.rsFileB.eof()) return exportRest(ctx, shared.rsFileA, choice::EntireRecordFromFileA);

    prepareOperand(ctx, ChangedFile::A);
    if (isOrderedCondition(criteriaText(ctx, "condition"))) {
        // The check sees this pair's operand, not the previous one.
        GreaterLessBeforeAfter_check(ctx, ctx.run.ifThisType, ctx.run.thisType);
        if (stopped(ctx)) return;
    }
    dispatchRow(ctx, spec);
    if (staysOnRecord(ctx)) return;
    advancePair(ctx);
}

} // namespace

std::span<const ExportStepSpec> exportSteps() {
    return kExportSteps;
}

void exportStep(RunContext& ctx, const ExportStepSpec& spec) {
    try {
        stepBody(ctx, spec);
    } catch (const RuntimeError& error) {
        handleError(ctx, error);
    }
}

void registerExportSteps(Registry& registry) {
    for (const ExportStepSpec& spec : kExportSteps)
        registry.addStep(std::string(spec.name),
                         [&spec](RunContext& ctx) { exportStep(ctx, spec); });
    registerExportWriter(registry);
}

} // namespace varnoke
