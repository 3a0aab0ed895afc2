#pragma once
// What the comparison dialog calls in the Process run: the database error handler and
// the Process command. The dialog is given one of each; tests give doubles. (The main
// window's menus, viewers and info notes it reaches through the shell's interfaces.)
#include "value/runtime_error.h"

namespace varnoke {

class Form4Model;

// Reports a database or file error the way the whole program does. A cancelled file
// dialog (32755) is silent and sets attachFailed to "y"; every other error shows its
// message and sets stopFlag.
class ErrorHandler {
public:
    virtual ~ErrorHandler() = default;
    virtual void handleError(const RuntimeError& error) = 0;
};

// The "&Process" button: checks the choices, locks the dialog, runs and unlocks it.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    virtual void command2Click(Form4Model& dialog) = 0;
};

} // namespace varnoke
