// Each member of both families, for each condition it serves: a record of the changed
// file that meets the row is acted on and one that does not is left alone, on the
// current record (parallel) and through the find of a File B row (first occurrence).
#include "evaluate_fixture.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

struct MemberCase {
    std::string label;
    std::string member;
    std::string condition;
    std::string field; // the changed file's: Name, Amount, Due; or BName, BAmount, BDue
    Value operand;     // File A's value when File B is changed, of the If_This field
    std::string meets; // SQL literal of a field value that meets the row
    std::string fails; // and of one that does not
};

void PrintTo(const MemberCase& c, std::ostream* os) {
    *os << c.label;
}

class Members : public EvaluateFixture, public ::testing::WithParamInterface<MemberCase> {
protected:
    void SetUp() override {
        const MemberCase& c = GetParam();
        if (fileB()) {
            changedTable = "Table2";
            form.controls.combo4 = "File B.Target";
            setCriteria({{fileAFieldOf(c.member), c.condition, "File B." + c.field, ""}});
        } else {
            setCriteria({{c.field, c.condition, "File B.BName", ""}});
        }
        criteria.moveFirst();
    }
    bool del() const { return GetParam().member.ends_with("Del"); }
    bool fileB() const { return GetParam().member.starts_with("list2"); }
    // list2 + File B class + File A class: the File A field of the second class.
    static std::string fileAFieldOf(std::string_view member) {
        const std::string_view rest = member.substr(member.starts_with("list2Text") ? 9 : 8);
        return rest.starts_with("Text") ? "Name" : rest.starts_with("Val") ? "Amount" : "Due";
    }
    void add(int id, const std::string& literal) {
        addRecord(fileB() ? "Table2" : "Table1", id, GetParam().field, literal);
    }
    void goTo(int id) { fileB() ? goToB(id) : goToA(id); }
    // What the member left: replaced records for a replace, remaining ones for a delete.
    std::vector<long> touched() { return del() ? ids() : replaced(); }
};

TEST_P(Members, ParallelActsOnTheCurrentRecordWhenItMeetsTheRow) {
    const MemberCase& c = GetParam();
    add(1, c.meets);
    add(2, c.fails);
    begin(choice::ParallelOneRecord, del() ? "delete" : "replace");

    goTo(2);
    call(c.member, c.operand);
    EXPECT_EQ(shared.recordDone, "");
    goTo(1);
    call(c.member, c.operand);
    EXPECT_EQ(shared.recordDone, "y");
    EXPECT_EQ(touched(), del() ? std::vector<long>{2} : std::vector<long>{1});
    EXPECT_EQ(run.nextCriteriaRow, "");
    EXPECT_TRUE(messages().empty());
}

TEST_P(Members, FirstOccurrenceFindsTheRecordThatMeetsTheRow) {
    const MemberCase& c = GetParam();
    add(1, c.fails);
    add(2, c.meets);
    begin(choice::NonParallelFirstOccurrence, del() ? "delete" : "replace");

    call(c.member, c.operand);
    EXPECT_EQ(shared.recordDone, "y");
    EXPECT_EQ(touched(), del() ? std::vector<long>{1} : std::vector<long>{2});
    if (del() && !fileB()) {
        EXPECT_EQ(currentA(), 1) << "the search moved the file it searched";
    }
    EXPECT_TRUE(messages().empty());
}

Value kText(std::string s) {
    return Value::text(std::move(s));
}
Value kNum(double d) {
    return Value::number(d);
}

constexpr std::string_view eq = "is equal to", ne = "is not equal to", gt = "is greater than",
                           lt = "is less than", after = "is after", before = "is before";

std::vector<MemberCase> cases() {
    const Value kNull = Value::null();
    const Value kJan2 = dateValue(2003, 1, 2);
    const Value kDec31 = dateValue(2003, 12, 31);
    const Value kJan2Serial = Value::number(makeDateSerial(2003, 1, 2));
    std::vector<MemberCase> out;
    const auto add = [&](std::string label, std::string member, std::string_view condition,
                         std::string field, Value operand, std::string meets, std::string fails) {
        out.push_back({std::move(label), std::move(member), std::string(condition),
                       std::move(field), std::move(operand), std::move(meets), std::move(fails)});
    };
    for (const std::string action : {"Rep", "Del"}) {
        const std::string a = action;
        // Equal members.
        add("TextTextEqual" + a, "list1TextTextEqual" + a, eq, "Name", kText("abc"), "'abc'",
            "'xyz'");
        add("TextValEqual" + a, "list1TextValEqual" + a, eq, "Name", kNum(5), "'5'", "' 5'");
        add("TextDateEqual" + a, "list1TextDateEqual" + a, eq, "Name", kJan2, "'1/2/2003'",
            "'2003-01-02'");
        add("ValTextEqual" + a, "list1ValTextEqual" + a, eq, "Amount", kText("12abc"), "12", "13");
        add("ValValEqual" + a, "list1ValValEqual" + a, eq, "Amount", kNum(10), "10.0", "11");
        add("ValValGreater" + a, "list1ValValEqual" + a, gt, "Amount", kNum(10), "11", "10");
        add("ValValLess" + a, "list1ValValEqual" + a, lt, "Amount", kNum(10), "9", "10");
        add("ValDateEqual" + a, "list1ValDateEqual" + a, eq, "Amount", kDec31, "12", "31");
        add("DateTextEqual" + a, "list1DateTextEqual" + a, eq, "Due", kText("1/2/2003"),
            "#1/2/2003#", "#1/3/2003#");
        add("DateValEqual" + a, "list1DateValEqual" + a, eq, "Due", kJan2Serial, "#1/2/2003#",
            "#1/3/2003#");
        add("DateDateEqual" + a, "list1DateDateEqual" + a, eq, "Due", kJan2, "#1/2/2003#",
            "#1/2/2003 10:00:00 AM#");
        add("DateDateAfter" + a, "list1DateDateEqual" + a, after, "Due", kJan2, "#1/3/2003#",
            "#1/2/2003#");
        add("DateDateBefore" + a, "list1DateDateEqual" + a, before, "Due", kJan2, "#1/1/2003#",
            "#1/2/2003#");
        // Blank operands: only a Null field is blank; 0 and "" are values.
        add("BlankMeetsNull" + a, "list1TextTextEqual" + a, eq, "Name", kNull, "NULL", "''");
        add("BlankGreater" + a, "list1ValValEqual" + a, gt, "Amount", kNull, "0", "NULL");
        add("ZeroIsAValue" + a, "list1ValValEqual" + a, eq, "Amount", kNum(0), "0", "NULL");
        add("BlankAfter" + a, "list1DateDateEqual" + a, after, "Due", kNull, "#1/1/1900#", "NULL");
        // Not-equal members: a Null field differs from every operand.
        add("TextTextNotEqual" + a, "list1TextTextNotEqual" + a, ne, "Name", kText("abc"), "'xyz'",
            "'abc'");
        add("TextValNotEqual" + a, "list1TextValNotEqual" + a, ne, "Name", kNum(5), "' 5'", "'5'");
        add("TextDateNotEqual" + a, "list1TextDateNotEqual" + a, ne, "Name", kJan2, "'2003-01-02'",
            "'1/2/2003'");
        add("ValTextNotEqual" + a, "list1ValTextNotEqual" + a, ne, "Amount", kText("12abc"), "13",
            "12");
        add("ValValNotEqual" + a, "list1ValValNotEqual" + a, ne, "Amount", kNum(10), "NULL", "10");
        add("ValDateNotEqual" + a, "list1ValDateNotEqual" + a, ne, "Amount", kDec31, "31", "12");
        add("DateTextNotEqual" + a, "list1DateTextNotEqual" + a, ne, "Due", kText("1/2/2003"),
            "#1/3/2003#", "#1/2/2003#");
        add("DateValNotEqual" + a, "list1DateValNotEqual" + a, ne, "Due", kJan2Serial, "NULL",
            "#1/2/2003#");
        add("DateDateNotEqual" + a, "list1DateDateNotEqual" + a, ne, "Due", kJan2, "#1/3/2003#",
            "#1/2/2003#");
        add("BlankNotEqual" + a, "list1TextTextNotEqual" + a, ne, "Name", kNull, "''", "NULL");
    }
    return out;
}

// File B changed: the operand is File A's value, and the ordering conditions put it
// first: "is after" is met by an earlier File B date, "is greater than" by a smaller
// number. A Null File B value counts lowest.
std::vector<MemberCase> fileBCases() {
    const Value kNull = Value::null();
    const Value kJan2 = dateValue(2003, 1, 2);
    const Value kDec31 = dateValue(2003, 12, 31);
    const Value kJan2Serial = Value::number(makeDateSerial(2003, 1, 2));
    std::vector<MemberCase> out;
    for (const std::string a : {"Rep", "Del"}) {
        const auto add = [&](std::string label, std::string_view pairAndSide,
                             std::string_view condition, std::string field, Value operand,
                             std::string meets, std::string fails) {
            out.push_back({label + a, "list2" + std::string(pairAndSide) + a,
                           std::string(condition), std::move(field), std::move(operand),
                           std::move(meets), std::move(fails)});
        };
        add("TextTextEqual", "TextTextEqual", eq, "BName", kText("abc"), "'abc'", "'ABC'");
        add("TextValEqual", "TextValEqual", eq, "BName", kNum(5), "'5'", "' 5'");
        add("TextDateEqual", "TextDateEqual", eq, "BName", kJan2, "'1/2/2003'", "'01/02/2003'");
        add("ValTextEqual", "ValTextEqual", eq, "BAmount", kText("12abc"), "12", "13");
        add("ValValEqual", "ValValEqual", eq, "BAmount", kNum(10), "10.0", "11");
        add("ValValGreater", "ValValEqual", gt, "BAmount", kNum(10), "9", "10");
        add("ValValLess", "ValValEqual", lt, "BAmount", kNum(10), "11", "10");
        add("NullIsLeastGreater", "ValValEqual", gt, "BAmount", kNum(-5), "NULL", "-5");
        add("ValDateEqual", "ValDateEqual", eq, "BAmount", kDec31, "12", "31");
        add("DateTextEqual", "DateTextEqual", eq, "BDue", kText("1/2/2003"), "#1/2/2003#",
            "#1/2/2003 10:00:00 AM#");
        add("DateValEqual", "DateValEqual", eq, "BDue", kJan2Serial, "#1/2/2003#", "#1/3/2003#");
        add("DateDateEqual", "DateDateEqual", eq, "BDue", kJan2, "#1/2/2003#",
            "#1/2/2003 10:00:00 AM#");
        add("DateDateAfter", "DateDateEqual", after, "BDue", kJan2, "#1/1/2003#", "#1/2/2003#");
        add("DateDateBefore", "DateDateEqual", before, "BDue", kJan2, "#1/3/2003#", "#1/2/2003#");
        add("NullIsEarliestAfter", "DateDateEqual", after, "BDue", kJan2, "NULL", "#1/3/2003#");
        add("BlankMeetsNull", "TextTextEqual", eq, "BName", kNull, "NULL", "''");
        add("BlankLess", "ValValEqual", lt, "BAmount", kNull, "0", "NULL");
        add("ZeroIsAValue", "ValValEqual", eq, "BAmount", kNum(0), "0", "NULL");
        add("BlankBefore", "DateDateEqual", before, "BDue", kNull, "#1/1/1900#", "NULL");
        add("TextTextNotEqual", "TextTextNotEqual", ne, "BName", kText("abc"), "'xyz'", "'abc'");
        add("TextValNotEqual", "TextValNotEqual", ne, "BName", kNum(5), "' 5'", "'5'");
        add("TextDateNotEqual", "TextDateNotEqual", ne, "BName", kJan2, "NULL", "'1/2/2003'");
        add("ValTextNotEqual", "ValTextNotEqual", ne, "BAmount", kText("12abc"), "13", "12");
        add("ValValNotEqual", "ValValNotEqual", ne, "BAmount", kNum(10), "NULL", "10");
        add("ValDateNotEqual", "ValDateNotEqual", ne, "BAmount", kDec31, "31", "12");
        add("DateTextNotEqual", "DateTextNotEqual", ne, "BDue", kText("1/2/2003"), "#1/3/2003#",
            "#1/2/2003#");
        add("DateValNotEqual", "DateValNotEqual", ne, "BDue", kJan2Serial, "NULL", "#1/2/2003#");
        add("DateDateNotEqual", "DateDateNotEqual", ne, "BDue", kJan2, "#1/3/2003#", "#1/2/2003#");
        add("BlankNotEqual", "TextTextNotEqual", ne, "BName", kNull, "''", "NULL");
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(FileA, Members, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.label; });
INSTANTIATE_TEST_SUITE_P(FileB, Members, ::testing::ValuesIn(fileBCases()),
                         [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
