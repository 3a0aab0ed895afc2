#pragma once
// The field-type dispatchers: for the current criteria row they pick the one evaluator
// whose pair of field types fits (by name, through the registry), stop a date
// comparison whose operand cannot be a date, and send a replace on a field of no known
// kind to the type fallback. They compare nothing themselves (but for that fallback).
//
// Parameters as the record steps pass them: theFieldType1 = ifThisType (the File A
// field of If_This), theFieldType2 = thisType (the File B field of This, 10 for a typed
// value or blank), compareThis = criteriaValue, inputThis = replaceValue. A conversion
// stored into compareThis stays in the caller's variable.
#include "value/value.h"

namespace varnoke {

struct RunContext;

// Rows whose condition is "is equal to" / "is not equal to"; A changes File A, B File B.
void equalAnalyseRepA(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis,
                      Value& inputThis);
void notEqualAnalyseRepA(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis,
                         Value& inputThis);
void equalAnalyseDelA(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis);
void notEqualAnalyseDelA(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis);
void equalAnalyseRepB(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis,
                      Value& inputThis);
void notEqualAnalyseRepB(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis,
                         Value& inputThis);
void equalAnalyseDelB(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis);
void notEqualAnalyseDelB(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis);

// Rows with "is greater than", "is less than", "is before", "is after".
void GreaterLessBeforeAfterRepA(RunContext& ctx, int theFieldType1, int theFieldType2,
                                Value& compareThis, Value& inputThis);
void GreaterLessBeforeAfterRepB(RunContext& ctx, int theFieldType1, int theFieldType2,
                                Value& compareThis, Value& inputThis);
void GreaterLessBeforeAfterDelA(RunContext& ctx, int theFieldType1, int theFieldType2,
                                Value& compareThis);
void GreaterLessBeforeAfterDelB(RunContext& ctx, int theFieldType1, int theFieldType2,
                                Value& compareThis);
// The same checks on criteriaValue without an evaluator; true when they pass (a
// question was asked otherwise).
bool GreaterLessBeforeAfter_check(RunContext& ctx, int theFieldType1, int theFieldType2);

// On the File B side a typed row's operand is its typed value, tested on the driving
// File A record. On a date row (the File A field is a date) or a before/after row, a
// typed text that is no date asks the bad-date question, as on the File A side; true
// when it was asked.
bool badTypedDateOnFileB(RunContext& ctx, int theFieldType1);

// Records past the end of the shorter file: addNewMode "n", then the equal replace
// evaluator of the field types (a text one for a type of no known kind), which appends
// the record untested. No question is asked about the types.
void noCompareAddA(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis,
                   Value& inputThis);
void noCompareAddB(RunContext& ctx, int theFieldType1, int theFieldType2, Value& compareThis,
                   Value& inputThis);

} // namespace varnoke
