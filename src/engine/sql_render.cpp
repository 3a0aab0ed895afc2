#include "engine/sql_render.h"

#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "value/convert.h"

#include <algorithm>
#include <array>

namespace varnoke::detail {
namespace {

[[noreturn]] void mismatch() {
    throw EngineError(err::CriteriaTypeMismatch, "Data type mismatch in criteria expression.");
}

[[noreturn]] void unknownName(const std::string& name) {
    throw EngineError(err::UnknownName, "The engine does not recognize '" + name +
                                            "' as a valid field name or "
                                            "expression.");
}

SType stypeOfValue(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Text:
        return SType::Text;
    case Value::Kind::Date:
        return SType::Date;
    case Value::Kind::Boolean:
        return SType::Boolean;
    case Value::Kind::Number:
    case Value::Kind::Currency:
        return SType::Number;
    default:
        return SType::Null;
    }
}

ColumnType columnTypeOf(SType t) {
    switch (t) {
    case SType::Number:
        return {fieldtype::Double, 8};
    case SType::Date:
        return {fieldtype::Date, 8};
    case SType::Boolean:
        return {fieldtype::Boolean, 1};
    default:
        return {fieldtype::Text, 255};
    }
}

int stypeCode(SType t) {
    switch (t) {
    case SType::Date:
        return 3;
    case SType::Boolean:
        return 4;
    default:
        return 0;
    }
}

struct FunctionRow {
    const char* name;
    const char* sqlName;
    int minArgs, maxArgs;
    SType result;
    bool textArg; // the first argument is read as text
};

// The dialect's functions and the SQLite functions that do their work.
constexpr std::array kFunctions{
    FunctionRow{"LEFT", "vk_left", 2, 2, SType::Text, true},
    FunctionRow{"RIGHT", "vk_right", 2, 2, SType::Text, true},
    FunctionRow{"MID", "vk_mid", 2, 3, SType::Text, true},
    FunctionRow{"LEN", "vk_len", 1, 1, SType::Number, true},
    FunctionRow{"UCASE", "vk_ucase", 1, 1, SType::Text, true},
    FunctionRow{"LCASE", "vk_lcase", 1, 1, SType::Text, true},
    FunctionRow{"TRIM", "vk_trim", 1, 1, SType::Text, true},
    FunctionRow{"LTRIM", "vk_ltrim", 1, 1, SType::Text, true},
    FunctionRow{"RTRIM", "vk_rtrim", 1, 1, SType::Text, true},
    FunctionRow{"VAL", "vk_val", 1, 1, SType::Number, true},
    FunctionRow{"STR", "vk_str", 1, 1, SType::Text, false},
    FunctionRow{"CSTR", "vk_cstr", 1, 1, SType::Text, true},
    FunctionRow{"CDBL", "vk_cdbl", 1, 1, SType::Number, false},
    FunctionRow{"CDATE", "vk_cdate", 1, 1, SType::Date, false},
    FunctionRow{"DATEVALUE", "vk_cdate", 1, 1, SType::Date, false},
    FunctionRow{"YEAR", "vk_year", 1, 1, SType::Number, false},
    FunctionRow{"MONTH", "vk_month", 1, 1, SType::Number, false},
    FunctionRow{"DAY", "vk_day", 1, 1, SType::Number, false},
    FunctionRow{"HOUR", "vk_hour", 1, 1, SType::Number, false},
    FunctionRow{"MINUTE", "vk_minute", 1, 1, SType::Number, false},
    FunctionRow{"SECOND", "vk_second", 1, 1, SType::Number, false},
    FunctionRow{"DATE", "vk_today", 0, 0, SType::Date, false},
    FunctionRow{"NOW", "vk_now", 0, 0, SType::Date, false},
    FunctionRow{"ABS", "abs", 1, 1, SType::Number, false},
    FunctionRow{"INT", "vk_int", 1, 1, SType::Number, false},
    FunctionRow{"FIX", "vk_fix", 1, 1, SType::Number, false},
    FunctionRow{"INSTR", "vk_instr", 2, 2, SType::Number, true},
};

bool isAggregate(const std::string& upper) {
    return upper == "COUNT" || upper == "SUM" || upper == "AVG" || upper == "MIN" || upper == "MAX";
}

bool containsAggregate(const sql::Expr& e) {
    if (e.kind == sql::Expr::Kind::Call && isAggregate(upperName(e.name))) return true;
    return std::any_of(e.args.begin(), e.args.end(),
                       [](const auto& a) { return a && containsAggregate(*a); });
}

} // namespace

SType stypeOf(ColumnType type) {
    switch (type.code) {
    case fieldtype::Boolean:
        return SType::Boolean;
    case fieldtype::Byte:
    case fieldtype::Integer:
    case fieldtype::Long:
    case fieldtype::Currency:
    case fieldtype::Single:
    case fieldtype::Double:
        return SType::Number;
    case fieldtype::Date:
        return SType::Date;
    default:
        return SType::Text;
    }
}

int Renderer::bind(Value v) {
    binds.push_back(std::move(v));
    return static_cast<int>(binds.size());
}

std::string Renderer::asText(const RExpr& r) {
    switch (r.type) {
    case SType::Text:
    case SType::Null:
        return r.sql;
    case SType::Date:
        return "vk_datetext(" + r.sql + ")";
    case SType::Boolean:
        return "vk_booltext(" + r.sql + ")";
    default:
        return "vk_cstr(" + r.sql + ")";
    }
}

const TableInfo& Renderer::resolveTable(const std::string& name) {
    const TableInfo* t = conn_.table(name);
    if (!t)
        throw EngineError(err::TableNotFound, "Cannot find the input table or query '" + name +
                                                  "'.  Make sure it exists and that its name "
                                                  "is spelled correctly.");
    return *t;
}

RExpr Renderer::column(const sql::Expr& e) {
    // Innermost scope first, so a subquery's own tables win over the outer ones.
    for (auto level = scopes_.rbegin(); level != scopes_.rend(); ++level) {
        const auto& scope = *level;
        for (std::size_t i = 0; i < scope.size(); ++i) {
            const auto& st = scope[i];
            if (!e.qualifier.empty() && !sameName(st.matchName, e.qualifier)) continue;
            int index = -1;
            if (auto it = st.fieldAliases.find(upperName(e.name)); it != st.fieldAliases.end())
                index = it->second;
            if (index < 0) index = st.info.columnIndex(e.name);
            if (index < 0) continue;
            const auto& col = st.info.columns[static_cast<std::size_t>(index)];
            RExpr r;
            r.sql = st.sqlRef + "." + quoteName(col.name);
            r.type = stypeOf(col.type);
            r.column = col.type;
            r.columnName = col.name;
            r.scopeTable = level == scopes_.rbegin() ? static_cast<int>(i) : -1;
            return r;
        }
    }
    if (e.qualifier.empty()) {
        for (const auto& alias : selectAliases_) {
            if (sameName(alias, e.name)) {
                RExpr r;
                r.sql = quoteName(alias);
                return r;
            }
        }
    }
    const std::string full = e.qualifier.empty() ? e.name : e.qualifier + "." + e.name;
    if (criteriaMode || !params_) unknownName(full);
    // Any other name is a parameter, answered before the statement runs.
    const auto key = upperName(full);
    if (std::none_of(params_->used.begin(), params_->used.end(),
                     [&](const std::string& u) { return sameName(u, full); }))
        params_->used.push_back(full);
    RExpr r;
    auto it = params_->values.find(key);
    if (it == params_->values.end() || it->second.isEmpty()) {
        ++missingParameters;
        r.bind = bind(Value::null());
    } else {
        Value v = it->second;
        for (const auto& d : params_->declared) {
            if (sameName(d.name, full)) {
                v = storeValue(v, ColumnType{d.type, 0});
                break;
            }
        }
        r.type = stypeOfValue(v);
        r.bind = bind(v);
    }
    r.sql = "?" + std::to_string(r.bind);
    return r;
}

void Renderer::noteSearched(const RExpr& r) {
    if (!r.column || r.scopeTable < 0 || scopes_.empty()) return;
    if (r.column->code == fieldtype::Binary) return;
    const auto& st = scopes_.back()[static_cast<std::size_t>(r.scopeTable)];
    searched.push_back({st.info, r.columnName,
                        stypeOf(*r.column) == SType::Text ? IndexKind::NoCase : IndexKind::Plain});
}

namespace {

bool isLiteralNumber(const sql::Expr& e, double n) {
    return e.kind == sql::Expr::Kind::Literal && e.value.isNumeric() && numberOf(e.value) == n;
}

bool isBinaryStrComp(const sql::Expr& e) {
    if (e.kind != sql::Expr::Kind::Call || !sameName(e.name, "StrComp")) return false;
    return e.args.size() == 2 || (e.args.size() == 3 && isLiteralNumber(*e.args[2], 0));
}

} // namespace

// StrComp(a, b[, 0]) compares the texts byte for byte, StrComp(a, b, 1) without regard
// to case: -1, 0 or 1, Null when either side is Null.
std::string Renderer::strComp(const RExpr& a, const RExpr& b, bool text) {
    const std::string x = asText(a), y = asText(b);
    const std::string coll = text ? kCaseBlind : " COLLATE BINARY";
    return "(CASE WHEN " + x + " IS NULL OR " + y + " IS NULL THEN NULL WHEN " + x + coll + " = " +
           y + " THEN 0 WHEN " + x + coll + " < " + y + " THEN -1 ELSE 1 END)";
}

// "StrComp([F], 'v', 0) = 0" on a text field: the exact test of a find, written as the
// field's own comparison (byte for byte), so an index in that collation answers it and
// records that differ from the value only in case are never visited.
std::optional<RExpr> Renderer::exactTest(const sql::Expr& e) {
    if (e.op != "=" || e.args.size() != 2) return std::nullopt;
    const bool callFirst = isBinaryStrComp(*e.args[0]) && isLiteralNumber(*e.args[1], 0);
    const bool callSecond = isBinaryStrComp(*e.args[1]) && isLiteralNumber(*e.args[0], 0);
    if (!callFirst && !callSecond) return std::nullopt;
    const sql::Expr& call = *e.args[callFirst ? 0 : 1];
    if (call.args[0]->kind != sql::Expr::Kind::Column ||
        call.args[1]->kind != sql::Expr::Kind::Literal)
        return std::nullopt;
    RExpr field = expr(*call.args[0]);
    RExpr value = expr(*call.args[1]);
    RExpr r;
    r.type = SType::Boolean;
    if (field.type != SType::Text || !field.column || value.type == SType::Null) {
        r.sql = "(" + strComp(field, value, false) + " = 0)";
        return r;
    }
    coerce(value, field);
    if (field.scopeTable >= 0 && !scopes_.empty() && field.column->code != fieldtype::Binary) {
        const auto& st = scopes_.back()[static_cast<std::size_t>(field.scopeTable)];
        searched.push_back({st.info, field.columnName, IndexKind::Exact});
    }
    // Written as an And, so SQLite never gathers it with case-blind equalities of the
    // same column into one IN list answered in one collation; the exact index holds both.
    r.sql = "(" + field.sql + " COLLATE BINARY = " + value.sql + " AND " + field.sql + kCaseBlind +
            " = " + value.sql + ")";
    return r;
}

// A literal compared with a field takes the field's type: a date text against a date
// field is a date, a number against a text field is its plain text. A literal that
// cannot take the type is the criteria mismatch of the original engine.
namespace {

// The number of a text literal that takes a number field's type; one too large for a
// number (1E999) cannot take it, like any other text that is no number.
double criteriaNumber(const Value& v) {
    try {
        return numberOf(v);
    } catch (const EngineError&) {
        throw;
    } catch (const RuntimeError&) {
        mismatch();
    }
}

} // namespace

void takeType(Value& v, SType target) {
    if (v.isNull() || v.isEmpty() || target == SType::Unknown || target == SType::Null) return;
    switch (target) {
    case SType::Date:
        if (v.isText()) {
            if (auto serial = parseDateText(v.asText())) {
                v = Value::date(*serial);
            } else if (isNumberText(v.asText())) {
                v = Value::date(criteriaNumber(v));
            } else {
                mismatch();
            }
        } else if (v.kind() == Value::Kind::Boolean) {
            mismatch();
        }
        break;
    case SType::Number:
    case SType::Boolean:
        if (v.isText()) {
            if (!isNumberText(v.asText())) mismatch();
            v = Value::number(criteriaNumber(v));
        } else if (v.isDate()) {
            v = Value::number(v.asDateSerial());
        }
        if (target == SType::Boolean && v.kind() == Value::Kind::Number)
            v = Value::boolean(v.asNumber() != 0);
        break;
    case SType::Text:
        if (!v.isText()) v = Value::text(textOf(v));
        break;
    default:
        break;
    }
}

void Renderer::coerce(RExpr& literal, const RExpr& other) {
    if (literal.bind == 0 || other.bind != 0) return;
    Value& v = binds[static_cast<std::size_t>(literal.bind - 1)];
    const bool text = v.isText();
    takeType(v, other.type);
    if (text && !v.isText()) takenTexts.emplace_back(literal.bind, other.type);
    literal.type = stypeOfValue(v);
}

RExpr Renderer::compare(const sql::Expr& e) {
    if (auto exact = exactTest(e)) return *exact;
    RExpr a = expr(*e.args[0]);
    RExpr b = expr(*e.args[1]);
    coerce(a, b);
    coerce(b, a);
    noteSearched(a);
    noteSearched(b);
    const bool text = a.type == SType::Text || b.type == SType::Text;
    RExpr r;
    r.type = SType::Boolean;
    r.aggregate = a.aggregate || b.aggregate;
    std::string left = a.sql;
    std::string right = b.sql;
    if (text && a.type != b.type && a.type != SType::Null && b.type != SType::Null &&
        a.type != SType::Unknown && b.type != SType::Unknown) {
        // Text against a computed number or date: compare the texts.
        left = asText(a);
        right = asText(b);
    }
    if (text) {
        // The collation goes with each text column compared, where SQLite keeps it when it
        // turns the term around or gathers an Or of equalities into one IN list.
        const bool leftColumn = a.column && a.type == SType::Text;
        const bool rightColumn = b.column && b.type == SType::Text;
        if (leftColumn || !rightColumn) left += kCaseBlind;
        if (rightColumn) right += kCaseBlind;
    }
    r.sql = "(" + left + " " + e.op + " " + right + ")";
    return r;
}

RExpr Renderer::call(const sql::Expr& e) {
    const auto name = upperName(e.name);
    RExpr r;
    auto arg = [&](std::size_t i) { return expr(*e.args[i]); };
    auto arity = [&](std::size_t lo, std::size_t hi) {
        if (e.args.size() < lo || e.args.size() > hi)
            throw EngineError(err::ExpressionSyntax,
                              "Wrong number of arguments used with function '" + e.name +
                                  "' in query expression.");
    };
    if (isAggregate(name)) {
        arity(1, 1);
        r.aggregate = true;
        if (e.args[0]->kind == sql::Expr::Kind::Star) {
            if (name != "COUNT")
                throw EngineError(err::ExpressionSyntax,
                                  "Syntax error in query expression '" + e.name + "(*)'.");
            r.sql = "count(*)";
            r.type = SType::Number;
            return r;
        }
        RExpr a = arg(0);
        r.sql = std::string(name == "COUNT" ? "count"
                            : name == "SUM" ? "sum"
                            : name == "AVG" ? "avg"
                            : name == "MIN" ? "min"
                                            : "max") +
                "(" + (e.op == "distinct" ? "DISTINCT " : "") + a.sql + ")";
        r.type = (name == "MIN" || name == "MAX") ? a.type : SType::Number;
        if ((name == "MIN" || name == "MAX") && a.column) r.column = a.column;
        return r;
    }
    if (name == "ISNULL") {
        arity(1, 1);
        RExpr a = arg(0);
        noteSearched(a);
        r.sql = "(" + a.sql + " IS NULL)";
        r.type = SType::Boolean;
        return r;
    }
    if (name == "NZ") {
        arity(1, 2);
        RExpr a = arg(0);
        std::string fallback =
            e.args.size() > 1 ? arg(1).sql : "?" + std::to_string(bind(Value::text("")));
        r.sql = "coalesce(" + a.sql + ", " + fallback + ")";
        r.type = a.type;
        return r;
    }
    if (name == "STRCOMP") {
        arity(2, 3);
        bool text = false;
        if (e.args.size() == 3) {
            const sql::Expr& mode = *e.args[2];
            if (!isLiteralNumber(mode, 0) && !isLiteralNumber(mode, 1))
                throw EngineError(err::InvalidArgument, "Invalid argument.");
            text = isLiteralNumber(mode, 1);
        }
        r.sql = strComp(arg(0), arg(1), text);
        r.type = SType::Number;
        return r;
    }
    if (name == "IIF") {
        arity(3, 3);
        RExpr c = arg(0), a = arg(1), b = arg(2);
        r.sql = "(CASE WHEN " + c.sql + " THEN " + a.sql + " ELSE " + b.sql + " END)";
        r.type = a.type == b.type ? a.type : SType::Unknown;
        return r;
    }
    for (const auto& f : kFunctions) {
        if (name != f.name) continue;
        arity(static_cast<std::size_t>(f.minArgs), static_cast<std::size_t>(f.maxArgs));
        std::string sqlText = std::string(f.sqlName) + "(";
        for (std::size_t i = 0; i < e.args.size(); ++i) {
            RExpr a = arg(i);
            r.aggregate = r.aggregate || a.aggregate;
            if (i > 0) sqlText += ", ";
            sqlText += (i == 0 && f.textArg) || (name == "INSTR") ? asText(a) : a.sql;
        }
        r.sql = sqlText + ")";
        r.type = f.result;
        return r;
    }
    throw EngineError(err::ExpressionSyntax, "Undefined function '" + e.name + "' in expression.");
}

RExpr Renderer::expr(const sql::Expr& e) {
    using K = sql::Expr::Kind;
    RExpr r;
    switch (e.kind) {
    case K::Literal:
        if (e.value.isNull()) {
            r.sql = "NULL";
            r.type = SType::Null;
            return r;
        }
        r.bind = bind(e.value);
        literalBinds.emplace_back(&e, r.bind);
        r.sql = "?" + std::to_string(r.bind);
        r.type = stypeOfValue(e.value);
        return r;
    case K::Column:
        return column(e);
    case K::Star:
        throw EngineError(err::ExpressionSyntax, "Syntax error in query expression '*'.");
    case K::Negate: {
        RExpr a = expr(*e.args[0]);
        r.sql = "(-" + a.sql + ")";
        r.type = a.type == SType::Date ? SType::Date : SType::Number;
        r.aggregate = a.aggregate;
        return r;
    }
    case K::Not: {
        RExpr a = expr(*e.args[0]);
        r.sql = "(NOT " + a.sql + ")";
        r.type = SType::Boolean;
        r.aggregate = a.aggregate;
        return r;
    }
    case K::Binary: {
        RExpr a = expr(*e.args[0]);
        RExpr b = expr(*e.args[1]);
        r.aggregate = a.aggregate || b.aggregate;
        const auto& op = e.op;
        if (op == "and" || op == "or") {
            r.sql = "(" + a.sql + (op == "and" ? " AND " : " OR ") + b.sql + ")";
            r.type = SType::Boolean;
        } else if (op == "xor") {
            r.sql = "((" + a.sql + " <> 0) <> (" + b.sql + " <> 0))";
            r.type = SType::Boolean;
        } else if (op == "&") {
            r.sql = "vk_concat(" + asText(a) + ", " + asText(b) + ")";
            r.type = SType::Text;
        } else if (op == "+" && (a.type == SType::Text || b.type == SType::Text) &&
                   a.type != SType::Number && b.type != SType::Number) {
            // + joins two texts, and like them gives Null when either side is Null.
            r.sql = "(" + asText(a) + " || " + asText(b) + ")";
            r.type = SType::Text;
        } else if (op == "\\") {
            r.sql = "vk_intdiv(" + a.sql + ", " + b.sql + ")";
            r.type = SType::Number;
        } else if (op == "mod") {
            r.sql = "vk_mod(" + a.sql + ", " + b.sql + ")";
            r.type = SType::Number;
        } else if (op == "^") {
            r.sql = "vk_pow(" + a.sql + ", " + b.sql + ")";
            r.type = SType::Number;
        } else if (op == "/") {
            r.sql = "vk_div(" + a.sql + ", " + b.sql + ")";
            r.type = SType::Number;
        } else {
            RExpr number;
            number.type = SType::Number;
            if (a.bind && a.type == SType::Text) coerce(a, number);
            if (b.bind && b.type == SType::Text) coerce(b, number);
            r.sql = "(" + a.sql + " " + op + " " + b.sql + ")";
            if (op == "+" && (a.type == SType::Date || b.type == SType::Date))
                r.type = SType::Date;
            else if (op == "-" && a.type == SType::Date && b.type != SType::Date)
                r.type = SType::Date;
            else
                r.type = SType::Number;
        }
        return r;
    }
    case K::Compare:
        return compare(e);
    case K::Like: {
        RExpr a = expr(*e.args[0]);
        RExpr b = expr(*e.args[1]);
        r.sql = std::string(e.negated ? "(NOT " : "(") + "vk_like(" + asText(a) + ", " + asText(b) +
                "))";
        r.type = SType::Boolean;
        return r;
    }
    case K::Between: {
        RExpr a = expr(*e.args[0]);
        RExpr lo = expr(*e.args[1]);
        RExpr hi = expr(*e.args[2]);
        coerce(lo, a);
        coerce(hi, a);
        noteSearched(a);
        const std::string collate = a.type == SType::Text ? kCaseBlind : "";
        r.sql = "(" + a.sql + collate + (e.negated ? " NOT" : "") + " BETWEEN " + lo.sql + " AND " +
                hi.sql + ")";
        r.type = SType::Boolean;
        return r;
    }
    case K::In: {
        RExpr a = expr(*e.args[0]);
        noteSearched(a);
        const std::string collate = a.type == SType::Text ? kCaseBlind : "";
        std::string list;
        if (e.select) {
            auto sub = select(*e.select);
            list = sub.sql;
        } else {
            for (std::size_t i = 1; i < e.args.size(); ++i) {
                RExpr item = expr(*e.args[i]);
                coerce(item, a);
                if (i > 1) list += ", ";
                list += item.sql;
            }
        }
        r.sql = "(" + a.sql + collate + (e.negated ? " NOT IN (" : " IN (") + list + "))";
        r.type = SType::Boolean;
        return r;
    }
    case K::IsNull: {
        RExpr a = expr(*e.args[0]);
        noteSearched(a);
        r.sql = "(" + a.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)");
        r.type = SType::Boolean;
        return r;
    }
    case K::Call:
        return call(e);
    case K::Subquery: {
        auto sub = select(*e.select);
        r.sql = "(" + sub.sql + ")";
        if (!sub.columns.empty()) r.type = sub.columns.front().stype;
        return r;
    }
    }
    return r;
}

std::string Renderer::orderBy(const std::vector<sql::OrderItem>& items) {
    std::string out;
    for (const auto& item : items) {
        RExpr r = expr(*item.expr);
        if (!out.empty()) out += ", ";
        out += r.sql;
        // Text sorts without regard to case, as it compares.
        if (r.type == SType::Text) out += kCaseBlind;
        if (item.descending) out += " DESC";
    }
    return out;
}

void Renderer::fromItem(const sql::FromItem& item, std::vector<ScopeTable>& scope) {
    if (item.kind == sql::FromItem::Kind::Join) {
        fromItem(*item.left, scope);
        fromItem(*item.right, scope);
        return;
    }
    const TableInfo& info = resolveTable(item.table.name);
    ScopeTable st;
    st.info = info;
    st.matchName = item.table.alias.empty() ? info.name : item.table.alias;
    st.sqlRef = quoteName(item.table.alias.empty() ? info.name : item.table.alias);
    scope.push_back(std::move(st));
}

std::string Renderer::fromSql(const sql::FromItem& item, const std::vector<ScopeTable>& scope,
                              std::size_t& next) {
    if (item.kind == sql::FromItem::Kind::Table) {
        const auto& st = scope[next++];
        return st.info.sqlName() + " AS " + st.sqlRef;
    }
    std::string left = fromSql(*item.left, scope, next);
    std::string right = fromSql(*item.right, scope, next);
    const std::string type = item.joinType == "left"    ? " LEFT JOIN "
                             : item.joinType == "right" ? " RIGHT JOIN "
                                                        : " INNER JOIN ";
    return "(" + left + type + right + " ON " + condition(*item.on) + ")";
}

Renderer::SelectOut Renderer::select(const sql::SelectStmt& s,
                                     const std::vector<ColumnInfo>* targets) {
    SelectOut out;
    std::vector<ScopeTable> scope;
    for (const auto& f : s.from)
        fromItem(*f, scope);
    pushScope(scope);
    const auto savedAliases = selectAliases_;
    selectAliases_.clear();
    for (const auto& item : s.items)
        if (!item.alias.empty()) selectAliases_.push_back(item.alias);

    std::string from;
    std::size_t next = 0;
    for (const auto& f : s.from) {
        if (!from.empty()) from += ", ";
        from += fromSql(*f, scope, next);
    }

    bool aggregate = !s.groupBy.empty() || s.having != nullptr;
    bool plainColumns = true;
    // Expand * into the columns, so every result column has a name and a type.
    std::vector<std::string> names;
    for (const auto& item : s.items) {
        if (item.expr->kind == sql::Expr::Kind::Star) {
            bool any = false;
            for (std::size_t t = 0; t < scope.size(); ++t) {
                const auto& st = scope[t];
                if (!item.expr->qualifier.empty() && !sameName(st.matchName, item.expr->qualifier))
                    continue;
                any = true;
                for (std::size_t c = 0; c < st.info.columns.size(); ++c) {
                    const auto& col = st.info.columns[c];
                    ResultColumn rc;
                    rc.name = col.name;
                    // Two tables with a field of the same name: qualify both, as the
                    // original engine named them.
                    if (scope.size() > 1) {
                        int holders = 0;
                        for (const auto& other : scope)
                            if (other.info.columnIndex(col.name) >= 0) ++holders;
                        if (holders > 1) rc.name = st.matchName + "." + col.name;
                    }
                    rc.type = col.type;
                    rc.stype = stypeOf(col.type);
                    rc.direct = true;
                    rc.baseColumn = static_cast<int>(c);
                    rc.sql = st.sqlRef + "." + quoteName(col.name);
                    out.columns.push_back(std::move(rc));
                }
            }
            if (!any) unknownName(item.expr->qualifier + ".*");
            continue;
        }
        RExpr r = expr(*item.expr);
        if (r.aggregate || containsAggregate(*item.expr)) aggregate = true;
        ResultColumn rc;
        rc.sql = r.sql;
        rc.stype = r.type;
        if (r.column && item.expr->kind == sql::Expr::Kind::Column) {
            rc.type = *r.column;
            rc.direct = r.scopeTable >= 0;
            rc.baseColumn =
                r.scopeTable >= 0
                    ? scope[static_cast<std::size_t>(r.scopeTable)].info.columnIndex(r.columnName)
                    : -1;
            rc.name = item.alias.empty() ? r.columnName : item.alias;
        } else {
            plainColumns = false;
            rc.type = r.column ? *r.column : columnTypeOf(r.type);
            if (item.expr->kind == sql::Expr::Kind::Call && upperName(item.expr->name) == "COUNT")
                rc.type = {fieldtype::Long, 4};
            rc.name = item.alias.empty() ? "Expr" + std::to_string(1000 + out.columns.size())
                                         : item.alias;
        }
        out.columns.push_back(std::move(rc));
    }
    if (targets && targets->size() != out.columns.size())
        throw EngineError(err::ValueCountMismatch,
                          "Number of query values and destination fields are not the same.");

    std::string items;
    for (std::size_t i = 0; i < out.columns.size(); ++i) {
        auto& rc = out.columns[i];
        if (!items.empty()) items += ", ";
        if (targets) {
            const auto& t = (*targets)[i];
            items += "vk_store(" + rc.sql + ", " + std::to_string(stypeCode(rc.stype)) + ", " +
                     std::to_string(t.type.code) + ", " + std::to_string(t.type.size) + ", ?" +
                     std::to_string(bind(Value::text(t.name))) + ")";
        } else {
            items += rc.sql + " AS " + quoteName(rc.name);
        }
    }

    std::string sqlText =
        std::string("SELECT ") + (s.distinct ? "DISTINCT " : "") + items + " FROM " + from;
    if (s.where) {
        out.whereSql = condition(*s.where);
        sqlText += " WHERE " + out.whereSql;
    }
    if (!s.groupBy.empty()) {
        std::string g;
        for (const auto& e : s.groupBy) {
            RExpr r = expr(*e);
            if (!g.empty()) g += ", ";
            g += r.sql;
            if (r.type == SType::Text) g += kCaseBlind;
        }
        sqlText += " GROUP BY " + g;
    }
    if (s.having) sqlText += " HAVING " + condition(*s.having);
    if (!s.orderBy.empty()) {
        out.orderSql = orderBy(s.orderBy);
        sqlText += " ORDER BY " + out.orderSql;
    }
    if (s.top) {
        if (s.topPercent)
            throw EngineError(err::StatementSyntax, "TOP n PERCENT is not supported.");
        sqlText += " LIMIT " + std::to_string(*s.top);
        out.top = s.top;
    }
    out.sql = sqlText;
    out.simple = s.from.size() == 1 && s.from.front()->kind == sql::FromItem::Kind::Table &&
                 !aggregate && !s.distinct && plainColumns;
    if (out.simple) {
        out.baseTable = conn_.table(scope.front().info.name);
        out.alias = scope.front().sqlRef;
    }
    selectAliases_ = savedAliases;
    popScope();
    return out;
}

std::string Renderer::storeExpr(const sql::Expr& e, const ColumnInfo& target) {
    if (e.kind == sql::Expr::Kind::Literal) {
        Value v = storeValue(e.value, target.type, target.name);
        if (v.isNull()) return "NULL";
        const int place = bind(std::move(v));
        literalBinds.emplace_back(&e, place);
        storedLiterals.emplace_back(place, target);
        return "?" + std::to_string(place);
    }
    RExpr r = expr(e);
    return "vk_store(" + r.sql + ", " + std::to_string(stypeCode(r.type)) + ", " +
           std::to_string(target.type.code) + ", " + std::to_string(target.type.size) + ", ?" +
           std::to_string(bind(Value::text(target.name))) + ")";
}

} // namespace varnoke::detail
