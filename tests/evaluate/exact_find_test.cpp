// The test of a member written as a term of the engine's search, with the operand in the
// form the test compares: only where the term selects every record the test accepts.
#include "evaluate/row_test.h"

#include <gtest/gtest.h>

namespace varnoke {
namespace {

using enum FieldClass;
using enum Polarity;

struct ExactCase {
    std::string label;
    EvaluatorMember member;
    Order order;
    Value operand;
    std::optional<std::string> term;
    bool yesNo = false;
};

void PrintTo(const ExactCase& c, std::ostream* os) {
    *os << c.label;
}

class ExactFindText : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactFindText, WritesTheTestAsATermOrNone) {
    const ExactCase& c = GetParam();
    EXPECT_EQ(exactFindText(c.member, c.order, "co]de", c.operand, c.yesNo), c.term);
}

const EvaluatorMember kTextText{"m", Text, Text, Equal, Action::Rep};
const EvaluatorMember kTextVal{"m", Text, Val, Equal, Action::Rep};
const EvaluatorMember kTextNot{"m", Text, Text, NotEqual, Action::Rep};
const EvaluatorMember kValText{"m", Val, Text, Equal, Action::Rep};
const EvaluatorMember kValNot{"m", Val, Val, NotEqual, Action::Rep};
const EvaluatorMember kValVal{"m", Val, Val, Equal, Action::Rep, true};
const EvaluatorMember kDateVal{"m", Date, Val, Equal, Action::Rep};
const EvaluatorMember kDateDate{"m", Date, Date, Equal, Action::Rep, true};

INSTANTIATE_TEST_SUITE_P(
    Members, ExactFindText,
    ::testing::Values(
        ExactCase{"TextAsItIs", kTextText, Order::Equal, Value::text("It's"),
                  "StrComp([co]]de], 'It''s', 0) = 0"},
        ExactCase{"NumberAsItsPlainText", kTextVal, Order::Equal, Value::number(5),
                  "StrComp([co]]de], '5', 0) = 0"},
        ExactCase{"BlankIsSearchedAsNull", kTextText, Order::Equal, Value::text(""),
                  "IsNull([co]]de])"},
        ExactCase{"AfterABlankIsAValue", kDateDate, Order::Greater, Value::null(),
                  "not IsNull([co]]de])"},
        ExactCase{"NotABlankIsAValue", kTextNot, Order::Equal, Value{}, "not IsNull([co]]de])"},
        ExactCase{"NothingIsBeforeABlank", kDateDate, Order::Less, Value::null(), std::nullopt},
        ExactCase{"NotEqualReachesNull", kTextNot, Order::Equal, Value::text("a"),
                  "(StrComp([co]]de], 'a', 0) <> 0 or IsNull([co]]de]))"},
        ExactCase{"NumberNotEqualReachesNull", kValNot, Order::Equal, Value::number(2.5),
                  "([co]]de] < '2.5' or [co]]de] > '2.5' or IsNull([co]]de]))"},
        ExactCase{"LessNumberReachesNull", kValVal, Order::Less, Value::number(-3),
                  "([co]]de] < '-3' or IsNull([co]]de]))"},
        ExactCase{"YesNoLessThanOneNamesEveryValue", kValVal, Order::Less, Value::number(1),
                  "([co]]de] = '-1' or [co]]de] = '0' or IsNull([co]]de]))", true},
        ExactCase{"YesNoNotEqualNamesTheOtherValue", kValNot, Order::Equal, Value::number(0),
                  "([co]]de] = '-1' or IsNull([co]]de]))", true},
        ExactCase{"YesNoEqualityOfTrueIsMinusOne", kValVal, Order::Equal, Value::number(-1),
                  "([co]]de] = '-1')", true},
        ExactCase{"YesNoGreaterThanFalseMeetsNone", kValVal, Order::Greater, Value::number(0),
                  "(IsNull([co]]de]) and not IsNull([co]]de]))", true},
        ExactCase{"NumberTakesTheFieldsType", kValText, Order::Equal, Value::text("5 units"),
                  "[co]]de] = '5'"},
        ExactCase{"GreaterNumberToItsLastDigit", kValVal, Order::Greater, Value::number(0.1 + 0.2),
                  "[co]]de] > '0.30000000000000004'"},
        ExactCase{"DateOfANumberToItsLastDigit", kDateVal, Order::Equal, Value::number(0.1 + 0.2),
                  "[co]]de] = 0.30000000000000004"},
        ExactCase{"BeforeReachesNull", kDateDate, Order::Less, Value::date(-1.5),
                  "([co]]de] < -1.5 or IsNull([co]]de]))"},
        ExactCase{"DateThatIsNoDate", kDateDate, Order::Equal, Value::text("x"), std::nullopt},
        ExactCase{"ANumberFieldTextIsNoText", kTextText, Order::Equal, Value::number(5),
                  std::nullopt}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke
