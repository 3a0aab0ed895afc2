#include "process/process_command.h"

#include "process/run_context.h"
#include "process/run_messages.h"
#include "process/step_loop.h"

namespace varnoke {

namespace {

// Like rather than Left(): the engine reads LEFT as the start of a join.
constexpr std::string_view kFileBRowFind = "[This] Like 'File B*'";

// Every control a run must keep the user's hands off (besides Process and Stop).
constexpr std::string_view kLocked[] = {
    "Option1",  "Option2",  "Option3",  "Option4",  "Command1",  "Command3", "Command4",
    "Command6", "Command7", "Command8", "Command9", "Command10", "DBGrid1",  "List1",
    "List2",    "List3",    "Combo1",   "Combo2",   "Combo3",    "Combo4",   "Combo5",
    "Combo6",   "Combo7",   "Combo8",   "Combo9",   "Combo10"};

// Whether some criteria row names a File B field. The engine's find ignores case, the
// run's test of "File B" does not, so a found row is checked again.
bool hasFileBRow(RunContext& ctx) {
    Recordset& rows = ctx.criteria;
    if (rows.recordCount() == 0) return false;
    rows.moveLast();
    rows.moveFirst();
    ctx.run.findCriteria = std::string(kFileBRowFind);
    rows.findFirst(ctx.run.findCriteria);
    while (!rows.noMatch() && !isFileBRow(ctx))
        rows.findNext(ctx.run.findCriteria);
    return !rows.noMatch();
}

void lock(RunContext& ctx) {
    ctx.mainWindow.setMenuEnabled("menuView", false);
    for (std::string_view name : kLocked)
        ctx.controls.setEnabled(name, false);
}

void unlock(RunContext& ctx) {
    const Form4Choices& c = ctx.choices;
    ctx.mainWindow.setMenuEnabled("menuView", true);
    for (std::string_view name : {"Option1", "Option2", "Option3", "Option4", "Command1"})
        ctx.controls.setEnabled(name, true);
    ctx.controls.setEnabled("Command4", c.option2);
    ctx.controls.setEnabled("Command6", c.combo3 == choice::Export);
    ctx.controls.setEnabled("Command2", true);
    ctx.controls.setEnabled("Command3", true);
    ctx.controls.setEnabled("Command5", false);
    for (std::string_view name :
         {"Command7", "Command8", "Command9", "Command10", "DBGrid1", "List1", "List2", "List3",
          "Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6"})
        ctx.controls.setEnabled(name, true);
    ctx.controls.setEnabled("Combo7", c.combo3 != choice::Export);
    ctx.controls.setEnabled("Combo8", c.combo8 != choice::NoRecordsCanBeAdded);
    ctx.controls.setEnabled("Combo9", true);
    ctx.controls.setEnabled("Combo10", true);
    ctx.progress.setVisible(false);
    ctx.shared.bulkWriteOn.clear();
}

void reopenVisibleViewers(RunContext& ctx) {
    ctx.shared.skipFormInit = std::string(kFlagYes);
    if (ctx.viewers.visible(Viewer::FileA)) ctx.mainWindow.menuViewFileA_Click();
    if (ctx.viewers.visible(Viewer::FileB)) ctx.mainWindow.menuViewFileB_Click();
    if (ctx.viewers.visible(Viewer::ExportFile)) ctx.mainWindow.menuViewExportedData_Click();
    if (ctx.viewers.visible(Viewer::ExportTable)) ctx.mainWindow.menuViewVarnokeExportTable_Click();
    ctx.shared.skipFormInit.clear();
}

void tell(RunContext& ctx, std::string_view text) {
    ctx.shared.msgAnswer = ctx.platform.prompter.messageBox(text, msgbox::OkOnly);
}

// The set-up goes on past a statement that fails, as the run itself reports what
// follows from it (a missing table fails the first step with its own message).
template <typename F> void tolerant(F&& statement) {
    try {
        statement();
    } catch (const RuntimeError&) {
    }
}

// Marks the run as going for exactly as long as processTwo runs.
class RunInProgress {
public:
    explicit RunInProgress(SharedState& shared) : shared_(shared) { shared_.runInProgress = true; }
    ~RunInProgress() { shared_.runInProgress = false; }
    RunInProgress(const RunInProgress&) = delete;
    RunInProgress& operator=(const RunInProgress&) = delete;

private:
    SharedState& shared_;
};

} // namespace

void processTwo(RunContext& ctx) {
    SharedState& shared = ctx.shared;
    Form4RunState& run = ctx.run;
    RunInProgress guard(shared);

    shared.recordDone.clear();
    run.runStarted.clear();
    run.ifThisType = kNoFieldType;
    run.thisType = kNoFieldType;
    run.actionFieldType = kNoFieldType;
    run.withFieldType = kNoFieldType;
    run.criteriaValue = Value();
    run.replaceValue = Value();
    run.recNo = 1;
    run.deleteSql.clear();
    run.findCriteria.clear();
    run.criteriaField.clear();
    run.nextCriteriaRow.clear();

    const auto dynaset = RecordsetType::Dynaset;
    tolerant([&] {
        shared.rsFileA = shared.workDb.openRecordset("Table1", dynaset, rsoption::Inconsistent);
    });
    tolerant([&] {
        shared.rsFileB = shared.workDb.openRecordset("Table2", dynaset, rsoption::Inconsistent);
    });
    if (isSet(shared.exportFileOpen)) {
        tolerant([&] {
            shared.rsExportFile =
                shared.workDb.openRecordset("Exported Data", dynaset, rsoption::Inconsistent);
        });
    }
    ctx.controls.setEnabled("Command5", true);
    ctx.controls.setEnabled("Command2", false);
    ctx.controls.setEnabled("Command3", false);
    ctx.progress.setMin(1);
    ctx.progress.setValue(1);
    shared.stopFlag.clear();
    tolerant([&] { ctx.criteria.moveFirst(); });
    tolerant([&] { shared.rsFileA.moveFirst(); });
    tolerant([&] { shared.rsFileB.moveFirst(); });

    processTwoStart(ctx);
    // A run that stopped early still owes the user its commit's outcome.
    commitRunWrites(ctx);

    tolerant([&] { shared.rsFileA.close(); });
    tolerant([&] { shared.rsFileB.close(); });
    if (isSet(shared.exportFileOpen)) tolerant([&] { shared.rsExportFile.close(); });
    if (isSet(shared.exportTableOpen)) {
        tolerant([&] { shared.rsExportTable.close(); });
        shared.exportTableOpen.clear();
    }
}

void processCommand(RunContext& ctx) {
    SharedState& shared = ctx.shared;
    const Form4Choices& c = ctx.choices;

    if (c.combo7 != choice::ParallelOneRecord && !hasFileBRow(ctx)) {
        tell(ctx, runtext::NeedFileBCriteria);
        ctx.controls.setFocus("Combo1");
        return;
    }
    if (c.combo3 == choice::Export && shared.exportFileOpen.empty()) {
        ctx.controls.openExportFile();
        return;
    }
    shared.bulkWriteOn = c.combo3 == choice::Export ? std::string(kFlagYes) : std::string();
    shared.totRecsDriving = 0;
    shared.stopFlag.clear();
    shared.addNewMode.clear();
    ctx.run.askBadDate.clear();

    lock(ctx);
    if (shared.runMode == "1") {
        if (shared.fileAName.empty()) {
            tell(ctx, runtext::OpenAFile);
            ctx.controls.openFileA();
        } else {
            processTwo(ctx);
        }
    } else if (shared.runMode == "2") {
        const bool bothOpen = !shared.fileAName.empty() && !shared.fileBName.empty();
        if (shared.fileAName.empty()) {
            tell(ctx, runtext::OpenFileA);
            ctx.controls.openFileA();
        }
        if (shared.fileBName.empty()) {
            tell(ctx, runtext::OpenFileB);
            ctx.controls.openFileB();
        }
        if (bothOpen) processTwo(ctx);
    }
    reopenVisibleViewers(ctx);
    unlock(ctx);
}

void stopCommand(SharedState& shared) {
    shared.stopFlag = std::string(kFlagYes);
}

} // namespace varnoke
