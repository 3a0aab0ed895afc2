#pragma once
// Whether a choice text names a field. The dialog's lists write a field as "File A." or
// "File B." followed by its name; any other text is a value the user typed, even one
// that begins the same way ("File A copy", "File Bravo", "File A." and no such field).
// Every reader of a criteria operand, a target, a replacement or an export entry asks
// here, so they all agree on what is a field.
#include "process/field_class.h"

#include <optional>
#include <string_view>

namespace varnoke {

class Recordset;
struct RunContext;

struct FieldReference {
    FileSide file;
    std::string_view name; // a view into the text asked about
};

// The field text names, when the file its prefix names has a field of that name.
std::optional<FieldReference> fieldReference(std::string_view text, const Recordset& fileA,
                                             const Recordset& fileB);
// The same over the run's File A and File B.
std::optional<FieldReference> fieldReference(const RunContext& ctx, std::string_view text);

// The run's recordset of a file.
Recordset& recordsetOf(RunContext& ctx, FileSide file);

} // namespace varnoke
