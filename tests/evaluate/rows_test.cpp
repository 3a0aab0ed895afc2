// Criteria rows joined by "and", typed and blank operands, and what a failure leaves.
#include "evaluate_fixture.h"
#include "process/handle_error.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

class Rows : public EvaluateFixture {
protected:
    Rows() {
        exec("INSERT INTO Table1 (ID, Name, Amount, Target) VALUES (1, 'O''Brien', 1, 'old')");
        exec("INSERT INTO Table1 (ID, Name, Amount, Target) VALUES (2, 'Smith', 5, 'old')");
        exec("INSERT INTO Table1 (ID, Name, Amount, Target) VALUES (3, 'O''Brien', 5, 'old')");
    }
    // Amount = a File B number, and Name = a typed text.
    void amountAndName() {
        setCriteria({{"Amount", "is equal to", "File B.BAmount", "and"},
                     {"Name", "is equal to", "O'Brien", ""}});
        criteria.moveFirst();
    }
    // The step loop's part between two rows of a chain.
    void nextRow() {
        ASSERT_EQ(run.nextCriteriaRow, "y");
        run.nextCriteriaRow.clear();
        criteria.moveNext();
    }
};

TEST_F(Rows, AnAndRowHoldsAndHandsOverWithoutActing) {
    amountAndName();
    begin(choice::ParallelOneRecord);
    goToA(2);
    call("list1ValValEqualRep", Value::number(1));
    EXPECT_EQ(run.nextCriteriaRow, "");
    goToA(1);
    call("list1ValValEqualRep", Value::number(1));
    EXPECT_EQ(run.nextCriteriaRow, "y");
    EXPECT_EQ(shared.recordDone, "");
    EXPECT_TRUE(replaced().empty());
}

TEST_F(Rows, AnAndChainWithATypedRowActsOnTheRecordMeetingBoth) {
    amountAndName();
    begin(choice::NonParallelFirstOccurrence);
    call("list1ValValEqualRep", Value::number(5));
    EXPECT_EQ(run.findCriteria, "[Amount] = 5");
    nextRow();
    call("list1TextTextEqualRep", Value::text("O'Brien"));
    EXPECT_EQ(run.findCriteria, "[Amount] = 5 and ([Name] = 'O''Brien')");
    EXPECT_EQ(replaced(), std::vector<long>{3});
    EXPECT_EQ(shared.recordDone, "y");
}

TEST_F(Rows, AllRecordsRunsOneStatementWithTheChainsConditions) {
    amountAndName();
    begin(choice::NonParallelAllRecords);
    call("list1ValValEqualRep", Value::number(5));
    nextRow();
    call("list1TextTextEqualRep", Value::text("O'Brien"), Value::null());
    EXPECT_EQ(run.updateSql,
              "update [table1] set [Target] = Null where [Amount] = 5 and ([Name] = 'O''Brien');");
    EXPECT_EQ(ids("Target Is Null"), std::vector<long>{3});
    // The typed row that ends the chain passed its test: the driving record is done.
    EXPECT_EQ(shared.recordDone, "y");
}

TEST_F(Rows, ATypedRowThatBeginsThePassOnlySearches) {
    setCriteria(
        {{"Name", "is equal to", "Smith", "or"}, {"Amount", "is equal to", "File B.X", ""}});
    criteria.moveFirst();
    begin(choice::NonParallelFirstOccurrence);
    call("list1TextTextEqualRep", Value::text("Smith"));
    EXPECT_TRUE(replaced().empty());
    EXPECT_EQ(run.findCriteria, "");
    EXPECT_EQ(shared.recordDone, "");
    EXPECT_EQ(run.nextCriteriaRow, "");
}

TEST_F(Rows, ATypedRowWithoutAMatchEndsTheChain) {
    setCriteria(
        {{"Name", "is equal to", "Jones", "and"}, {"Amount", "is equal to", "File B.X", ""}});
    criteria.moveFirst();
    begin(choice::NonParallelFirstOccurrence);
    call("list1TextTextEqualRep", Value::text("Jones"));
    EXPECT_EQ(run.nextCriteriaRow, "");
    EXPECT_EQ(run.findCriteria, "");
}

struct TypedFind {
    std::string label;
    std::string member;
    std::string field;
    std::string condition;
    Value operand;
    std::string term; // what the row adds to findCriteria, "" when the call ends at once
};

void PrintTo(const TypedFind& c, std::ostream* os) {
    *os << c.label;
}

class TypedFinds : public Rows, public ::testing::WithParamInterface<TypedFind> {};

// Each typed or blank operand as the first row of an "and" chain.
TEST_P(TypedFinds, JoinTheChainWithTheirOwnTerm) {
    const TypedFind& c = GetParam();
    exec("INSERT INTO Table1 (ID) VALUES (4)");
    setCriteria({{c.field, c.condition, textOrBlank(c.operand), "and"}});
    criteria.moveFirst();
    begin(choice::NonParallelFirstOccurrence);
    call(c.member, c.operand);
    EXPECT_EQ(run.findCriteria, c.term);
    EXPECT_EQ(run.nextCriteriaRow, c.term.empty() ? "" : "y");
    EXPECT_TRUE(messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    FileA, TypedFinds,
    ::testing::Values(TypedFind{"Text", "list1TextTextEqualRep", "Name", "is equal to",
                                Value::text("O'Brien"), "([Name] = 'O''Brien')"},
                      TypedFind{"Blank", "list1TextTextEqualDel", "Name", "is equal to",
                                Value::null(), "(IsNull([Name]))"},
                      TypedFind{"Number", "list1ValTextEqualDel", "Amount", "is equal to",
                                Value::text("5x"), "([Amount] = 5)"},
                      TypedFind{"Greater", "list1ValValEqualRep", "Amount", "is greater than",
                                Value::number(4), "([Amount] > 4)"},
                      TypedFind{"Less", "list1ValValEqualDel", "Amount", "is less than",
                                Value::text("9"), "([Amount] < 9 or IsNull([Amount]))"},
                      TypedFind{"LessBlankEndsAtOnce", "list1ValValEqualRep", "Amount",
                                "is less than", Value::null(), ""},
                      TypedFind{"NotEqualText", "list1TextTextNotEqualRep", "Name",
                                "is not equal to", Value::text("Smith"),
                                "(not [Name] = 'Smith' or IsNull([Name]))"},
                      TypedFind{"NotEqualBlankNumber", "list1ValTextNotEqualRep", "Amount",
                                "is not equal to", Value::null(), "(not IsNull([Amount]))"},
                      TypedFind{"NotEqualBlankText", "list1TextTextNotEqualDel", "Name",
                                "is not equal to", Value::null(), "(not IsNull([Name]))"}),
    [](const auto& info) { return info.param.label; });

TEST_F(Rows, ABlankOperandLessThanTermMeetsNoRecord) {
    setCriteria({{"Amount", "is less than", "File B.BAmount", ""}});
    criteria.moveFirst();
    begin(choice::NonParallelFirstOccurrence);
    run.findCriteria = "[Name] = 'Smith'";
    call("list1ValValEqualRep", Value::null());
    EXPECT_EQ(run.findCriteria, "[Name] = 'Smith' and IsNull([Amount]) and not IsNull([Amount])");
    EXPECT_TRUE(replaced().empty());
}

// A write the engine refuses is reported and never counted as done.
TEST_F(Rows, AFailedWriteIsReportedAndNotDone) {
    setCriteria({{"Name", "is equal to", "File B.BName", ""}});
    criteria.moveFirst();
    begin(choice::ParallelOneRecord);
    sp.prompter.answer(answer::Ok);
    call("list1TextTextEqualRep", Value::text("O'Brien"), Value::text("far too long a text"));
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0], errorMessageFor(3163, ""));
    EXPECT_EQ(shared.recordDone, "");
    EXPECT_TRUE(replaced().empty());
}

TEST_F(Rows, AnErrorIsReportedAndSetsNoFlag) {
    setCriteria({{"Nothing", "is equal to", "File B.BName", "and"}});
    criteria.moveFirst();
    begin(choice::ParallelOneRecord, "delete");
    sp.prompter.answer(answer::Ok);
    call("list1TextTextEqualDel", Value::text("x"));
    EXPECT_EQ(sp.prompter.last().title, "Varnoke - Sorry...");
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_EQ(run.nextCriteriaRow, "");
    EXPECT_EQ(shared.recordDone, "");
}

} // namespace
} // namespace varnoke::test
