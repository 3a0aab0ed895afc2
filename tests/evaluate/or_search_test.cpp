// Under "or", a chain's last row searches the records that its own term or the earlier
// rows' terms select. The record acted on is the first the test accepts, found without
// visiting, one find at a time, every record the earlier terms select and the test refuses.
#include "evaluate/row_test.h"
#include "evaluate_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace varnoke::test {
namespace {

constexpr int kRecords = 60;
constexpr int kNullDue = 30;

// Numbers that differ past the fifteenth digit, a date with a time of day, dates in an
// order of their own and one Null.
double amountOf(int id) {
    if (id == 50) return 0.1 + 0.2;
    if (id == 20) return 0.3;
    return id;
}
std::optional<double> dueOf(int id) {
    if (id == kNullDue) return std::nullopt;
    return 36526 + (id * 37) % kRecords + (id == 45 ? 0.3 : 0);
}

// The first record, in File A's order, that a rule accepts.
long firstWhere(const std::function<bool(int)>& accepts) {
    for (int id = 1; id <= kRecords; ++id)
        if (accepts(id)) return id;
    return 0;
}

struct OrCase {
    const char* name;
    const char* field;
    const char* condition;
    const char* operandField; // of File B
    const char* member;
    Value operand;
    long expected; // the record replaced, 0 for none
};

void PrintTo(const OrCase& c, std::ostream* os) {
    *os << c.name;
}

const double kDue45 = *dueOf(45);
const double kLate = 36526 + 55;

const OrCase kOrCases[] = {
    {"NumberToItsLastDigit", "Amount", "is equal to", "File B.BAmount", "list1ValValEqualRep",
     Value::number(0.1 + 0.2), 50},
    {"NumberBesideACloseOne", "Amount", "is equal to", "File B.BAmount", "list1ValValEqualRep",
     Value::number(0.3), 20},
    {"NumberFromAText", "Amount", "is equal to", "File B.BName", "list1ValTextEqualRep",
     Value::text("58 units"), 58},
    {"DateWithItsTime", "Due", "is equal to", "File B.BDue", "list1DateDateEqualRep",
     Value::date(kDue45), 45},
    {"DateOfANumber", "Due", "is equal to", "File B.BAmount", "list1DateValEqualRep",
     Value::number(kDue45), 45},
    {"After", "Due", "is after", "File B.BDue", "list1DateDateEqualRep", Value::date(kLate),
     firstWhere([](int id) { return dueOf(id) && *dueOf(id) > kLate; })},
    {"BeforeReachesNull", "Due", "is before", "File B.BDue", "list1DateDateEqualRep",
     Value::date(36526 + 1),
     firstWhere([](int id) { return !dueOf(id) || *dueOf(id) < 36526 + 1; })},
    {"BlankFindsTheNull", "Due", "is equal to", "File B.BAmount", "list1DateValEqualRep",
     Value::null(), kNullDue},
    {"NothingIsBeforeABlank", "Due", "is before", "File B.BDue", "list1DateDateEqualRep",
     Value::null(), 0},
};

class OrSearch : public EvaluateFixture, public ::testing::WithParamInterface<OrCase> {
protected:
    OrSearch() {
        form.controls.option3 = true;
        form.controls.option4 = false;
        for (int id = 1; id <= kRecords; ++id) {
            const auto due = dueOf(id);
            char amount[40];
            std::snprintf(amount, sizeof amount, "%.17g", amountOf(id));
            exec("INSERT INTO Table1 (ID, Name, Amount, Due, Target) VALUES (" +
                 std::to_string(id) + ", 'k', " + amount + ", " +
                 (due ? "CDate(" + std::to_string(*due) + ")" : std::string("Null")) + ", 'old')");
        }
    }
};

TEST_P(OrSearch, ActsOnTheFirstRecordTheTestAcceptsWithoutVisitingTheOthers) {
    const OrCase& c = GetParam();
    setCriteria(
        {{"Due", "is after", "File B.BDue", "and"}, {c.field, c.condition, c.operandField, ""}});
    criteria.moveFirst();
    begin(choice::NonParallelFirstOccurrence);
    // After a blank: the first row's term selects every record with a date, through a
    // query of its own for each find.
    call("list1DateDateEqualRep", Value::null());
    ASSERT_EQ(run.nextCriteriaRow, "y");
    run.nextCriteriaRow.clear();
    criteria.moveNext();
    const auto before = shared.workDb.statementsRun();
    call(c.member, c.operand);
    const auto queries = shared.workDb.statementsRun() - before;
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(replaced(), c.expected ? std::vector<long>{c.expected} : std::vector<long>{});
    // A visit of the records the test refuses would take a query for each; a find that
    // goes past its nearest rows takes up to four.
    EXPECT_LE(queries, 12U);
    if (!c.expected) {
        // Where a visit of them all would have left it.
        EXPECT_EQ(currentA(), kRecords);
        EXPECT_EQ(shared.recordDone, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, OrSearch, ::testing::ValuesIn(kOrCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A row that holds for no record still tests the first record the earlier rows' terms
// find, so what its test raises is raised as a row that can hold raises it: here the
// field, which the find reaches through File A's table, is no field of File A itself.
TEST_F(OrSearch, RowThatHoldsForNoRecordStillTestsTheFirstFound) {
    setCriteria(
        {{"Name", "is equal to", "File B.BName", "and"}, {"Due", "is before", "File B.BDue", ""}});
    criteria.moveFirst();
    begin(choice::NonParallelFirstOccurrence);
    shared.rsFileA =
        shared.workDb.openRecordset("SELECT ID, Name, Target FROM Table1", RecordsetType::Dynaset);
    call("list1TextTextEqualRep", Value::text("k"));
    ASSERT_EQ(run.nextCriteriaRow, "y");
    run.nextCriteriaRow.clear();
    criteria.moveNext();
    sp.prompter.answer(answer::Ok);
    call("list1DateDateEqualRep", Value::null());
    ASSERT_EQ(messages().size(), 1U);
    EXPECT_EQ(messages()[0], "Item not found in this collection.");
    EXPECT_EQ(replaced(), std::vector<long>{});
    EXPECT_EQ(shared.recordDone, "");
}

// The term of a member's test selects every record the test accepts and no other,
// whatever the field holds.
class TestAsTerm : public EvaluateFixture {};

TEST_F(TestAsTerm, SelectsEveryRecordTheTestAccepts) {
    exec("CREATE TABLE N (ID LONG, L LONG, D DOUBLE, S SINGLE, C CURRENCY, B BIT, T DATETIME)");
    const char* rows[] = {
        "1, 5, 0.30000000000000004, 0.1, 1.2345, True, #1/2/2003 1:30:00 PM#",
        "2, -5, 0.3, 2.5, 0.1, False, #1/2/2003#",
        "3, 0, 1E+20, -0.5, -7, True, CDate(-1.5)",
        "4, Null, 123456789.12345678, 3, 922337203685477, Null, CDate(37623.3)",
        "5, 7, -2.5, Null, Null, False, Null",
        "6, 2147483647, 0.33333333333333331, 1E+30, 0, True, CDate(0)",
    };
    for (const char* row : rows)
        exec(std::string("INSERT INTO N VALUES (") + row + ")");
    Recordset n = shared.workDb.openRecordset("N", RecordsetType::Dynaset);
    const EvaluatorMember number{
        "m", FieldClass::Val, FieldClass::Val, Polarity::Equal, Action::Rep, true};
    const EvaluatorMember numberNot{"m", FieldClass::Val, FieldClass::Val, Polarity::NotEqual,
                                    Action::Rep};
    const EvaluatorMember date{
        "m", FieldClass::Date, FieldClass::Date, Polarity::Equal, Action::Rep, true};
    const EvaluatorMember dateNot{"m", FieldClass::Date, FieldClass::Date, Polarity::NotEqual,
                                  Action::Rep};
    using Test = std::pair<const EvaluatorMember*, Order>;
    const std::vector<Test> numberTests = {{&number, Order::Equal},
                                           {&number, Order::Greater},
                                           {&number, Order::Less},
                                           {&numberNot, Order::Equal}};
    struct Column {
        const char* name;
        std::vector<Test> tests;
    };
    const Column columns[] = {{"L", numberTests},
                              {"D", numberTests},
                              {"S", numberTests},
                              {"C", numberTests},
                              {"B", numberTests},
                              {"T",
                               {{&date, Order::Equal},
                                {&date, Order::Greater},
                                {&date, Order::Less},
                                {&dateNot, Order::Equal}}}};
    for (const Column& col : columns) {
        const bool yesNo = std::string_view(col.name) == "B";
        // Every value the column holds as the operand, ones it does not (a yes/no field
        // reads True as -1), and a blank.
        std::vector<Value> operands = {Value::number(5.5), Value::number(-1), Value::number(1),
                                       Value::null()};
        for (n.moveFirst(); !n.eof(); n.moveNext())
            if (!n.value(col.name).isNull()) operands.push_back(n.value(col.name));
        for (const auto& [member, order] : col.tests)
            for (const Value& operand : operands) {
                if (!rowCanHold(*member, order, operand)) continue;
                const auto term = exactFindText(*member, order, col.name, operand, yesNo);
                SCOPED_TRACE(std::string(col.name) + ": " +
                             (operand.isNull() ? "Null" : textOf(operand)) + " " +
                             term.value_or("no term"));
                ASSERT_TRUE(term);
                std::vector<long> accepted, selected;
                for (n.moveFirst(); !n.eof(); n.moveNext())
                    if (rowMet(*member, order, n.value(col.name), operand))
                        accepted.push_back(static_cast<long>(numberOf(n.value("ID"))));
                Recordset found = shared.workDb.openRecordset(
                    "SELECT ID FROM N WHERE " + *term + " ORDER BY ID", RecordsetType::Snapshot);
                for (; !found.eof(); found.moveNext())
                    selected.push_back(static_cast<long>(numberOf(found.value("ID"))));
                EXPECT_EQ(selected, accepted);
            }
    }
}

} // namespace
} // namespace varnoke::test
