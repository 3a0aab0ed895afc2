// Delete runs end to end: Process pressed on two small files, the step loop calling the
// delete steps through the decision table, and behind them the File A and File B
// evaluators or, under "all records", one statement per driving record.
#include "steps/steps_fixture.h"

#include "evaluate/register_file_b.h"
#include "process/run_messages.h"
#include "steps/delete_steps.h"

namespace varnoke::test {
namespace {

using Names = std::vector<std::string>;

const StepsFixture::Rows kFileA = {
    {"k1", "a1"}, {"k2", "a2"}, {"k3", "a3"}, {"k2", "a4"}, {"k7", "a5"}};
const StepsFixture::Rows kFileB = {
    {"k1", "b1"}, {"k9", "b9"}, {"k2", "b2"}, {"k3", "b3"}, {"k5", "b5"}};

const Criterion kCodeEqual{"code", std::string(choice::IsEqualTo), "File B.code", ""};
const Criterion kCodeNotEqual{"code", std::string(choice::IsNotEqualTo), "File B.code", ""};

class DeleteRun : public StepsFixture {
protected:
    DeleteRun() {
        registerDeleteSteps(registry);
        registerFileBEvaluators(registry);
    }
    // side: "File A" or "File B", whose records are deleted.
    void choose(std::string_view method, std::string_view side) {
        Form4Choices& c = form.controls;
        c.combo3 = choice::Delete;
        c.combo4 = "entire record from " + std::string(side);
        c.combo7 = method;
    }
    // The names a query of our own selects, in stored order.
    Names selected(std::string_view sql) {
        Names out;
        Recordset rs = shared.workDb.openRecordset(sql, RecordsetType::Snapshot);
        for (; !rs.eof(); rs.moveNext())
            out.push_back(textOf(rs.value("name")));
        rs.close();
        return out;
    }
    const Names kComplete{std::string(runtext::ProcessingComplete)};
};

struct DeleteCase {
    std::string label;
    std::string_view method;
    std::string side;
    Criterion row;
    Names fileA; // Table1 afterwards
    Names fileB; // Table2 afterwards
};

void PrintTo(const DeleteCase& c, std::ostream* os) {
    *os << c.label;
}

class DeleteRunByMethodAndSide : public DeleteRun,
                                 public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteRunByMethodAndSide, DeletesExactlyTheMatchedRecords) {
    const DeleteCase& c = GetParam();
    makeFiles(kFileA, kFileB);
    setCriteria({c.row});
    choose(c.method, c.side);

    run();

    EXPECT_EQ(names("Table1"), c.fileA);
    EXPECT_EQ(names("Table2"), c.fileB);
    EXPECT_EQ(messages(), kComplete);
    EXPECT_EQ(progress.value(), 5);
}

const Names kAllA{"a1", "a2", "a3", "a4", "a5"};
const Names kAllB{"b1", "b9", "b2", "b3", "b5"};

// Parallel pairs by position: only k1/k1 is equal. First occurrence deletes the first
// match of each driving key, so the second k2 of File A stays when File A is changed
// and finds nothing left when File B is.
INSTANTIATE_TEST_SUITE_P(
    Methods, DeleteRunByMethodAndSide,
    ::testing::Values(
        DeleteCase{"ParallelFileA",
                   choice::ParallelOneRecord,
                   "File A",
                   kCodeEqual,
                   {"a2", "a3", "a4", "a5"},
                   kAllB},
        DeleteCase{"FirstFileA",
                   choice::NonParallelFirstOccurrence,
                   "File A",
                   kCodeEqual,
                   {"a4", "a5"},
                   kAllB},
        DeleteCase{"AllFileA", choice::NonParallelAllRecords, "File A", kCodeEqual, {"a5"}, kAllB},
        DeleteCase{"ParallelFileB",
                   choice::ParallelOneRecord,
                   "File B",
                   kCodeEqual,
                   kAllA,
                   {"b9", "b2", "b3", "b5"}},
        DeleteCase{"FirstFileB",
                   choice::NonParallelFirstOccurrence,
                   "File B",
                   kCodeEqual,
                   kAllA,
                   {"b9", "b5"}},
        DeleteCase{
            "AllFileB", choice::NonParallelAllRecords, "File B", kCodeEqual, kAllA, {"b9", "b5"}},
        DeleteCase{"ParallelNotEqualFileA",
                   choice::ParallelOneRecord,
                   "File A",
                   kCodeNotEqual,
                   {"a1"},
                   kAllB},
        DeleteCase{"FirstNotEqualFileB",
                   choice::NonParallelFirstOccurrence,
                   "File B",
                   kCodeNotEqual,
                   kAllA,
                   {}},
        DeleteCase{"ParallelNotEqualFileB",
                   choice::ParallelOneRecord,
                   "File B",
                   kCodeNotEqual,
                   kAllA,
                   {"b1"}}),
    [](const auto& info) { return info.param.label; });

TEST_F(DeleteRun, AllRecordsOnFileAKeepsWhatNoFileBRecordMatches) {
    makeFiles(kFileA, kFileB);
    setCriteria({kCodeEqual});
    choose(choice::NonParallelAllRecords, "File A");
    const Names matched = selected("SELECT Table1.name FROM Table1 INNER JOIN Table2 ON "
                                   "Table1.code = Table2.code");
    Names expected;
    for (const std::string& name : kAllA)
        if (std::find(matched.begin(), matched.end(), name) == matched.end())
            expected.push_back(name);

    run();

    EXPECT_EQ(names("Table1"), expected);
    // The statement of the last driving record stays for inspection.
    EXPECT_EQ(form.run.deleteSql, "delete * from [Table1] where [code] = 'k5';");
}

TEST_F(DeleteRun, AllRecordsOnFileBKeepsWhatNoFileARecordMatches) {
    makeFiles(kFileA, kFileB);
    setCriteria({{"code", std::string(choice::IsEqualTo), "File B.code", ""}});
    choose(choice::NonParallelAllRecords, "File B");
    const Names matched = selected("SELECT Table2.name FROM Table2 INNER JOIN Table1 ON "
                                   "Table2.code = Table1.code");
    Names expected;
    for (const std::string& name : kAllB)
        if (std::find(matched.begin(), matched.end(), name) == matched.end())
            expected.push_back(name);

    run();

    EXPECT_EQ(names("Table2"), expected);
    EXPECT_EQ(form.run.deleteSql, "delete * from [Table2] where [code] = 'k7';");
}

TEST_F(DeleteRun, AllRecordsQuotesTheValueItSearchesFor) {
    makeFiles({{"O'Brien", "a1"}, {"Smith", "a2"}}, {{"O'Brien", "b1"}});
    setCriteria({kCodeEqual});
    choose(choice::NonParallelAllRecords, "File A");

    run();

    EXPECT_EQ(names("Table1"), Names({"a2"}));
    EXPECT_EQ(form.run.deleteSql, "delete * from [Table1] where [code] = 'O''Brien';");
}

TEST_F(DeleteRun, AllRecordsWithABlankOperandDeletesTheBlankRecords) {
    makeFiles({{"", "a1"}, {"k1", "a2"}}, {{"", "b1"}});
    setCriteria({kCodeEqual});
    choose(choice::NonParallelAllRecords, "File A");

    run();

    EXPECT_EQ(form.run.deleteSql, "delete * from [Table1] where IsNull([code]);");
    EXPECT_EQ(names("Table1"), Names({"a1", "a2"})); // "" is stored, not Null
}

struct ChainCase {
    std::string label;
    std::string_view method;
    bool orOption;
    std::string conjunction;
    Names fileA;
};

void PrintTo(const ChainCase& c, std::ostream* os) {
    *os << c.label;
}

class DeleteChain : public DeleteRun, public ::testing::WithParamInterface<ChainCase> {};

// Two rows, code and name. Under "all records" the option button joins the terms,
// whatever the rows store; the evaluators follow the rows' own conjunctions.
TEST_P(DeleteChain, JoinsTheRowsOfOneDrivingRecord) {
    const ChainCase& c = GetParam();
    makeFiles({{"k1", "x"}, {"k2", "y"}, {"k3", "z"}}, {{"k1", "y"}, {"k2", "y"}, {"k3", "q"}});
    setCriteria({{"code", std::string(choice::IsEqualTo), "File B.code", c.conjunction},
                 {"name", std::string(choice::IsEqualTo), "File B.name", ""}});
    choose(c.method, "File A");
    form.controls.option3 = c.orOption;
    form.controls.option4 = !c.orOption;

    run();

    EXPECT_EQ(names("Table1"), c.fileA);
    EXPECT_EQ(messages(), kComplete);
}

INSTANTIATE_TEST_SUITE_P(
    Conjunctions, DeleteChain,
    ::testing::Values(
        ChainCase{"AllAndOption", choice::NonParallelAllRecords, false, "and", {"x", "z"}},
        ChainCase{"AllOrOption", choice::NonParallelAllRecords, true, "or", {}},
        ChainCase{"AllOrOptionOverStoredAnd", choice::NonParallelAllRecords, true, "and", {}},
        ChainCase{"ParallelAnd", choice::ParallelOneRecord, false, "and", {"x", "z"}},
        ChainCase{"ParallelOr", choice::ParallelOneRecord, true, "or", {}}),
    [](const auto& info) { return info.param.label; });

class DeleteEmptyDrivingFile
    : public DeleteRun,
      public ::testing::WithParamInterface<std::tuple<std::string_view, std::string>> {};

TEST_P(DeleteEmptyDrivingFile, EndsWithProcessingComplete) {
    const auto& [method, side] = GetParam();
    const bool fileA = side == "File A";
    makeFiles(fileA ? kFileA : Rows{}, fileA ? Rows{} : kFileB);
    setCriteria({kCodeEqual});
    choose(method, side);

    run();

    EXPECT_EQ(names("Table1"), fileA ? kAllA : Names{});
    EXPECT_EQ(names("Table2"), fileA ? Names{} : kAllB);
    EXPECT_EQ(messages(), kComplete);
}

INSTANTIATE_TEST_SUITE_P(Methods, DeleteEmptyDrivingFile,
                         ::testing::Combine(::testing::Values(choice::ParallelOneRecord,
                                                              choice::NonParallelFirstOccurrence,
                                                              choice::NonParallelAllRecords),
                                            ::testing::Values("File A", "File B")),
                         [](const auto& info) {
                             const std::string_view m = std::get<0>(info.param);
                             const std::string method = m == choice::ParallelOneRecord ? "Parallel"
                                                        : m == choice::NonParallelAllRecords
                                                            ? "All"
                                                            : "First";
                             return method +
                                    (std::get<1>(info.param) == "File A" ? "FileA" : "FileB");
                         });

class DeleteStop : public DeleteRun, public ::testing::WithParamInterface<std::string_view> {};

// The third yield comes before the third driving key: k1 and k9 are done, no more.
TEST_P(DeleteStop, LeavesEveryLaterRecordInPlace) {
    makeFiles(kFileA, kFileB);
    setCriteria({kCodeEqual});
    choose(GetParam(), "File A");
    sp.events.onYield = [&](int n) {
        if (n == 3) shared.stopFlag = "y";
    };

    run(0);

    EXPECT_EQ(names("Table1"), Names({"a2", "a3", "a4", "a5"}));
    EXPECT_EQ(names("Table2"), kAllB);
    EXPECT_TRUE(messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Methods, DeleteStop,
                         ::testing::Values(choice::ParallelOneRecord,
                                           choice::NonParallelFirstOccurrence,
                                           choice::NonParallelAllRecords),
                         [](const auto& info) {
                             return info.index == 0   ? std::string("Parallel")
                                    : info.index == 1 ? std::string("First")
                                                      : std::string("All");
                         });

TEST_F(DeleteRun, ParallelRunEndsWithTheShorterChangedFile) {
    makeFiles({{"k1", "a1"}, {"k8", "a2"}}, kFileB);
    setCriteria({kCodeEqual});
    choose(choice::ParallelOneRecord, "File A");

    run();

    EXPECT_EQ(names("Table1"), Names({"a2"}));
    EXPECT_EQ(progress.value(), 5); // the File B count
    EXPECT_EQ(messages(), kComplete);
}

TEST_F(DeleteRun, AllRecordsRowOnABadDateSelectsNothingAfterRetry) {
    exec("CREATE TABLE Table1 (code TEXT(20), name TEXT(40), d DATETIME);");
    exec("CREATE TABLE Table2 (code TEXT(20), name TEXT(40));");
    exec("INSERT INTO Table1 (code, name, d) VALUES ('k1', 'a1', #1/2/2020#);");
    exec("INSERT INTO Table2 (code, name) VALUES ('k1', 'b1');");
    // The first row alone would select a1; the second cannot be a date.
    setCriteria({{"code", std::string(choice::IsEqualTo), "File B.code", "and"},
                 {"d", std::string(choice::IsEqualTo), "not a date", ""}});
    choose(choice::NonParallelAllRecords, "File A");
    form.controls.option3 = false;
    form.controls.option4 = true;
    sp.prompter.answer(answer::Retry);

    run(1);

    EXPECT_EQ(names("Table1"), Names({"a1"}));
    EXPECT_EQ(form.run.deleteSql, "delete * from [Table1] where [code] = 'k1' and (1 = 0);");
    EXPECT_EQ(messages().back(), runtext::ProcessingComplete);
}

TEST_F(DeleteRun, FileBSideOrdersFromFileA) {
    exec("CREATE TABLE Table1 (n DOUBLE, name TEXT(40));");
    exec("CREATE TABLE Table2 (n DOUBLE, name TEXT(40));");
    exec("INSERT INTO Table1 (n, name) VALUES (5, 'a1');");
    for (const auto& [n, name] : {std::pair{3, "b1"}, {5, "b2"}, {7, "b3"}})
        exec("INSERT INTO Table2 (n, name) VALUES (" + std::to_string(n) + ", '" + name + "');");
    // File A's 5 is greater than File B's 3 only.
    setCriteria({{"n", std::string(choice::IsGreaterThan), "File B.n", ""}});
    choose(choice::NonParallelAllRecords, "File B");

    run();

    EXPECT_EQ(names("Table2"), Names({"b2", "b3"}));
    EXPECT_EQ(form.run.deleteSql, "delete * from [Table2] where [n] < 5;");
}

} // namespace
} // namespace varnoke::test
