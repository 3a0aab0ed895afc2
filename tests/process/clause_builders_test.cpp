#include "process/clause_builders.h"

#include "process_fixture.h"
#include "value/convert.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

// 12/31/2003 as a day serial (a literal: the test tables are built before main).
const Value kDate = Value::date(37986);

struct ClauseCase {
    std::string label;
    Clause clause;
    std::string field;
    Value value;
    std::string before; // findCriteria before the call
    bool orChosen;
    long rows;
    std::string after;
};

class ClauseText : public ::testing::TestWithParam<ClauseCase> {};

TEST_P(ClauseText, AppendsTheExactTerm) {
    const ClauseCase& c = GetParam();
    EXPECT_EQ(withClause(c.before, c.clause, {c.field, c.value, c.orChosen, c.rows}), c.after);
}

using enum Clause;

INSTANTIATE_TEST_SUITE_P(
    Terms, ClauseText,
    ::testing::Values(
        ClauseCase{"TextApostrophe", addTextEqualClause, "Name", Value::text("O'Brien"), "", false,
                   2, "[Name] = 'O''Brien'"},
        ClauseCase{"TextNotFirst", addTextNotEqualClause, "Last Name", Value::text("x"), "", true,
                   2, "not [Last Name] = 'x'"},
        ClauseCase{"TextNotAnd", addTextNotEqualClause, "Name", Value::text("x"), "[A] = 1", false,
                   2, "[A] = 1 and not [Name] = 'x'"},
        ClauseCase{"TextNotOr", addTextNotEqualClause, "Name", Value::text("x"), "[A] = 1", true, 2,
                   "[A] = 1 or not [Name] = 'x'"},
        ClauseCase{"TextDate", addTextDateEqualClause, "When", kDate, "", false, 2,
                   "[When] = '12/31/2003'"},
        ClauseCase{"TextDateApostrophe", addTextDateEqualClause, "When", Value::text("it's"), "",
                   false, 2, "[When] = 'it''s'"},
        ClauseCase{"TextValPlain", addTextValEqualClause, "Code", Value::number(5), "", false, 2,
                   "[Code] = '5'"},
        ClauseCase{"TextValNegative", addTextValNotEqualClause, "Code", Value::number(-2.5), "",
                   false, 2, "not [Code] = '-2.5'"},
        ClauseCase{"DateDate", addDateEqualClause, "Due Date", kDate, "", false, 2,
                   "[Due Date] = #12/31/2003#"},
        ClauseCase{"DateText", addDateTextEqualClause, "Due", Value::text("2003-12-31"), "", false,
                   2, "[Due] = #12/31/2003#"},
        ClauseCase{"DateValNot", addDateValNotEqualClause, "Due", Value::number(2), "[X] = 1", true,
                   2, "[X] = 1 or not [Due] = #1/1/1900#"},
        ClauseCase{"ValVal", addValEqualClause, "Amount", Value::number(12.5), "", false, 2,
                   "[Amount] = 12.5"},
        ClauseCase{"ValText", addValTextEqualClause, "Amount", Value::text(" 42 apples"), "", false,
                   2, "[Amount] = 42"},
        ClauseCase{"ValTextNoNumber", addValTextNotEqualClause, "Amount", Value::text("abc"), "",
                   false, 2, "not [Amount] = 0"},
        ClauseCase{"ValDate", addValDateEqualClause, "Amount", kDate, "", false, 2,
                   "[Amount] = 12"},
        ClauseCase{"Greater", addValGreaterClause, "Amount", Value::number(3), "", false, 2,
                   "[Amount] > 3"},
        ClauseCase{"Less", addValLessClause, "Amount", Value::number(3), "[A] = 1", false, 2,
                   "[A] = 1 and [Amount] < 3"},
        ClauseCase{"After", addDateAfterClause, "Due", kDate, "", false, 2, "[Due] > #12/31/2003#"},
        ClauseCase{"Before", addDateBeforeClause, "Due", kDate, "", false, 2,
                   "[Due] < #12/31/2003#"},
        ClauseCase{"LessOrNullOneRow", addValLessOrNullClause, "Amount", Value::number(3), "",
                   false, 1, "[Amount] < 3 or IsNull([Amount])"},
        ClauseCase{"LessOrNullTwoRows", addValLessOrNullClause, "Amount", Value::number(3), "",
                   false, 2, "[Amount] < 3"},
        ClauseCase{"GreaterOrNullOr", addValGreaterOrNullClause, "Amount", Value::number(3),
                   "[A] = 1", true, 3, "[A] = 1 or [Amount] > 3 or IsNull([Amount])"},
        ClauseCase{"BeforeOrNull", addDateBeforeOrNullClause, "Due", kDate, "", false, 1,
                   "[Due] < #12/31/2003# or IsNull([Due])"},
        ClauseCase{"AfterOrNullAnd", addDateAfterOrNullClause, "Due", kDate, "[A] = 1", false, 2,
                   "[A] = 1 and [Due] > #12/31/2003#"},
        ClauseCase{"IsNull", addIsNullClause, "Name", Value::null(), "", false, 2,
                   "IsNull([Name])"},
        ClauseCase{"IsNullOr", addIsNullClause, "Name", Value::null(), "[A] = 1", true, 2,
                   "[A] = 1 or IsNull([Name])"},
        ClauseCase{"NotIsNullAnd", addNotIsNullClause, "Name", Value::null(), "[A] = 1", false, 2,
                   "[A] = 1 and not IsNull([Name])"},
        ClauseCase{"NotIsNullFirst", addNotIsNullClause, "Name", Value::null(), "", true, 2,
                   "not IsNull([Name])"}),
    [](const auto& info) { return info.param.label; });

TEST(ClauseBuilders, ValueWithoutTheFormRaisesItsError) {
    const ClauseInput notADate{"Due", Value::text(""), false, 1};
    try {
        withClause("[A] = 1", addDateTextEqualClause, notADate);
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrTypeMismatch);
    }
    const Value word = Value::text("five");
    EXPECT_THROW(withClause("", addTextValEqualClause, {"Code", word, false, 1}), RuntimeError);
}

TEST(ClauseBuilders, NamesKeepTheirOrder) {
    EXPECT_EQ(clauseName(addTextEqualClause), "addTextEqualClause");
    EXPECT_EQ(clauseName(addDateAfterOrNullClause), "addDateAfterOrNullClause");
    EXPECT_EQ(clauseName(addNotIsNullClause), "addNotIsNullClause");
}

class RunClauses : public ProcessFixture {};

TEST_F(RunClauses, TextBuilderSetsQuotedValueAndFailureKeepsFindCriteria) {
    setCriteria({{"Name", "is equal to", "File B.Name", ""}});
    form.run.criteriaField = "Name";
    form.run.criteriaValue = Value::text("it's");
    addClause(ctx, addTextEqualClause);
    EXPECT_EQ(form.run.findCriteria, "[Name] = 'it''s'");
    EXPECT_EQ(form.run.quotedValue, "it''s");

    form.run.criteriaValue = Value::text("no date");
    EXPECT_THROW(addClause(ctx, addDateTextEqualClause), RuntimeError);
    EXPECT_EQ(form.run.findCriteria, "[Name] = 'it''s'");
}

TEST_F(RunClauses, AppendOrIsNullFollowsTheReplacementAndRowCount) {
    setCriteria({{"Name", "is not equal to", "File B.Name", ""}});
    form.run.criteriaField = "Name";
    form.run.criteriaValue = Value::text("x");
    form.controls.option3 = false;
    for (const Value& blank : {Value(), Value::null(), Value::text("")}) {
        form.run.findCriteria = "not [Name] = 'x'";
        form.run.replaceValue = blank;
        appendOrIsNull(ctx);
        EXPECT_EQ(form.run.findCriteria, "not [Name] = 'x'");
    }
    form.run.replaceValue = Value::number(0); // zero is a value, not a blank
    appendOrIsNull(ctx);
    EXPECT_EQ(form.run.findCriteria, "not [Name] = 'x' or IsNull([Name])");
}

TEST_F(RunClauses, RecordAddedOrKeepsOneRowPerField) {
    form.run.criteriaField = "Last Name";
    recordAddedOr(ctx);
    recordAddedOr(ctx);
    Recordset rows = shared.workDb.openRecordset("AddedOr", RecordsetType::Dynaset);
    ASSERT_EQ(rows.recordCount(), 1);
    EXPECT_EQ(rows.value("condition"), Value::text("IsNull([Last Name])"));
}

} // namespace
} // namespace varnoke::test
