// Expressions evaluated by SQLite through the renderer: Like patterns, Null logic and
// the dialect's functions, each checked as a WHERE condition on a one-row table.
#include "engine_fixture.h"

namespace varnoke::testing {
namespace {

struct Truth {
    const char* condition;
    bool holds;
};

class EngineExpression : public EngineTest, public ::testing::WithParamInterface<Truth> {};

TEST_P(EngineExpression, HoldsOrNot) {
    db.execute("CREATE TABLE One (T TEXT(40), N DOUBLE, D DATETIME, B BIT)");
    db.execute("INSERT INTO One VALUES ('Abc 12', 2.5, #7/4/2001 6:05:09 PM#, True)");
    auto rs = db.openRecordset(std::string("select * from One where ") + GetParam().condition);
    EXPECT_EQ(rs.recordCount(), GetParam().holds ? 1 : 0) << GetParam().condition;
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, EngineExpression,
    ::testing::Values(
        // Like: * ? # and sets, without regard to case
        Truth{"T Like 'abc*'", true}, Truth{"T Like 'A?c 1#'", true}, Truth{"T Like '*##'", true},
        Truth{"T Like '[a-b]bc*'", true}, Truth{"T Like '[!a]*'", false},
        Truth{"T Like 'Abc'", false}, Truth{"T Like Null", false},
        // three-valued logic: Null is neither true nor false
        Truth{"Null = Null", false}, Truth{"not (N = Null)", false},
        Truth{"N = Null or N = 2.5", true}, Truth{"N = Null and N = 2.5", false},
        Truth{"not (N = Null and N = 3)", true}, Truth{"IsNull(N + Null)", true},
        Truth{"IsNull('' & Null) = False", true},
        // functions and operators
        Truth{"Left(T, 3) = 'ABC' and Right(T, 2) = '12' and Mid(T, 5) = '12'", true},
        Truth{"Len(Null) Is Null and Len(T) = 6", true},
        Truth{"UCase(T) = 'ABC 12' and LCase(T) = 'abc 12'", true},
        Truth{"Trim('  x ') & '|' = 'x|' and LTrim(' x') = 'x' and RTrim('x ') = 'x'", true},
        Truth{"Val(Mid(T, 5)) + 1 = 13", true}, Truth{"Str(N) = ' 2.5'", true},
        Truth{"CStr(N) = '2.5'", true}, Truth{"CDbl('4') * 2 = 8", true},
        Truth{"Year(D) = 2001 and Month(D) = 7 and Day(D) = 4", true},
        Truth{"Hour(D) = 18 and Minute(D) = 5 and Second(D) = 9", true},
        Truth{"D & '' = '7/4/2001 6:05:09 PM'", true},
        Truth{"D > #7/4/2001# and D < #7/5/01#", true}, Truth{"D < Now() and Date() > D", true},
        Truth{"CDate('2001-07-04') = #7/4/2001#", true}, Truth{"B = True and B <> False", true},
        Truth{"N * 2 = 5 and N / 2 = 1.25 and 7 \\ 2 = 3 and 7 mod 4 = 3 and 2 ^ 3 = 8", true},
        Truth{"-N = -2.5 and Abs(-N) = N and Int(-2.5) = -3 and Fix(-2.5) = -2", true},
        Truth{"InStr(T, 'C 1') = 3", true}, Truth{"'a' + 'b' = 'AB'", true},
        Truth{"IIf(N > 2, 'big', 'small') = 'big' and Nz(Null, 'z') = 'z'", true},
        Truth{"N In (1, 2.5) and T Not In ('x') and N Not Between 3 and 4", true},
        Truth{"T = (select Max(T) from One)", true},
        Truth{"N In (select N from One where T Like 'abc*')", true}));

TEST_F(EngineTest, FunctionErrorsCarryTheirNumber) {
    db.execute("CREATE TABLE One (T TEXT(40))");
    db.execute("INSERT INTO One VALUES ('x')");
    EXPECT_ENGINE_ERROR(db.openRecordset("select * from One where CDate(T) > #1/1/2000#"), 13);
    EXPECT_ENGINE_ERROR(db.openRecordset("select * from One where 1 / 0 = 1"), 11);
    EXPECT_ENGINE_ERROR(db.openRecordset("select * from One where Zap(T) = 1"),
                        err::ExpressionSyntax);
}

// Texts a user may type into a find, filter or sort that once let a conversion's own
// error (Overflow) out of the engine instead of the engine's error with a number.
struct BadCriteria {
    const char* label;
    const char* text;
    int number;
};

void PrintTo(const BadCriteria& c, std::ostream* os) {
    *os << c.label;
}

class EngineCriteriaErrors : public EngineTest, public ::testing::WithParamInterface<BadCriteria> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        makePeople();
        rs = db.openRecordset("People", RecordsetType::Dynaset);
    }
    Recordset rs;
};

TEST_P(EngineCriteriaErrors, RaiseTheEnginesErrorInFindsAndFilters) {
    const auto& c = GetParam();
    EXPECT_ENGINE_ERROR(rs.findFirst(c.text), c.number);
    EXPECT_ENGINE_ERROR(rs.openFiltered(c.text), c.number);
    EXPECT_ENGINE_ERROR(rs.explainFind(c.text), c.number);
    EXPECT_EQ(rs.field("Id").value(), Value::number(1)) << "a failed find keeps the record";
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, EngineCriteriaErrors,
    ::testing::Values(
        BadCriteria{"NumberTooLarge", "Score = 1E777", err::ExpressionSyntax},
        BadCriteria{"TextTooLargeForANumberField", "Score = '1E999'", err::CriteriaTypeMismatch},
        BadCriteria{"TextTooLargeForADateField", "Born = '-1e999'", err::CriteriaTypeMismatch},
        BadCriteria{"TooLargeInArithmetic", "Score = 1 + '1e999'", err::CriteriaTypeMismatch},
        BadCriteria{"NestedTooDeep",
                    "Score = ((((((((((((((((((((((((((((((((((("
                    "((((((((((((((((((((((((((((((((((((((((("
                    "(((((((((((((((((((((((((((((((((((((((((("
                    "((((((((((((((((((((((((((((((((((((((((((1",
                    err::ExpressionSyntax}),
    [](const auto& info) { return std::string(info.param.label); });

// Lengths and positions are Longs: past a Long's range they overflow, as a number
// converted to a Long does, instead of being cut to some other length.
TEST_F(EngineTest, ALengthOrPositionPastALongIsOverflow) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    for (const char* text : {"Left(Name, 4.1E23) = 'x'", "Right(Name, -1E10) = 'x'",
                             "Mid(Name, 1E300, 2) = 'x'", "Mid(Name, 1, 2147483648) = 'x'"}) {
        SCOPED_TRACE(text);
        EXPECT_ENGINE_ERROR(rs.findFirst(text), kErrOverflow);
        EXPECT_ENGINE_ERROR(rs.openFiltered(text), kErrOverflow);
    }
    rs.findFirst("Left(Name, 2147483647) = 'Bob' and Mid(Name, 2, 2147483647) = 'ob'");
    ASSERT_FALSE(rs.noMatch());
    EXPECT_EQ(rs.value("Id").asNumber(), 2);
}

TEST_F(EngineTest, ASortTooLargeToReadIsASyntaxError) {
    makePeople();
    auto rs = db.openRecordset("People", RecordsetType::Dynaset);
    EXPECT_ENGINE_ERROR(rs.openSorted("Score * 1E777"), err::ExpressionSyntax);
}

} // namespace
} // namespace varnoke::testing
