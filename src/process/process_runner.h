#pragma once
// The comparison dialog's "&Process" button: a run over the dialog's choices, criteria
// rows and progress bar, with the steps and evaluators the program registered.
#include "dialog/dialog_ports.h"
#include "process/registry.h"

namespace varnoke {

class Form4ProcessRunner : public ProcessRunner {
public:
    explicit Form4ProcessRunner(const Registry& registry) : registry_(registry) {}
    void command2Click(Form4Model& dialog) override;

private:
    const Registry& registry_;
};

} // namespace varnoke
