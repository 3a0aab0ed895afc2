// The dialect's parser on its own: precedence, literals and names.
#include "engine/engine_error.h"
#include "engine/sql_name.h"
#include "engine/sql_parser.h"
#include "value/convert.h"

#include <gtest/gtest.h>

namespace varnoke::sql {
namespace {

using K = Expr::Kind;

TEST(EngineParserPrecedence, AndBindsBeforeOr) {
    auto e = parseExpression("A = 1 and B = 2 or IsNull(F)");
    ASSERT_EQ(e->kind, K::Binary);
    EXPECT_EQ(e->op, "or");
    EXPECT_EQ(e->args[0]->op, "and");
    EXPECT_EQ(e->args[1]->kind, K::Call);
}

TEST(EngineParserPrecedence, NotTakesOnlyTheNextComparison) {
    auto e = parseExpression("not F = 'q' or IsNull(F)");
    ASSERT_EQ(e->op, "or");
    ASSERT_EQ(e->args[0]->kind, K::Not);
    EXPECT_EQ(e->args[0]->args[0]->kind, K::Compare);
}

TEST(EngineParserPrecedence, ConcatenationIsLooserThanArithmetic) {
    auto e = parseExpression("a & b + 1 = c");
    ASSERT_EQ(e->kind, K::Compare);
    ASSERT_EQ(e->args[0]->op, "&");
    EXPECT_EQ(e->args[0]->args[1]->op, "+");
}

struct LiteralCase {
    const char* text;
    Value expected;
};

class EngineParserLiteral : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(EngineParserLiteral, ReadsTheValue) {
    auto e = parseExpression(GetParam().text);
    ASSERT_EQ(e->kind, K::Literal);
    EXPECT_EQ(e->value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Literals, EngineParserLiteral,
    ::testing::Values(
        LiteralCase{"'O''Brien'", Value::text("O'Brien")},
        LiteralCase{"\"say \"\"hi\"\"\"", Value::text("say \"hi\"")},
        LiteralCase{".5", Value::number(0.5)}, LiteralCase{"1E+16", Value::number(1e16)},
        LiteralCase{"#1/2/2003#", Value::date(makeDateSerial(2003, 1, 2))},
        LiteralCase{"#8/7/00#", Value::date(makeDateSerial(2000, 8, 7))},
        LiteralCase{"#8/7/45#", Value::date(makeDateSerial(1945, 8, 7))},
        LiteralCase{"#1/2/2003 1:30:00 PM#", Value::date(makeDateSerial(2003, 1, 2, 13, 30, 0))},
        LiteralCase{"Null", Value::null()}, LiteralCase{"True", Value::boolean(true)}));

TEST(EngineParserNames, BracketsKeepBlanksApostrophesAndDigits) {
    auto st = parseStatement("Delete * from [Varnoke's Export TABLE]");
    EXPECT_EQ(std::get<DeleteStmt>(st.body).table.name, "Varnoke's Export TABLE");
    st = parseStatement("select * into 1A from Table1;");
    EXPECT_EQ(std::get<SelectStmt>(st.body).into, "1A");
    auto e = parseExpression("[If This].[my field] = 1");
    EXPECT_EQ(e->args[0]->qualifier, "If This");
    EXPECT_EQ(e->args[0]->name, "my field");
}

// Names that would end a naive bracket early or read as words, as files bring them.
class EngineParserHostileName : public ::testing::TestWithParam<const char*> {};

TEST_P(EngineParserHostileName, ComesBackWholeFromEveryPlaceANameGoes) {
    const std::string name = GetParam();
    const std::string n = bracketName(name);
    auto e = parseExpression(n + " = 1 or IsNull(" + n + ")");
    ASSERT_EQ(e->kind, K::Binary);
    ASSERT_EQ(e->args[0]->kind, K::Compare);
    EXPECT_EQ(e->args[0]->args[0]->name, name);
    EXPECT_EQ(e->args[1]->args[0]->name, name);
    auto order = parseOrderList(n + " desc, " + n);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0].expr->name, name);
    EXPECT_TRUE(order[0].descending);
    auto st = parseStatement("update " + n + " set " + n + " = 'x' where " + n + " = 'y';");
    const auto& u = std::get<UpdateStmt>(st.body);
    EXPECT_EQ(u.table.name, name);
    ASSERT_EQ(u.sets.size(), 1u);
    EXPECT_EQ(u.sets[0].first, name);
    st = parseStatement("delete * from " + n + " where not " + n + " = 1;");
    EXPECT_EQ(std::get<DeleteStmt>(st.body).table.name, name);
}

INSTANTIATE_TEST_SUITE_P(Names, EngineParserHostileName,
                         ::testing::Values("Price [USD]", "k] Is Not Null Or [k",
                                           "name] = 'PWNED', [k", "x]); DROP TABLE Settings; --",
                                           "]", "]]", "[", "a.b", "semi;colon", "--dash",
                                           "it's \"q\"", " blank ",
                                           "Gr\xc3\xb6\xc3\x9f"
                                           "e"));

TEST(EngineParserNames, AnUnclosedDoubledBracketIsAnError) {
    EXPECT_THROW(parseExpression("[a]] = 1"), EngineError);
}

TEST(EngineParserStatements, ParametersAndClauses) {
    auto st = parseStatement("PARAMETERS [Min Id] Long, Who Text(20); SELECT DISTINCT a.x AS y, "
                             "Count(*) FROM t AS a INNER JOIN u ON a.id = u.id WHERE y > [Min Id] "
                             "GROUP BY a.x HAVING Count(*) > 1 ORDER BY 1 DESC;");
    ASSERT_EQ(st.parameters.size(), 2u);
    EXPECT_EQ(st.parameters[0].type, fieldtype::Long);
    const auto& s = std::get<SelectStmt>(st.body);
    EXPECT_TRUE(s.distinct);
    EXPECT_EQ(s.items[0].alias, "y");
    EXPECT_EQ(s.from[0]->kind, FromItem::Kind::Join);
    EXPECT_TRUE(s.orderBy[0].descending);
}

struct BadText {
    const char* text;
    int number;
    bool statement;
};

class EngineParserErrors : public ::testing::TestWithParam<BadText> {};

TEST_P(EngineParserErrors, RaiseTheirNumberWithTheText) {
    const auto& c = GetParam();
    try {
        if (c.statement)
            parseStatement(c.text);
        else
            parseExpression(c.text);
        ADD_FAILURE() << "parsed: " << c.text;
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), c.number) << e.what();
        if (c.number == err::ExpressionSyntax) {
            EXPECT_NE(std::string(e.what()).find("query expression '"), std::string::npos);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, EngineParserErrors,
    ::testing::Values(BadText{"Name = ", err::ExpressionSyntax, false},
                      BadText{"Name = 'open", err::ExpressionSyntax, false},
                      BadText{"F = #13/45/2003#", err::ExpressionSyntax, false},
                      BadText{"(a = 1", err::ExpressionSyntax, false},
                      BadText{"a = 1 b", err::ExpressionSyntax, false},
                      BadText{"selec * from t", err::StatementSyntax, true},
                      BadText{"select * from", err::FromSyntax, true},
                      BadText{"select * from t where (a = ", err::ExpressionSyntax, true},
                      BadText{"delete from t where", err::ExpressionSyntax, true},
                      BadText{"update t set", err::StatementSyntax, true},
                      BadText{"select a from t extra words", err::StatementSyntax, true},
                      // Limits: a number too large, a count or size that cannot be one.
                      BadText{"1E777", err::ExpressionSyntax, false},
                      BadText{"Score > -1e999 or Id = 1", err::ExpressionSyntax, false},
                      BadText{"select * from t where x = 1E777", err::ExpressionSyntax, true},
                      BadText{"select top 1E20 * from t", err::StatementSyntax, true},
                      BadText{"create table t (a text(99999999999))", err::StatementSyntax, true}));

// Nesting the parser would follow one call per level until the stack ran out.
class EngineParserDepth : public ::testing::TestWithParam<std::string> {};

TEST_P(EngineParserDepth, TooDeepIsASyntaxErrorNamingTheText) {
    try {
        parseExpression(GetParam());
        ADD_FAILURE() << "parsed";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), err::ExpressionSyntax);
        EXPECT_NE(std::string(e.what()).find(GetParam().substr(0, 20)), std::string::npos);
    }
}

std::string repeated(const std::string& piece, int times, const std::string& end = "") {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out + end;
}

INSTANTIATE_TEST_SUITE_P(Depth, EngineParserDepth,
                         ::testing::Values(repeated("(", 100000, "1"), repeated("-", 100000, "1"),
                                           repeated("not ", 100000, "a"),
                                           repeated("a + ", 100000, "a"),
                                           repeated("a = 1 or ", 100000, "a = 1")));

TEST(EngineParserDepth, ReasonableNestingStillParses) {
    EXPECT_NO_THROW(parseExpression(repeated("(", 50, "a") + repeated(")", 50)));
    EXPECT_NO_THROW(parseExpression(repeated("a = 1 or ", 100, "a = 1")));
}

} // namespace
} // namespace varnoke::sql
