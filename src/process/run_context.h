#pragma once
// Everything one Process run works on, passed explicitly to every step, dispatcher,
// evaluator, builder and writer: the shared module state, the dialog's choices and run
// values, the platform, the progress bar, the criteria rows, the windows it touches and
// the procedures by name. It owns nothing; the shell and the dialog do.
#include "dialog/dialog_state.h"
#include "engine/recordset.h"
#include "platform/platform.h"
#include "platform/progress.h"
#include "process/dialog_controls.h"
#include "process/registry.h"
#include "shell/main_window_api.h"
#include "shell/shared_state.h"
#include "shell/window_hub.h"

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnoke {

// The criteria row's texts read so far, with the row they were read from: a run asks
// for the same few texts many times per record.
struct CriteriaTexts {
    std::optional<Recordset::RowStamp> row;
    // Column as asked, its text; a deque, so a text handed out stays where it is while
    // others are added.
    std::deque<std::pair<std::string, std::string>> texts;
    std::string offRow; // the text read off a readable record
};

struct RunContext {
    SharedState& shared;       // workDb, rsFileA, rsFileB, stopFlag, recordDone, addNewMode...
    Form4Choices& choices;     // Combo3 action, Combo4 target, Combo5 source, Combo7 method...
    Form4RunState& run;        // criteriaValue, replaceValue, findCriteria, recNo...
    Platform& platform;        // prompter, event pump...
    Progress& progress;        // ProgressBar1
    Recordset& criteria;       // SSysCriteria (Data1); its current row is the row under test
    DialogControls& controls;  // Form4's buttons, focus and file commands
    MainWindowApi& mainWindow; // View menu and its handlers
    ViewerWindows& viewers;    // Form8..Form11
    const Registry& registry;  // steps and evaluators by name
    mutable CriteriaTexts criteriaTexts{};
};

// The current criteria row's columns, as texts ("" for Null).
const std::string& criteriaText(const RunContext& ctx, std::string_view column);
// The row's operand is a File B field: This is "File B." and a field of File B.
bool isFileBRow(const RunContext& ctx);

} // namespace varnoke
