#include "process/dispatchers.h"

#include "process/field_class.h"
#include "process_fixture.h"
#include "value/convert.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

// Every evaluator name answers with a recording double. File B has the fields the rows
// name, so "File B.N" is a field and not a typed value.
class Dispatch : public ProcessFixture {
protected:
    void SetUp() override {
        exec("CREATE TABLE Table1 (Name TEXT(20), Count LONG)");
        exec("CREATE TABLE Table2 (Name TEXT(20), N DOUBLE, D DATETIME, [Text] TEXT(20))");
        exec("INSERT INTO Table1 (Name, Count) VALUES ('a', 5)");
        exec("INSERT INTO Table2 (Name) VALUES ('b')");
        openFiles();
        for (const std::string& name : allEvaluatorNames()) {
            if (name.ends_with("Rep"))
                registry.addRepEvaluator(name, [this, name](RunContext&, Value& c, Value&) {
                    called.push_back(name);
                    seen = c;
                });
            else
                registry.addDelEvaluator(name, [this, name](RunContext&, Value& c) {
                    called.push_back(name);
                    seen = c;
                });
        }
    }
    void row(std::string thisValue, std::string condition, std::string conjunction = "") {
        setCriteria({{"Name", std::move(condition), std::move(thisValue), std::move(conjunction)}});
        criteria.moveFirst();
    }
    std::vector<std::string> called;
    Value seen;
    Value operand = Value::text("x");
    Value replacement = Value::text("new");
};

using Dispatcher = void (*)(RunContext&, int, int, Value&, Value&);

void equalDelA(RunContext& c, int t1, int t2, Value& v, Value&) {
    equalAnalyseDelA(c, t1, t2, v);
}
void notEqualDelB(RunContext& c, int t1, int t2, Value& v, Value&) {
    notEqualAnalyseDelB(c, t1, t2, v);
}

struct TypeCase {
    std::string label;
    Dispatcher dispatcher;
    int type1, type2;
    std::string thisValue;
    std::string expected; // "" = no evaluator
};

class TypePairs : public Dispatch, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(TypePairs, CallTheEvaluatorOfTheirTypes) {
    const TypeCase& c = GetParam();
    row(c.thisValue, "is equal to");
    c.dispatcher(ctx, c.type1, c.type2, operand, replacement);
    EXPECT_EQ(called, c.expected.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(
    Choice, TypePairs,
    ::testing::Values(
        TypeCase{"RepAValVal", equalAnalyseRepA, 7, 7, "File B.N", "list1ValValEqualRep"},
        TypeCase{"RepATextDate", equalAnalyseRepA, 10, 8, "File B.N", "list1TextDateEqualRep"},
        TypeCase{"RepALongCountsAsVal", equalAnalyseRepA, 4, 3, "File B.N", "list1ValValEqualRep"},
        TypeCase{"RepAMemoCountsAsText", equalAnalyseRepA, 12, 10, "File B.N",
                 "list1TextTextEqualRep"},
        TypeCase{"RepATypedOnVal", equalAnalyseRepA, 7, 10, "12", "list1ValTextEqualRep"},
        TypeCase{"RepAOperandBinary", equalAnalyseRepA, 10, 11, "File B.N", ""},
        TypeCase{"NotRepAValDate", notEqualAnalyseRepA, 7, 8, "File B.N",
                 "list1ValDateNotEqualRep"},
        TypeCase{"NotRepATyped", notEqualAnalyseRepA, 10, 7, "typed", "list1TextTextNotEqualRep"},
        TypeCase{"DelABinaryTested", equalDelA, 11, 7, "File B.N", "list1TextTextEqualDel"},
        TypeCase{"DelATextVal", equalDelA, 10, 7, "File B.N", "list1TextValEqualDel"},
        TypeCase{"RepBTestsTheFileBField", equalAnalyseRepB, 8, 10, "File B.N",
                 "list2TextDateEqualRep"},
        TypeCase{"RepBTyped", equalAnalyseRepB, 7, 10, "typed", "list2TextTextEqualRep"},
        TypeCase{"NotDelBValText", notEqualDelB, 10, 7, "File B.N", "list2ValTextNotEqualDel"},
        TypeCase{"NoCompareAddAValTyped", noCompareAddA, 7, 10, "5", "list1ValTextEqualRep"},
        TypeCase{"NoCompareAddB", noCompareAddB, 10, 10, "File B.N", "list2TextTextEqualRep"}),
    [](const auto& info) { return info.param.label; });

TEST_F(Dispatch, DateFieldWithAnOperandThatIsNoDateAsksAndCallsNothing) {
    row("File B.Text", "is equal to");
    operand = Value::text("abc");
    sp.prompter.answer(answer::Abort);
    equalAnalyseRepA(ctx, 8, 10, operand, replacement);
    EXPECT_TRUE(called.empty());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].starts_with("The data cannot be converted to a date format."));
    EXPECT_EQ(sp.prompter.last().style, 290);
    EXPECT_EQ(sp.prompter.last().title, "Varnoke - Your choice...");
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(Dispatch, IgnoreSilencesBothQuestionsForTheRun) {
    row("File B.Text", "is equal to");
    operand = Value::text("abc");
    sp.prompter.answer(answer::Ignore);
    equalAnalyseRepA(ctx, 8, 10, operand, replacement);
    equalAnalyseRepA(ctx, 8, 10, operand, replacement);
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(form.run.askBadDate, "y");
    EXPECT_EQ(shared.stopFlag, "");
}

TEST_F(Dispatch, BlankEmptyTextAndDateTextAreUsableDates) {
    row("File B.Text", "is equal to");
    for (Value v : {Value::null(), Value::text(""), Value::text("12/31/2003")})
        equalAnalyseRepA(ctx, 8, 10, v, replacement);
    EXPECT_EQ(called, std::vector<std::string>(3, "list1DateTextEqualRep"));
}

TEST_F(Dispatch, TypedGreaterRowIsReadAsANumber) {
    row("12 apples", "is greater than");
    operand = Value::text("12 apples");
    equalAnalyseRepA(ctx, 7, 10, operand, replacement);
    EXPECT_EQ(called, std::vector<std::string>{"list1ValValEqualRep"});
    EXPECT_EQ(operand, Value::number(12)); // stays converted for the rest of the step
}

TEST_F(Dispatch, TypedBlankGreaterRowStaysNull) {
    row("", "is less than");
    operand = Value::null();
    equalAnalyseRepB(ctx, 10, 7, operand, replacement);
    EXPECT_EQ(called, std::vector<std::string>{"list2ValValEqualRep"});
    EXPECT_TRUE(operand.isNull());
}

TEST_F(Dispatch, FileBDeleteBeforeRowIsReadAsADate) {
    row("12/31/2003", "is before");
    operand = Value::text("12/31/2003");
    equalAnalyseDelB(ctx, 10, 8, operand);
    EXPECT_EQ(called, std::vector<std::string>{"list2DateDateEqualDel"});
    EXPECT_EQ(operand, Value::date(makeDateSerial(2003, 12, 31)));
}

// A surplus record is appended whatever the row's types: a File B field of no known
// kind, or a date field against a text that is no date, asks nothing.
TEST_F(Dispatch, NoCompareAddAppendsWhateverTheTypes) {
    row("File B.N", "is equal to");
    noCompareAddA(ctx, 7, 1 + 10, operand, replacement); // File B field of no known kind
    EXPECT_EQ(called, std::vector<std::string>{"list1ValTextEqualRep"});
    EXPECT_EQ(shared.addNewMode, "n");
    called.clear();
    operand = Value::text("no date");
    noCompareAddA(ctx, 8, 10, operand, replacement);
    EXPECT_EQ(called, std::vector<std::string>{"list1DateTextEqualRep"});
    EXPECT_TRUE(messages().empty());
}

struct OrderedCase {
    std::string label;
    std::string condition, thisValue;
    int type1, type2;
    Value operand;
    std::string expected; // evaluator, or "" when a question is asked
    std::string question; // start of the question text
};

class Ordered : public Dispatch, public ::testing::WithParamInterface<OrderedCase> {};

TEST_P(Ordered, CheckTypesThenCallTheOrderedMember) {
    const OrderedCase& c = GetParam();
    row(c.thisValue, c.condition);
    operand = c.operand;
    if (!c.question.empty()) sp.prompter.answer(answer::Retry);
    GreaterLessBeforeAfterRepA(ctx, c.type1, c.type2, operand, replacement);
    EXPECT_EQ(called, c.expected.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{c.expected});
    if (!c.question.empty()) {
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_TRUE(messages()[0].starts_with(c.question)) << messages()[0];
        EXPECT_EQ(form.run.askBadDate, "n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, Ordered,
    ::testing::Values(
        OrderedCase{"GreaterOnDouble", "is greater than", "File B.N", 7, 7, Value::number(1),
                    "list1ValValEqualRep", ""},
        OrderedCase{"GreaterOnText", "is greater than", "File B.N", 10, 7, Value::number(1), "",
                    "The required comparison cannot be done."},
        OrderedCase{"LessTypedUnchecked", "is less than", "abc", 7, 10, Value::text("abc"),
                    "list1ValValEqualRep", ""},
        OrderedCase{"AfterFileBDate", "is after", "File B.D", 10, 8, Value::number(1),
                    "list1DateDateEqualRep", ""},
        OrderedCase{"BeforeTypedBlank", "is before", "", 8, 10, Value::null(),
                    "list1DateDateEqualRep", ""},
        OrderedCase{"BeforeTypedWord", "is before", "soon", 8, 10, Value::text("soon"), "",
                    "The data cannot be converted to a date format."},
        OrderedCase{"EqualIsNotTheirs", "is equal to", "x", 7, 10, Value::text("x"), "", ""}),
    [](const auto& info) { return info.param.label; });

TEST_F(Dispatch, DeleteOrRowThatDidNotActHandsOnTheRecord) {
    row("File B.N", "is greater than", "or");
    GreaterLessBeforeAfterDelA(ctx, 7, 7, operand);
    EXPECT_EQ(called, std::vector<std::string>{"list1ValValEqualDel"});
    EXPECT_EQ(form.run.nextCriteriaRow, "y");

    form.run.nextCriteriaRow.clear();
    shared.recordDone = "y";
    GreaterLessBeforeAfterDelA(ctx, 7, 7, operand);
    EXPECT_EQ(form.run.nextCriteriaRow, "");
}

// A type code no evaluator knows sends a replace to the fallback ladder, which writes the
// target field (Combo4) of File A's current record.
class Fallback : public Dispatch {
protected:
    void SetUp() override {
        Dispatch::SetUp();
        form.controls.combo4 = "File A.Count";
        row("a", "is equal to");
    }
    Value count() { return shared.workDb.openRecordset("Table1").value("Count"); }
    static constexpr int kUnknownType = 99;
};

TEST_F(Fallback, MatchingRecordGetsTheLeadingNumber) {
    Value typed = Value::text("a");
    Value with = Value::text("42 boxes");
    equalAnalyseRepA(ctx, kUnknownType, 10, typed, with);
    EXPECT_TRUE(called.empty());
    EXPECT_EQ(count(), Value::number(42));
    EXPECT_EQ(form.run.conversionStage, "2");
    EXPECT_EQ(shared.stopFlag, "");
}

TEST_F(Fallback, RecordThatDoesNotMeetTheRowIsLeftAlone) {
    Value typed = Value::text("b");
    Value with = Value::text("42");
    equalAnalyseRepA(ctx, kUnknownType, 10, typed, with);
    EXPECT_EQ(count(), Value::number(5));
    notEqualAnalyseRepA(ctx, kUnknownType, 10, typed, with);
    EXPECT_EQ(count(), Value::number(42));
}

TEST_F(Fallback, CancelledQuestionStopsTheRunAndKeepsTheRecord) {
    form.run.recNo = 7;
    Value typed = Value::text("a");
    Value with = Value::text("1E+300"); // too big for a long in every form
    sp.prompter.answer(answer::Cancel);
    progress.setVisible(true);
    equalAnalyseRepA(ctx, kUnknownType, 10, typed, with);
    EXPECT_EQ(messages(), std::vector<std::string>{"Varnoke could not process the data types "
                                                   "involved in record number  7.  Continue "
                                                   "processing the file?"});
    EXPECT_EQ(sp.prompter.last().style, 33);
    EXPECT_EQ(sp.prompter.last().title, "Varnoke - Sorry...");
    EXPECT_EQ(shared.msgAnswer, answer::Cancel);
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_FALSE(progress.visible());
    EXPECT_EQ(count(), Value::number(5));
    EXPECT_EQ(shared.rsFileA.editMode(), 0);
}

} // namespace
} // namespace varnoke::test
