#pragma once
// The find-criteria clause builders: each appends one term for the current criteria row
// to findCriteria, built on criteriaField (F) and criteriaValue (v). The first term
// stands alone; a later one follows " or " when the "or" option (Option3) is chosen,
// else " and "; a not-equal term is "not " + the equal term (" or not ", " and not ").
// Field names are written [F]; text literals double their apostrophes; a number against
// a text field is its plain text ("5"). A value with no form for the term raises its
// conversion error and leaves findCriteria as it was.
#include "engine/sql_name.h"
#include "value/value.h"

#include <string>
#include <string_view>

namespace varnoke {

struct RunContext;

// One enumerator per builder, named as the evaluators call them.
enum class Clause {
    addTextEqualClause,
    addTextNotEqualClause,
    addTextDateEqualClause,
    addTextDateNotEqualClause,
    addTextValEqualClause,
    addTextValNotEqualClause,
    addDateEqualClause,
    addDateNotEqualClause,
    addDateTextEqualClause,
    addDateTextNotEqualClause,
    addDateValEqualClause,
    addDateValNotEqualClause,
    addValEqualClause,
    addValNotEqualClause,
    addValTextEqualClause,
    addValTextNotEqualClause,
    addValDateEqualClause,
    addValDateNotEqualClause,
    addValGreaterClause,
    addValLessClause,
    addDateAfterClause,
    addDateBeforeClause,
    addValLessOrNullClause,
    addValGreaterOrNullClause,
    addDateBeforeOrNullClause,
    addDateAfterOrNullClause,
    addIsNullClause,
    addNotIsNullClause,
};

std::string_view clauseName(Clause clause);

// What a builder reads besides findCriteria.
struct ClauseInput {
    std::string_view field; // criteriaField
    const Value& value;     // criteriaValue
    bool orChosen;          // Option3
    long criteriaRows;      // record count of the criteria table (the or-null rule)
};

// findCriteria with the builder's term appended.
std::string withClause(std::string_view findCriteria, Clause clause, const ClauseInput& input);

// The builder on the run's values; the text builders also set quotedValue.
void addClause(RunContext& ctx, Clause clause);

// For a not-equal replace on a File B row: also reach the records whose field is Null,
// unless the replacement is blank.
void appendOrIsNull(RunContext& ctx);

// Keeps one row "IsNull([F])" per field in the AddedOr table.
void recordAddedOr(RunContext& ctx);

// Pieces of find texts and statements.
std::string doubleApostrophes(std::string_view text);
std::string quoteText(std::string_view text); // 'it''s'

} // namespace varnoke
