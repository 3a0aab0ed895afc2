#include "export/export_table.h"

#include "dialog/choice_texts.h"
#include "export/export_texts.h"
#include "export/field_match.h"
#include "process/field_reference.h"
#include "process/run_context.h"

#include <algorithm>
#include <optional>

namespace varnoke {

namespace {

bool selectedAt(const Form4Choices& c, std::size_t i) {
    return i < c.list3Selected.size() && c.list3Selected[i];
}

// A selected File B entry whose name an earlier selected entry also names.
bool nameSelectedFromBoth(const RunContext& ctx) {
    const Form4Choices& c = ctx.choices;
    for (std::size_t i = 0; i < c.list3.size(); ++i) {
        if (!selectedAt(c, i)) continue;
        const std::optional<FieldReference> earlier = fieldReference(ctx, c.list3[i]);
        if (!earlier) continue;
        for (std::size_t j = i + 1; j < c.list3.size(); ++j) {
            if (!selectedAt(c, j)) continue;
            const std::optional<FieldReference> later = fieldReference(ctx, c.list3[j]);
            if (later && later->file == FileSide::B && later->name == earlier->name) return true;
        }
    }
    return false;
}

// The third option has to be confirmed; refusing it stops the run.
void confirmOverwrite(RunContext& ctx) {
    const int answer = ctx.platform.prompter.messageBox(exporttext::OverwriteQuestion,
                                                        msgbox::YesNo | msgbox::Question);
    if (answer != answer::Yes) {
        ctx.shared.stopFlag = std::string(kFlagYes);
        return;
    }
    ctx.shared.dupFieldChoice = exporttext::FileBOverwrites;
}

bool tableExists(const Database& db, std::string_view name) {
    const TableDefs defs = db.tableDefs();
    return std::any_of(defs.begin(), defs.end(),
                       [&](const TableDef& def) { return def.name() == name; });
}

void rebuildExportTable(RunContext& ctx) {
    SharedState& shared = ctx.shared;
    const TableDef def = exportTableDef(ctx);
    shared.rsExportTable.close();
    if (tableExists(shared.workDb, exporttext::ExportTable))
        shared.workDb.execute("DROP TABLE [Varnoke's Export TABLE];");
    shared.workDb.tableDefs().append(def);
    shared.rsExportTable = shared.workDb.openRecordset(
        exporttext::ExportTable, RecordsetType::Dynaset, rsoption::Inconsistent);
    ctx.mainWindow.setMenuEnabled(menu::ViewVarnokeExportTable, true);
    if (ctx.viewers.visible(Viewer::ExportTable)) ctx.mainWindow.menuViewVarnokeExportTable_Click();
}

void exportTableCheckDataTransfer(RunContext& ctx) {
    SharedState& shared = ctx.shared;
    if (!shared.rsExportFile.isOpen() || shared.rsExportFile.recordCount() <= 0) return;
    shared.msgAnswer = ctx.platform.prompter.messageBox(
        exporttext::TransferQuestion, msgbox::YesNo | msgbox::Question, exporttext::TransferTitle);
    if (shared.msgAnswer == answer::Yes) transferData(ctx);
}

} // namespace

TableDef exportTableDef(RunContext& ctx) {
    const Form4Choices& c = ctx.choices;
    TableDef def = ctx.shared.workDb.createTableDef(std::string(exporttext::ExportTable));
    for (std::size_t i = 0; i < c.list3.size(); ++i) {
        if (!selectedAt(c, i)) continue;
        const std::optional<FieldReference> entry = fieldReference(ctx, c.list3[i]);
        if (!entry) continue;
        const std::string name(entry->name);
        const bool fromA = entry->file == FileSide::A;
        const Recordset& source = recordsetOf(ctx, entry->file);
        const std::optional<int> at = exactField(source, name);
        if (!at) continue;
        const Field field = source.field(*at);
        const bool taken = std::any_of(def.fields().begin(), def.fields().end(),
                                       [&](const Field& f) { return f.name() == name; });
        std::string fieldName = name;
        if (!fromA && taken) fieldName = std::string(exporttext::DuplicatePrefix) + name;
        def.appendField(def.createField(fieldName, field.type(), field.size()));
    }
    return def;
}

void checkForDupes(RunContext& ctx) {
    SharedState& shared = ctx.shared;
    if (!ctx.run.runStarted.empty()) return;
    shared.dupFieldChoice = 0;
    if (!ctx.choices.combo9Visible || !ctx.choices.option2) return;
    if (!nameSelectedFromBoth(ctx)) return;

    shared.dupFieldChoice = ctx.platform.prompter.messageBox(
        exporttext::DupQuestion, msgbox::YesNoCancel | msgbox::Question, exporttext::DupTitle);
    if (shared.dupFieldChoice == answer::Cancel) return confirmOverwrite(ctx);
    if (shared.dupFieldChoice != exporttext::ToExportTable) return;

    shared.exportTableOpen.clear();
    rebuildExportTable(ctx);
    shared.exportTableOpen = std::string(kFlagYes);
    exportTableCheckDataTransfer(ctx);
}

void transferData(RunContext& ctx) {
    Recordset& from = ctx.shared.rsExportFile;
    Recordset& to = ctx.shared.rsExportTable;
    if (from.recordCount() < 1) return;
    for (from.moveFirst(); !from.eof(); from.moveNext()) {
        to.addNew();
        try {
            copyByName(from, from.fieldCount(), to);
            to.update();
        } catch (const RuntimeError&) {
            to.cancelUpdate();
            throw;
        }
    }
    from.moveFirst();
}

} // namespace varnoke
