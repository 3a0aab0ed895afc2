#include "process/decision_table.h"

#include "process/field_reference.h"
#include "process/run_context.h"
#include "process/run_messages.h"

#include <array>

namespace varnoke {

namespace {

// The replacement source of a replace.
enum class Source { None, Field, Blank, WhatEver };

struct StepRow {
    DispatchSide side;
    std::string_view action;
    std::string_view changed; // "File A" / "File B"; empty for export
    Source source;
    std::string_view method; // empty for export
    std::string_view step;
};

using enum DispatchSide;
constexpr std::string_view kDel = choice::Delete;
constexpr std::string_view kRep = choice::Replace;
constexpr std::string_view kExp = choice::Export;
constexpr std::string_view kA = "File A";
constexpr std::string_view kB = "File B";
constexpr std::string_view kOne = choice::ParallelOneRecord;
constexpr std::string_view kFirst = choice::NonParallelFirstOccurrence;
constexpr std::string_view kAll = choice::NonParallelAllRecords;
constexpr Source kNo = Source::None;
constexpr Source kField = Source::Field;
constexpr Source kBlank = Source::Blank;
constexpr Source kWhat = Source::WhatEver;

constexpr std::array<StepRow, 50> kSteps = {{
    {Equal, kDel, kA, kNo, kOne, "twoEqualDelOneFromA"},
    {Equal, kDel, kA, kNo, kFirst, "twoEqualDelFirstFromA"},
    {Equal, kDel, kA, kNo, kAll, "twoEqualDelAllFromA"},
    {Equal, kDel, kB, kNo, kOne, "twoEqualDelOneFromB"},
    {Equal, kDel, kB, kNo, kFirst, "twoEqualDelFirstFromB"},
    {Equal, kDel, kB, kNo, kAll, "twoEqualDelAllFromB"},
    {Equal, kRep, kA, kField, kOne, "twoEqualRepOneFromAWithB"},
    {Equal, kRep, kA, kField, kFirst, "twoEqualRepFirstFromAWithB"},
    {Equal, kRep, kA, kField, kAll, "twoEqualRepAllFromAWithB"},
    {Equal, kRep, kA, kBlank, kOne, "twoEqualRepOneFromAWithBlank"},
    {Equal, kRep, kA, kBlank, kFirst, "twoEqualRepFirstFromAWithBlank"},
    {Equal, kRep, kA, kBlank, kAll, "twoEqualRepAllFromAWithBlank"},
    {Equal, kRep, kA, kWhat, kOne, "twoEqualRepOneFromAWithWhatEver"},
    {Equal, kRep, kA, kWhat, kFirst, "twoEqualRepFirstFromAWithWhatEver"},
    {Equal, kRep, kA, kWhat, kAll, "twoEqualRepAllFromAWithWhatEver"},
    {Equal, kRep, kB, kField, kOne, "twoEqualRepOneFromBWithA"},
    {Equal, kRep, kB, kField, kFirst, "twoEqualRepfirstFromBWithA"},
    {Equal, kRep, kB, kField, kAll, "twoEqualRepAllFromBWithA"},
    {Equal, kRep, kB, kBlank, kOne, "twoEqualRepOneFromBWithBlank"},
    {Equal, kRep, kB, kBlank, kFirst, "twoEqualRepFirstFromBWithBlank"},
    {Equal, kRep, kB, kBlank, kAll, "twoEqualRepAllFromBWithBlank"},
    {Equal, kRep, kB, kWhat, kOne, "twoEqualRepOneFromBWithWhatEver"},
    {Equal, kRep, kB, kWhat, kFirst, "twoEqualRepFirstFromBWithWhatEver"},
    {Equal, kRep, kB, kWhat, kAll, "twoEqualRepAllFromBWithWhatEver"},
    {Equal, kExp, {}, kNo, {}, "twoEqualExport"},
    {NotEqual, kDel, kA, kNo, kOne, "twoNotEqualDelOneFromA"},
    {NotEqual, kDel, kA, kNo, kFirst, "twoNotEqualDelFirstFromA"},
    {NotEqual, kDel, kA, kNo, kAll, "twoNotEqualDelAllFromA"},
    {NotEqual, kDel, kB, kNo, kOne, "twoNotEqualDelOneFromB"},
    {NotEqual, kDel, kB, kNo, kFirst, "twoNotEqualDelFirstFromB"},
    {NotEqual, kDel, kB, kNo, kAll, "twoNotEqualDelAllFromB"},
    {NotEqual, kRep, kA, kField, kOne, "twoNotEqualRepOneFromAWithB"},
    {NotEqual, kRep, kA, kField, kFirst, "twoNotEqualRepFirstFromAWithB"},
    {NotEqual, kRep, kA, kField, kAll, "twoNotEqualRepAllFromAWithB"},
    {NotEqual, kRep, kA, kBlank, kOne, "twoNotEqualRepOneFromAWithBlank"},
    {NotEqual, kRep, kA, kBlank, kFirst, "twoNotEqualRepFirstFromAWithBlank"},
    {NotEqual, kRep, kA, kBlank, kAll, "twoNotEqualRepAllFromAWithBlank"},
    {NotEqual, kRep, kA, kWhat, kOne, "twoNotEqualRepOneFromAWithWhatEver"},
    {NotEqual, kRep, kA, kWhat, kFirst, "twoNotEqualRepFirstFromAWithWhatEver"},
    {NotEqual, kRep, kA, kWhat, kAll, "twoNotEqualRepAllFromAWithWhatEver"},
    {NotEqual, kRep, kB, kField, kOne, "twoNotEqualRepOneFromBWithA"},
    {NotEqual, kRep, kB, kField, kFirst, "twoNotEqualRepfirstFromBWithA"},
    {NotEqual, kRep, kB, kField, kAll, "twoNotEqualRepAllFromBWithA"},
    {NotEqual, kRep, kB, kBlank, kOne, "twoNotEqualRepOneFromBWithBlank"},
    {NotEqual, kRep, kB, kBlank, kFirst, "twoNotEqualRepFirstFromBWithBlank"},
    {NotEqual, kRep, kB, kBlank, kAll, "twoNotEqualRepAllFromBWithBlank"},
    {NotEqual, kRep, kB, kWhat, kOne, "twoNotEqualRepOneFromBWithWhatEver"},
    {NotEqual, kRep, kB, kWhat, kFirst, "twoNotEqualRepFirstFromBWithWhatEver"},
    {NotEqual, kRep, kB, kWhat, kAll, "twoNotEqualRepAllFromBWithWhatEver"},
    {NotEqual, kExp, {}, kNo, {}, "twoNotEqualExport"},
}};

std::string_view firstSix(std::string_view text) {
    return text.substr(0, 6);
}

std::string_view lastSix(std::string_view text) {
    return text.size() <= 6 ? text : text.substr(text.size() - 6);
}

Source sourceOf(std::string_view combo5, const Recordset& fileA, const Recordset& fileB) {
    if (fieldReference(combo5, fileA, fileB)) return Source::Field;
    if (firstSix(combo5) == choice::Blank) return Source::Blank;
    return Source::WhatEver;
}

std::string_view fileWord(FileSide file) {
    return file == FileSide::A ? kA : kB;
}

std::variant<std::string_view, Refusal> lookUp(DispatchSide side, std::string_view action,
                                               std::string_view changed, Source source,
                                               std::string_view method) {
    for (const StepRow& row : kSteps)
        if (row.side == side && row.action == action && row.changed == changed &&
            row.source == source && row.method == method)
            return row.step;
    return Refusal::Method;
}

void refuse(RunContext& ctx, Refusal refusal) {
    ctx.shared.stopFlag = std::string(kFlagYes);
    ctx.shared.msgAnswer =
        ctx.platform.prompter.messageBox(refusalMessage(refusal, ctx.choices), msgbox::OkOnly);
    ctx.controls.setEnabled("Command5", false);
    ctx.controls.setEnabled("Command2", true);
    ctx.controls.setEnabled("Command3", true);
    ctx.controls.setEnabled(refusalControl(refusal), true);
    ctx.controls.setFocus(refusalControl(refusal));
}

void dispatch(RunContext& ctx, DispatchSide side) {
    const auto choice = chooseStep(ctx.choices, side, ctx.shared.rsFileA, ctx.shared.rsFileB);
    if (const auto* step = std::get_if<std::string_view>(&choice))
        ctx.registry.callStep(*step, ctx);
    else
        refuse(ctx, std::get<Refusal>(choice));
}

} // namespace

std::variant<std::string_view, Refusal> chooseStep(const Form4Choices& choices, DispatchSide side,
                                                   const Recordset& fileA, const Recordset& fileB) {
    const std::string& action = choices.combo3;
    if (action == choice::Export) return lookUp(side, action, {}, Source::None, {});
    if (action == choice::Delete) {
        const std::string_view target = lastSix(choices.combo4);
        if (target != kA && target != kB) return Refusal::Field;
        return lookUp(side, action, target, Source::None, choices.combo7);
    }
    if (action == choice::Replace) {
        const std::optional<FieldReference> target = fieldReference(choices.combo4, fileA, fileB);
        if (!target) return Refusal::Field;
        return lookUp(side, action, fileWord(target->file), sourceOf(choices.combo5, fileA, fileB),
                      choices.combo7);
    }
    return Refusal::Action;
}

std::string_view refusalMessage(Refusal refusal, const Form4Choices& choices) {
    switch (refusal) {
    case Refusal::Action:
        return choices.option1 ? runtext::ChooseActionOneDb : runtext::ChooseActionTwoDb;
    case Refusal::Field:
        return runtext::ChooseField;
    case Refusal::Method:
        break;
    }
    return runtext::ChooseMethod;
}

std::string_view refusalControl(Refusal refusal) {
    switch (refusal) {
    case Refusal::Action:
        return "Combo3";
    case Refusal::Field:
        return "Combo4";
    case Refusal::Method:
        break;
    }
    return "Combo7";
}

void twoEqualDispatch(RunContext& ctx) {
    dispatch(ctx, DispatchSide::Equal);
}

void twoNotEqualDispatch(RunContext& ctx) {
    dispatch(ctx, DispatchSide::NotEqual);
}

std::vector<std::string> allStepNames() {
    std::vector<std::string> names;
    for (const StepRow& row : kSteps)
        names.emplace_back(row.step);
    return names;
}

} // namespace varnoke
