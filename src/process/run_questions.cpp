#include "process/run_questions.h"

#include "engine/sql_name.h"
#include "process/run_context.h"
#include "process/run_messages.h"
#include "value/convert.h"

namespace varnoke {

namespace {

// Counted by the engine rather than by opening the table, which would read every rowid.
long recordsIn(Database& db, std::string_view table) {
    Recordset count =
        db.openRecordset("SELECT Count(*) FROM " + bracketName(table), RecordsetType::Snapshot);
    const long n = static_cast<long>(numberOf(count.field(0).value()));
    count.close();
    return n;
}

} // namespace

void calcTotRecs(RunContext& ctx, std::string_view theTable) {
    Database& db = ctx.shared.workDb;
    const long one = recordsIn(db, "Table1");
    const long two = recordsIn(db, "Table2");
    const bool oneDrives = theTable == "tableOne";
    ctx.shared.totRecsDriving = oneDrives ? one : two;
    ctx.shared.totRecsOther = oneDrives ? two : one;
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
