// File B changed: typed and blank rows, which concern the driving File A record alone,
// chains of rows, and where a File B member departs from its siblings or from its
// File A twin.
#include "evaluate_fixture.h"
#include "process/handle_error.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

class FileBRows : public FileBFixture {
protected:
    FileBRows() {
        exec("INSERT INTO Table1 (ID, Name, Amount) VALUES (1, 'Smith', 5)");
        exec("INSERT INTO Table1 (ID, Name, Amount) VALUES (2, 'Jones', 7)");
        exec("INSERT INTO Table1 (ID, Name, Amount) VALUES (3, 'Smith', 5)");
        exec("INSERT INTO Table2 (ID, BName, BAmount, Target) VALUES (1, 'b', 7, 'old')");
        exec("INSERT INTO Table2 (ID, BName, BAmount, Target) VALUES (2, 'c', 5, 'old')");
        exec("INSERT INTO Table2 (ID, BName, BAmount, Target) VALUES (3, 'd', 5, 'old')");
    }
    void rows(const std::vector<Criterion>& list) {
        setCriteria(list);
        criteria.moveFirst();
    }
    // The step loop's part between two rows of a chain.
    void nextRow() {
        ASSERT_EQ(run.nextCriteriaRow, "y");
        run.nextCriteriaRow.clear();
        criteria.moveNext();
    }
    // An "and" chain: File B's amount equals File A's, and File A's name is Smith.
    void amountAndSmith(std::string_view method, Value replacement = Value::text("new")) {
        rows({{"Amount", "is equal to", "File B.BAmount", "and"},
              {"Name", "is equal to", "Smith", ""}});
        begin(method);
        goToA(3);
        call("list2ValValEqualRep", Value::number(5), replacement);
        EXPECT_EQ(run.findCriteria, "[BAmount] = 5");
        nextRow();
    }
};

struct TypedCase {
    std::string label;
    std::string member;
    std::string ifThis;
    std::string_view condition;
    std::string typed;
    Value operand; // File A's value
    bool met;
};

void PrintTo(const TypedCase& c, std::ostream* os) {
    *os << c.label;
}

class FileBTypedRows : public FileBRows, public ::testing::WithParamInterface<TypedCase> {};

// Parallel records: the typed row decides on File A's value, and File B's current record
// is the one replaced. The walk of File A is never moved by the row.
TEST_P(FileBTypedRows, DecideOnTheDrivingRecordAndActOnTheCurrentFileBRecord) {
    const TypedCase& c = GetParam();
    rows({{c.ifThis, std::string(c.condition), c.typed, ""}});
    begin(choice::ParallelOneRecord);
    goToA(3);
    goToB(2);
    call(c.member, c.operand);
    EXPECT_EQ(replaced(), c.met ? std::vector<long>{2} : std::vector<long>{});
    EXPECT_EQ(shared.recordDone, c.met ? "y" : "");
    EXPECT_EQ(currentA(), 3);
    EXPECT_TRUE(messages().empty());
}

constexpr std::string_view eq = "is equal to", ne = "is not equal to", gt = "is greater than",
                           lt = "is less than", after = "is after", before = "is before";

std::vector<TypedCase> typedCases() {
    const Value kNull = Value::null();
    const Value kJan1 = dateValue(2003, 1, 1), kJan2 = dateValue(2003, 1, 2),
                kJan5 = dateValue(2003, 1, 5);
    const std::string tEq = "list2TextTextEqualRep", tNe = "list2TextTextNotEqualRep",
                      vv = "list2ValValEqualRep", dd = "list2DateDateEqualRep";
    return {
        {"Text", tEq, "Name", eq, "Smith", Value::text("Smith"), true},
        {"TextCaseCounts", tEq, "Name", eq, "Smith", Value::text("smith"), false},
        {"NumberByItsPlainText", tEq, "Amount", eq, "5", Value::number(5), true},
        {"NumberWithoutLeadingBlank", tEq, "Amount", eq, " 5", Value::number(5), false},
        {"DateByItsText", tEq, "Due", eq, "1/2/2003", kJan2, true},
        {"BlankMeetsNull", tEq, "Name", eq, "", kNull, true},
        {"BlankFailsAValue", tEq, "Name", eq, "", Value::text("x"), false},
        {"EmptyTextIsAValue", tEq, "Name", eq, "x", Value::text(""), false},
        {"NotEqualBlankMeetsAValue", tNe, "Name", ne, "", Value::text("x"), true},
        {"NotEqualBlankFailsNull", tNe, "Name", ne, "", kNull, false},
        {"NotEqualNullMeetsTyped", tNe, "Name", ne, "Smith", kNull, true},
        {"NotEqualSame", tNe, "Name", ne, "Smith", Value::text("Smith"), false},
        {"Greater", vv, "Amount", gt, "7", Value::number(10), true},
        {"GreaterFails", vv, "Amount", gt, "7", Value::number(5), false},
        {"GreaterBlankNever", vv, "Amount", gt, "7", kNull, false},
        {"Less", vv, "Amount", lt, "7abc", Value::number(5), true},
        {"LessBlankIsLeast", vv, "Amount", lt, "7", kNull, true},
        {"After", dd, "Due", after, "1/2/2003", kJan5, true},
        {"AfterFails", dd, "Due", after, "1/2/2003", kJan1, false},
        {"Before", dd, "Due", before, "1/2/2003", kJan1, true},
        {"BeforeBlankIsEarliest", dd, "Due", before, "1/2/2003", kNull, true},
        {"AfterBlankNever", dd, "Due", after, "1/2/2003", kNull, false},
    };
}

INSTANTIATE_TEST_SUITE_P(FileB, FileBTypedRows, ::testing::ValuesIn(typedCases()),
                         [](const auto& info) { return info.param.label; });

TEST_F(FileBRows, ATypedRowAloneActsOnNothingUnderTheSearchMethods) {
    for (std::string_view method :
         {choice::NonParallelFirstOccurrence, choice::NonParallelAllRecords}) {
        rows({{"Name", "is equal to", "Smith", ""}});
        begin(method);
        goToA(3);
        call("list2TextTextEqualRep", Value::text("Smith"));
        EXPECT_TRUE(replaced().empty()) << method;
        EXPECT_EQ(run.findCriteria, "");
        EXPECT_EQ(shared.recordDone, "");
        EXPECT_EQ(currentA(), 3);
    }
}

// The File B row's term selects the records; the typed row only says whether the driving
// record lets the chain act. File A stays on its record.
TEST_F(FileBRows, AChainEndingInATypedRowReplacesTheFirstRecordTheTermsSelect) {
    amountAndSmith(choice::NonParallelFirstOccurrence);
    call("list2TextTextEqualRep", Value::text("Smith"));
    EXPECT_EQ(run.findCriteria, "[BAmount] = 5");
    EXPECT_EQ(replaced(), std::vector<long>{2});
    EXPECT_EQ(shared.recordDone, "y");
    EXPECT_EQ(currentA(), 3);
}

TEST_F(FileBRows, AChainWhoseTypedRowFailsReplacesNothing) {
    amountAndSmith(choice::NonParallelFirstOccurrence);
    call("list2TextTextEqualRep", Value::text("Jones"));
    EXPECT_TRUE(replaced().empty());
    EXPECT_EQ(shared.recordDone, "");
    EXPECT_EQ(currentA(), 3);
}

// A blank replacement is SQL NULL in the one statement, never the text "Null".
TEST_F(FileBRows, AllRecordsRunsOneStatementOverTheTermsWhenTheTypedRowHolds) {
    amountAndSmith(choice::NonParallelAllRecords, Value::null());
    call("list2TextTextEqualRep", Value::text("Smith"), Value::null());
    EXPECT_EQ(run.updateSql, "update [table2] set [Target] = Null where [BAmount] = 5;");
    EXPECT_EQ(ids("Target Is Null"), (std::vector<long>{2, 3}));
    EXPECT_EQ(currentA(), 3);
}

TEST_F(FileBRows, ATypedRowFirstInAChainHoldsOrEndsIt) {
    rows(
        {{"Name", "is equal to", "Smith", "and"}, {"Amount", "is equal to", "File B.BAmount", ""}});
    begin(choice::NonParallelFirstOccurrence);
    goToA(2);
    call("list2TextTextEqualRep", Value::text("Jones"));
    EXPECT_EQ(run.nextCriteriaRow, "");
    call("list2TextTextEqualRep", Value::text("Smith"));
    EXPECT_EQ(run.nextCriteriaRow, "y");
    EXPECT_EQ(run.findCriteria, "");
    EXPECT_EQ(run.criteriaField, "Name");
    EXPECT_EQ(currentA(), 2);
}

struct OrderCase {
    std::string label;
    std::string member;
    std::string field; // File A's; File B's is B + field
    std::string_view condition;
    Value operand;
    std::string term;
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << c.label;
}

class FileBOrderTerms : public FileBRows, public ::testing::WithParamInterface<OrderCase> {};

// The ordering conditions name File A's value first, so on File B the find runs the other
// way from File A's: "is after" looks for earlier File B dates. The File A twin is run on
// the same row for contrast.
TEST_P(FileBOrderTerms, SearchTheOtherWayFromFileA) {
    const OrderCase& c = GetParam();
    rows({{c.field, std::string(c.condition), "File B.B" + c.field, ""}});
    begin(choice::NonParallelFirstOccurrence, c.member.ends_with("Del") ? "other" : "replace");
    call(c.member, c.operand);
    EXPECT_EQ(run.findCriteria, c.term);
}

INSTANTIATE_TEST_SUITE_P(
    FileB, FileBOrderTerms,
    ::testing::Values(OrderCase{"Greater", "list2ValValEqualRep", "Amount", gt, Value::number(10),
                                "[BAmount] < 10 or IsNull([BAmount])"},
                      OrderCase{"FileAGreater", "list1ValValEqualRep", "Amount", gt,
                                Value::number(10), "[Amount] > 10"},
                      OrderCase{"Less", "list2ValValEqualRep", "Amount", lt, Value::number(10),
                                "[BAmount] > 10"},
                      OrderCase{"GreaterBlankMeetsNothing", "list2ValValEqualRep", "Amount", gt,
                                Value::null(), "IsNull([BAmount]) and not IsNull([BAmount])"},
                      OrderCase{"LessBlank", "list2ValValEqualRep", "Amount", lt, Value::null(),
                                "not IsNull([BAmount])"},
                      OrderCase{"After", "list2DateDateEqualRep", "Due", after,
                                dateValue(2003, 1, 2), "[BDue] < #1/2/2003# or IsNull([BDue])"},
                      OrderCase{"FileAAfter", "list1DateDateEqualRep", "Due", after,
                                dateValue(2003, 1, 2), "[Due] > #1/2/2003#"},
                      OrderCase{"Before", "list2DateDateEqualRep", "Due", before,
                                dateValue(2003, 1, 2), "[BDue] > #1/2/2003#"},
                      OrderCase{"DeleteAfterByItsCondition", "list2DateDateEqualDel", "Due", after,
                                dateValue(2003, 1, 2), "[BDue] < #1/2/2003# or IsNull([BDue])"},
                      OrderCase{"DeleteGreaterByItsCondition", "list2ValValEqualDel", "Amount", gt,
                                Value::number(10), "[BAmount] < 10 or IsNull([BAmount])"}),
    [](const auto& info) { return info.param.label; });

// A record reached through an earlier "or" term: the numeric equal members take it as
// found; the number-against-text member tests it and finds no other.
TEST_F(FileBRows, NumericEqualMembersTakeTheFoundRecordUntested) {
    form.controls.option3 = true;
    const auto replaceWith = [&](const char* member, Value operand) {
        exec("UPDATE Table2 SET Target = 'old'");
        rows({{"Amount", "is equal to", "File B.BAmount", ""}});
        begin(choice::NonParallelFirstOccurrence);
        run.findCriteria = "[BName] = 'b'";
        call(member, std::move(operand));
        return replaced();
    };
    EXPECT_EQ(replaceWith("list2ValValEqualRep", Value::number(10)), std::vector<long>{1});
    EXPECT_EQ(replaceWith("list2ValTextEqualRep", Value::text("10")), std::vector<long>{});
}

// File A's equal text delete takes the first record the find reaches; File B's tests it
// exactly and goes on to the record that really matches.
TEST_F(FileBRows, TheFileBTextDeleteSkipsACaseOnlyMatch) {
    exec("UPDATE Table2 SET BName = 'ABC' WHERE ID = 1");
    exec("UPDATE Table2 SET BName = 'abc' WHERE ID = 2");
    exec("UPDATE Table1 SET Name = 'ABC' WHERE ID = 1");
    exec("UPDATE Table1 SET Name = 'abc' WHERE ID = 2");
    rows({{"Name", "is equal to", "File B.BName", ""}});
    begin(choice::NonParallelFirstOccurrence, "delete");
    call("list2TextTextEqualDel", Value::text("abc"));
    EXPECT_EQ(ids(), (std::vector<long>{1, 3}));
    run.findCriteria.clear();
    call("list1TextTextEqualDel", Value::text("abc"));
    changedTable = "Table1";
    EXPECT_EQ(ids(), (std::vector<long>{2, 3}));
}

// The date-on-date members leave the operand's date in the caller's variable.
TEST_F(FileBRows, DateDateMembersStoreTheOperandsDate) {
    rows({{"Due", "is equal to", "File B.BDue", ""}});
    begin(choice::ParallelOneRecord);
    for (const char* member :
         {"list2DateDateEqualRep", "list2DateDateNotEqualRep", "list2DateTextEqualRep"}) {
        call(member, Value::text("1/2/2003"));
        const Value expected = std::string_view(member) == "list2DateTextEqualRep"
                                   ? Value::text("1/2/2003")
                                   : dateValue(2003, 1, 2);
        EXPECT_EQ(run.criteriaValue, expected) << member;
    }
}

// Records past the end of File B: an equal member adds one whatever the row says, a
// blank replacement as SQL NULL; a not-equal member does not.
TEST_F(FileBRows, EqualMembersAddFileBRecordsInAddNewMode) {
    rows({{"Name", "is equal to", "File B.BName", ""}});
    begin(choice::ParallelOneRecord);
    shared.addNewMode = "n";
    call("list2TextTextNotEqualRep", Value::text("b"));
    EXPECT_EQ(shared.recordDone, "");
    call("list2DateValEqualRep", Value::number(1));
    EXPECT_EQ(shared.recordDone, "y");
    call("list2TextTextEqualRep", Value::text("zzz"), Value::null());
    Recordset added = shared.workDb.openRecordset("SELECT Target FROM Table2 WHERE ID Is Null",
                                                  RecordsetType::Snapshot);
    ASSERT_EQ(added.recordCount(), 2);
    EXPECT_EQ(added.value("Target"), Value::text("new"));
    added.moveNext();
    EXPECT_TRUE(added.value("Target").isNull());
}

// "File B." and a name File B does not have is a value typed, decided on File A's record.
TEST_F(FileBRows, AFileBTextNamingNoFieldOfFileBIsATypedValue) {
    rows({{"Name", "is equal to", "File B.Nothing", ""}});
    begin(choice::ParallelOneRecord);
    goToA(3);
    goToB(2);
    call("list2TextTextEqualRep", Value::text("File B.Nothing"));
    EXPECT_EQ(replaced(), std::vector<long>{2});
    EXPECT_EQ(shared.stopFlag, "");
    EXPECT_EQ(shared.recordDone, "y");
    EXPECT_TRUE(messages().empty());
}

} // namespace
} // namespace varnoke::test
