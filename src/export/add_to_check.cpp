#include "export/add_to_check.h"

#include "export/export_texts.h"
#include "export/run_stop.h"
#include "process/run_context.h"

namespace varnoke {

void exportFileCheckAddTo(RunContext& ctx) {
    SharedState& shared = ctx.shared;
    if (!ctx.run.runStarted.empty()) return;
    if (shared.rsExportFile.recordCount() <= 0) return;

    shared.msgAnswer = ctx.platform.prompter.messageBox(
        exporttext::AddToQuestion, msgbox::YesNoCancel | msgbox::Question, exporttext::AddToTitle);
    if (shared.msgAnswer == answer::Yes) return;
    if (shared.msgAnswer == answer::No) {
        shared.workDb.execute("delete * from [Exported Data];");
        shared.rsExportFile = shared.workDb.openRecordset(
            exporttext::ExportedData, RecordsetType::Dynaset, rsoption::Inconsistent);
        return;
    }
    stopExportRun(ctx);
}

} // namespace varnoke
