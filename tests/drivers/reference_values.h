#pragma once
// How a linked value meets a value another reader wrote once into an expected table (see
// reference_table.h), for the worksheet and dBase corpora.
#include "reference_table.h"
#include "table_collector.h"
#include "value/value.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace varnoke::test {

struct FieldForm {
    std::string_view type; // as the expected table names it
    int code;
    std::optional<int> size; // none: the size the expected table gives
};
inline constexpr std::array kFieldForms{
    FieldForm{"double", 7, 8},   FieldForm{"date", 8, 8},    FieldForm{"text", 10, {}},
    FieldForm{"memo", 12, 0},    FieldForm{"boolean", 1, 1}, FieldForm{"long", 4, 4},
    FieldForm{"currency", 5, 8}, FieldForm{"binary", 11, 0},
};

inline std::string hexOf(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

// --- Where the reference's presentation and ours meet, and only here. ---
// The reference writes a number in its shortest round-trip form and a date as the
// engine's day serial (its script turned the sheet's count, which holds a 29 February 1900,
// into the engine's); numbers and dates in a text field are already the engine's text
// of them; currency is its exact decimal and binary values are hex. A number may differ
// from the reference by `tolerance` of itself (a worksheet's last bit, where a packed or
// 80-bit form was rounded to a double another way); a date by less than a millisecond.
inline std::optional<std::string> mismatch(const std::optional<std::string>& want,
                                           std::string_view type, const Value& got,
                                           double tolerance = 1e-15) {
    const auto shown = [&]() -> std::string {
        if (got.isNull()) return "Null";
        if (got.isText()) return "text \"" + got.asText() + "\"";
        if (got.isDate()) return "date " + std::to_string(got.asDateSerial());
        if (got.kind() == Value::Kind::Number) return "number " + std::to_string(got.asNumber());
        if (got.kind() == Value::Kind::Currency)
            return "currency " + std::to_string(got.asCurrency().tenThousandths) + "/10000";
        return "a value of kind " + std::to_string(static_cast<int>(got.kind()));
    };
    const auto wrong = [&] {
        return std::optional<std::string>("expected " + want.value_or("Null") + ", read " +
                                          shown());
    };
    if (!want) return got.isNull() ? std::nullopt : wrong();
    if (type == "text" || type == "memo")
        return got.isText() && got.asText() == *want ? std::nullopt : wrong();
    if (type == "binary")
        return got.isText() && hexOf(got.asText()) == *want ? std::nullopt : wrong();
    const double expected = std::strtod(want->c_str(), nullptr);
    if (type == "currency")
        return got.kind() == Value::Kind::Currency &&
                       got.asCurrency().tenThousandths == std::llround(expected * 10000)
                   ? std::nullopt
                   : wrong();
    if (type == "date") {
        if (!got.isDate()) return wrong();
        return std::fabs(got.asDateSerial() - expected) <= 1.0 / 86400000 ? std::nullopt : wrong();
    }
    if (type == "boolean")
        return got.kind() == Value::Kind::Boolean && got.asBoolean() == (*want == "true")
                   ? std::nullopt
                   : wrong();
    if (got.kind() != Value::Kind::Number) return wrong();
    const double read = got.asNumber();
    return read == expected || std::fabs(read - expected) <=
                                   tolerance * std::max(std::fabs(read), std::fabs(expected))
               ? std::nullopt
               : wrong();
}

// The linked table against the expected one: fields, types and sizes, the number of
// records, then every value (the first ten that differ are named).
inline void expectReferenceTable(const Table& table, const ReferenceTable& expected) {
    ASSERT_EQ(table.fields.size(), expected.names.size());
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const auto form =
            std::find_if(kFieldForms.begin(), kFieldForms.end(),
                         [&](const FieldForm& f) { return f.type == expected.types[i]; });
        ASSERT_NE(form, kFieldForms.end()) << "no field form for the type " << expected.types[i];
        EXPECT_EQ(table.fields[i].name, expected.names[i]) << "field " << i;
        EXPECT_EQ(table.fields[i].type, form->code) << expected.names[i];
        EXPECT_EQ(table.fields[i].size, form->size.value_or(std::stoi(expected.sizes[i])))
            << expected.names[i];
    }

    ASSERT_EQ(table.rows.size(), expected.rows.size());
    int wrong = 0;
    for (std::size_t r = 0; r < table.rows.size() && wrong < 10; ++r)
        for (std::size_t c = 0; c < expected.names.size() && wrong < 10; ++c)
            if (const auto why =
                    mismatch(expected.rows[r].at(c), expected.types[c], table.rows[r][c])) {
                ++wrong;
                ADD_FAILURE() << "record " << r << ", field " << expected.names[c] << ": " << *why;
            }
}

} // namespace varnoke::test
