#pragma once
// exportFileCheckAddTo: at the start of an export run, whether the run adds to an export
// file that already holds records (Yes), empties its working copy first (No) or does
// not run at all (Cancel: stopFlag). Asked once per run; errors reach the caller.
namespace varnoke {

struct RunContext;

void exportFileCheckAddTo(RunContext& ctx);

} // namespace varnoke
