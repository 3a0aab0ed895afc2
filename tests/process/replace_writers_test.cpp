#include "process/replace_writers.h"

#include "process_fixture.h"
#include "value/convert.h"

#include <gtest/gtest.h>

namespace varnoke::test {
namespace {

// 12/31/2003 as a day serial (a literal: the test tables are built before main).
const Value kDate = Value::date(37986);

struct ConversionCase {
    std::string label;
    int target, source;
    Value value, written;
};

class Conversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Conversion, ByTargetAndSourceType) {
    const ConversionCase& c = GetParam();
    EXPECT_EQ(replacementFor(c.target, c.source, c.value), c.written);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, Conversion,
    ::testing::Values(
        ConversionCase{"NumberUnchanged", 7, 7, Value::number(2.5), Value::number(2.5)},
        ConversionCase{"NumberFromText", 7, 10, Value::text("12 apples"), Value::number(12)},
        ConversionCase{"NumberFromWord", 7, 10, Value::text("apples"), Value::number(0)},
        ConversionCase{"NumberFromDate", 7, 8, kDate, Value::number(12)},
        ConversionCase{"LongFromText", 4, 10, Value::text("7 days"), Value::number(7)},
        ConversionCase{"NumberTypedNull", 7, 10, Value::text("Null"), Value::null()},
        ConversionCase{"DateFromText", 8, 10, Value::text("12/31/2003"), kDate},
        ConversionCase{"DateTypedNull", 8, 10, Value::text("Null"), Value::null()},
        ConversionCase{"TextFromNumberPlain", 10, 7, Value::number(5), Value::text("5")},
        ConversionCase{"TextFromNegative", 10, 7, Value::number(-2.5), Value::text("-2.5")},
        ConversionCase{"TextFromDate", 10, 8, kDate, Value::text("12/31/2003")},
        ConversionCase{"TextKeepsTheWordNull", 10, 10, Value::text("Null"), Value::text("Null")},
        ConversionCase{"NullStaysNull", 10, 10, Value::null(), Value::null()}),
    [](const auto& info) { return info.param.label; });

TEST(UpdateStatement, QuotesNamesAndLiterals) {
    EXPECT_EQ(updateStatement("table1", "Last Name", Value::text("O'Brien"), "[Code] = 5"),
              "update [table1] set [Last Name] = 'O''Brien' where [Code] = 5;");
    EXPECT_EQ(updateStatement("table2", "Due", kDate, "IsNull([X])"),
              "update [table2] set [Due] = #12/31/2003# where IsNull([X]);");
    EXPECT_EQ(updateStatement("table1", "Amount", Value::number(-2.5), "[A] = 1"),
              "update [table1] set [Amount] = -2.5 where [A] = 1;");
    EXPECT_EQ(updateStatement("table1", "Amount", Value::null(), "[A] = 1"),
              "update [table1] set [Amount] = Null where [A] = 1;");
}

class Writers : public ProcessFixture {
protected:
    void SetUp() override {
        exec("CREATE TABLE Table1 ([Last Name] TEXT(20), Amount DOUBLE, Due DATETIME)");
        exec("CREATE TABLE Table2 (Name TEXT(20))");
        exec("INSERT INTO Table1 VALUES ('a', 1, #1/2/2003#)");
        exec("INSERT INTO Table1 VALUES ('b', 2, #1/3/2003#)");
        exec("INSERT INTO Table2 VALUES ('x')");
        openFiles();
        form.controls.combo4 = "File A.Last Name";
        form.controls.combo5 = "typed";
        form.controls.combo7 = std::string(choice::ParallelOneRecord);
        getActionFieldTypes(ctx);
    }
    Value valueAt(long row, const char* field) {
        Recordset rs = shared.workDb.openRecordset("Table1", RecordsetType::Dynaset);
        rs.move(row);
        return rs.value(field);
    }
};

TEST_F(Writers, FieldTypesComeFromTheTargetAndSource) {
    EXPECT_EQ(form.run.actionFieldType, 10);
    EXPECT_EQ(form.run.withFieldType, 10);
    form.controls.combo4 = "File A.Due";
    form.controls.combo5 = "File B.Name";
    getActionFieldTypes(ctx);
    EXPECT_EQ(form.run.actionFieldType, 8);
    EXPECT_EQ(form.run.withFieldType, 10);
    form.controls.combo4 = "File A.Nothing";
    getActionFieldTypes(ctx);
    EXPECT_EQ(form.run.actionFieldType, 8); // a failed lookup keeps the old value
}

TEST_F(Writers, RecordPathStoresTheValueAsTyped) {
    EXPECT_TRUE(replaceInTableOneBySql(ctx, Value::text("O'Brien")));
    EXPECT_EQ(valueAt(0, "Last Name"), Value::text("O'Brien"));
    EXPECT_EQ(valueAt(1, "Last Name"), Value::text("b"));
}

TEST_F(Writers, NumberIntoTextIsItsPlainText) {
    form.run.withFieldType = 7;
    EXPECT_TRUE(replaceInTableOneBySql(ctx, Value::number(5)));
    EXPECT_EQ(valueAt(0, "Last Name"), Value::text("5"));
}

TEST_F(Writers, AddModeAppendsARecord) {
    shared.addNewMode = "n";
    EXPECT_TRUE(replaceInTableOneBySql(ctx, Value::text("new")));
    EXPECT_EQ(shared.workDb.openRecordset("Table1").recordCount(), 3);
    EXPECT_EQ(valueAt(2, "Last Name"), Value::text("new"));
}

TEST_F(Writers, AllRecordsRunsOneStatementOverTheFindText) {
    form.controls.combo7 = std::string(choice::NonParallelAllRecords);
    form.run.findCriteria = "[Amount] > 0";
    EXPECT_TRUE(replaceInTableOneBySql(ctx, Value::null()));
    EXPECT_EQ(form.run.updateSql, "update [table1] set [Last Name] = Null where [Amount] > 0;");
    EXPECT_TRUE(valueAt(0, "Last Name").isNull()); // SQL NULL, not the word
    EXPECT_TRUE(valueAt(1, "Last Name").isNull());
}

TEST_F(Writers, StatementThatChangesNothingIsNotDone) {
    form.controls.combo7 = std::string(choice::NonParallelAllRecords);
    form.run.findCriteria = "[Amount] > 10";
    EXPECT_FALSE(replaceInTableOneBySql(ctx, Value::text("z")));
    form.run.findCriteria.clear();
    EXPECT_FALSE(replaceInTableOneBySql(ctx, Value::text("z")));
    EXPECT_EQ(valueAt(0, "Last Name"), Value::text("a"));
}

TEST_F(Writers, DateTargetGivenNoDateAsksAndWritesNothing) {
    form.controls.combo4 = "File A.Due";
    getActionFieldTypes(ctx);
    sp.prompter.answer(answer::Ignore);
    EXPECT_FALSE(replaceInTableOneBySql(ctx, Value::text("soon")));
    EXPECT_TRUE(messages()[0].starts_with("The data cannot be converted to a date format."));
    EXPECT_EQ(shared.rsFileA.editMode(), 0);
    EXPECT_EQ(valueAt(0, "Due"), Value::date(makeDateSerial(2003, 1, 2)));
}

TEST_F(Writers, EngineRefusalIsReportedAndTheEditDropped) {
    sp.prompter.answer(answer::Ok);
    EXPECT_FALSE(replaceInTableOneBySql(ctx, Value::text(std::string(30, 'x'))));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].starts_with("A field is too small"));
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_EQ(shared.rsFileA.editMode(), 0);
    EXPECT_EQ(valueAt(0, "Last Name"), Value::text("a"));
}

TEST_F(Writers, SqlQuoteDoublesApostrophes) {
    form.run.criteriaValue = Value::text("it's 'x'");
    sqlQuote(ctx);
    EXPECT_EQ(form.run.quotedValue, "it''s ''x''");
    form.run.criteriaValue = Value::number(5);
    sqlQuote(ctx);
    EXPECT_EQ(form.run.quotedValue, "5");
}

} // namespace
} // namespace varnoke::test
