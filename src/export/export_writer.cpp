#include "export/export_writer.h"

#include "dialog/choice_texts.h"
#include "evaluate/row_evaluation.h"
#include "export/export_texts.h"
#include "export/field_match.h"
#include "export/run_stop.h"
#include "process/field_reference.h"
#include "process/handle_error.h"
#include "process/registry.h"
#include "process/run_context.h"
#include "process/run_messages.h"

#include <optional>

namespace varnoke {

namespace {

int countOf(const std::vector<std::string>& list) {
    return static_cast<int>(list.size());
}

// The remaining records of the longer file are exported while the other file stands at
// its end; whatever would come from that file is left out.
bool entireRecord(const Recordset& source, int count, Recordset& target) {
    if (source.eof() || source.bof()) return false;
    return copyByName(source, count, target);
}

class SelectedFields {
public:
    SelectedFields(RunContext& ctx, Recordset& target) : ctx_(ctx), target_(target) {}

    // Writes the selected List3 entries in list order; true when a value was assigned
    // to the record still pending.
    bool write() {
        const Form4Choices& c = ctx_.choices;
        for (std::size_t i = 0; i < c.list3.size(); ++i) {
            if (i >= c.list3Selected.size() || !c.list3Selected[i]) continue;
            const std::optional<FieldReference> entry = fieldReference(ctx_, c.list3[i]);
            if (!entry) continue;
            if (entry->file == FileSide::A)
                fileAEntry(entry->name);
            else
                fileBEntry(entry->name);
        }
        return written_;
    }

private:
    void fileAEntry(std::string_view name) {
        const Recordset& a = ctx_.shared.rsFileA;
        if (a.eof() || a.bof()) return;
        const std::optional<int> to = exactField(target_, name);
        if (!to) return;
        target_.field(*to).setValue(a.value(name));
        written_ = true;
    }

    void fileBEntry(std::string_view name) {
        const Recordset& b = ctx_.shared.rsFileB;
        if (b.eof() || b.bof()) return;
        const std::optional<int> plain = exactField(target_, name);
        if (!plain) return;
        const Value value = b.value(name);
        std::optional<int> to = plain;
        if (!target_.field(*plain).value().isNull()) {
            const int choice = ctx_.shared.dupFieldChoice;
            if (choice == exporttext::ToExportTable) {
                to = exactField(target_,
                                std::string(exporttext::DuplicatePrefix) + std::string(name));
                if (!to) return;
            } else if (choice == exporttext::NewRecordEach) {
                // The record so far is complete; later entries fill the next one.
                target_.update();
                target_.addNew();
            }
        }
        target_.field(*to).setValue(value);
        written_ = true;
    }

    RunContext& ctx_;
    Recordset& target_;
    bool written_ = false;
};

void refuseExportType(RunContext& ctx) {
    ctx.shared.stopFlag = std::string(kFlagYes);
    ctx.shared.msgAnswer =
        ctx.platform.prompter.messageBox(exporttext::ChooseExportType, msgbox::OkOnly);
    stopExportRun(ctx);
    ctx.controls.setEnabled("Combo9", true);
    ctx.controls.setFocus("Combo9");
}

void reportLostRecord(RunContext& ctx, const RuntimeError& error) {
    ctx.shared.msgAnswer = ctx.platform.prompter.messageBox(
        recordNotExportedMessage(error), msgbox::Information | msgbox::OkOnly, runtext::SorryTitle);
    stopExportRun(ctx);
}

} // namespace

std::string recordNotExportedMessage(const RuntimeError& error) {
    std::string text(exporttext::RecordNotExported);
    text += runtext::TwoLineBreaks;
    std::string reason = errorMessageFor(error.number(), error.description());
    text += reason.empty() ? error.description() : reason;
    text += runtext::TwoLineBreaks;
    text += exporttext::RunStoppedKeepsEarlier;
    return text;
}

void exportIt(RunContext& ctx) {
    const Form4Choices& c = ctx.choices;
    SharedState& shared = ctx.shared;
    const bool fromA = c.combo9 == choice::EntireRecordFromFileA;
    const bool fromB = c.combo9 == choice::EntireRecordFromFileB;
    const bool selected = c.combo9 == choice::SelectFields;
    if (!fromA && !fromB && !selected) return refuseExportType(ctx);

    Recordset& target = selected && shared.dupFieldChoice == exporttext::ToExportTable
                            ? shared.rsExportTable
                            : shared.rsExportFile;
    try {
        target.addNew();
        bool written = false;
        if (fromA) written = entireRecord(shared.rsFileA, countOf(c.list1), target);
        if (fromB) written = entireRecord(shared.rsFileB, countOf(c.list2), target);
        if (selected) written = SelectedFields(ctx, target).write();
        if (written) {
            target.update();
        } else {
            target.cancelUpdate();
        }
    } catch (const RuntimeError& error) {
        // Half a record is not written either.
        if (target.isOpen() && target.editMode() != 0) target.cancelUpdate();
        // Lost writes took records exported before this one with them: the error
        // table's message says so.
        if (isLostWrites(ctx.shared, error)) {
            handleError(ctx, error);
            stopExportRun(ctx);
        } else {
            reportLostRecord(ctx, error);
        }
    }
}

void registerExportWriter(Registry& registry) {
    registry.addStep(std::string(kExportIt), exportIt);
}

} // namespace varnoke
