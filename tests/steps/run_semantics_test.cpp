// Runs that must give the same answer under every pairing method: the smallest runs on
// which a method once decided differently from its siblings (an ordering read as
// equality, a bad date read as a day serial, a chain tested only on its last row, a
// record lost to a Stop, a replacement read from the wrong record, a number made from
// no number, surplus records held back by a comparison).
#include "steps/run_case_fixture.h"

namespace varnoke::test {
namespace {

const std::string kComplete{runtext::ProcessingComplete};
const std::string kBadDate{runtext::BadDate};

const std::string kEqual{choice::IsEqualTo};
const std::string kNotEqual{choice::IsNotEqualTo};

class RunSemantics : public RunCaseFixture {};

TEST_P(RunSemantics, MatchesTheOtherMethods) {
    const RunCase& c = GetParam();
    runCase(c);
    expectOutcome(c);
}

RunCase fieldOfChangedFile(std::string label, std::string_view method) {
    return {std::move(label),
            {"CREATE TABLE Table1 (t TEXT(20), n DOUBLE);",
             "INSERT INTO Table1 (t, n) VALUES ('bob', 1);",
             "INSERT INTO Table1 (t, n) VALUES ('al', 2);", "CREATE TABLE Table2 (t TEXT(20));",
             "INSERT INTO Table2 (t) VALUES ('al');", "INSERT INTO Table2 (t) VALUES ('bob');"},
            {{"t", kEqual, "File B.t", ""}},
            choice::Replace,
            "File A.t",
            "File A.n",
            method,
            false,
            false,
            false,
            {answer::Ok},
            0,
            {"1|1", "2|2"},
            {"al", "bob"},
            {},
            {kComplete}};
}

RunCase typedNoNumber(std::string label, std::string_view method) {
    return {std::move(label),
            {"CREATE TABLE Table1 (code TEXT(20), n DOUBLE);",
             "INSERT INTO Table1 (code, n) VALUES ('k1', 7);",
             "CREATE TABLE Table2 (code TEXT(20));", "INSERT INTO Table2 (code) VALUES ('k1');"},
            {{"code", kEqual, "File B.code", ""}},
            choice::Replace,
            "File A.n",
            "abc",
            method,
            false,
            false,
            false,
            {answer::Ok},
            0,
            {"k1|7"},
            {"k1"},
            {},
            {"Type mismatch"}};
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RunSemantics,
    ::testing::Values(
        // The Stop comes during the yield before the second File A record of the tail:
        // that record is in hand and is exported, the third is not.
        RunCase{"StopDuringTheExportTailExportsTheRecordInHand",
                {"CREATE TABLE Table1 (t TEXT(20), n DOUBLE);",
                 "INSERT INTO Table1 (t, n) VALUES ('k1', 1);",
                 "INSERT INTO Table1 (t, n) VALUES ('k2', 2);",
                 "INSERT INTO Table1 (t, n) VALUES ('k3', 3);",
                 "CREATE TABLE Table2 (t TEXT(20), n DOUBLE);",
                 "INSERT INTO Table2 (t, n) VALUES ('k1', 1);"},
                {{"t", kEqual, "File B.t", ""}},
                choice::Export,
                "",
                "",
                choice::ParallelOneRecord,
                false,
                true,
                true,
                {},
                3,
                {"k1|1", "k2|2", "k3|3"},
                {"k1|1"},
                {"k1|1", "k2|2"},
                {}},
        // Each File A record takes its own number.
        fieldOfChangedFile("ReplaceFirstFromAFieldOfTheChangedFile",
                           choice::NonParallelFirstOccurrence),
        fieldOfChangedFile("ReplaceAllFromAFieldOfTheChangedFile", choice::NonParallelAllRecords),
        typedNoNumber("ReplaceParallelTypedNoNumberIntoANumber", choice::ParallelOneRecord),
        typedNoNumber("ReplaceAllTypedNoNumberIntoANumber", choice::NonParallelAllRecords),
        // The first pair asks (Retry asks again next time); the two surplus File B
        // records are appended without a question.
        RunCase{"AddTailAppendsWithoutComparing",
                {"CREATE TABLE Table1 (d DATETIME, name TEXT(40));",
                 "INSERT INTO Table1 (d, name) VALUES (#1/1/2020#, 'a1');",
                 "CREATE TABLE Table2 (t TEXT(20), name TEXT(40));",
                 "INSERT INTO Table2 (t, name) VALUES ('x', 'b1');",
                 "INSERT INTO Table2 (t, name) VALUES ('y', 'b2');",
                 "INSERT INTO Table2 (t, name) VALUES ('z', 'b3');"},
                {{"d", kEqual, "File B.t", ""}},
                choice::Replace,
                "File A.name",
                "File B.name",
                choice::ParallelOneRecord,
                false,
                true,
                false,
                {answer::Retry, answer::Ok},
                0,
                {"1/1/2020|a1", "<Null>|b2", "<Null>|b3"},
                {"x|b1", "y|b2", "z|b3"},
                {},
                {kBadDate, kComplete}}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
