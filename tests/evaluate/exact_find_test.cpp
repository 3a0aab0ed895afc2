// The exact test of a member written as a term of the engine's search: only where the
// member's own test is an exact equality of texts, with the operand in the form the test
// compares.
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
};

void PrintTo(const ExactCase& c, std::ostream* os) {
    *os << c.label;
}

class ExactFindText : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactFindText, WritesTheTestAsATermOrNone) {
    const ExactCase& c = GetParam();
    EXPECT_EQ(exactFindText(c.member, c.order, "co]de", c.operand), c.term);
}

const EvaluatorMember kTextText{"m", Text, Text, Equal, Action::Rep};
const EvaluatorMember kTextVal{"m", Text, Val, Equal, Action::Rep};
const EvaluatorMember kTextNot{"m", Text, Text, NotEqual, Action::Rep};
const EvaluatorMember kValText{"m", Val, Text, Equal, Action::Rep};

INSTANTIATE_TEST_SUITE_P(
    Members, ExactFindText,
    ::testing::Values(ExactCase{"TextAsItIs", kTextText, Order::Equal, Value::text("It's"),
                                "StrComp([co]]de], 'It''s', 0) = 0"},
                      ExactCase{"NumberAsItsPlainText", kTextVal, Order::Equal, Value::number(5),
                                "StrComp([co]]de], '5', 0) = 0"},
                      ExactCase{"BlankIsSearchedAsNull", kTextText, Order::Equal, Value::text(""),
                                std::nullopt},
                      ExactCase{"NotEqualKeepsItsOwnSearch", kTextNot, Order::Equal,
                                Value::text("a"), std::nullopt},
                      ExactCase{"NumbersCompareWithoutCase", kValText, Order::Equal,
                                Value::text("5"), std::nullopt},
                      ExactCase{"ANumberFieldTextIsNoText", kTextText, Order::Equal,
                                Value::number(5), std::nullopt}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke
