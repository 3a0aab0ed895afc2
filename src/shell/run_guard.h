#pragma once
// Commands that would take a run's tables or recordsets away (Exit, the table commands,
// closing the comparison dialog) ask here first.
#include "platform/prompter.h"
#include "shell/shared_state.h"

#include <string_view>

namespace varnoke {

inline constexpr std::string_view kRunBusyMessage =
    "Varnoke is processing the files.  Press Stop and wait for the run to end first.";
// A link cannot be stopped: the user can only let it finish.
inline constexpr std::string_view kLinkBusyMessage =
    "Varnoke is reading the file you opened into its working database.  Please wait until it "
    "has finished, then try again.";
inline constexpr std::string_view kRunBusyTitle = "Varnoke - Sorry...";

// True, after telling the user, while a Process run or a file's link is going.
bool refusedDuringRun(const SharedState& state, Prompter& prompter);

} // namespace varnoke
