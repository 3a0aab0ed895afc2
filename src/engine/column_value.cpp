#include "engine/column_value.h"

#include "engine/engine_error.h"
#include "value/convert.h"

#include <cmath>
#include <string>

namespace varnoke::detail {
namespace {

[[noreturn]] void conversionError() {
    throw EngineError(err::ConversionError, "Data type conversion error.");
}

double numberFor(const Value& v) {
    try {
        if (v.isText()) {
            const auto& t = v.asText();
            if (isNumberText(t)) return numberOf(v);
            // A date text written into a number field becomes its serial.
            if (auto serial = parseDateText(t)) return *serial;
            conversionError();
        }
        return numberOf(v);
    } catch (const EngineError&) {
        throw;
    } catch (const RuntimeError&) {
        conversionError();
    }
}

double wholeNumber(const Value& v, double low, double high) {
    // Whole-number fields round half to even, as the original engine stored them.
    const double d = std::nearbyint(numberFor(v));
    if (!(d >= low && d <= high)) conversionError();
    return d;
}

bool booleanFor(const Value& v) {
    if (v.kind() == Value::Kind::Boolean) return v.asBoolean();
    if (v.isText()) {
        std::string t;
        for (char c : v.asText())
            if (c != ' ') t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (t == "TRUE" || t == "YES" || t == "ON") return true;
        if (t == "FALSE" || t == "NO" || t == "OFF") return false;
    }
    return numberFor(v) != 0;
}

} // namespace

std::size_t characterCount(std::string_view text) {
    std::size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

Value storeValue(const Value& v, ColumnType type, std::string_view fieldName) {
    if (v.isEmpty() || v.isNull()) return Value::null();
    switch (type.code) {
    case fieldtype::Boolean:
        return Value::boolean(booleanFor(v));
    case fieldtype::Byte:
        return Value::number(wholeNumber(v, 0, 255));
    case fieldtype::Integer:
        return Value::number(wholeNumber(v, -32768, 32767));
    case fieldtype::Long:
        return Value::number(wholeNumber(v, -2147483648.0, 2147483647.0));
    case fieldtype::Currency:
        return Value::currency(numberFor(v));
    case fieldtype::Single:
        return Value::number(static_cast<float>(numberFor(v)));
    case fieldtype::Double:
        return Value::number(numberFor(v));
    case fieldtype::Date:
        try {
            return Value::date(dateOf(v));
        } catch (const RuntimeError&) {
            conversionError();
        }
    case fieldtype::Text:
    case fieldtype::Memo:
    case fieldtype::Binary: {
        std::string text = textOf(v);
        if (type.code == fieldtype::Text && type.size > 0 &&
            characterCount(text) > static_cast<std::size_t>(type.size)) {
            std::string what = "The field";
            if (!fieldName.empty()) what += " '" + std::string(fieldName) + "'";
            throw EngineError(err::FieldTooSmall,
                              what + " is too small to accept the amount of data you "
                                     "attempted to add.  Try inserting or pasting less data.");
        }
        return Value::text(std::move(text));
    }
    default:
        return v;
    }
}

bool storesAsIs(const Value& v, ColumnType type) {
    if (v.isEmpty() || v.isNull()) return true;
    const auto whole = [&](double low, double high) {
        if (v.kind() != Value::Kind::Number) return false;
        const double d = v.asNumber();
        return std::nearbyint(d) == d && d >= low && d <= high;
    };
    switch (type.code) {
    case fieldtype::Boolean:
        return v.kind() == Value::Kind::Boolean;
    case fieldtype::Byte:
        return whole(0, 255);
    case fieldtype::Integer:
        return whole(-32768, 32767);
    case fieldtype::Long:
        return whole(-2147483648.0, 2147483647.0);
    case fieldtype::Single:
        return v.kind() == Value::Kind::Number &&
               static_cast<double>(static_cast<float>(v.asNumber())) == v.asNumber();
    case fieldtype::Double:
        return v.kind() == Value::Kind::Number;
    case fieldtype::Date:
        return v.kind() == Value::Kind::Date;
    case fieldtype::Text:
        // A text has no more characters than bytes.
        return v.isText() &&
               (type.size <= 0 || v.asText().size() <= static_cast<std::size_t>(type.size));
    case fieldtype::Memo:
    case fieldtype::Binary:
        return v.isText();
    case fieldtype::Currency:
        return false;
    default:
        return true;
    }
}

Value numberColumn(double number, ColumnType type) {
    switch (type.code) {
    case fieldtype::Boolean:
        return Value::boolean(number != 0);
    case fieldtype::Date:
        return Value::date(number);
    case fieldtype::Currency:
        return Value::currency(number);
    case fieldtype::Byte:
    case fieldtype::Integer:
    case fieldtype::Long:
    case fieldtype::Single:
    case fieldtype::Double:
        return Value::number(number);
    default:
        return Value::text(numberText(number));
    }
}

Value textColumn(std::string text, ColumnType type) {
    if (type.code == fieldtype::Date)
        if (auto serial = parseDateText(text)) return Value::date(*serial);
    return Value::text(std::move(text));
}

Value readColumn(sqlite3_stmt* stmt, int column, ColumnType type) {
    const int storage = sqlite3_column_type(stmt, column);
    if (storage == SQLITE_NULL) return Value::null();
    if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
        return numberColumn(sqlite3_column_double(stmt, column), type);
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return textColumn(
        std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))),
        type);
}

Value readUntyped(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return Value::null();
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return Value::number(sqlite3_value_double(v));
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return Value::text(
            std::string(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v))));
    }
    }
}

void bindValue(sqlite3_stmt* stmt, int index, const Value& v, bool kept) {
    switch (v.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
        sqlite3_bind_null(stmt, index);
        break;
    case Value::Kind::Boolean:
        sqlite3_bind_int(stmt, index, v.asBoolean() ? 1 : 0);
        break;
    case Value::Kind::Number: {
        const double d = v.asNumber();
        // Whole numbers go in as integers so they compare and store as SQLite's own.
        if (std::trunc(d) == d && std::fabs(d) < 9e15)
            sqlite3_bind_int64(stmt, index, static_cast<sqlite3_int64>(d));
        else
            sqlite3_bind_double(stmt, index, d);
        break;
    }
    case Value::Kind::Currency:
        sqlite3_bind_double(stmt, index, v.asCurrency().toDouble());
        break;
    case Value::Kind::Date:
        sqlite3_bind_double(stmt, index, v.asDateSerial());
        break;
    case Value::Kind::Text:
        sqlite3_bind_text(stmt, index, v.asText().data(), static_cast<int>(v.asText().size()),
                          kept ? SQLITE_STATIC : SQLITE_TRANSIENT);
        break;
    }
}

void resultValue(sqlite3_context* ctx, const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
        sqlite3_result_null(ctx);
        break;
    case Value::Kind::Boolean:
        sqlite3_result_int(ctx, v.asBoolean() ? 1 : 0);
        break;
    case Value::Kind::Number:
        sqlite3_result_double(ctx, v.asNumber());
        break;
    case Value::Kind::Currency:
        sqlite3_result_double(ctx, v.asCurrency().toDouble());
        break;
    case Value::Kind::Date:
        sqlite3_result_double(ctx, v.asDateSerial());
        break;
    case Value::Kind::Text:
        sqlite3_result_text(ctx, v.asText().data(), static_cast<int>(v.asText().size()),
                            SQLITE_TRANSIENT);
        break;
    }
}

} // namespace varnoke::detail
