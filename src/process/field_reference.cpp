#include "process/field_reference.h"

#include "dialog/choice_texts.h"
#include "engine/recordset.h"
#include "process/run_context.h"
#include "value/runtime_error.h"

namespace varnoke {

namespace {

// The engine's own lookup, so a name that counts as a field is one the run can read.
bool hasField(const Recordset& rs, std::string_view name) {
    if (name.empty()) return false;
    try {
        rs.fieldType(name);
        return true;
    } catch (const RuntimeError&) {
        return false; // no such field, or the file is not open
    }
}

} // namespace

std::optional<FieldReference> fieldReference(std::string_view text, const Recordset& fileA,
                                             const Recordset& fileB) {
    FileSide file = FileSide::A;
    if (text.starts_with(choice::FileBPrefix))
        file = FileSide::B;
    else if (!text.starts_with(choice::FileAPrefix))
        return std::nullopt;
    const std::string_view name = text.substr(choice::FieldPrefixLength);
    if (!hasField(file == FileSide::A ? fileA : fileB, name)) return std::nullopt;
    return FieldReference{file, name};
}

std::optional<FieldReference> fieldReference(const RunContext& ctx, std::string_view text) {
    return fieldReference(text, ctx.shared.rsFileA, ctx.shared.rsFileB);
}

Recordset& recordsetOf(RunContext& ctx, FileSide file) {
    return file == FileSide::A ? ctx.shared.rsFileA : ctx.shared.rsFileB;
}

} // namespace varnoke
