#include "process/type_fallback.h"

#include "process/handle_error.h"
#include "process/run_context.h"
#include "process/run_messages.h"
#include "value/convert.h"

#include <functional>

namespace varnoke {

namespace {

bool caseElseRep(RunContext& ctx, Recordset& rs, const Value& compareThat, std::int32_t recNo) {
    const std::string target =
        ctx.choices.combo4.substr(std::min(choice::FieldPrefixLength, ctx.choices.combo4.size()));
    // Reset before anything can fail, so a stage left by an earlier call never decides.
    ctx.run.conversionStage = "1";
    try {
        if (!ctx.shared.addNewMode.empty())
            rs.addNew();
        else
            rs.edit();
    } catch (const RuntimeError& error) {
        handleError(ctx, error);
        return false;
    }

    const std::function<Value()> forms[] = {
        [&] { return compareThat; },
        [&] { return Value::number(leadingNumber(textOf(compareThat))); },
        [&] { return Value::date(dateOf(compareThat)); },
    };
    const char* const stages[] = {"1", "2", "4"};
    for (std::size_t i = 0; i < std::size(forms); ++i) {
        ctx.run.conversionStage = stages[i];
        try {
            rs.setValue(target, forms[i]());
        } catch (const RuntimeError&) {
            continue;
        }
        try {
            rs.update();
            return true;
        } catch (const RuntimeError& error) {
            rs.cancelUpdate();
            handleError(ctx, error);
            return false;
        }
    }

    rs.cancelUpdate();
    const int answer = ctx.platform.prompter.messageBox(
        fallbackQuestion(recNo), msgbox::OkCancel | msgbox::Question, runtext::SorryTitle);
    ctx.shared.msgAnswer = answer;
    if (answer != answer::Ok) {
        ctx.shared.stopFlag = std::string(kFlagYes);
        ctx.progress.setVisible(false);
    }
    return false;
}

} // namespace

std::string fallbackQuestion(std::int32_t recNo) {
    return std::string(runtext::FallbackQuestionHead) + signedNumberText(recNo) +
           std::string(runtext::FallbackQuestionTail);
}

bool caseElseRepA(RunContext& ctx, const Value& compareThat, std::int32_t recNo) {
    return caseElseRep(ctx, ctx.shared.rsFileA, compareThat, recNo);
}

bool caseElseRepB(RunContext& ctx, const Value& compareThat, std::int32_t recNo) {
    return caseElseRep(ctx, ctx.shared.rsFileB, compareThat, recNo);
}

} // namespace varnoke
