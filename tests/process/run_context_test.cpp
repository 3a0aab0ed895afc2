// The criteria texts a run reads many times per record are kept per row; they must still
// follow the row under test and any change made to it.
#include "process/run_context.h"

#include "process_fixture.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

class CriteriaTextTest : public ProcessFixture {
protected:
    void SetUp() override {
        exec("CREATE TABLE Table1 (Name TEXT(20), Amount DOUBLE)");
        exec("CREATE TABLE Table2 (Name TEXT(20))");
        openFiles();
        setCriteria({{"Name", "Equals", "File B.Name", "and"}, {"Amount", "Equals", "5", ""}});
        criteria.moveFirst();
    }
};

TEST_F(CriteriaTextTest, FollowsTheRowUnderTest) {
    EXPECT_EQ(criteriaText(ctx, "If_This"), "Name");
    EXPECT_TRUE(isFileBRow(ctx));
    criteria.moveNext();
    EXPECT_EQ(criteriaText(ctx, "If_This"), "Amount");
    EXPECT_EQ(criteriaText(ctx, "This"), "5");
    EXPECT_FALSE(isFileBRow(ctx));
    EXPECT_EQ(criteriaText(ctx, "conjunction"), "");
    criteria.moveFirst();
    EXPECT_EQ(criteriaText(ctx, "This"), "File B.Name");
}

TEST_F(CriteriaTextTest, FollowsChangesToTheRow) {
    EXPECT_EQ(criteriaText(ctx, "This"), "File B.Name");
    exec("UPDATE SSysCriteria SET This = 'File B.Other' WHERE If_This = 'Name'");
    EXPECT_EQ(criteriaText(ctx, "This"), "File B.Other");
    criteria.edit();
    criteria.setValue("This", Value::text("7"));
    EXPECT_EQ(criteriaText(ctx, "This"), "7"); // the pending value, as the record reads
    criteria.update();
    EXPECT_EQ(criteriaText(ctx, "This"), "7");
    EXPECT_FALSE(isFileBRow(ctx));
}

TEST_F(CriteriaTextTest, OffARecordRaisesAsBefore) {
    EXPECT_EQ(criteriaText(ctx, "condition"), "Equals");
    criteria.deleteRecord();
    EXPECT_THROW(criteriaText(ctx, "condition"), EngineError);
    criteria.moveLast();
    criteria.moveNext();
    EXPECT_THROW(criteriaText(ctx, "condition"), EngineError);
    criteria.moveFirst();
    EXPECT_EQ(criteriaText(ctx, "If_This"), "Amount");
    EXPECT_THROW(criteriaText(ctx, "Nope"), EngineError);
}

} // namespace
} // namespace varnoke::test
