#include "drivers/cell_grid.h"

#include "drivers/field_names.h"
#include "drivers/reader_support.h"
#include "engine/engine_error.h"
#include "value/convert.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

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
    if (!std::all_of(text.begin(), text.end(), [](char c) {
            return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' ||
                   c == 'E';
        }))
        return std::nullopt;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

Guess guessOfText(std::string_view raw);

bool isBlankCell(const Value& v) {
    return v.isEmpty() || v.isNull() || (v.isText() && trim(v.asText()).empty());
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
    if (source == CellSource::Worksheet) return isBlankCell(v) ? Guess::None : Guess::Text;
    return guessOfText(v.asText());
}

Guess guessOfText(std::string_view raw) {
    const auto text = trim(raw);
    if (text.empty()) return Guess::None;
    if (wholeNumber(text)) return Guess::Long;
    // A key of 17 digits would come back as its neighbour: such a column stays text.
    if (auto n = decimalNumber(text)) return doubleHoldsExactly(*n) ? Guess::Double : Guess::Text;
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
    // A worksheet shows a yes/no cell as these words, whatever the language.
    if (v.kind() == Value::Kind::Boolean) return v.asBoolean() ? "TRUE" : "FALSE";
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

struct GridTyper::Column {
    Guess guess = Guess::None;
    std::size_t longest = 0;
};

GridTyper::GridTyper(CellSource source, std::string_view fileName)
    : source_(source), fileName_(fileName),
      first_(source == CellSource::Worksheet ? std::numeric_limits<std::size_t>::max() : 0) {}
GridTyper::~GridTyper() = default;

void GridTyper::header(const CellRow& row) {
    widen(row);
    names_.emplace();
    for (const auto& v : row)
        names_->push_back(std::string(trim(textOfCell(v))));
}

void GridTyper::widen(const CellRow& row) {
    // Trailing columns with neither a name nor a value are only layout, and so are a
    // worksheet's columns left of every value: a table placed lower right on its sheet.
    for (std::size_t c = row.size(); c > width_; --c)
        if (!isBlankCell(row[c - 1])) {
            widenTo(c);
            break;
        }
    for (std::size_t c = 0; c < std::min(first_, row.size()); ++c)
        if (!isBlankCell(row[c])) {
            first_ = c;
            break;
        }
}

void GridTyper::widenTo(std::size_t width) {
    // Before any work per column: a million of them would take hours to name.
    checkFieldCount(width, fileName_);
    width_ = width;
}

void GridTyper::measure(std::size_t column, std::size_t bytes, const std::string& text) {
    // Only a text longer than 255 characters changes the field, and a text has no more
    // characters than bytes.
    auto& longest = columns_[column].longest;
    if (bytes <= longest || bytes <= 255) return;
    longest = std::max(longest, utf8Length(text));
    if (longest > kMaxMemoCharacters)
        throwBadFormat(fileName_, "the value in row " + std::to_string(rows_ + 1) + " of field " +
                                      std::to_string(column + 1) + " is longer than " +
                                      std::to_string(kMaxMemoCharacters) +
                                      " characters, the most a memo holds");
}

void GridTyper::observe(const CellRow& row) {
    if (!names_) {
        // The blank rows above a worksheet's header hold nothing and name nothing.
        if (std::all_of(row.begin(), row.end(), isBlankCell)) return;
        header(row);
        headerToPass_ = true;
        return;
    }
    widen(row);
    if (columns_.size() < row.size()) columns_.resize(row.size());
    for (std::size_t c = 0; c < row.size(); ++c) {
        auto& column = columns_[c];
        // A column found to hold text stays text: its later values need no guessing.
        if (column.guess != Guess::Text)
            column.guess = combine(column.guess, guessOf(row[c], source_));
        // Only a text can make a memo: a number, date or yes/no is never 255
        // characters long when a text column shows it.
        if (row[c].isText()) measure(c, row[c].asText().size(), row[c].asText());
    }
    ++rows_;
}

void GridTyper::observeTexts(const std::vector<std::string>& row) {
    for (std::size_t c = row.size(); c > width_; --c)
        if (!trim(row[c - 1]).empty()) {
            widenTo(c);
            break;
        }
    if (columns_.size() < row.size()) columns_.resize(row.size());
    for (std::size_t c = 0; c < row.size(); ++c) {
        auto& column = columns_[c];
        if (column.guess != Guess::Text) column.guess = combine(column.guess, guessOfText(row[c]));
        measure(c, row[c].size(), row[c]);
    }
    ++rows_;
}

std::vector<ForeignField> GridTyper::fields(std::string_view emptyMessage) {
    if (width_ == 0) throw EngineError(err::ExternalFormat, std::string(emptyMessage));
    columns_.resize(std::max(columns_.size(), width_));
    const auto& names = names_ ? *names_ : std::vector<std::string>();
    std::vector<ForeignField> fields;
    for (std::size_t c = first_; c < width_; ++c)
        fields.push_back(fieldOf(c < names.size() ? names[c] : std::string(), columns_[c].guess,
                                 columns_[c].longest));
    makeNamesUnique(fields);
    return fields;
}

bool GridTyper::convert(CellRow& row, std::vector<Value>& values) {
    // Rows with nothing in them are spacing, as at the foot of a worksheet.
    if (std::all_of(row.begin(), row.end(), isBlankCell)) return false;
    if (std::exchange(headerToPass_, false)) return false;
    values.clear();
    for (std::size_t c = first_; c < width_; ++c)
        values.push_back(c < row.size() ? converted(std::move(row[c]), columns_[c].guess)
                                        : Value::null());
    return true;
}

std::string emptyTableMessage(std::string_view kind, std::string_view name,
                              std::string_view fileName) {
    std::string what = name.empty() ? "The file '" + std::string(fileName) + "'"
                                    : "The " + std::string(kind) + " '" + std::string(name) +
                                          "' in '" + std::string(fileName) + "'";
    return what + " holds no data; there is nothing to link.";
}

void sendSheet(const SheetRows& rows, CellSource source, std::string_view fileName,
               std::string_view emptyMessage, ForeignTableSink& sink) {
    GridTyper typer(source, fileName);
    rows([&](CellRow& row) { typer.observe(row); });
    sink.begin(typer.fields(emptyMessage));
    std::vector<Value> values;
    rows([&](CellRow& row) {
        if (typer.convert(row, values)) sink.row(values);
    });
}

void sendGrid(std::vector<CellRow> grid, CellSource source, std::string_view fileName,
              std::string_view emptyMessage, ForeignTableSink& sink) {
    sendSheet(
        [&](const RowVisit& visit) {
            for (auto& row : grid)
                visit(row);
        },
        source, fileName, emptyMessage, sink);
}

} // namespace varnoke::drivers
