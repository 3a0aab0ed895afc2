#include "engine/sql_parser.h"

#include "engine/engine_error.h"
#include "engine/sql_name.h"
#include "value/convert.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <limits>

namespace varnoke::sql {
namespace {

// Keywords and names fold their ASCII letters only; every token is tested against
// several keywords, so this stays out of the C library's locale tables.
char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return x == y || upperAscii(x) == upperAscii(y);
           });
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

bool isNameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || u >= 0x80;
}

struct Token {
    enum class Kind { Name, String, Number, Date, Op, End };
    Kind kind = Kind::End;
    std::string text; // a name without its brackets, a text without its quotes
    bool quoted = false;
    double number = 0;
    std::size_t begin = 0, end = 0;
};

// Words that end an expression; a bare one is never a field name.
constexpr std::array kReserved{
    "AND",   "OR",    "NOT",   "XOR", "MOD",    "LIKE",   "BETWEEN", "IN",   "IS",    "FROM",
    "WHERE", "GROUP", "ORDER", "BY",  "HAVING", "AS",     "INTO",    "ON",   "INNER", "LEFT",
    "RIGHT", "JOIN",  "OUTER", "SET", "VALUES", "SELECT", "UNION",   "DESC", "ASC",   "DISTINCT"};

bool isReserved(std::string_view word) {
    return std::any_of(kReserved.begin(), kReserved.end(),
                       [&](const char* r) { return iequals(word, r); });
}

class Parser {
public:
    Parser(std::string_view text, bool statementMode) : text_(text), statementMode_(statementMode) {
        lexing_ = true;
        lex();
        lexing_ = false;
    }

    ExprPtr lone() {
        exprBegin_ = 0;
        ++exprDepth_;
        auto e = expression();
        if (!atEnd()) fail();
        --exprDepth_;
        return e;
    }

    std::vector<OrderItem> orderList() {
        exprBegin_ = 0;
        ++exprDepth_;
        auto items = orderItems();
        if (!atEnd()) fail();
        --exprDepth_;
        return items;
    }

    Statement statement() {
        Statement st;
        if (isWord("PARAMETERS")) {
            next();
            do {
                ParamDecl p;
                p.name = name();
                if (peek().kind == Token::Kind::Name && !peekOp(",") && !peekOp(";")) {
                    auto typeName = name();
                    int size = 0;
                    if (acceptOp("(")) {
                        size = static_cast<int>(expectCount(kMaxSize));
                        expectOp(")");
                    }
                    auto type = typeFromName(typeName, size);
                    if (!type) failStatement("Syntax error in PARAMETERS clause.");
                    p.type = type->code;
                }
                st.parameters.push_back(std::move(p));
            } while (acceptOp(","));
            expectOp(";");
        }
        if (isWord("SELECT")) {
            next();
            st.body = select();
        } else if (isWord("UPDATE")) {
            next();
            st.body = update();
        } else if (isWord("DELETE")) {
            next();
            st.body = deleteStmt();
        } else if (isWord("INSERT")) {
            next();
            st.body = insert();
        } else if (isWord("CREATE")) {
            next();
            st.body = create();
        } else if (isWord("DROP")) {
            next();
            st.body = drop();
        } else {
            throw EngineError(err::StatementSyntax,
                              "Invalid SQL statement; expected 'DELETE', 'INSERT', "
                              "'PROCEDURE', 'SELECT', or 'UPDATE'.");
        }
        acceptOp(";");
        if (!atEnd()) failStatement("Characters found after end of SQL statement.");
        return st;
    }

private:
    // ---- lexer
    void lex() {
        std::size_t i = 0;
        const std::size_t n = text_.size();
        while (true) {
            while (i < n && std::isspace(static_cast<unsigned char>(text_[i])))
                ++i;
            Token t;
            t.begin = i;
            if (i >= n) {
                t.kind = Token::Kind::End;
                t.end = n;
                tokens_.push_back(t);
                return;
            }
            const char c = text_[i];
            if (c == '[') {
                std::size_t stop = n;
                auto name = readBracketedName(text_, i, stop);
                if (!name) failAt(i, n);
                t.kind = Token::Kind::Name;
                t.quoted = true;
                t.text = std::move(*name);
                i = stop;
            } else if (c == '`') {
                const auto stop = text_.find('`', i + 1);
                if (stop == std::string_view::npos) failAt(i, n);
                t.kind = Token::Kind::Name;
                t.quoted = true;
                t.text = std::string(text_.substr(i + 1, stop - i - 1));
                i = stop + 1;
            } else if (c == '\'' || c == '"') {
                std::size_t stop = n;
                auto text = readQuotedText(text_, i, stop);
                if (!text) failAt(i, n);
                t.kind = Token::Kind::String;
                t.text = std::move(*text);
                i = stop;
            } else if (c == '#') {
                const auto stop = text_.find('#', i + 1);
                if (stop == std::string_view::npos) failAt(i, n);
                t.kind = Token::Kind::Date;
                t.text = std::string(text_.substr(i + 1, stop - i - 1));
                i = stop + 1;
            } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                       (c == '.' && i + 1 < n &&
                        std::isdigit(static_cast<unsigned char>(text_[i + 1])))) {
                std::size_t j = i;
                while (j < n && std::isdigit(static_cast<unsigned char>(text_[j])))
                    ++j;
                if (j < n && text_[j] == '.') {
                    ++j;
                    while (j < n && std::isdigit(static_cast<unsigned char>(text_[j])))
                        ++j;
                }
                if (j < n && (text_[j] == 'e' || text_[j] == 'E')) {
                    std::size_t k = j + 1;
                    if (k < n && (text_[k] == '+' || text_[k] == '-')) ++k;
                    if (k < n && std::isdigit(static_cast<unsigned char>(text_[k]))) {
                        while (k < n && std::isdigit(static_cast<unsigned char>(text_[k])))
                            ++k;
                        j = k;
                    }
                }
                if (j < n && isNameChar(text_[j])) {
                    // A name that begins with a digit, such as 1A.
                    while (j < n && isNameChar(text_[j]))
                        ++j;
                    t.kind = Token::Kind::Name;
                    t.text = std::string(text_.substr(i, j - i));
                } else {
                    t.kind = Token::Kind::Number;
                    t.text = std::string(text_.substr(i, j - i));
                    try {
                        t.number = leadingNumber(t.text);
                    } catch (const RuntimeError&) {
                        // A literal too large for a number (1E777).
                        failAt(i, j);
                    }
                }
                i = j;
            } else if (isNameChar(c)) {
                std::size_t j = i;
                while (j < n && isNameChar(text_[j]))
                    ++j;
                t.kind = Token::Kind::Name;
                t.text = std::string(text_.substr(i, j - i));
                i = j;
            } else {
                t.kind = Token::Kind::Op;
                static constexpr std::array two{"<>", "<=", ">=", "!="};
                const auto rest = text_.substr(i, 2);
                const bool isTwo =
                    std::any_of(two.begin(), two.end(), [&](const char* op) { return rest == op; });
                if (isTwo) {
                    t.text = std::string(rest);
                    if (t.text == "!=") t.text = "<>";
                    i += 2;
                } else if (std::string_view("=<>(),.;&+-*/\\^").find(c) != std::string_view::npos) {
                    t.text = std::string(1, c);
                    ++i;
                } else {
                    failAt(i, i + 1);
                }
            }
            t.end = i;
            tokens_.push_back(std::move(t));
        }
    }

    // ---- nesting: the parser calls itself once a level, so the levels are counted and a
    // text nested deeper than kMaxDepth is a syntax error rather than a stack overflow.
    static constexpr int kMaxDepth = 200;
    static constexpr long kMaxSize = 65535;
    class Nesting {
    public:
        explicit Nesting(Parser& p) : p_(p) {
            if (++p_.nesting_ > kMaxDepth) p_.fail();
        }
        ~Nesting() { --p_.nesting_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Parser& p_;
    };

    // ---- errors
    [[noreturn]] void failAt(std::size_t begin, std::size_t end) {
        if (exprDepth_ > 0 || !statementMode_ || lexing_) {
            const auto from =
                !statementMode_ ? 0 : std::min(lexing_ ? begin : exprBegin_, text_.size());
            const auto to = statementMode_ && !lexing_ ? std::min(std::max(end, from), text_.size())
                                                       : text_.size();
            throw EngineError(err::ExpressionSyntax,
                              "Syntax error in query expression '" +
                                  std::string(text_.substr(from, to - from)) + "'.");
        }
        failStatement(inFrom_ ? "Syntax error in FROM clause." : "Syntax error in SQL statement.");
    }
    [[noreturn]] void fail() { failAt(peek().begin, peek().end); }
    [[noreturn]] void failStatement(const std::string& what) {
        throw EngineError(inFrom_ ? err::FromSyntax : err::StatementSyntax,
                          what + " (" + std::string(text_) + ")");
    }

    // ---- token helpers
    const Token& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token& next() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return t;
    }
    bool atEnd() const { return peek().kind == Token::Kind::End; }
    bool isWord(std::string_view w, std::size_t ahead = 0) const {
        const auto& t = peek(ahead);
        return t.kind == Token::Kind::Name && !t.quoted && iequals(t.text, w);
    }
    bool acceptWord(std::string_view w) {
        if (!isWord(w)) return false;
        next();
        return true;
    }
    void expectWord(std::string_view w) {
        if (!acceptWord(w)) fail();
    }
    bool peekOp(std::string_view op, std::size_t ahead = 0) const {
        const auto& t = peek(ahead);
        return t.kind == Token::Kind::Op && t.text == op;
    }
    bool acceptOp(std::string_view op) {
        if (!peekOp(op)) return false;
        next();
        return true;
    }
    void expectOp(std::string_view op) {
        if (!acceptOp(op)) fail();
    }
    // A count or size: a whole number from 0 to max, so the cast cannot overflow.
    long expectCount(long max) {
        const auto& t = peek();
        if (t.kind != Token::Kind::Number || !(t.number >= 0 && t.number <= max)) fail();
        return static_cast<long>(next().number);
    }
    // A table, field or alias name: bare (not a reserved word) or bracketed.
    std::string name() {
        const auto& t = peek();
        if (t.kind != Token::Kind::Name || (!t.quoted && isReserved(t.text))) fail();
        return next().text;
    }
    bool peekName() const {
        const auto& t = peek();
        return t.kind == Token::Kind::Name && (t.quoted || !isReserved(t.text));
    }

    // ---- expressions, loosest first
    ExprPtr expression() {
        if (exprDepth_ == 0) exprBegin_ = peek().begin;
        const Nesting nest(*this);
        ++exprDepth_;
        auto e = orExpr();
        --exprDepth_;
        return e;
    }

    static ExprPtr make(Expr::Kind kind) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        return e;
    }
    // Adds an operand; a tree deeper than kMaxDepth is refused, as rendering and
    // freeing it go one call deeper per level.
    void add(Expr& parent, ExprPtr child) {
        parent.depth = std::max(parent.depth, child->depth + 1);
        parent.args.push_back(std::move(child));
        if (parent.depth > kMaxDepth) fail();
    }
    ExprPtr binary(Expr::Kind kind, std::string op, ExprPtr a, ExprPtr b) {
        auto e = make(kind);
        e->op = std::move(op);
        add(*e, std::move(a));
        add(*e, std::move(b));
        return e;
    }

    ExprPtr orExpr() {
        auto left = andExpr();
        while (isWord("OR") || isWord("XOR")) {
            auto op = upper(next().text) == "OR" ? "or" : "xor";
            left = binary(Expr::Kind::Binary, op, std::move(left), andExpr());
        }
        return left;
    }
    ExprPtr andExpr() {
        auto left = notExpr();
        while (acceptWord("AND"))
            left = binary(Expr::Kind::Binary, "and", std::move(left), notExpr());
        return left;
    }
    // Not applies to the comparison that follows it, not to a whole And/Or chain.
    ExprPtr notExpr() {
        const Nesting nest(*this);
        if (acceptWord("NOT")) {
            auto e = make(Expr::Kind::Not);
            add(*e, notExpr());
            return e;
        }
        return comparison();
    }
    ExprPtr comparison() {
        auto left = concat();
        while (true) {
            const auto& t = peek();
            if (t.kind == Token::Kind::Op && (t.text == "=" || t.text == "<>" || t.text == "<" ||
                                              t.text == "<=" || t.text == ">" || t.text == ">=")) {
                auto op = next().text;
                left = binary(Expr::Kind::Compare, op, std::move(left), concat());
                continue;
            }
            bool negated = false;
            if (isWord("NOT") && (isWord("LIKE", 1) || isWord("BETWEEN", 1) || isWord("IN", 1))) {
                next();
                negated = true;
            }
            if (acceptWord("LIKE")) {
                left = binary(Expr::Kind::Like, "like", std::move(left), concat());
                left->negated = negated;
            } else if (acceptWord("BETWEEN")) {
                auto e = make(Expr::Kind::Between);
                e->negated = negated;
                add(*e, std::move(left));
                add(*e, concat());
                expectWord("AND");
                add(*e, concat());
                left = std::move(e);
            } else if (acceptWord("IN")) {
                auto e = make(Expr::Kind::In);
                e->negated = negated;
                add(*e, std::move(left));
                expectOp("(");
                if (acceptWord("SELECT")) {
                    e->select = std::make_unique<SelectStmt>(select());
                } else {
                    do {
                        add(*e, expression());
                    } while (acceptOp(","));
                }
                expectOp(")");
                left = std::move(e);
            } else if (acceptWord("IS")) {
                auto e = make(Expr::Kind::IsNull);
                e->negated = acceptWord("NOT");
                const auto& t2 = peek();
                if (!(t2.kind == Token::Kind::Name && !t2.quoted && iequals(t2.text, "NULL")))
                    fail();
                next();
                add(*e, std::move(left));
                left = std::move(e);
            } else {
                return left;
            }
        }
    }
    ExprPtr concat() {
        auto left = additive();
        while (acceptOp("&"))
            left = binary(Expr::Kind::Binary, "&", std::move(left), additive());
        return left;
    }
    ExprPtr additive() {
        auto left = multiplicative();
        while (peekOp("+") || peekOp("-")) {
            auto op = next().text;
            left = binary(Expr::Kind::Binary, op, std::move(left), multiplicative());
        }
        return left;
    }
    ExprPtr multiplicative() {
        auto left = unary();
        while (true) {
            if (peekOp("*") || peekOp("/") || peekOp("\\")) {
                auto op = next().text;
                left = binary(Expr::Kind::Binary, op, std::move(left), unary());
            } else if (acceptWord("MOD")) {
                left = binary(Expr::Kind::Binary, "mod", std::move(left), unary());
            } else {
                return left;
            }
        }
    }
    ExprPtr unary() {
        const Nesting nest(*this);
        if (acceptOp("-")) {
            auto e = make(Expr::Kind::Negate);
            add(*e, unary());
            return e;
        }
        if (acceptOp("+")) return unary();
        auto base = primary();
        if (acceptOp("^")) return binary(Expr::Kind::Binary, "^", std::move(base), unary());
        return base;
    }
    ExprPtr primary() {
        const Token& t = peek();
        switch (t.kind) {
        case Token::Kind::String: {
            auto e = make(Expr::Kind::Literal);
            e->value = Value::text(next().text);
            return e;
        }
        case Token::Kind::Number: {
            auto e = make(Expr::Kind::Literal);
            e->value = Value::number(next().number);
            return e;
        }
        case Token::Kind::Date: {
            const auto serial = parseDateText(t.text);
            if (!serial) fail();
            next();
            auto e = make(Expr::Kind::Literal);
            e->value = Value::date(*serial);
            return e;
        }
        case Token::Kind::Op:
            if (acceptOp("(")) {
                if (acceptWord("SELECT")) {
                    auto e = make(Expr::Kind::Subquery);
                    e->select = std::make_unique<SelectStmt>(select());
                    expectOp(")");
                    return e;
                }
                auto e = expression();
                expectOp(")");
                return e;
            }
            if (acceptOp("*")) return make(Expr::Kind::Star);
            fail();
        case Token::Kind::Name:
            break;
        case Token::Kind::End:
            fail();
        }
        if (!t.quoted) {
            if (iequals(t.text, "NULL")) {
                next();
                auto e = make(Expr::Kind::Literal);
                e->value = Value::null();
                return e;
            }
            if (iequals(t.text, "TRUE") || iequals(t.text, "FALSE")) {
                auto e = make(Expr::Kind::Literal);
                e->value = Value::boolean(iequals(next().text, "TRUE"));
                return e;
            }
            if (peekOp("(", 1) &&
                (!isReserved(t.text) || iequals(t.text, "LEFT") || iequals(t.text, "RIGHT"))) {
                auto e = make(Expr::Kind::Call);
                e->name = next().text;
                next();
                if (!acceptOp(")")) {
                    do {
                        if (acceptWord("DISTINCT")) e->op = "distinct";
                        add(*e, expression());
                    } while (acceptOp(","));
                    expectOp(")");
                }
                return e;
            }
        }
        auto first = name();
        if (acceptOp(".")) {
            if (acceptOp("*")) {
                auto e = make(Expr::Kind::Star);
                e->qualifier = std::move(first);
                return e;
            }
            auto e = make(Expr::Kind::Column);
            e->qualifier = std::move(first);
            e->name = name();
            return e;
        }
        auto e = make(Expr::Kind::Column);
        e->name = std::move(first);
        return e;
    }

    std::vector<OrderItem> orderItems() {
        std::vector<OrderItem> items;
        do {
            OrderItem item;
            item.expr = expression();
            if (acceptWord("DESC")) {
                item.descending = true;
            } else {
                acceptWord("ASC");
            }
            items.push_back(std::move(item));
        } while (acceptOp(","));
        return items;
    }

    // ---- statements
    std::string tableName() {
        auto n = name();
        // owner.table is not a thing here; a dotted name is one table of a linked file.
        while (acceptOp("."))
            n += "." + name();
        return n;
    }

    TableRef tableRef() {
        TableRef r;
        r.name = tableName();
        if (acceptWord("AS")) {
            r.alias = name();
        } else if (peekName()) {
            r.alias = name();
        }
        return r;
    }

    std::unique_ptr<FromItem> fromPrimary() {
        const Nesting nest(*this);
        if (acceptOp("(")) {
            auto inner = fromJoin();
            expectOp(")");
            return inner;
        }
        auto item = std::make_unique<FromItem>();
        item->table = tableRef();
        return item;
    }

    std::unique_ptr<FromItem> fromJoin() {
        auto left = fromPrimary();
        while (true) {
            std::string type;
            if (acceptWord("INNER")) {
                type = "inner";
            } else if (acceptWord("LEFT")) {
                type = "left";
                acceptWord("OUTER");
            } else if (acceptWord("RIGHT")) {
                type = "right";
                acceptWord("OUTER");
            } else {
                return left;
            }
            expectWord("JOIN");
            auto join = std::make_unique<FromItem>();
            join->kind = FromItem::Kind::Join;
            join->joinType = type;
            join->left = std::move(left);
            join->right = fromPrimary();
            expectWord("ON");
            inFrom_ = false;
            join->on = expression();
            inFrom_ = true;
            left = std::move(join);
        }
    }

    SelectStmt select() {
        SelectStmt s;
        if (acceptWord("DISTINCT")) {
            s.distinct = true;
        } else if (!acceptWord("DISTINCTROW")) {
            acceptWord("ALL");
        }
        if (acceptWord("TOP")) {
            s.top = expectCount(std::numeric_limits<int>::max());
            s.topPercent = acceptWord("PERCENT");
        }
        do {
            SelectItem item;
            item.expr = expression();
            if (acceptWord("AS")) item.alias = name();
            s.items.push_back(std::move(item));
        } while (acceptOp(","));
        if (acceptWord("INTO")) s.into = tableName();
        if (!acceptWord("FROM")) failStatement("Syntax error: FROM expected.");
        inFrom_ = true;
        do {
            s.from.push_back(fromJoin());
        } while (acceptOp(","));
        inFrom_ = false;
        if (acceptWord("WHERE")) s.where = expression();
        if (acceptWord("GROUP")) {
            expectWord("BY");
            do {
                s.groupBy.push_back(expression());
            } while (acceptOp(","));
        }
        if (acceptWord("HAVING")) s.having = expression();
        if (acceptWord("ORDER")) {
            expectWord("BY");
            s.orderBy = orderItems();
        }
        return s;
    }

    UpdateStmt update() {
        UpdateStmt u;
        u.table = tableRef();
        expectWord("SET");
        do {
            auto target = name();
            if (acceptOp(".")) target = name(); // table.field
            expectOp("=");
            u.sets.emplace_back(std::move(target), expression());
        } while (acceptOp(","));
        if (acceptWord("WHERE")) u.where = expression();
        return u;
    }

    DeleteStmt deleteStmt() {
        DeleteStmt d;
        if (!isWord("FROM")) {
            if (!acceptOp("*")) {
                name();
                expectOp(".");
                expectOp("*");
            }
        }
        if (!acceptWord("FROM")) failStatement("Syntax error in DELETE statement.");
        inFrom_ = true;
        d.table = tableRef();
        inFrom_ = false;
        if (acceptWord("WHERE")) d.where = expression();
        return d;
    }

    InsertStmt insert() {
        InsertStmt ins;
        expectWord("INTO");
        ins.table = tableName();
        if (acceptOp("(")) {
            do {
                ins.columns.push_back(name());
            } while (acceptOp(","));
            expectOp(")");
        }
        if (acceptWord("VALUES")) {
            expectOp("(");
            do {
                ins.values.push_back(expression());
            } while (acceptOp(","));
            expectOp(")");
        } else if (acceptWord("SELECT")) {
            ins.select = std::make_unique<SelectStmt>(select());
        } else {
            failStatement("Syntax error in INSERT INTO statement.");
        }
        return ins;
    }

    StatementBody create() {
        if (acceptWord("TABLE")) {
            CreateTableStmt c;
            c.name = tableName();
            expectOp("(");
            do {
                if (acceptWord("CONSTRAINT")) {
                    name();
                    if (acceptWord("PRIMARY")) {
                        expectWord("KEY");
                        expectOp("(");
                        do {
                            c.primaryKey.push_back(name());
                        } while (acceptOp(","));
                        expectOp(")");
                    } else if (acceptWord("UNIQUE")) {
                        expectOp("(");
                        do {
                            name();
                        } while (acceptOp(","));
                        expectOp(")");
                    } else {
                        failStatement("Syntax error in CONSTRAINT clause.");
                    }
                    continue;
                }
                ColumnDef col;
                col.name = name();
                const auto typeName = peek().kind == Token::Kind::Name ? next().text : "";
                int size = 0;
                if (acceptOp("(")) {
                    size = static_cast<int>(expectCount(kMaxSize));
                    expectOp(")");
                }
                const auto type = typeFromName(typeName, size);
                if (!type) failStatement("Syntax error in field definition.");
                col.type = *type;
                col.autoIncrement =
                    iequals(typeName, "COUNTER") || iequals(typeName, "AUTOINCREMENT");
                while (true) {
                    if (acceptWord("NOT")) {
                        expectWord("NULL");
                        col.notNull = true;
                    } else if (acceptWord("PRIMARY")) {
                        expectWord("KEY");
                        col.primaryKey = true;
                    } else if (acceptWord("CONSTRAINT")) {
                        name();
                    } else if (acceptWord("UNIQUE") || acceptWord("NULL")) {
                    } else {
                        break;
                    }
                }
                c.columns.push_back(std::move(col));
            } while (acceptOp(","));
            expectOp(")");
            return c;
        }
        CreateIndexStmt idx;
        idx.unique = acceptWord("UNIQUE");
        if (!acceptWord("INDEX")) failStatement("Syntax error in CREATE statement.");
        idx.name = name();
        expectWord("ON");
        idx.table = tableName();
        expectOp("(");
        do {
            auto col = name();
            bool desc = acceptWord("DESC");
            if (!desc) acceptWord("ASC");
            idx.columns.emplace_back(std::move(col), desc);
        } while (acceptOp(","));
        expectOp(")");
        if (acceptWord("WITH")) {
            if (acceptWord("PRIMARY")) {
                idx.unique = true;
            } else {
                name();
            }
        }
        return idx;
    }

    StatementBody drop() {
        if (acceptWord("TABLE")) {
            return DropTableStmt{tableName()};
        }
        if (acceptWord("INDEX")) {
            DropIndexStmt d;
            d.name = name();
            expectWord("ON");
            d.table = tableName();
            return d;
        }
        failStatement("Syntax error in DROP TABLE or DROP INDEX.");
    }

    std::string_view text_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int exprDepth_ = 0;
    std::size_t exprBegin_ = 0;
    bool inFrom_ = false;
    bool statementMode_;
    bool lexing_ = false;
    int nesting_ = 0;
};

} // namespace

namespace {

// Whatever else fails while a text is read (a conversion, a limit) is reported as the
// syntax error of that text, so no other kind of error leaves the parser.
template <class Parse> auto guarded(std::string_view text, bool statement, Parse parse) {
    try {
        return parse();
    } catch (const EngineError&) {
        throw;
    } catch (const std::exception&) {
        if (statement)
            throw EngineError(err::StatementSyntax,
                              "Syntax error in SQL statement. (" + std::string(text) + ")");
        throw EngineError(err::ExpressionSyntax,
                          "Syntax error in query expression '" + std::string(text) + "'.");
    }
}

} // namespace

ExprPtr parseExpression(std::string_view text) {
    return guarded(text, false, [&] { return Parser(text, false).lone(); });
}

std::vector<OrderItem> parseOrderList(std::string_view text) {
    return guarded(text, false, [&] { return Parser(text, false).orderList(); });
}

Statement parseStatement(std::string_view text) {
    return guarded(text, true, [&] { return Parser(text, true).statement(); });
}

bool looksLikeStatement(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    std::size_t j = i;
    while (j < text.size() && std::isalpha(static_cast<unsigned char>(text[j])))
        ++j;
    const auto word = text.substr(i, j - i);
    for (const char* kw : {"SELECT", "UPDATE", "DELETE", "INSERT", "CREATE", "DROP", "PARAMETERS"})
        if (iequals(word, kw) && (j == text.size() || !isNameChar(text[j]))) return true;
    return false;
}

// ---- type names

std::optional<ColumnType> typeFromName(std::string_view name, int size) {
    const auto n = upper(name);
    struct Row {
        const char* name;
        int code;
    };
    static constexpr std::array rows{
        Row{"TEXT", fieldtype::Text},          Row{"CHAR", fieldtype::Text},
        Row{"VARCHAR", fieldtype::Text},       Row{"STRING", fieldtype::Text},
        Row{"ALPHANUMERIC", fieldtype::Text},  Row{"NVARCHAR", fieldtype::Text},
        Row{"CHARACTER", fieldtype::Text},     Row{"LONGTEXT", fieldtype::Memo},
        Row{"MEMO", fieldtype::Memo},          Row{"NOTE", fieldtype::Memo},
        Row{"DOUBLE", fieldtype::Double},      Row{"FLOAT", fieldtype::Double},
        Row{"FLOAT8", fieldtype::Double},      Row{"NUMBER", fieldtype::Double},
        Row{"NUMERIC", fieldtype::Double},     Row{"LONG", fieldtype::Long},
        Row{"INTEGER", fieldtype::Long},       Row{"INT", fieldtype::Long},
        Row{"INTEGER4", fieldtype::Long},      Row{"COUNTER", fieldtype::Long},
        Row{"AUTOINCREMENT", fieldtype::Long}, Row{"SHORT", fieldtype::Integer},
        Row{"SMALLINT", fieldtype::Integer},   Row{"INTEGER2", fieldtype::Integer},
        Row{"BYTE", fieldtype::Byte},          Row{"TINYINT", fieldtype::Byte},
        Row{"INTEGER1", fieldtype::Byte},      Row{"SINGLE", fieldtype::Single},
        Row{"REAL", fieldtype::Single},        Row{"FLOAT4", fieldtype::Single},
        Row{"CURRENCY", fieldtype::Currency},  Row{"MONEY", fieldtype::Currency},
        Row{"DATETIME", fieldtype::Date},      Row{"DATE", fieldtype::Date},
        Row{"TIME", fieldtype::Date},          Row{"TIMESTAMP", fieldtype::Date},
        Row{"BIT", fieldtype::Boolean},        Row{"YESNO", fieldtype::Boolean},
        Row{"LOGICAL", fieldtype::Boolean},    Row{"BOOLEAN", fieldtype::Boolean},
        Row{"LONGBINARY", fieldtype::Binary},  Row{"OLEOBJECT", fieldtype::Binary},
        Row{"BINARY", fieldtype::Binary},      Row{"VARBINARY", fieldtype::Binary},
        Row{"IMAGE", fieldtype::Binary},       Row{"GENERAL", fieldtype::Binary},
    };
    for (const auto& r : rows) {
        if (n == r.name) {
            ColumnType t{r.code, defaultFieldSize(r.code)};
            if (r.code == fieldtype::Text) {
                if (size < 0 || size > 255) return std::nullopt;
                t.size = size > 0 ? size : 255;
            }
            return t;
        }
    }
    if (n.empty()) return std::nullopt;
    // Declared types from elsewhere: SQLite's own affinity rules.
    if (n.find("INT") != std::string::npos) return ColumnType{fieldtype::Long, 4};
    if (n.find("CHAR") != std::string::npos || n.find("CLOB") != std::string::npos ||
        n.find("TEXT") != std::string::npos)
        return ColumnType{fieldtype::Memo, 0};
    if (n.find("BLOB") != std::string::npos) return ColumnType{fieldtype::Binary, 0};
    if (n.find("REAL") != std::string::npos || n.find("FLOA") != std::string::npos ||
        n.find("DOUB") != std::string::npos)
        return ColumnType{fieldtype::Double, 8};
    return std::nullopt;
}

std::string declaredType(ColumnType type) {
    switch (type.code) {
    case fieldtype::Boolean:
        return "BIT";
    case fieldtype::Byte:
        return "BYTE";
    case fieldtype::Integer:
        return "SHORT";
    case fieldtype::Long:
        return "LONG";
    case fieldtype::Currency:
        return "CURRENCY";
    case fieldtype::Single:
        return "SINGLE";
    case fieldtype::Double:
        return "DOUBLE";
    case fieldtype::Date:
        return "DATETIME";
    case fieldtype::Binary:
        return "LONGBINARY";
    case fieldtype::Memo:
        return "LONGTEXT";
    default:
        return "TEXT(" + std::to_string(type.size > 0 ? type.size : 255) + ")";
    }
}

} // namespace varnoke::sql
