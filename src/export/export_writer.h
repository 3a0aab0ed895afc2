#pragma once
// exportIt: writes one export record for the pair of File A and File B records the run
// stands on, as the export choice (Combo9) says: every field of one file's record that
// the export file also has, or the fields selected in List3. A name selected from both
// files goes where the duplicate-name answer (dupFieldChoice) sends it: 6 a "B_" field
// of the program's export table, 7 a further export record, otherwise over File A's
// value. A file at its end gives nothing.
//
// A record the engine refuses is never dropped in silence: the pending record is
// cancelled, the user is told, and the run stops, so it cannot end in "Processing
// complete.".
#include <string>
#include <string_view>

namespace varnoke {

struct RunContext;
class Registry;
class RuntimeError;

void exportIt(RunContext& ctx);

// The message for a record the engine would not store.
std::string recordNotExportedMessage(const RuntimeError& error);

// Registers exportIt under its name, where the evaluators find it.
void registerExportWriter(Registry& registry);

} // namespace varnoke
