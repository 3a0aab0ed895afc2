// First-occurrence runs over keys that differ only in letter case. The exact test of a
// text member joins the engine's search; each run must act on the same record as a
// search that visits every case variant in turn and tests it, which is what the
// expected names below were worked out from.
#include "steps/steps_fixture.h"

#include "evaluate/register_file_b.h"
#include "process/run_messages.h"
#include "steps/delete_steps.h"

namespace varnoke::test {
namespace {

using Names = std::vector<std::string>;

// Each key of File B stands in File A in several cases, the exact one not first.
const StepsFixture::Rows kFileA = {{"KEY", "a1"}, {"Key", "a2"}, {"key", "a3"},
                                   {"kEy", "a4"}, {"KEY", "a5"}, {"x'Y", "a6"}};
const StepsFixture::Rows kFileB = {{"key", "b1"}, {"KEY", "b2"}, {"X'y", "b3"}, {"kEY", "b4"}};

struct CaseRun {
    std::string label;
    std::string_view action;
    std::string_view target; // Combo4
    std::string_view source; // Combo5
    Names tableOne;
    Names tableTwo;
};

void PrintTo(const CaseRun& c, std::ostream* os) {
    *os << c.label;
}

class CaseVariantsRun : public StepsFixture, public ::testing::WithParamInterface<CaseRun> {
protected:
    CaseVariantsRun() {
        registerDeleteSteps(registry);
        registerFileBEvaluators(registry);
    }
};

TEST_P(CaseVariantsRun, ActsOnTheFirstExactMatchAsAVisitingSearchWould) {
    const CaseRun& c = GetParam();
    makeFiles(kFileA, kFileB);
    setCriteria({{"code", std::string(choice::IsEqualTo), "File B.code", ""}});
    Form4Choices& f = form.controls;
    f.combo3 = c.action;
    f.combo4 = c.target;
    f.combo5 = c.source;
    f.combo7 = choice::NonParallelFirstOccurrence;
    f.combo8 = choice::DoNotAddRecords;

    run();

    EXPECT_EQ(names("Table1"), c.tableOne);
    EXPECT_EQ(names("Table2"), c.tableTwo);
    EXPECT_EQ(messages(), Names({std::string(runtext::ProcessingComplete)}));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CaseVariantsRun,
    ::testing::Values(
        // key -> a3, KEY -> a1 (the first of two), X'y and kEY have no exact match.
        CaseRun{"ReplaceInFileA",
                choice::Replace,
                "File A.name",
                "File B.name",
                {"b2", "a2", "b1", "a4", "a5", "a6"},
                {"b1", "b2", "b3", "b4"}},
        // File A drives, its first four records only (File B has four): KEY -> b2,
        // key -> b1, Key and kEy match nothing exactly.
        CaseRun{"ReplaceInFileB",
                choice::Replace,
                "File B.name",
                "File A.name",
                {"a1", "a2", "a3", "a4", "a5", "a6"},
                {"a3", "a1", "b3", "b4"}},
        // The text delete of File A takes the first record the search finds, whatever
        // its case: key -> KEY, KEY -> Key, X'y -> x'Y, kEY -> key.
        CaseRun{"DeleteFromFileA",
                choice::Delete,
                choice::EntireRecordFromFileA,
                "",
                {"a4", "a5"},
                {"b1", "b2", "b3", "b4"}},
        // KEY -> KEY, key -> key; the rest match nothing exactly.
        CaseRun{"DeleteFromFileB",
                choice::Delete,
                choice::EntireRecordFromFileB,
                "",
                {"a1", "a2", "a3", "a4", "a5", "a6"},
                {"b3", "b4"}}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
