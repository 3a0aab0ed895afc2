// Replace runs end to end: Process pressed on two small files, the step loop calling
// the replace steps through the decision table, the dispatchers and the File A
// evaluators behind them.
#include "steps/steps_fixture.h"

#include "process/decision_table.h"
#include "process/run_messages.h"

namespace varnoke::test {
namespace {

using Names = std::vector<std::string>;
const std::string N(kNullText);

const StepsFixture::Rows kFileA = {{"k1", "a1"}, {"k2", "a2"}, {"k3", "a3"}, {"k2", "a4"}};
// One record longer than File A: k5 is never a key, only a record to append.
const StepsFixture::Rows kFileB = {
    {"k1", "b1"}, {"k9", "b9"}, {"k2", "b2"}, {"k3", "b3"}, {"k5", "b5"}};

const Criterion kCodeEqual{"code", std::string(choice::IsEqualTo), "File B.code", ""};

class ReplaceRun : public StepsFixture {
protected:
    void choose(std::string_view method, std::string_view with, std::string_view adding) {
        Form4Choices& c = form.controls;
        c.combo3 = choice::Replace;
        c.combo4 = "File A.name";
        c.combo5 = with;
        c.combo7 = method;
        c.combo8 = adding;
    }
    const Names kComplete{std::string(runtext::ProcessingComplete)};
};

struct RunCase {
    std::string label;
    std::string_view method;
    std::string with;
    Names fileA; // Table1 afterwards, appended records last
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.label;
}

class ReplaceRunByMethodAndSource : public ReplaceRun,
                                    public ::testing::WithParamInterface<RunCase> {};

TEST_P(ReplaceRunByMethodAndSource, ChangesTheMatchedRecordsAndAppendsTheSurplus) {
    const RunCase& c = GetParam();
    makeFiles(kFileA, kFileB);
    setCriteria({kCodeEqual});
    choose(c.method, c.with, choice::AddNewRecords);

    run();

    EXPECT_EQ(names("Table1"), c.fileA);
    EXPECT_EQ(names("Table2"), Names({"b1", "b9", "b2", "b3", "b5"}));
    EXPECT_EQ(messages(), kComplete);
    EXPECT_EQ(shared.addNewMode, "n");
}

// Parallel pairs by position: only k1/k1 matches. First occurrence finds the first k2
// only; all records reaches both. k9 finds nothing; k5 is appended in every method.
INSTANTIATE_TEST_SUITE_P(
    Methods, ReplaceRunByMethodAndSource,
    ::testing::Values(
        RunCase{"ParallelField",
                choice::ParallelOneRecord,
                "File B.name",
                {"b1", "a2", "a3", "a4", "b5"}},
        RunCase{"ParallelBlank", choice::ParallelOneRecord, "BLANK", {N, "a2", "a3", "a4", N}},
        RunCase{"ParallelTyped", choice::ParallelOneRecord, "zz", {"zz", "a2", "a3", "a4", "zz"}},
        RunCase{"FirstField",
                choice::NonParallelFirstOccurrence,
                "File B.name",
                {"b1", "b2", "b3", "a4", "b5"}},
        RunCase{"FirstBlank", choice::NonParallelFirstOccurrence, "BLANK", {N, N, N, "a4", N}},
        RunCase{
            "FirstTyped", choice::NonParallelFirstOccurrence, "zz", {"zz", "zz", "zz", "a4", "zz"}},
        RunCase{"AllField",
                choice::NonParallelAllRecords,
                "File B.name",
                {"b1", "b2", "b3", "b2", "b5"}},
        RunCase{"AllBlank", choice::NonParallelAllRecords, "BLANK", {N, N, N, N, N}},
        RunCase{"AllTyped", choice::NonParallelAllRecords, "zz", {"zz", "zz", "zz", "zz", "zz"}}),
    [](const auto& info) { return info.param.label; });

TEST_F(ReplaceRun, WithoutAddingTheSurplusDrivingRecordsAreLeftAlone) {
    makeFiles(kFileA, kFileB);
    setCriteria({kCodeEqual});
    choose(choice::NonParallelFirstOccurrence, "File B.name", choice::DoNotAddRecords);

    run();

    EXPECT_EQ(names("Table1"), Names({"b1", "b2", "b3", "a4"}));
    EXPECT_EQ(progress.value(), 5); // the File B count
    EXPECT_EQ(messages(), kComplete);
}

TEST_F(ReplaceRun, ParallelRunEndsAtTheShorterDrivingFileWithoutAppending) {
    makeFiles(kFileA, {{"k1", "b1"}, {"k2", "b2"}});
    setCriteria({kCodeEqual});
    choose(choice::ParallelOneRecord, "File B.name", choice::AddNewRecords);

    run();

    EXPECT_EQ(names("Table1"), Names({"b1", "b2", "a3", "a4"}));
    EXPECT_EQ(progress.value(), progress.max());
    EXPECT_EQ(messages(), kComplete);
}

TEST_F(ReplaceRun, NotEqualRowReplacesThePairsThatDiffer) {
    makeFiles(kFileA, kFileB);
    setCriteria({{"code", std::string(choice::IsNotEqualTo), "File B.code", ""}});
    choose(choice::ParallelOneRecord, "File B.name", choice::DoNotAddRecords);

    run();

    EXPECT_EQ(names("Table1"), Names({"a1", "b9", "b2", "b3"}));
}

TEST_F(ReplaceRun, OrRowThatDidNotActPassesTheSamePairToTheNextRow) {
    makeFiles(kFileA, kFileB);
    setCriteria({{"code", std::string(choice::IsEqualTo), "File B.name", "or"}, kCodeEqual});
    choose(choice::ParallelOneRecord, "File B.name", choice::DoNotAddRecords);

    run();

    EXPECT_EQ(names("Table1"), Names({"b1", "a2", "a3", "a4"}));
}

TEST_F(ReplaceRun, AndChainWritesOnlyWhenEveryRowHolds) {
    makeFiles({{"k1", "same"}, {"k2", "a2"}}, {{"k1", "same"}, {"k2", "b2"}});
    setCriteria({{"code", std::string(choice::IsEqualTo), "File B.code", "and"},
                 {"name", std::string(choice::IsEqualTo), "File B.name", ""}});
    choose(choice::NonParallelFirstOccurrence, "zz", choice::DoNotAddRecords);

    run();

    EXPECT_EQ(names("Table1"), Names({"zz", "a2"}));
}

TEST_F(ReplaceRun, EmptyDrivingFileEndsTheRunCleanly) {
    makeFiles(kFileA, {});
    setCriteria({kCodeEqual});
    choose(choice::NonParallelFirstOccurrence, "File B.name", choice::AddNewRecords);

    run();

    EXPECT_EQ(names("Table1"), Names({"a1", "a2", "a3", "a4"}));
    EXPECT_EQ(messages(), kComplete);
}

TEST_F(ReplaceRun, EmptyFileAEndsAFileBRunCleanly) {
    makeFiles({}, kFileB);
    setCriteria({kCodeEqual});
    choose(choice::ParallelOneRecord, "BLANK", choice::AddNewRecords);
    form.controls.combo4 = "File B.name";

    run();

    EXPECT_EQ(names("Table2"), Names({"b1", "b9", "b2", "b3", "b5"}));
    EXPECT_EQ(messages(), kComplete);
}

TEST_F(ReplaceRun, ParallelRunOverEmptyFileAAppendsEveryDrivingRecord) {
    makeFiles({}, {{"k1", "b1"}, {"k2", "b2"}});
    setCriteria({kCodeEqual});
    choose(choice::ParallelOneRecord, "File B.name", choice::AddNewRecords);

    run();

    EXPECT_EQ(names("Table1"), Names({"b1", "b2"}));
    EXPECT_EQ(messages(), kComplete);
}

// Until the File B evaluators exist, such a run must say so rather than do nothing.
TEST_F(ReplaceRun, FileBRunWithoutItsEvaluatorStopsWithAMessage) {
    makeFiles(kFileA, kFileB);
    setCriteria({kCodeEqual});
    choose(choice::NonParallelFirstOccurrence, "File A.name", choice::AddNewRecords);
    form.controls.combo4 = "File B.name";

    run();

    EXPECT_EQ(messages(), Names({std::string(kNotAvailableText) + "list2TextTextEqualRep"}));
    EXPECT_EQ(names("Table2"), Names({"b1", "b9", "b2", "b3", "b5"}));
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(ReplaceRun, MissingCriteriaFieldIsReportedAndStopsTheRun) {
    makeFiles(kFileA, kFileB);
    setCriteria({{"nosuch", std::string(choice::IsEqualTo), "File B.code", ""}});
    choose(choice::ParallelOneRecord, "zz", choice::AddNewRecords);

    run();

    ASSERT_EQ(sp.prompter.shown().size(), 1u);
    EXPECT_EQ(sp.prompter.last().title, runtext::SorryTitle);
    EXPECT_EQ(names("Table1"), Names({"a1", "a2", "a3", "a4"}));
    EXPECT_EQ(shared.stopFlag, "y");
}

TEST_F(ReplaceRun, StopDuringTheWalkLeavesLaterRecordsUntouched) {
    makeFiles(kFileA, kFileB);
    setCriteria({kCodeEqual});
    choose(choice::NonParallelFirstOccurrence, "File B.name", choice::AddNewRecords);
    // One pass per File B record: the third yield comes before the third key.
    sp.events.onYield = [&](int n) {
        if (n == 3) shared.stopFlag = "y";
    };

    run(0);

    EXPECT_EQ(names("Table1"), Names({"b1", "a2", "a3", "a4"}));
    EXPECT_TRUE(messages().empty());
}

TEST_F(ReplaceRun, StopDuringTheAddTailKeepsTheRecordInHandAndNoMore) {
    makeFiles({{"k1", "a1"}}, kFileB);
    setCriteria({kCodeEqual});
    choose(choice::ParallelOneRecord, "File B.name", choice::AddNewRecords);
    // Yield 1: the pair; 2: the pass that enters the tail; 3 on: one per appended record.
    sp.events.onYield = [&](int n) {
        if (n == 4) shared.stopFlag = "y";
    };

    run(0);

    EXPECT_EQ(names("Table1"), Names({"b1", "b9", "b2"}));
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_TRUE(messages().empty());
}

TEST_F(ReplaceRun, SingleDrivingRecordLeavesTheProgressBarAlone) {
    makeFiles(kFileA, {{"k3", "b3"}});
    setCriteria({kCodeEqual});
    choose(choice::NonParallelFirstOccurrence, "File B.name", choice::DoNotAddRecords);

    run();

    EXPECT_EQ(names("Table1"), Names({"a1", "a2", "b3", "a4"}));
    EXPECT_EQ(progress.max(), 100); // as the bar came
}

// A 16-bit record number would wrap after 32,767.
TEST_F(ReplaceRun, CountsPast32767Records) {
    constexpr int kCount = 32768;
    Rows rowsA, rowsB;
    for (int i = 0; i < kCount; ++i) {
        rowsA.emplace_back("k", "a");
        rowsB.emplace_back("k", "b");
    }
    makeFiles(rowsA, rowsB);
    setCriteria({kCodeEqual});
    choose(choice::ParallelOneRecord, "zz", choice::DoNotAddRecords);

    run();

    const Names after = names("Table1");
    ASSERT_EQ(after.size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(std::count(after.begin(), after.end(), "zz"), kCount);
    EXPECT_EQ(form.run.recNo, kCount);
    EXPECT_EQ(progress.max(), kCount);
    EXPECT_EQ(messages(), kComplete);
}

} // namespace
} // namespace varnoke::test
