#include "drivers/cell_grid.h"

#include "drivers/reader_support.h"
#include "value/convert.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace varnoke::drivers {

namespace {

enum class Guess { None, Long, Double, Date, Boolean, Text };

std::optional<double> wholeNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::string_view digits = text;
    if (digits.front() == '-' || digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    long long v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<double>(v);
}

std::optional<double> decimalNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    // Only plain decimal forms: no "inf", "nan" or hexadecimal.
    const char first = text.empty() ? ' ' : text.front();
    if (!(first == '-' || first == '.' || (first >= '0' && first <= '9'))) return std::nullopt;
    if (text.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return std::nullopt;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

Guess guessOf(const Value& v, CellSource source) {
    switch (v.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
        return Guess::None;
    case Value::Kind::Boolean:
        return Guess::Boolean;
    case Value::Kind::Number:
    case Value::Kind::Currency:
        return Guess::Double;
    case Value::Kind::Date:
        return Guess::Date;
    case Value::Kind::Text:
        break;
    }
    if (source == CellSource::Worksheet) return Guess::Text;
    const auto text = trim(v.asText());
    if (text.empty()) return Guess::None;
    if (wholeNumber(text)) return Guess::Long;
    if (decimalNumber(text)) return Guess::Double;
    if (parseDateText(text)) return Guess::Date;
    return Guess::Text;
}

Guess combine(Guess a, Guess b) {
    if (a == Guess::None) return b;
    if (b == Guess::None || a == b) return a;
    if ((a == Guess::Long && b == Guess::Double) || (a == Guess::Double && b == Guess::Long))
        return Guess::Double;
    return Guess::Text;
}

std::string textOfCell(const Value& v) {
    if (v.isText()) return v.asText();
    if (v.kind() == Value::Kind::Number) return numberText(v.asNumber());
    return textOrBlank(v);
}

Value converted(Value v, Guess column) {
    if (v.isEmpty() || v.isNull()) return Value::null();
    if (v.isText()) {
        const auto text = trim(v.asText());
        if (text.empty()) return Value::null();
        switch (column) {
        case Guess::Long:
            return Value::number(*wholeNumber(text));
        case Guess::Double:
            if (auto n = decimalNumber(text)) return Value::number(*n);
            break;
        case Guess::Date:
            if (auto d = parseDateText(text)) return Value::date(*d);
            break;
        default:
            break;
        }
        return v;
    }
    if (column == Guess::Text) return Value::text(textOfCell(v));
    if (column == Guess::Double && v.kind() == Value::Kind::Currency)
        return Value::number(v.asCurrency().toDouble());
    return v;
}

ForeignField fieldOf(std::string name, Guess guess, std::size_t longestText) {
    switch (guess) {
    case Guess::Long:
        return {std::move(name), 4, 4};
    case Guess::Double:
        return {std::move(name), 7, 8};
    case Guess::Date:
        return {std::move(name), 8, 8};
    case Guess::Boolean:
        return {std::move(name), 1, 1};
    default:
        if (longestText > 255) return {std::move(name), 12, 0};
        return {std::move(name), 10, 255};
    }
}

} // namespace

void sendGrid(std::vector<CellRow> grid, CellSource source, ForeignTableSink& sink) {
    std::size_t columns = 0;
    for (const auto& row : grid)
        columns = std::max(columns, row.size());
    // Trailing columns with neither a name nor a value are only layout.
    while (columns > 0 && std::all_of(grid.begin(), grid.end(), [&](const CellRow& row) {
               return row.size() < columns ||
                      guessOf(row[columns - 1], CellSource::Text) == Guess::None;
           }))
        --columns;

    std::vector<Guess> guesses(columns, Guess::None);
    std::vector<std::size_t> longest(columns, 0);
    for (std::size_t r = 1; r < grid.size(); ++r)
        for (std::size_t c = 0; c < grid[r].size() && c < columns; ++c) {
            guesses[c] = combine(guesses[c], guessOf(grid[r][c], source));
            longest[c] = std::max(longest[c], utf8Length(textOfCell(grid[r][c])));
        }

    std::vector<ForeignField> fields;
    for (std::size_t c = 0; c < columns; ++c) {
        std::string name;
        if (!grid.empty() && c < grid[0].size()) name = std::string(trim(textOfCell(grid[0][c])));
        const bool taken = std::any_of(fields.begin(), fields.end(), [&](const ForeignField& f) {
            return equalsNoCase(f.name, name);
        });
        // Unnamed or repeated columns get the engine's own names for them.
        if (name.empty() || taken) name = "F" + std::to_string(c + 1);
        fields.push_back(fieldOf(std::move(name), guesses[c], longest[c]));
    }
    sink.begin(fields);

    std::vector<Value> values;
    for (std::size_t r = 1; r < grid.size(); ++r) {
        // Rows with nothing in them are spacing, as at the foot of a worksheet.
        if (std::all_of(grid[r].begin(), grid[r].end(),
                        [](const Value& v) { return guessOf(v, CellSource::Text) == Guess::None; }))
            continue;
        values.clear();
        for (std::size_t c = 0; c < columns; ++c)
            values.push_back(c < grid[r].size() ? converted(std::move(grid[r][c]), guesses[c])
                                                : Value::null());
        sink.row(values);
    }
}

} // namespace varnoke::drivers
