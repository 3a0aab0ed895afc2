#include "process/run_questions.h"

#include "process/run_context.h"
#include "process/run_messages.h"

namespace varnoke {

void calcTotRecs(RunContext& ctx, std::string_view theTable) {
    Recordset one = ctx.shared.workDb.openRecordset("Table1");
    Recordset two = ctx.shared.workDb.openRecordset("Table2");
    ctx.shared.totRecsDriving = 0;
    ctx.shared.totRecsOther = 0;
    const bool oneDrives = theTable == "tableOne";
    ctx.shared.totRecsDriving = (oneDrives ? one : two).recordCount();
    ctx.shared.totRecsOther = (oneDrives ? two : one).recordCount();
    one.close();
    two.close();
}

namespace {

void ask(RunContext& ctx, std::string_view text) {
    if (ctx.run.askBadDate == kFlagYes) return;
    const int style = msgbox::AbortRetryIgnore | msgbox::Question | msgbox::DefaultButton2;
    const int answer = ctx.platform.prompter.messageBox(text, style, runtext::ChoiceTitle);
    ctx.shared.msgAnswer = answer;
    if (answer == answer::Abort) {
        ctx.shared.stopFlag = std::string(kFlagYes);
        ctx.progress.setVisible(false);
    } else if (answer == answer::Retry) {
        ctx.run.askBadDate = std::string(kFlagNo);
    } else if (answer == answer::Ignore) {
        ctx.run.askBadDate = std::string(kFlagYes);
    }
}

} // namespace

void badDate(RunContext& ctx) {
    ask(ctx, runtext::BadDate);
}

void getOuttaThere(RunContext& ctx) {
    ask(ctx, runtext::CannotCompare);
}

} // namespace varnoke
