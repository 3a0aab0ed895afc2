#include "process/field_reference.h"

#include "dialog/choice_texts.h"
#include "engine/recordset.h"
#include "process/run_context.h"
#include "value/runtime_error.h"

namespace varnoke {

namespace {

// The engine's own lookup, so a name that counts as a field is one the run can read.
bool hasField(const Recordset& rs, std::string_view name) {
    try {
        rs.fieldType(name);
        return true;
    } catch (const RuntimeError&) {
        return false; // no such field, or the file is not open
    }
}

bool tableHasField(const Database& db, std::string_view table, std::string_view name) {
    try {
        db.tableDefs().item(table).field(name);
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

// hasField(file, name) says whether a file has a field of that name.
template <typename HasField>
std::optional<FieldReference> referenceTo(std::string_view text, const HasField& hasField) {
    FileSide file = FileSide::A;
    if (text.starts_with(choice::FileBPrefix))
        file = FileSide::B;
    else if (!text.starts_with(choice::FileAPrefix))
        return std::nullopt;
    const std::string_view name = text.substr(choice::FieldPrefixLength);
    if (name.empty() || !hasField(file, name)) return std::nullopt;
    return FieldReference{file, name};
}

} // namespace

std::optional<FieldReference> fieldReference(std::string_view text, const Recordset& fileA,
                                             const Recordset& fileB) {
    return referenceTo(text, [&](FileSide file, std::string_view name) {
        return hasField(file == FileSide::A ? fileA : fileB, name);
    });
}

std::optional<FieldReference> fieldReference(const RunContext& ctx, std::string_view text) {
    // The open files answer during a run; before the run opens them (the Process
    // button's own checks) the working tables' definitions do.
    return referenceTo(text, [&](FileSide file, std::string_view name) {
        const Recordset& rs = file == FileSide::A ? ctx.shared.rsFileA : ctx.shared.rsFileB;
        if (rs.isOpen()) return hasField(rs, name);
        return tableHasField(ctx.shared.workDb, file == FileSide::A ? "Table1" : "Table2", name);
    });
}

Recordset& recordsetOf(RunContext& ctx, FileSide file) {
    return file == FileSide::A ? ctx.shared.rsFileA : ctx.shared.rsFileB;
}

} // namespace varnoke
