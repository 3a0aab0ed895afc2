// The whole family registered, and a replace run over two files: the File B records
// walked one by one, the criteria rows taken as the step loop takes them, the result
// checked against a query that selects the same records by itself.
#include "evaluate/evaluator_table.h"
#include "evaluate_fixture.h"
#include "process/dispatchers.h"
#include "process/field_class.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace varnoke::test {
namespace {

TEST(FileAEvaluators, EveryFileANameIsRegisteredUnderItsComposedName) {
    Registry registry;
    registerFileAEvaluators(registry);
    std::vector<std::string> fileA;
    for (const std::string& name : allEvaluatorNames())
        if (name.starts_with("list1")) fileA.push_back(name);
    EXPECT_EQ(fileA.size(), 36u);
    EXPECT_TRUE(registry.missing(fileA).empty());
    EXPECT_FALSE(registry.hasEvaluator("list2TextTextEqualRep"));
    for (const EvaluatorMember& member : fileAEvaluators())
        EXPECT_EQ(member.name, evaluatorName(evaluatorKeyOf(member, FileSide::A)));
}

class ReplaceRun : public EvaluateFixture {
protected:
    ReplaceRun() {
        const char* a[] = {"1, 'ann', 21",  "2, 'Bob', 30", "3, 'bob', 5",  "4, 'cy', NULL",
                           "5, 'ann', 25",  "6, 'dee', 40", "7, 'BOB', 31", "8, NULL, 50",
                           "9, 'cy', 1000", "10, 'ed', 12"};
        for (const char* values : a)
            exec(std::string("INSERT INTO Table1 (ID, Name, Amount, Target) VALUES (") + values +
                 ", 'old')");
        for (const char* values : {"'ann', 20", "'bob', 30", "'cy', 999", "'zed', 0"})
            exec(std::string("INSERT INTO Table2 (BName, BAmount) VALUES (") + values + ")");
        setCriteria({{"Amount", "is greater than", "File B.BAmount", "and"},
                     {"Name", "is equal to", "File B.BName", ""}});
    }

    // One pass of the step loop per File B record, through the dispatchers as the
    // replace step calls them.
    void walkFileB() {
        for (shared.rsFileB.moveFirst(); !shared.rsFileB.eof(); shared.rsFileB.moveNext()) {
            run.findCriteria.clear();
            shared.recordDone.clear();
            for (criteria.moveFirst(); !criteria.eof(); criteria.moveNext()) {
                run.nextCriteriaRow.clear();
                const std::string thisText = criteriaText(ctx, "This");
                const std::string bField = thisText.substr(choice::FieldPrefixLength);
                run.criteriaValue = shared.rsFileB.value(bField);
                run.ifThisType = shared.rsFileA.field(criteriaText(ctx, "If_This")).type();
                run.thisType = shared.rsFileB.field(bField).type();
                if (criteriaText(ctx, "condition") == choice::IsGreaterThan)
                    GreaterLessBeforeAfterRepA(ctx, run.ifThisType, run.thisType, run.criteriaValue,
                                               run.replaceValue);
                else
                    equalAnalyseRepA(ctx, run.ifThisType, run.thisType, run.criteriaValue,
                                     run.replaceValue);
                if (run.nextCriteriaRow != "y") break;
            }
        }
    }

    // The records some File B record selects, by a join of its own.
    std::vector<long> selectedBySql() {
        Recordset rs = shared.workDb.openRecordset(
            "SELECT DISTINCT Table1.ID FROM Table1, Table2 WHERE Table1.Name = Table2.BName "
            "AND Table1.Amount > Table2.BAmount ORDER BY Table1.ID",
            RecordsetType::Snapshot);
        std::vector<long> out;
        for (; !rs.eof(); rs.moveNext())
            out.push_back(static_cast<long>(numberOf(rs.value("ID"))));
        return out;
    }
};

TEST_F(ReplaceRun, AllRecordsChangesExactlyTheRecordsTheCriteriaSelect) {
    begin(choice::NonParallelAllRecords);
    run.replaceValue = Value::text("new");
    const std::vector<long> expected = selectedBySql();
    walkFileB();
    EXPECT_EQ(replaced(), expected);
    EXPECT_EQ(expected, (std::vector<long>{1, 5, 7, 9}));
    EXPECT_TRUE(messages().empty());
}

// At most one record per File B record: the first, in File A's order, whose amount is
// greater and whose name matches exactly ("BOB" is found for "bob" but fails the test).
TEST_F(ReplaceRun, FirstOccurrenceChangesTheFirstExactMatchPerFileBRecord) {
    begin(choice::NonParallelFirstOccurrence);
    run.replaceValue = Value::text("new");
    walkFileB();
    EXPECT_EQ(replaced(), (std::vector<long>{1, 9}));
    EXPECT_TRUE(messages().empty());
}

} // namespace
} // namespace varnoke::test
