#include "export/run_stop.h"

#include "process/run_context.h"

namespace varnoke {

void stopExportRun(RunContext& ctx) {
    ctx.shared.stopFlag = std::string(kFlagYes);
    ctx.controls.setEnabled("Command5", false);
    ctx.controls.setEnabled("Command2", true);
    ctx.controls.setEnabled("Command3", true);
}

} // namespace varnoke
