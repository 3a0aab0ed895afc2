#pragma once
// Ends an export run from inside it: stopFlag, Stop off, Process and Close Files on, so
// the user can change the choices and start again.
namespace varnoke {

struct RunContext;

void stopExportRun(RunContext& ctx);

} // namespace varnoke
