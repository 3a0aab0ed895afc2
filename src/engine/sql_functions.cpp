// The dialect's functions as SQLite functions. Each takes SQLite values, turns them
// into the program's values and answers through the same conversions the rest of the
// program uses, so a query and the program agree on every text, number and date.
#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/sql_render.h"
#include "value/case_fold.h"
#include "value/convert.h"

#include <cctype>
#include <cmath>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace varnoke::detail {
namespace {

void raiseIn(sqlite3_context* ctx, int number, const std::string& description) {
    const std::string msg = "vkerr:" + std::to_string(number) + ":" + description;
    sqlite3_result_error(ctx, msg.c_str(), static_cast<int>(msg.size()));
}

// Byte offsets of the characters of a UTF-8 text, plus the end.
std::vector<std::size_t> characterStarts(const std::string& s) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
    starts.push_back(s.size());
    return starts;
}

std::string substring(const std::string& s, long from, long count) {
    const auto starts = characterStarts(s);
    const long n = static_cast<long>(starts.size()) - 1;
    from = std::clamp(from, 0L, n);
    const long to = std::clamp(from + std::max(count, 0L), from, n);
    return s.substr(starts[static_cast<std::size_t>(from)],
                    starts[static_cast<std::size_t>(to)] - starts[static_cast<std::size_t>(from)]);
}

std::string textArg(sqlite3_value* v) {
    return textOrBlank(readUntyped(v));
}

using Body = std::function<Value(const std::vector<sqlite3_value*>&)>;

// Adapts a body to SQLite: Null in the first argument gives Null (the dialect's
// functions propagate Null), errors become SQLite errors carrying their number.
struct Function {
    Body body;
    bool nullPropagates = true;
};

void dispatch(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const auto* f = static_cast<const Function*>(sqlite3_user_data(ctx));
    if (f->nullPropagates && argc > 0 && sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    try {
        resultValue(ctx, f->body(std::vector<sqlite3_value*>(argv, argv + argc)));
    } catch (const RuntimeError& e) {
        raiseIn(ctx, e.number(), e.description());
    } catch (const std::exception& e) {
        raiseIn(ctx, err::EngineFailure, e.what());
    }
}

double dateArg(sqlite3_value* v) {
    return dateOf(readUntyped(v));
}

double numArg(sqlite3_value* v) {
    Value x = readUntyped(v);
    if (x.isText()) return numberOf(x);
    return x.isNull() ? 0 : x.asNumber();
}

// A length or position: a Long, as the functions take it; past a Long's range is Overflow.
long longArg(sqlite3_value* v) {
    const double d = numArg(v);
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) throw RuntimeError(kErrOverflow, "Overflow");
    return static_cast<long>(d);
}

std::string trimmed(std::string s, bool left, bool right) {
    if (right)
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
    if (left) {
        std::size_t i = 0;
        while (i < s.size() && s[i] == ' ')
            ++i;
        s.erase(0, i);
    }
    return s;
}

char upperAscii(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// The rest of a text after the units `u` has read.
std::string_view restOf(std::string_view text, const FoldedUnits& u) {
    return text.substr(text.size() - u.left());
}

// Whether the folded unit `ch` is in a Like set such as "a-z0" (its brackets and "!" gone).
bool inLikeSet(std::string_view set, std::uint32_t ch) {
    for (FoldedUnits u(set); !u.done();) {
        const std::uint32_t low = u.next();
        FoldedUnits ahead = u;
        if (!ahead.done() && ahead.next() == '-' && !ahead.done()) {
            const std::uint32_t high = ahead.next();
            if (ch >= low && ch <= high) return true;
            u = ahead;
        } else if (ch == low) {
            return true;
        }
    }
    return false;
}

// The dialect's Like: * any run, ? one character, # one digit, [set], [!set], [a-z];
// letters match without regard to case, as every case-blind comparison folds them.
bool likeMatch(std::string_view s, std::string_view p) {
    while (!p.empty()) {
        const char c = p[0];
        if (c == '*') {
            while (!p.empty() && p[0] == '*')
                p.remove_prefix(1);
            if (p.empty()) return true;
            // The rest of the pattern from each character of the text on.
            for (FoldedUnits u(s);; u.next()) {
                if (likeMatch(restOf(s, u), p)) return true;
                if (u.done()) return false;
            }
        }
        if (s.empty()) return false;
        FoldedUnits text(s);
        const std::uint32_t ch = text.next();
        if (c == '#' && !std::isdigit(static_cast<unsigned char>(s[0]))) return false;
        if (c == '?' || c == '#') {
            p.remove_prefix(1);
        } else if (c == '[') {
            const auto close = p.find(']', 1);
            if (close == std::string_view::npos) return false;
            std::string_view set = p.substr(1, close - 1);
            const bool negate = !set.empty() && set[0] == '!';
            if (negate) set.remove_prefix(1);
            if (inLikeSet(set, ch) == negate) return false;
            p.remove_prefix(close + 1);
        } else {
            FoldedUnits pattern(p);
            if (pattern.next() != ch) return false;
            p = restOf(p, pattern);
        }
        s = restOf(s, text);
    }
    return s.empty();
}

double localNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return makeDateSerial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                          tm.tm_sec);
}

struct Entry {
    const char* name;
    int args; // -1: any
    Function f;
    bool deterministic = true;
};

std::vector<Entry>& entries() {
    using A = const std::vector<sqlite3_value*>&;
    static std::vector<Entry> list = [] {
        std::vector<Entry> l;
        l.push_back({"vk_left", 2, {[](A a) {
                         return Value::text(substring(textArg(a[0]), 0, longArg(a[1])));
                     }}});
        l.push_back({"vk_right", 2, {[](A a) {
                         const auto s = textArg(a[0]);
                         const long n = static_cast<long>(characterCount(s));
                         const long k = longArg(a[1]);
                         return Value::text(substring(s, n - std::min(k, n), k));
                     }}});
        for (int n : {2, 3})
            l.push_back({"vk_mid", n, {[](A a) {
                             const long start = longArg(a[1]);
                             if (start < 1)
                                 throw RuntimeError(5, "Invalid procedure call or argument");
                             const long count = a.size() > 2 ? longArg(a[2]) : 1L << 30;
                             return Value::text(substring(textArg(a[0]), start - 1, count));
                         }}});
        l.push_back({"vk_len", 1, {[](A a) {
                         return Value::number(static_cast<double>(characterCount(textArg(a[0]))));
                     }}});
        l.push_back({"vk_ucase", 1, {[](A a) {
                         auto s = textArg(a[0]);
                         for (char& c : s)
                             c = upperAscii(c);
                         return Value::text(s);
                     }}});
        l.push_back({"vk_lcase", 1, {[](A a) {
                         auto s = textArg(a[0]);
                         for (char& c : s)
                             c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                         return Value::text(s);
                     }}});
        l.push_back(
            {"vk_trim", 1, {[](A a) { return Value::text(trimmed(textArg(a[0]), true, true)); }}});
        l.push_back({"vk_ltrim", 1, {[](A a) {
                         return Value::text(trimmed(textArg(a[0]), true, false));
                     }}});
        l.push_back({"vk_rtrim", 1, {[](A a) {
                         return Value::text(trimmed(textArg(a[0]), false, true));
                     }}});
        l.push_back(
            {"vk_val", 1, {[](A a) { return Value::number(leadingNumber(textArg(a[0]))); }}});
        l.push_back(
            {"vk_str", 1, {[](A a) { return Value::text(signedNumberText(numArg(a[0]))); }}});
        l.push_back({"vk_cstr", 1, {[](A a) { return Value::text(textOf(readUntyped(a[0]))); }}});
        l.push_back(
            {"vk_cdbl", 1, {[](A a) { return Value::number(numberOf(readUntyped(a[0]))); }}});
        l.push_back({"vk_cdate", 1, {[](A a) { return Value::date(dateArg(a[0])); }}});
        l.push_back({"vk_year", 1, {[](A a) {
                         return Value::number(civilFromSerial(dateArg(a[0])).year);
                     }}});
        l.push_back({"vk_month", 1, {[](A a) {
                         return Value::number(civilFromSerial(dateArg(a[0])).month);
                     }}});
        l.push_back(
            {"vk_day", 1, {[](A a) { return Value::number(civilFromSerial(dateArg(a[0])).day); }}});
        l.push_back({"vk_hour", 1, {[](A a) {
                         return Value::number(civilFromSerial(dateArg(a[0])).hour);
                     }}});
        l.push_back({"vk_minute", 1, {[](A a) {
                         return Value::number(civilFromSerial(dateArg(a[0])).minute);
                     }}});
        l.push_back({"vk_second", 1, {[](A a) {
                         return Value::number(civilFromSerial(dateArg(a[0])).second);
                     }}});
        l.push_back(
            {"vk_today", 0, {[](A) { return Value::date(std::floor(localNow())); }}, false});
        l.push_back({"vk_now", 0, {[](A) { return Value::date(localNow()); }}, false});
        l.push_back({"vk_int", 1, {[](A a) { return Value::number(std::floor(numArg(a[0]))); }}});
        l.push_back({"vk_fix", 1, {[](A a) { return Value::number(std::trunc(numArg(a[0]))); }}});
        l.push_back({"vk_instr", 2, {[](A a) {
                         // Folding keeps the characters where they were.
                         const auto s = foldedText(textArg(a[0]));
                         const auto pos = s.find(foldedText(textArg(a[1])));
                         if (pos == std::string::npos) return Value::number(0);
                         return Value::number(
                             static_cast<double>(characterCount(s.substr(0, pos)) + 1));
                     }}});
        l.push_back({"vk_datetext", 1, {[](A a) {
                         Value v = readUntyped(a[0]);
                         if (v.isText()) return v;
                         return Value::text(dateText(v.asNumber()));
                     }}});
        l.push_back({"vk_booltext", 1, {[](A a) {
                         Value v = readUntyped(a[0]);
                         if (v.isText()) return v;
                         return Value::text(v.asNumber() != 0 ? "True" : "False");
                     }}});
        // & treats Null as an empty text.
        l.push_back({"vk_concat",
                     2,
                     {[](A a) { return Value::text(textArg(a[0]) + textArg(a[1])); }, false}});
        l.push_back({"vk_like", 2, {[](A a) {
                         if (sqlite3_value_type(a[1]) == SQLITE_NULL) return Value::null();
                         return Value::boolean(likeMatch(textArg(a[0]), textArg(a[1])));
                     }}});
        l.push_back({"vk_div", 2, {[](A a) {
                         if (sqlite3_value_type(a[1]) == SQLITE_NULL) return Value::null();
                         const double d = numArg(a[1]);
                         if (d == 0) throw RuntimeError(11, "Division by zero");
                         return Value::number(numArg(a[0]) / d);
                     }}});
        l.push_back({"vk_intdiv", 2, {[](A a) {
                         if (sqlite3_value_type(a[1]) == SQLITE_NULL) return Value::null();
                         const double d = std::nearbyint(numArg(a[1]));
                         if (d == 0) throw RuntimeError(11, "Division by zero");
                         return Value::number(std::trunc(std::nearbyint(numArg(a[0])) / d));
                     }}});
        l.push_back({"vk_mod", 2, {[](A a) {
                         if (sqlite3_value_type(a[1]) == SQLITE_NULL) return Value::null();
                         const double d = std::nearbyint(numArg(a[1]));
                         if (d == 0) throw RuntimeError(11, "Division by zero");
                         return Value::number(std::fmod(std::nearbyint(numArg(a[0])), d));
                     }}});
        l.push_back({"vk_pow", 2, {[](A a) {
                         if (sqlite3_value_type(a[1]) == SQLITE_NULL) return Value::null();
                         return Value::number(std::pow(numArg(a[0]), numArg(a[1])));
                     }}});
        // vk_store(value, kind, type code, size, field name): a value going into a
        // column, converted as an assignment to that field converts.
        l.push_back({"vk_store",
                     5,
                     {[](A a) {
                          Value v = readUntyped(a[0]);
                          const int kind = sqlite3_value_int(a[1]);
                          if (!v.isNull() && !v.isText()) {
                              if (kind == 3) v = Value::date(v.asNumber());
                              if (kind == 4) v = Value::boolean(v.asNumber() != 0);
                          }
                          const ColumnType type{sqlite3_value_int(a[2]), sqlite3_value_int(a[3])};
                          return storeValue(v, type, textArg(a[4]));
                      },
                      false}});
        return l;
    }();
    return list;
}

} // namespace

void registerFunctions(sqlite3* db) {
    for (auto& e : entries()) {
        const int flags = SQLITE_UTF8 | (e.deterministic ? SQLITE_DETERMINISTIC : 0);
        sqlite3_create_function_v2(db, e.name, e.args, flags, &e.f, dispatch, nullptr, nullptr,
                                   nullptr);
    }
}

} // namespace varnoke::detail
