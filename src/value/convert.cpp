#include "value/convert.h"

#include "value/runtime_error.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace varnoke {
namespace {

bool isSkippable(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

[[noreturn]] void typeMismatch() {
    throw RuntimeError(kErrTypeMismatch, "Type mismatch");
}
[[noreturn]] void invalidNull() {
    throw RuntimeError(kErrInvalidUseOfNull, "Invalid use of Null");
}

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr long daysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long>(yoe) + era * 400 + (m <= 2));
}

// 1899-12-30 as days from 1970-01-01.
constexpr long kSerialEpoch = daysFromCivil(1899, 12, 30);

bool validDate(int y, int m, int d) {
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

// A small cursor over a date or time text.
struct Scanner {
    std::string_view s;
    std::size_t i = 0;

    void skipBlanks() {
        while (i < s.size() && s[i] == ' ')
            ++i;
    }
    bool atEnd() const { return i >= s.size(); }
    std::optional<int> number(int maxDigits) {
        std::size_t start = i;
        int v = 0;
        while (i < s.size() && i - start < static_cast<std::size_t>(maxDigits) &&
               std::isdigit(static_cast<unsigned char>(s[i])))
            v = v * 10 + (s[i++] - '0');
        if (i == start) return std::nullopt;
        return v;
    }
    std::size_t digitsSince(std::size_t start) const { return i - start; }
    bool accept(char c) {
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    bool acceptWord(std::string_view w) {
        if (s.size() - i < w.size()) return false;
        for (std::size_t k = 0; k < w.size(); ++k)
            if (std::toupper(static_cast<unsigned char>(s[i + k])) != w[k]) return false;
        i += w.size();
        return true;
    }
};

// "h:mm[:ss] [AM|PM]" as a fraction of a day.
std::optional<double> scanTime(Scanner& sc) {
    auto h = sc.number(2);
    if (!h || !sc.accept(':')) return std::nullopt;
    auto mi = sc.number(2);
    if (!mi) return std::nullopt;
    int sec = 0;
    if (sc.accept(':')) {
        auto se = sc.number(2);
        if (!se) return std::nullopt;
        sec = *se;
    }
    int hour = *h;
    sc.skipBlanks();
    if (sc.acceptWord("AM")) {
        if (hour < 1 || hour > 12) return std::nullopt;
        if (hour == 12) hour = 0;
    } else if (sc.acceptWord("PM")) {
        if (hour < 1 || hour > 12) return std::nullopt;
        if (hour != 12) hour += 12;
    }
    if (hour > 23 || *mi > 59 || sec > 59) return std::nullopt;
    return (hour * 3600.0 + *mi * 60.0 + sec) / 86400.0;
}

std::optional<double> scanDate(Scanner& sc) {
    const std::size_t start = sc.i;
    auto first = sc.number(4);
    if (!first) return std::nullopt;
    const bool isoYear = sc.digitsSince(start) == 4;
    const char sep = sc.i < sc.s.size() ? sc.s[sc.i] : '\0';
    if (sep != '/' && sep != '-') return std::nullopt;
    ++sc.i;
    auto second = sc.number(2);
    if (!second || !sc.accept(sep)) return std::nullopt;
    const std::size_t yearStart = sc.i;
    auto third = sc.number(4);
    if (!third) return std::nullopt;
    int y, m, d;
    if (isoYear) {
        y = *first, m = *second, d = *third;
    } else {
        m = *first, d = *second, y = *third;
        const std::size_t yearDigits = sc.digitsSince(yearStart);
        if (yearDigits <= 2)
            y += y < 30 ? 2000 : 1900;
        else if (yearDigits == 3)
            return std::nullopt;
    }
    if (!validDate(y, m, d)) return std::nullopt;
    return makeDateSerial(y, m, d);
}

std::string twoDigits(int v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

} // namespace

namespace {

std::optional<double> numberAtStart(std::string_view text) {
    // Collect the characters that continue a number, ignoring blanks, tabs and line
    // feeds wherever they stand, then let strtod read them.
    std::string digits;
    std::size_t i = 0;
    auto next = [&]() -> int {
        while (i < text.size() && isSkippable(text[i]))
            ++i;
        return i < text.size() ? static_cast<unsigned char>(text[i]) : -1;
    };
    int c = next();
    if (c == '+' || c == '-') {
        digits += static_cast<char>(c);
        ++i;
        c = next();
    }
    bool sawDigit = false, sawPoint = false;
    while (c != -1 && (std::isdigit(c) || (c == '.' && !sawPoint))) {
        sawDigit |= std::isdigit(c) != 0;
        sawPoint |= c == '.';
        digits += static_cast<char>(c);
        ++i;
        c = next();
    }
    if (!sawDigit) return std::nullopt;
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
        const std::size_t save = i;
        std::string exp = "e";
        ++i;
        int e = next();
        if (e == '+' || e == '-') {
            exp += static_cast<char>(e);
            ++i;
            e = next();
        }
        bool expDigit = false;
        while (e != -1 && std::isdigit(e)) {
            expDigit = true;
            exp += static_cast<char>(e);
            ++i;
            e = next();
        }
        if (expDigit)
            digits += exp;
        else
            i = save;
    }
    const double v = std::strtod(digits.c_str(), nullptr);
    if (std::isinf(v)) throw RuntimeError(kErrOverflow, "Overflow");
    return v;
}

} // namespace

double leadingNumber(std::string_view text) {
    return numberAtStart(text).value_or(0);
}

double requiredLeadingNumber(std::string_view text) {
    const std::optional<double> number = numberAtStart(text);
    if (!number) typeMismatch();
    return *number;
}

std::string numberText(double number) {
    if (number == 0) return "0";
    if (std::fabs(number) < 1e15 && number == std::trunc(number)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", number);
        return buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", number);
    std::string s = buf;
    // "%G" writes "1E+16" and "1.5E-07"; the fixed part may carry trailing zeros
    // only when it has an exponent, which %G already strips.
    const auto e = s.find('E');
    std::string mantissa = s.substr(0, e);
    std::string exponent = e == std::string::npos ? "" : s.substr(e);
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0')
            mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    }
    return mantissa + exponent;
}

std::string signedNumberText(double number) {
    std::string s = numberText(number);
    const bool negative = !s.empty() && s[0] == '-';
    std::string body = negative ? s.substr(1) : s;
    if (body.size() > 1 && body[0] == '0' && body[1] == '.') body.erase(0, 1);
    return (negative ? "-" : " ") + body;
}

double makeDateSerial(int year, int month, int day, int hour, int minute, double second) {
    const long days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
        kSerialEpoch;
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // Before the epoch the fraction still counts forward within the day.
    return days >= 0 ? days + fraction : days - fraction;
}

CivilDateTime civilFromSerial(double serial) {
    // No calendar reaches this far; holding a serial at the bound keeps the arithmetic
    // below defined for any number a field or a function hands over.
    constexpr double kFarthest = 1e11;
    serial = std::isnan(serial) ? 0 : std::clamp(serial, -kFarthest, kFarthest);
    double whole = std::trunc(serial);
    double fraction = std::fabs(serial - whole);
    long secs = std::lround(fraction * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        whole += serial < 0 ? -1 : 1;
    }
    CivilDateTime c{};
    civilFromDays(static_cast<long>(whole) + kSerialEpoch, c.year, c.month, c.day);
    c.hour = static_cast<int>(secs / 3600);
    c.minute = static_cast<int>(secs / 60 % 60);
    c.second = static_cast<int>(secs % 60);
    return c;
}

std::string dateText(double serial) {
    const CivilDateTime c = civilFromSerial(serial);
    const bool hasTime = c.hour || c.minute || c.second;
    const bool hasDate = std::trunc(serial) != 0 || !hasTime;
    std::string out;
    if (hasDate)
        out = std::to_string(c.month) + "/" + std::to_string(c.day) + "/" + std::to_string(c.year);
    if (hasTime) {
        const int h12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
        if (!out.empty()) out += ' ';
        out += std::to_string(h12) + ":" + twoDigits(c.minute) + ":" + twoDigits(c.second) +
               (c.hour < 12 ? " AM" : " PM");
    }
    return out;
}

std::string textOf(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Empty:
        return "";
    case Value::Kind::Null:
        invalidNull();
    case Value::Kind::Boolean:
        return v.asBoolean() ? "True" : "False";
    case Value::Kind::Number:
        return numberText(v.asNumber());
    case Value::Kind::Currency:
        return numberText(v.asCurrency().toDouble());
    case Value::Kind::Date:
        return dateText(v.asDateSerial());
    case Value::Kind::Text:
        return v.asText();
    }
    return "";
}

std::string textOrBlank(const Value& v) {
    return v.isNull() ? std::string() : textOf(v);
}

std::optional<double> parseDateText(std::string_view text) {
    Scanner sc{text};
    sc.skipBlanks();
    if (sc.atEnd()) return std::nullopt;
    const std::size_t start = sc.i;
    double serial = 0;
    if (auto date = scanDate(sc)) {
        serial = *date;
        sc.skipBlanks();
        if (!sc.atEnd()) {
            auto time = scanTime(sc);
            if (!time) return std::nullopt;
            serial = serial >= 0 ? serial + *time : serial - *time;
        }
    } else {
        sc.i = start;
        auto time = scanTime(sc);
        if (!time) return std::nullopt;
        serial = *time;
    }
    sc.skipBlanks();
    if (!sc.atEnd()) return std::nullopt;
    return serial;
}

bool doubleHoldsExactly(double number) {
    constexpr double kExactWholeLimit = 9007199254740992.0; // 2^53
    return std::isfinite(number) &&
           (std::floor(number) != number || std::fabs(number) < kExactWholeLimit);
}

bool isNumberText(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && isSkippable(text[b]))
        ++b;
    while (e > b && isSkippable(text[e - 1]))
        --e;
    if (b == e) return false;
    std::string s(text.substr(b, e - b));
    if (s[0] == '+') s.erase(0, 1);
    if (s.empty()) return false;
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    // strtod also takes "inf", "nan" and hex forms; a number text has none of them.
    for (char c : s)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
              c == 'e' || c == 'E'))
            return false;
    return end == s.c_str() + s.size();
}

bool isDate(const Value& v) {
    if (v.isDate()) return true;
    return v.isText() && parseDateText(v.asText()).has_value();
}

double numberOf(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Empty:
        return 0;
    case Value::Kind::Null:
        invalidNull();
    case Value::Kind::Boolean:
        return v.asBoolean() ? -1 : 0;
    case Value::Kind::Number:
        return v.asNumber();
    case Value::Kind::Currency:
        return v.asCurrency().toDouble();
    case Value::Kind::Date:
        return v.asDateSerial();
    case Value::Kind::Text:
        if (!isNumberText(v.asText())) typeMismatch();
        return leadingNumber(v.asText());
    }
    typeMismatch();
}

double dateOf(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Null:
        invalidNull();
    case Value::Kind::Date:
        return v.asDateSerial();
    case Value::Kind::Text:
        if (auto serial = parseDateText(v.asText())) return *serial;
        if (isNumberText(v.asText())) return leadingNumber(v.asText());
        typeMismatch();
    case Value::Kind::Empty:
    case Value::Kind::Boolean:
    case Value::Kind::Number:
    case Value::Kind::Currency:
        return numberOf(v);
    }
    typeMismatch();
}

bool isBlank(const Value& v) {
    return v.isEmpty() || v.isNull() || (v.isText() && v.asText().empty());
}

std::optional<int> compareValues(const Value& a, const Value& b) {
    if (a.isNull() || b.isNull()) return std::nullopt;
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    const bool aText = a.isText(), bText = b.isText();
    if (aText && bText) return sign(a.asText(), b.asText());
    if (a.isEmpty() && b.isEmpty()) return 0;
    if (aText && b.isEmpty()) return sign(a.asText(), std::string());
    if (bText && a.isEmpty()) return sign(std::string(), b.asText());
    if (aText) return 1; // a number sorts before a text
    if (bText) return -1;
    return sign(numberOf(a), numberOf(b));
}

} // namespace varnoke
