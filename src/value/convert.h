#pragma once
// The conversions of the program's language, in one place. Every layer that turns a
// value into text, a number or a date goes through these, so a value written by one
// run reads back the same in the next.
#include "value/value.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnoke {

// Val: the number a text begins with. Blanks, tabs and line feeds are skipped wherever
// they stand; reading stops at the first character that cannot continue the number;
// 0 when there is none. Val("12/31/2003") is 12.
double leadingNumber(std::string_view text);
// The same reading for a text that must hold a number: one that begins with none
// raises 13 (Type mismatch) instead of giving 0.
double requiredLeadingNumber(std::string_view text);

// Str: one leading blank for a number that is not negative, no zero before the point
// of a fraction (" 5", "-2.5", " .5").
std::string signedNumberText(double number);

// The ordinary text of a number: up to 15 significant digits, "." as the point,
// exponent form "1E+16" for very large or small numbers.
std::string numberText(double number);

// Short date form "M/D/YYYY", with " h:mm:ss AM/PM" when the serial has a time of day;
// a serial with no date part gives the time alone.
std::string dateText(double serial);

// CStr: the text of a value. Empty gives "", a Boolean "True"/"False", a date its
// date text. Null raises 94 (Invalid use of Null).
std::string textOf(const Value& v);

// The text of a value where Null may stand, as in a joined text: Null gives "".
std::string textOrBlank(const Value& v);

// The day serial a text stands for: "M/D/YYYY", "M/D/YY" (00-29 as 2000-2029),
// "M-D-YYYY", "YYYY-MM-DD", each optionally followed by a time "h:mm[:ss] [AM|PM]",
// or a time alone. Nothing else; surrounding blanks are allowed.
std::optional<double> parseDateText(std::string_view text);

// IsDate: a date value, or a text in one of the date forms above.
bool isDate(const Value& v);

// CDate: the day serial of a value. A date gives itself, a number (or the text of a
// number) is read as a day serial, a date text as its date. Anything else raises
// 13 (Type mismatch); Null raises 94.
double dateOf(const Value& v);

// CDbl: the number of a value. A number text must be a whole number text ("12",
// " -2.5 ", "1E+16"); anything else raises 13. A date gives its serial, True -1.
double numberOf(const Value& v);

// Whether a text is a number text as numberOf accepts it.
bool isNumberText(std::string_view text);

// Whether a number read from a text is surely the number the text wrote: a whole
// number from 2^53 on may be a neighbour the double rounded to, so a reader keeps
// such a number (and its column) as text rather than match two different keys.
bool doubleHoldsExactly(double number);

// The run's blank: no value at all (Empty), Null, or a zero-length text. A number 0,
// a false yes/no or the date serial 0 is a value, not a blank.
bool isBlank(const Value& v);

// Order two values as the evaluators test them: numbers and dates by value, texts
// exactly (case counts), Empty as 0 against a number and "" against a text; a number
// against a text puts the number first. Empty result when either side is Null:
// Null is neither equal nor unequal to anything.
std::optional<int> compareValues(const Value& a, const Value& b);

// The serial of a calendar date and time; no range check beyond the calendar.
double makeDateSerial(int year, int month, int day, int hour = 0, int minute = 0,
                      double second = 0);

struct CivilDateTime {
    int year, month, day, hour, minute, second;
};
CivilDateTime civilFromSerial(double serial);

} // namespace varnoke
