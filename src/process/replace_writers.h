#pragma once
// The replace writers: the replacement converted by the type of the target field
// (actionFieldType) and of its source (withFieldType) and written into the target field
// (Combo4) of the changed file: into its current record, into a new record in add
// mode, or, under "non-parallel records; all records", into every record findCriteria
// selects by one update statement.
#include "value/value.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnoke {

struct RunContext;

// actionFieldType and withFieldType from the fields named in Combo4 and Combo5 (10 for
// "BLANK" or a typed value); a lookup that fails leaves its value as it was.
void getActionFieldTypes(RunContext& ctx);

// quotedValue: criteriaValue's text with every apostrophe doubled.
void sqlQuote(RunContext& ctx);

// True when a record was written (for the statement: when it changed at least one).
// Errors are reported through handleError and leave the record as it was; a date
// target given something that is no date asks the bad-date question and writes nothing.
bool replaceInTableOneBySql(RunContext& ctx, Value newValue);
bool replaceInTableTwoBySql(RunContext& ctx, Value newValue);

// The value to write for a (target, source) pair of type codes: Null stays Null, the
// text "Null" blanks a number or date target, a number target takes the leading number
// of a text or date, a date target the date of a text, a text target the text of the
// value. Raises the conversion's error (13) for a text that is no date.
Value replacementFor(int actionFieldType, int withFieldType, const Value& v);

// The literal of a value in a statement: Null, a number, #date#, 'text'.
std::string literalOf(const Value& v);

// "update table1 set [F] = <literal> where <findCriteria>;"
std::string updateStatement(std::string_view table, std::string_view field, const Value& v,
                            std::string_view findCriteria);

} // namespace varnoke
