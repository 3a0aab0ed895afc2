#include "process/handle_error.h"

#include "process/run_context.h"
#include "process/run_messages.h"

#include <optional>

namespace varnoke {

std::string errorMessageFor(int number, std::string_view description) {
    using namespace runtext;
    switch (number) {
    // The file errors keep the engine's reason under their own text.
    case 55:
        return withReason(FileOpen55, description);
    case 68:
        return withReason(Device68, description);
    case 70:
        return withReason(Permission70, description);
    case 75:
        return withReason(PathFile75, description);
    case 3010:
    case 3012:
    case 32755:
        return {};
    case 3027:
        return withReason(ReadOnly3027, description);
    case 3163:
        return std::string(TooSmall3163a) + std::string(TwoLineBreaks) +
               std::string(TooSmall3163b) + std::string(TooSmall3163c);
    case 3170:
        return withReason(std::string(NoIsam3170a) + std::string(TwoLineBreaks) +
                              std::string(NoIsam3170b) + std::string(TwoLineBreaks) +
                              std::string(NoIsam3170c),
                          description);
    case 3421:
        return std::string(Conversion3421);
    case 3464:
        return std::string(Mismatch3464);
    case 3616:
        return std::string(AttachedUpdate3616);
    default:
        return std::string(description);
    }
}

bool isLostWrites(const SharedState& shared, const RuntimeError& error) {
    if (!shared.workDb.isOpen()) return false;
    const std::optional<EngineError> lost = shared.workDb.lostWrites();
    return lost && lost->number() == error.number() && lost->description() == error.description();
}

int showErrorMessage(Prompter& prompter, const RuntimeError& error) {
    const std::string text = errorMessageFor(error.number(), error.description());
    if (text.empty()) return 0;
    return prompter.messageBox(text, msgbox::Information | msgbox::OkOnly, runtext::SorryTitle);
}

void handleError(const ErrorScope& scope, const RuntimeError& error) {
    SharedState& shared = scope.shared;
    DialogControls& controls = scope.controls;
    // A Stop pressed while the failing statement ran must survive the silent numbers.
    const bool stopPending = isSet(shared.stopFlag);

    controls.restoreMousePointer();
    shared.stopFlag.clear();
    controls.setEnabled("Command5", false);
    if (controls.criteriaRowCount() > 0) {
        controls.setEnabled("Command2", true);
    } else {
        for (std::string_view name : {"Command2", "Command8", "Command9", "Command10"})
            controls.setEnabled(name, false);
    }
    if (controls.hasEntries("Combo10") || controls.hasEntries("Combo1"))
        controls.setEnabled("Command3", true);

    const int number = error.number();
    if (number == 3010 || number == 3012) {
        shared.dropExportedData = std::string(kFlagYes);
    } else if (number == 32755) {
        shared.attachFailed = std::string(kFlagYes);
    } else {
        shared.msgAnswer = showErrorMessage(scope.prompter, error);
        shared.stopFlag = std::string(kFlagYes);
        // The user has been told: the engine takes writes again.
        if (isLostWrites(shared, error)) shared.workDb.forgetLostWrites();
        return;
    }
    if (stopPending) shared.stopFlag = std::string(kFlagYes);
}

void handleError(RunContext& ctx, const RuntimeError& error) {
    handleError(ErrorScope{ctx.shared, ctx.controls, ctx.platform.prompter}, error);
}

void RunErrorHandler::handleError(const RuntimeError& error) {
    varnoke::handleError(scope_, error);
}

} // namespace varnoke
