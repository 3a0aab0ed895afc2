#pragma once
// The parts of a criteria-row evaluation that need no database: which condition a member
// serves for a row, the operand in the form a member compares it, the test of one field
// value, and the find text of a typed or blank operand.
//
// Blanks: an operand that is Empty, Null or "" is blank and counts lower than every
// value; a Null field value counts lower than every operand. A field holding "" or 0
// holds a value.
#include "evaluate/evaluator_table.h"
#include "value/value.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnoke {

// The ordering a member tests for a condition text: the ordered members map greater and
// after to Greater, less and before to Less; everything else is Equal.
Order orderFor(const EvaluatorMember& member, std::string_view condition);

// The operand as the member compares it with the field's value: texts as they are, a
// number against a text field as its plain text ("5"), a date against a text field as
// its date text, anything against a number field as the number its text begins with, a
// number against a date field as a day serial. Raises the conversion's error.
Value comparisonForm(const EvaluatorMember& member, const Value& operand);

// Whether a field value meets the row. Texts compare exactly, case counting.
bool rowMet(const EvaluatorMember& member, Order order, const Value& fieldValue,
            const Value& operand);

// The same ordering seen from the operand's side: greater and less change places.
Order reversed(Order order);

// A typed or blank row that concerns the driving record alone: the typed value, read as
// the member's tested kind (a number by its leading number, a date when it reads as
// one), against the operand. A text member compares a number or date operand by its
// text, so a typed "5" meets 5.
bool typedRowMet(const EvaluatorMember& member, Order order, const Value& typed,
                 const Value& operand);

// The find text of a typed or blank operand on the field, written by the field's kind;
// none when no record can meet the row (a blank operand under less or before).
std::optional<std::string> typedFindText(const EvaluatorMember& member, Order order,
                                         std::string_view field, const Value& operand);

// The member's test as a term of a find that selects every record the test accepts, with
// the operand in the form the test compares it: a text compared exactly,
// "StrComp([F], 'v', 0) = 0" (or "<> 0"); a number "[F] = 'n'", "[F] > 'n'", n written to
// its last digit and taken as the field's type; a date "[F] = n", "[F] > n" on the day
// serial. The tests that accept a Null field (not-equal, less, before) add
// "or IsNull([F])". A blank operand is "IsNull([F])", or "not IsNull([F])" under
// greater, after and not-equal. The engine stores number and date fields as numbers,
// which compare as the test compares them. A yes/no field's term names the values the
// test accepts: "([F] = '-1' or [F] = '0' or IsNull([F]))", some of them. None for a row
// that can hold for no record and an operand the test cannot convert (the test itself
// reports it).
std::optional<std::string> exactFindText(const EvaluatorMember& member, Order order,
                                         std::string_view field, const Value& operand,
                                         bool yesNoField = false);

// False where the member's test holds for no field value at all: nothing is less than a
// blank operand.
bool rowCanHold(const EvaluatorMember& member, Order order, const Value& operand);

// "IsNull([F])".
std::string isNullText(std::string_view field);

} // namespace varnoke
