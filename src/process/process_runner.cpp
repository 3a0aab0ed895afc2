#include "process/process_runner.h"

#include "dialog/form4_model.h"
#include "process/process_command.h"
#include "process/run_context.h"

namespace varnoke {

void Form4ProcessRunner::command2Click(Form4Model& dialog) {
    dialog.takeChoices();
    const Form4Services& services = dialog.services();
    Platform platform = services.platform;
    Form4State& state = dialog.state();
    RunContext ctx{services.shared,
                   state.controls,
                   state.run,
                   platform,
                   dialog.controls().progressBar1,
                   dialog.criteria().recordset(),
                   dialog,
                   services.mainWindow,
                   services.viewers,
                   registry_};
    processCommand(ctx);
}

} // namespace varnoke
