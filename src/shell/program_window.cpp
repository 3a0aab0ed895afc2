#include "shell/program_window.h"

#include "dialog/form4_form.h"
#include "evaluate/register_file_a.h"
#include "evaluate/register_file_b.h"
#include "queries/local_queries_window.h"
#include "shell/idle_commit.h"
#include "steps/delete_steps.h"
#include "steps/export_steps.h"
#include "steps/replace_steps.h"
#include "value/runtime_error.h"
#include "viewers/viewer_hub_window.h"

namespace varnoke {

void registerProcedures(Registry& registry) {
    registerReplaceSteps(registry);
    registerDeleteSteps(registry);
    registerExportSteps(registry);
    registerFileAEvaluators(registry);
    registerFileBEvaluators(registry);
}

Program::Program(Platform platform) : platform_(platform) {
    registerProcedures(registry_);
    window_ = std::make_unique<MDIForm1>(state_, platform_, hub_);
    hub_.viewers = std::make_unique<GridViewerHub>(state_, platform_.prompter, window_->mdiArea());
    hub_.compare = std::make_unique<Form4Windows>(
        Form4Services{state_, platform_, *window_, *hub_.viewers, &runner_}, window_.get(),
        window_->mdiArea());
    hub_.queries = std::make_unique<QueryWindowSet>(
        state_, platform_, *window_, static_cast<GridViewerHub&>(*hub_.viewers), window_.get());

    QObject::connect(&idleCommit_, &QTimer::timeout, [this] { commitGatheredWrites(); });
    idleCommit_.start(1000);
}

Program::~Program() {
    idleCommit_.stop();
    // The dialog and viewers refer to the main window's area; they go first.
    hub_.queries.reset();
    hub_.compare.reset();
    hub_.viewers.reset();
    window_.reset();
}

void Program::commitGatheredWrites() {
    commitIdleWrites(state_, platform_.prompter);
}

} // namespace varnoke
