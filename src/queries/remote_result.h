#pragma once
// The result text of a remote query, read whole into memory and checked before any
// table is touched: two leading characters of the server's, then name, type code and
// size of each field, "endOfFieldNames", one value per field and "endOfRow" for each
// row, and "endOfData"; every token ends with "^~*".
#include "value/value.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace varnoke {

namespace remotetext {
inline constexpr std::string_view kEndOfFieldNames = "endOfFieldNames";
inline constexpr std::string_view kEndOfRow = "endOfRow";
inline constexpr std::string_view kEndOfData = "endOfData";
inline constexpr std::string_view kBlank = "BLANK";
inline constexpr std::string_view kNull = "<NULL>";
} // namespace remotetext

// The field type a server type code becomes before the values are seen: a GUID is
// text of 38 characters and a numeric value a double, so neither loses its values.
int fieldTypeOfServerCode(int serverCode);

struct RemoteField {
    std::string name;
    int type = 0; // the engine's field type code
    int size = 0; // characters for text, the type's size otherwise
};

// A field of the server's number or date type that became text to hold a value.
struct WidenedField {
    std::string name;
    std::string value; // the first value its type could not hold
};

struct RemoteResult {
    std::vector<RemoteField> fields;
    std::vector<std::vector<Value>> rows; // one value per field, Null for BLANK/<NULL>
    std::vector<WidenedField> widened;
};

struct RemoteResultError {
    std::string description;
};

// Reads a whole result. A value that does not fit its field's type widens the field
// (a longer text, a decimal in a whole-number field, a number past the type's range)
// instead of being cut; a value no number or date type holds (a word or "1,234" in a
// number field, a text that is no date in a date field) makes its field text, so every
// row is kept whole. Missing or duplicate names, non-numeric or out-of-range type and
// size tokens, rows with too few or too many values and a text that ends before
// "endOfData" make the result an error.
std::variant<RemoteResult, RemoteResultError> parseRemoteResult(std::string_view text);

// What the user is told of the fields made text, one line each; "" when there are none.
std::string widenedNote(const RemoteResult& result);

} // namespace varnoke
