#pragma once
// checkForDupes: before the first record of a "select fields..." export between two
// databases, looks for a field name selected from both files and asks what to do with
// it; the answer goes to dupFieldChoice (0 when there was nothing to ask). Answer 6
// rebuilds the program's export table, "Varnoke's Export TABLE", with one field per
// selected entry ("B_" + name for File B's copy of a name already in it), opens
// rsExportTable on it and offers to copy the export file's records into it.
//
// The table is dropped and created on the open working database: the run's recordsets
// and the criteria rows stay where they are. Errors reach the caller.
#include "engine/database.h"

#include <string_view>

namespace varnoke {

struct RunContext;

void checkForDupes(RunContext& ctx);

// The export table's definition for the selected List3 entries (not yet created).
TableDef exportTableDef(RunContext& ctx);

// Copies every export-file record into the export table, each field to the table field
// of exactly its name; the export file ends on its first record.
void transferData(RunContext& ctx);

} // namespace varnoke
