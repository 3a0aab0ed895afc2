#include "queries/remote_result.h"

#include "engine/field.h"
#include "queries/remote_protocol.h"
#include "value/convert.h"
#include "value/runtime_error.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>

namespace varnoke {

namespace {

constexpr int kMaxNameLength = 64;
constexpr int kMaxTextSize = 255;
constexpr int kGuidCode = 72;
constexpr int kGuidLength = 38;
constexpr long long kMaxToken = 2147483647;
constexpr double kCurrencyLimit = 922337203685477.0;

struct Failure {
    std::string description;
};

// Walks the tokens of the text; every token must end with the delimiter.
class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}

    // The next token, or nothing when the text ends before another delimiter.
    std::optional<std::string_view> next() {
        const std::size_t end = text_.find(remotetext::kDelimiter, at_);
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view token = text_.substr(at_, end - at_);
        at_ = end + remotetext::kDelimiter.size();
        return token;
    }
    std::string_view require(std::string_view what) {
        if (auto token = next()) return *token;
        throw Failure{"The result ends before " + std::string(what) + "."};
    }
    void skipCharacters(int count) {
        for (int i = 0; i < count && at_ < text_.size(); ++i) {
            ++at_;
            while (at_ < text_.size() && (static_cast<unsigned char>(text_[at_]) & 0xC0) == 0x80)
                ++at_;
        }
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

long long numericToken(std::string_view token, std::string_view what, std::string_view field) {
    long long value = -1;
    const bool digits = !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (!digits || ec != std::errc() || end != token.data() + token.size() || value > kMaxToken)
        throw Failure{"The " + std::string(what) + " of field " + quoted(field) + " is " +
                      quoted(token) + ", not a whole number from 0 to 2147483647."};
    return value;
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

void checkName(std::string_view name, std::set<std::string>& seen) {
    if (name.empty()) throw Failure{"The result has a field without a name."};
    if (name.size() > kMaxNameLength)
        throw Failure{"The field name " + quoted(name) + " is longer than 64 characters."};
    for (char c : name) {
        if (c == '[' || c == ']' || static_cast<unsigned char>(c) < 32)
            throw Failure{"The field name " + quoted(name) +
                          " holds a character a field name cannot hold."};
    }
    if (!seen.insert(upperAscii(name)).second)
        throw Failure{"The result names the field " + quoted(name) + " twice."};
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

struct Column {
    RemoteField field;
    int declaredSize = 0;
};

// The narrowest of the whole-number and decimal types, starting at type, that holds
// the number exactly; Text when none does.
int numberTypeFor(int type, double number) {
    const bool whole = std::floor(number) == number;
    const auto fits = [&](int candidate) {
        switch (candidate) {
        case fieldtype::Byte:
            return whole && number >= 0 && number <= 255;
        case fieldtype::Integer:
            return whole && number >= -32768 && number <= 32767;
        case fieldtype::Long:
            return whole && number >= -2147483648.0 && number <= 2147483647.0;
        case fieldtype::Currency:
            return std::fabs(number) < kCurrencyLimit &&
                   std::round(number * 10000) / 10000 == number;
        case fieldtype::Double:
            return doubleHoldsExactly(number);
        }
        return false;
    };
    static constexpr int kWholeOrder[] = {fieldtype::Byte, fieldtype::Integer, fieldtype::Long,
                                          fieldtype::Double};
    static constexpr int kCurrencyOrder[] = {fieldtype::Currency, fieldtype::Double};
    const auto walk = [&](const auto& order) {
        bool started = false;
        for (int candidate : order) {
            started = started || candidate == type;
            if (started && fits(candidate)) return candidate;
        }
        return static_cast<int>(fieldtype::Text);
    };
    if (type == fieldtype::Currency) return walk(kCurrencyOrder);
    return walk(kWholeOrder);
}

// The number a number text stands for; nothing when it is too large for a double.
std::optional<double> numberIn(std::string_view token) {
    try {
        return numberOf(Value::text(std::string(token)));
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

bool isNumberType(int type) {
    return type == fieldtype::Byte || type == fieldtype::Integer || type == fieldtype::Long ||
           type == fieldtype::Currency || type == fieldtype::Double;
}

// The date a server's date text stands for: the program's own forms, and the ISO forms
// servers write, with a "T" before the time and a fraction of a second, which is kept.
std::optional<double> serverDate(std::string_view token) {
    if (auto serial = parseDateText(token)) return serial;
    std::string text(token);
    const std::size_t t = text.find('T');
    const auto digitAt = [&](std::size_t i) {
        return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    };
    if (t != std::string::npos && t > 0 && digitAt(t - 1) && digitAt(t + 1)) text[t] = ' ';
    double fraction = 0;
    const std::size_t colon = text.rfind(':');
    const std::size_t dot = colon == std::string::npos ? colon : text.find('.', colon);
    if (dot != std::string::npos && dot == colon + 3 && digitAt(dot + 1)) {
        std::size_t end = dot + 1;
        while (digitAt(end))
            ++end;
        fraction = std::stod("0" + text.substr(dot, end - dot));
        text.erase(dot, end - dot);
    }
    const std::optional<double> serial = parseDateText(text);
    if (!serial) return std::nullopt;
    const double seconds = fraction / 86400.0;
    return *serial >= 0 ? *serial + seconds : *serial - seconds;
}

// Settles a column's type and size from its values; raw holds the tokens of one
// column (nothing for BLANK and <NULL>). A value its type cannot hold makes the
// column text, which holds every value as it came; widened names that value.
void settleColumn(Column& column, const std::vector<const std::string_view*>& raw,
                  std::vector<WidenedField>& widened) {
    RemoteField& field = column.field;
    const auto toText = [&](std::string_view token) {
        field.type = fieldtype::Text;
        widened.push_back({field.name, std::string(token)});
    };
    if (isNumberType(field.type)) {
        for (const std::string_view* token : raw) {
            if (!token) continue;
            // A number past a double's range is kept as the text it came as.
            const std::optional<double> number =
                isNumberText(*token) ? numberIn(*token) : std::nullopt;
            const int wider = number ? numberTypeFor(field.type, *number) : fieldtype::Text;
            if (wider == fieldtype::Text) {
                toText(*token);
                break;
            }
            field.type = wider;
        }
    } else if (field.type == fieldtype::Date) {
        for (const std::string_view* token : raw) {
            if (token && !serverDate(*token)) {
                toText(*token);
                break;
            }
        }
    }
    if (field.type != fieldtype::Text) {
        field.size = defaultFieldSize(field.type);
        return;
    }
    std::size_t longest = static_cast<std::size_t>(column.declaredSize);
    for (const std::string_view* token : raw)
        if (token) longest = std::max(longest, characterCount(*token));
    if (longest > kMaxTextSize) {
        field.type = fieldtype::Memo;
        field.size = 0;
    } else {
        field.size = static_cast<int>(std::max<std::size_t>(longest, 1));
    }
}

Value valueOf(const RemoteField& field, std::string_view token) {
    switch (field.type) {
    case fieldtype::Text:
    case fieldtype::Memo:
        return Value::text(std::string(token));
    case fieldtype::Date:
        return Value::date(*serverDate(token));
    case fieldtype::Currency:
        return Value::currency(numberOf(Value::text(std::string(token))));
    default:
        return Value::number(numberOf(Value::text(std::string(token))));
    }
}

RemoteResult parse(std::string_view text) {
    Tokens tokens(text);
    tokens.skipCharacters(2);

    std::vector<Column> columns;
    std::set<std::string> seen;
    for (;;) {
        const std::string_view name = tokens.require("the end of its field names");
        if (name == remotetext::kEndOfFieldNames) break;
        checkName(name, seen);
        const long long code =
            numericToken(tokens.require("the type of field " + quoted(name)), "type code", name);
        const long long size =
            numericToken(tokens.require("the size of field " + quoted(name)), "size", name);
        Column column;
        column.field.name = std::string(name);
        column.field.type = fieldTypeOfServerCode(static_cast<int>(code));
        // A GUID's text, braces and dashes included, is 38 characters whatever size the
        // server gives its binary form.
        column.declaredSize = code == kGuidCode ? std::max(static_cast<int>(size), kGuidLength)
                                                : static_cast<int>(size);
        columns.push_back(std::move(column));
    }
    if (columns.empty()) throw Failure{"The result defines no field."};

    std::vector<std::vector<std::optional<std::string_view>>> rows;
    for (;;) {
        const std::string_view first = tokens.require("its end-of-data mark");
        if (first == remotetext::kEndOfData) break;
        const std::string rowName = "row " + std::to_string(rows.size() + 1);
        std::vector<std::optional<std::string_view>> row;
        row.reserve(columns.size());
        std::string_view token = first;
        for (std::size_t i = 0;; ++i) {
            if (token == remotetext::kEndOfRow) {
                if (i < columns.size())
                    throw Failure{"The result's " + rowName + " has fewer values than fields."};
                break;
            }
            if (token == remotetext::kEndOfData)
                throw Failure{"The result's " + rowName + " has no end-of-row mark."};
            if (i >= columns.size())
                throw Failure{"The result's " + rowName + " has more values than fields."};
            if (token == remotetext::kBlank || token == remotetext::kNull)
                row.emplace_back();
            else
                row.emplace_back(token);
            token = tokens.require("the end of its " + rowName);
        }
        rows.push_back(std::move(row));
    }

    RemoteResult result;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        std::vector<const std::string_view*> raw;
        raw.reserve(rows.size());
        for (const auto& row : rows)
            raw.push_back(row[c] ? &*row[c] : nullptr);
        settleColumn(columns[c], raw, result.widened);
    }

    for (const Column& column : columns)
        result.fields.push_back(column.field);
    result.rows.reserve(rows.size());
    for (const auto& row : rows) {
        std::vector<Value> values;
        values.reserve(row.size());
        for (std::size_t c = 0; c < row.size(); ++c)
            values.push_back(row[c] ? valueOf(result.fields[c], *row[c]) : Value::null());
        result.rows.push_back(std::move(values));
    }
    return result;
}

} // namespace

int fieldTypeOfServerCode(int serverCode) {
    switch (serverCode) {
    case 2:
        return fieldtype::Integer;
    case 3:
        return fieldtype::Long;
    case 5:
    case 20:
    case 131:
        return fieldtype::Double;
    case 6:
        return fieldtype::Currency;
    case 17:
        return fieldtype::Byte;
    case 135:
        return fieldtype::Date;
    default: // 11, 12, 72, 128-130, 200-205 and codes the client does not know
        return fieldtype::Text;
    }
}

std::string widenedNote(const RemoteResult& result) {
    constexpr std::size_t kShownLength = 40;
    std::string note;
    for (const WidenedField& field : result.widened) {
        if (!note.empty()) note += "\n";
        std::string value = field.value;
        if (characterCount(value) > kShownLength) {
            // Cut before the first byte of the character past those shown.
            std::size_t end = 0;
            for (std::size_t kept = 0; end < value.size(); ++end)
                if ((static_cast<unsigned char>(value[end]) & 0xC0) != 0x80 &&
                    kept++ == kShownLength)
                    break;
            value.erase(end);
            value += "...";
        }
        note += "The field " + quoted(field.name) + " was made a text field to keep " +
                quoted(value) + " as it came; no value was lost.";
    }
    return note;
}

std::variant<RemoteResult, RemoteResultError> parseRemoteResult(std::string_view text) {
    try {
        return parse(text);
    } catch (const Failure& failure) {
        return RemoteResultError{failure.description};
    }
}

} // namespace varnoke
