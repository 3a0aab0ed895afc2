#pragma once
// The decision table: which record step does the work for the user's action, target,
// replacement source and pairing method. The choices that fit no step are refused
// with a message and the focus on the box to correct.
#include "dialog/dialog_state.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace varnoke {

class Recordset;
struct RunContext;

// "Equal" serves "is equal to" and the four ordered conditions, "NotEqual" "is not
// equal to"; the two sides call steps of the same shape (twoEqual... / twoNotEqual...).
enum class DispatchSide { Equal, NotEqual };

enum class Refusal {
    Action, // the action is none of delete, replace, export
    Field,  // the target names neither File A nor File B
    Method, // the pairing method is none of the three
};

// The step name for the choices, or why they are refused. A replace's target and
// replacement name fields of the files they name only when those files have them.
std::variant<std::string_view, Refusal> chooseStep(const Form4Choices& choices, DispatchSide side,
                                                   const Recordset& fileA, const Recordset& fileB);

std::string_view refusalMessage(Refusal refusal, const Form4Choices& choices);
// The combo box that gets the focus after the refusal.
std::string_view refusalControl(Refusal refusal);

// Call the chosen step through the registry, or refuse: stopFlag "y", the message,
// Stop off, Process and Close Files on, the box enabled and focused.
void twoEqualDispatch(RunContext& ctx);
void twoNotEqualDispatch(RunContext& ctx);

// Every step name the table can call (50), for a start-up check of the registry.
std::vector<std::string> allStepNames();

} // namespace varnoke
