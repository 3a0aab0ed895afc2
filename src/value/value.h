#pragma once
// Value: the variant every record field, criteria operand and flag travels as.
// It keeps the seven kinds apart (Empty is "never set", Null is "no data"), because
// the run treats them differently: Empty and Null both count as a blank, but only
// Null reaches the database as SQL NULL.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace varnoke {

// A date is the day serial: days since 12/30/1899, the time of day as the fraction.
struct DateSerial {
    double serial = 0;
    bool operator==(const DateSerial&) const = default;
};

// Currency keeps four decimal places exactly, as ten-thousandths.
struct Currency {
    std::int64_t tenThousandths = 0;
    static Currency fromDouble(double amount);
    double toDouble() const { return static_cast<double>(tenThousandths) / 10000.0; }
    bool operator==(const Currency&) const = default;
};

class Value {
public:
    enum class Kind { Empty, Null, Boolean, Number, Currency, Date, Text };

    Value() = default;
    static Value null() { return Value(NullTag{}); }
    static Value boolean(bool b) { return Value(b); }
    static Value number(double d) { return Value(d); }
    static Value currency(double amount) { return Value(Currency::fromDouble(amount)); }
    static Value currency(Currency c) { return Value(c); }
    static Value date(double serial) { return Value(DateSerial{serial}); }
    static Value text(std::string s) { return Value(std::move(s)); }

    Kind kind() const { return static_cast<Kind>(data_.index()); }
    bool isEmpty() const { return kind() == Kind::Empty; }
    bool isNull() const { return kind() == Kind::Null; }
    bool isText() const { return kind() == Kind::Text; }
    bool isDate() const { return kind() == Kind::Date; }
    // Boolean, Number and Currency: the kinds that are numbers to the program.
    bool isNumeric() const;

    // Accessors for a known kind; calling one for another kind is a programming error.
    bool asBoolean() const { return std::get<bool>(data_); }
    double asNumber() const { return std::get<double>(data_); }
    Currency asCurrency() const { return std::get<Currency>(data_); }
    double asDateSerial() const { return std::get<DateSerial>(data_).serial; }
    const std::string& asText() const { return std::get<std::string>(data_); }

    // Same kind and same content; for tests and caches, not the program's comparisons.
    bool operator==(const Value&) const = default;

private:
    struct EmptyTag {
        bool operator==(const EmptyTag&) const = default;
    };
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    template <typename T> explicit Value(T v) : data_(std::move(v)) {}

    std::variant<EmptyTag, NullTag, bool, double, Currency, DateSerial, std::string> data_;
};

} // namespace varnoke
