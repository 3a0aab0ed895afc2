#pragma once
// The type fallback: a replace on a field the evaluators do not know writes the value
// into the target field (Combo4) of the changed file trying three forms in turn (the
// value unchanged, its leading number, its date) and asks whether to go on when none
// fits. Cancel sets stopFlag; either way the record keeps its old values.
#include "value/value.h"

#include <cstdint>
#include <string>

namespace varnoke {

struct RunContext;

// True when a form was written. msgAnswer holds the answer of the question when one was
// asked. In add mode a new record gets the value, as every other replace does there.
bool caseElseRepA(RunContext& ctx, const Value& compareThat, std::int32_t recNo);
bool caseElseRepB(RunContext& ctx, const Value& compareThat, std::int32_t recNo);

// "Varnoke could not process the data types involved in record number  7.  Continue..."
std::string fallbackQuestion(std::int32_t recNo);

} // namespace varnoke
