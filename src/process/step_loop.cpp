#include "process/step_loop.h"

#include "process/decision_table.h"
#include "process/handle_error.h"
#include "process/run_context.h"
#include "process/run_messages.h"

#include <algorithm>

namespace varnoke {

namespace {

// The export file is given up after an error in the first step: its recordset closed,
// its viewer (equal side only) unloaded, and it counts as not attached from now on.
void giveUpExportFile(RunContext& ctx, DispatchSide side) {
    if (!isSet(ctx.shared.exportFileOpen)) return;
    ctx.shared.rsExportFile.close();
    if (side == DispatchSide::Equal && ctx.viewers.visible(Viewer::ExportFile))
        ctx.viewers.close(Viewer::ExportFile);
    ctx.shared.exportFileOpen.clear();
}

void wrapped(RunContext& ctx, DispatchSide side) {
    auto dispatch = side == DispatchSide::Equal ? twoEqualDispatch : twoNotEqualDispatch;
    // One retry: when the same table is in the way again, dropping it did not help.
    for (int attempt = 0;; ++attempt) {
        try {
            dispatch(ctx);
            return;
        } catch (const RuntimeError& error) {
            handleError(ctx, error);
            giveUpExportFile(ctx, side);
            if (!isSet(ctx.shared.dropExportedData)) return;
            ctx.shared.dropExportedData.clear();
            if (attempt > 0) {
                ctx.shared.msgAnswer = ctx.platform.prompter.messageBox(
                    error.description(), msgbox::Information | msgbox::OkOnly, runtext::SorryTitle);
                ctx.shared.stopFlag = std::string(kFlagYes);
                return;
            }
            try {
                ctx.shared.workDb.execute("DROP TABLE [Exported Data];");
            } catch (const RuntimeError& dropError) {
                handleError(ctx, dropError);
                return;
            }
            if (isSet(ctx.shared.stopFlag)) return; // a Stop pressed meanwhile wins
            ctx.controls.setEnabled("Command5", true);
            ctx.controls.setEnabled("Command2", false);
            ctx.controls.setEnabled("Command3", false);
        }
    }
}

bool isEqualSide(std::string_view condition) {
    return std::find(choice::Conditions.begin(), choice::Conditions.end(), condition) !=
               choice::Conditions.end() &&
           condition != choice::IsNotEqualTo;
}

// Puts the criteria recordset on the row this pass is about.
void chooseRow(RunContext& ctx) {
    if (ctx.run.nextCriteriaRow.empty()) {
        ctx.run.findCriteria.clear();
        if (ctx.criteria.absolutePosition() > 0 && ctx.criteria.recordCount() > 1)
            ctx.criteria.moveFirst();
    } else {
        ctx.run.nextCriteriaRow.clear();
        if (!ctx.criteria.eof()) ctx.criteria.moveNext();
    }
}

// One pass; false when the row's condition refuses the run.
bool pass(RunContext& ctx) {
    chooseRow(ctx);
    const std::string condition = criteriaText(ctx, "condition");
    const bool first = ctx.run.runStarted.empty();
    if (condition == choice::IsNotEqualTo) {
        first ? twoNotEqual(ctx) : twoNotEqualDispatch(ctx);
    } else if (isEqualSide(condition)) {
        first ? twoEqual(ctx) : twoEqualDispatch(ctx);
    } else {
        ctx.shared.stopFlag = std::string(kFlagYes);
        ctx.shared.msgAnswer =
            ctx.platform.prompter.messageBox(runtext::ChooseCondition, msgbox::OkOnly);
        ctx.controls.setEnabled("Combo2", true);
        ctx.controls.setFocus("Combo2");
        return false;
    }
    return true;
}

} // namespace

void twoEqual(RunContext& ctx) {
    wrapped(ctx, DispatchSide::Equal);
}

void twoNotEqual(RunContext& ctx) {
    wrapped(ctx, DispatchSide::NotEqual);
}

void refreshViewers(RunContext& ctx) {
    ctx.shared.skipFormInit = std::string(kFlagYes);
    for (Viewer viewer : {Viewer::FileA, Viewer::FileB, Viewer::ExportFile, Viewer::ExportTable})
        if (ctx.viewers.visible(viewer)) ctx.viewers.refresh(viewer);
    ctx.shared.skipFormInit.clear();
}

bool commitRunWrites(RunContext& ctx) {
    try {
        ctx.shared.workDb.flush();
        return true;
    } catch (const RuntimeError& error) {
        handleError(ctx, error);
        return false;
    }
}

void processTwoStart(RunContext& ctx) {
    ctx.run.runFinished.clear();
    while (ctx.shared.stopFlag.empty() && ctx.shared.recordDone.empty()) {
        ctx.platform.events.yieldToEvents();
        // A Stop pressed during the yield ends the run before another record is touched.
        if (!ctx.shared.stopFlag.empty()) break;
        try {
            if (!pass(ctx)) return;
        } catch (const RuntimeError& error) {
            // A step that lets an error through is reported, never dropped in silence.
            handleError(ctx, error);
            if (ctx.shared.stopFlag.empty()) ctx.shared.stopFlag = std::string(kFlagYes);
        }
    }
    if (!ctx.shared.stopFlag.empty() || !commitRunWrites(ctx)) return;

    ctx.shared.stopFlag = std::string(kFlagYes);
    ctx.run.runFinished = std::string(kFlagYes);
    refreshViewers(ctx);
    ctx.shared.msgAnswer =
        ctx.platform.prompter.messageBox(runtext::ProcessingComplete, msgbox::OkOnly);
    ctx.controls.setEnabled("Command5", false);
    ctx.progress.setVisible(false);
    ctx.controls.setEnabled("Command2", true);
    ctx.controls.setEnabled("Command3", true);
}

} // namespace varnoke
