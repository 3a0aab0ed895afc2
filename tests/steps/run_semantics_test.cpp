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

// File A: code and a number; File B: one record with the same code.
const Texts kCodeAndNumber = {
    "CREATE TABLE Table1 (code TEXT(20), n DOUBLE);",
    "INSERT INTO Table1 (code, n) VALUES ('k1', 5);",
    "CREATE TABLE Table2 (code TEXT(20), name TEXT(40));",
    "INSERT INTO Table2 (code, name) VALUES ('k1', 'b1');",
};

RunCase typedOrderingOnFileB(std::string label, std::string operand, Texts fileB) {
    return {std::move(label),
            kCodeAndNumber,
            {{"code", kEqual, "File B.code", "and"},
             {"n", std::string(choice::IsGreaterThan), std::move(operand), ""}},
            choice::Delete,
            std::string(choice::EntireRecordFromFileB),
            "",
            choice::NonParallelAllRecords,
            false,
            false,
            false,
            {answer::Ok},
            0,
            {"k1|5"},
            std::move(fileB),
            {},
            {kComplete}};
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

RunCase badTypedDateOnFileB(std::string label, std::string condition, std::string_view action,
                            std::string target, std::string_view method, Texts fileB) {
    return {std::move(label),
            {"CREATE TABLE Table1 (code TEXT(20), d DATETIME);",
             "INSERT INTO Table1 (code, d) VALUES ('k1', #1/1/2020#);",
             "CREATE TABLE Table2 (code TEXT(20), name TEXT(40));",
             "INSERT INTO Table2 (code, name) VALUES ('k1', 'b1');"},
            {{"code", kEqual, "File B.code", "and"}, {"d", std::move(condition), "13/45/2020", ""}},
            action,
            std::move(target),
            "x",
            method,
            false,
            false,
            false,
            {answer::Ignore, answer::Ok},
            0,
            {"k1|1/1/2020"},
            std::move(fileB),
            {},
            {kBadDate, kComplete}};
}

RunCase deleteAllFromFileA(std::string label, Texts tables, Criterion row, std::vector<int> answers,
                           Texts fileA, Texts fileB, Texts shown) {
    return {std::move(label),
            std::move(tables),
            {std::move(row)},
            choice::Delete,
            std::string(choice::EntireRecordFromFileA),
            "",
            choice::NonParallelAllRecords,
            false,
            false,
            false,
            std::move(answers),
            0,
            std::move(fileA),
            std::move(fileB),
            {},
            std::move(shown)};
}

// The "with" field is a field of the changed file, which has fewer records than the
// driving file: none, or under parallel one that pairs with the first driving record.
// It is read only from a record the run changes; the surplus driving records are
// appended as blanks when adding is allowed.
RunCase withFieldOfShortChangedFile(std::string_view method, bool changesA, bool adding,
                                    bool changedHasOne) {
    const std::string changed = changesA ? "Table1" : "Table2";
    const std::string driving = changesA ? "Table2" : "Table1";
    const std::string prefix = changesA ? "File A." : "File B.";
    Texts tables = {"CREATE TABLE Table1 (t TEXT(20), n DOUBLE, m DOUBLE);",
                    "CREATE TABLE Table2 (t TEXT(20), n DOUBLE, m DOUBLE);",
                    "INSERT INTO " + driving + " (t, n, m) VALUES ('k1', 1, 1);",
                    "INSERT INTO " + driving + " (t, n, m) VALUES ('k2', 2, 2);"};
    Texts changedAfter;
    if (changedHasOne) {
        tables.push_back("INSERT INTO " + changed + " (t, n, m) VALUES ('k1', 7, 9);");
        changedAfter.push_back("k1|9|9");
    }
    if (adding) {
        for (std::size_t i = changedAfter.size(); i < 2; ++i)
            changedAfter.push_back("<Null>|<Null>|<Null>");
    }
    const Texts drivingRows = {"k1|1|1", "k2|2|2"};
    const std::string_view methodWord = method == choice::ParallelOneRecord            ? "Parallel"
                                        : method == choice::NonParallelFirstOccurrence ? "First"
                                                                                       : "All";
    return {std::string("WithFieldOf") + (changesA ? "A" : "B") +
                (changedHasOne ? "Shorter" : "Empty") + std::string(methodWord) +
                (adding ? "AddOn" : "AddOff"),
            std::move(tables),
            {{"t", kEqual, "File B.t", ""}},
            choice::Replace,
            prefix + "n",
            prefix + "m",
            method,
            false,
            adding,
            false,
            {answer::Ok},
            0,
            changesA ? changedAfter : drivingRows,
            changesA ? drivingRows : changedAfter,
            {},
            {kComplete}};
}

std::vector<RunCase> withFieldOfShortChangedFileCasesByMethod() {
    std::vector<RunCase> out;
    for (std::string_view method : choice::Methods)
        for (bool changesA : {true, false})
            for (bool adding : {false, true}) {
                out.push_back(withFieldOfShortChangedFile(method, changesA, adding, false));
                if (method == choice::ParallelOneRecord)
                    out.push_back(withFieldOfShortChangedFile(method, changesA, adding, true));
            }
    return out;
}

std::vector<RunCase> withFieldOfShortChangedFileCases() {
    std::vector<RunCase> out = withFieldOfShortChangedFileCasesByMethod();
    // The smallest: one File A record of Nulls, File B empty, a typed row that holds.
    out.push_back({"WithFieldOfBEmptyOneNullRecord",
                   {"CREATE TABLE Table1 (t TEXT(20));", "INSERT INTO Table1 (t) VALUES (Null);",
                    "CREATE TABLE Table2 (t TEXT(20));"},
                   {{"t", kNotEqual, "é", ""}},
                   choice::Replace,
                   "File B.t",
                   "File B.t",
                   choice::ParallelOneRecord,
                   false,
                   true,
                   false,
                   {answer::Ok},
                   0,
                   {"<Null>"},
                   {"<Null>"},
                   {},
                   {kComplete}});
    return out;
}

INSTANTIATE_TEST_SUITE_P(WithFieldOfShortChangedFile, RunSemantics,
                         ::testing::ValuesIn(withFieldOfShortChangedFileCases()),
                         [](const auto& info) { return info.param.label; });

// A typed replacement or operand that only begins like a field reference is a value.
RunCase typedLikeAField(std::string label, std::string_view method, bool changesA,
                        std::string replacement, std::string operand, Texts fileA, Texts fileB,
                        std::string condition = kEqual) {
    return completedReplace(std::move(label),
                            {"CREATE TABLE Table1 (t TEXT(20), u TEXT(20));",
                             "INSERT INTO Table1 (t, u) VALUES ('k1', 'a1');",
                             "INSERT INTO Table1 (t, u) VALUES ('File Bravo', 'a2');",
                             "CREATE TABLE Table2 (t TEXT(20), u TEXT(20));",
                             "INSERT INTO Table2 (t, u) VALUES ('k1', 'b1');"},
                            {{"t", std::move(condition), std::move(operand), ""}},
                            changesA ? "File A.u" : "File B.u", std::move(replacement), method,
                            std::move(fileA), std::move(fileB));
}

INSTANTIATE_TEST_SUITE_P(
    TypedValues, RunSemantics,
    ::testing::Values(
        typedLikeAField("FileACopyParallel", choice::ParallelOneRecord, true, "File A copy",
                        "File B.t", {"k1|File A copy", "File Bravo|a2"}, {"k1|b1"}),
        typedLikeAField("FileACopyAll", choice::NonParallelAllRecords, true, "File A copy",
                        "File B.t", {"k1|File A copy", "File Bravo|a2"}, {"k1|b1"}),
        typedLikeAField("FileBravoFirst", choice::NonParallelFirstOccurrence, false, "File Bravo",
                        "File B.t", {"k1|a1", "File Bravo|a2"}, {"k1|File Bravo"}),
        typedLikeAField("FileBravoParallel", choice::ParallelOneRecord, false, "File Bravo",
                        "File B.t", {"k1|a1", "File Bravo|a2"}, {"k1|File Bravo"}),
        typedLikeAField("NoSuchFieldOfFileAFirst", choice::NonParallelFirstOccurrence, true,
                        "File A.nosuchfield", "File B.t",
                        {"k1|File A.nosuchfield", "File Bravo|a2"}, {"k1|b1"}),
        typedLikeAField("NoSuchFieldOfFileBAll", choice::NonParallelAllRecords, false,
                        "File B.nosuchfield", "File B.t", {"k1|a1", "File Bravo|a2"},
                        {"k1|File B.nosuchfield"}),
        // The operand itself typed: File A's "k1" is not equal to it. The other methods
        // leave File A as they do for any typed operand ("zzz" alike).
        typedLikeAField("OperandFileBravoParallel", choice::ParallelOneRecord, true, "x",
                        "File Bravo", {"k1|x", "File Bravo|a2"}, {"k1|b1"}, kNotEqual),
        typedLikeAField("OperandFileBravoFirst", choice::NonParallelFirstOccurrence, true, "x",
                        "File Bravo", {"k1|a1", "File Bravo|a2"}, {"k1|b1"}, kNotEqual),
        typedLikeAField("OperandFileBravoAll", choice::NonParallelAllRecords, true, "x",
                        "File Bravo", {"k1|a1", "File Bravo|a2"}, {"k1|b1"}, kNotEqual)),
    [](const auto& info) { return info.param.label; });

INSTANTIATE_TEST_SUITE_P(
    Faults, RunSemantics,
    ::testing::Values(
        // File A's 5 is not greater than 5, and is greater than 1.
        typedOrderingOnFileB("DeleteAllTypedGreaterOnFileBFails", "5", {"k1|b1"}),
        typedOrderingOnFileB("DeleteAllTypedGreaterOnFileBHolds", "1", {}),
        // A number is no date: the question, as the other methods ask it.
        deleteAllFromFileA("DeleteAllNumberAgainstDateAsks",
                           {"CREATE TABLE Table1 (d DATETIME, name TEXT(40));",
                            "INSERT INTO Table1 (d, name) VALUES (#1/1/2020#, 'a1');",
                            "CREATE TABLE Table2 (n DOUBLE, name TEXT(40));",
                            "INSERT INTO Table2 (n, name) VALUES (5, 'b1');"},
                           {"d", kNotEqual, "File B.n", ""}, {answer::Ignore, answer::Ok},
                           {"1/1/2020|a1"}, {"5|b1"}, {kBadDate, kComplete}),
        // 'al' is not File B's 'zz': the first row of the chain fails.
        RunCase{"ExportAllTestsEveryRowOfTheChain",
                {"CREATE TABLE Table1 (t TEXT(20), n DOUBLE);",
                 "INSERT INTO Table1 (t, n) VALUES ('al', 1);",
                 "CREATE TABLE Table2 (t TEXT(20), n DOUBLE);",
                 "INSERT INTO Table2 (t, n) VALUES ('zz', 1);"},
                {{"t", kEqual, "File B.t", "and"}, {"n", kEqual, "File B.n", ""}},
                choice::Export,
                "",
                "",
                choice::NonParallelAllRecords,
                false,
                false,
                true,
                {answer::Ok},
                0,
                {"al|1"},
                {"zz|1"},
                {},
                {kComplete}},
        // Only the day before File B's date goes.
        deleteAllFromFileA("DeleteAllBeforeATextDateIsOrdered",
                           {"CREATE TABLE Table1 (d DATETIME, name TEXT(40));",
                            "INSERT INTO Table1 (d, name) VALUES (#12/31/2019#, 'a1');",
                            "INSERT INTO Table1 (d, name) VALUES (#1/1/2020#, 'a2');",
                            "INSERT INTO Table1 (d, name) VALUES (#6/1/2020#, 'a3');",
                            "CREATE TABLE Table2 (t TEXT(20));",
                            "INSERT INTO Table2 (t) VALUES ('1/1/2020');"},
                           {"d", std::string(choice::IsBefore), "File B.t", ""}, {answer::Ok},
                           {"1/1/2020|a2", "6/1/2020|a3"}, {"1/1/2020"}, {kComplete}),
        badTypedDateOnFileB("ReplaceFileBBeforeABadTypedDateAsks", std::string(choice::IsBefore),
                            choice::Replace, "File B.name", choice::ParallelOneRecord, {"k1|b1"}),
        badTypedDateOnFileB("DeleteAllFileBAfterABadTypedDateAsks", std::string(choice::IsAfter),
                            choice::Delete, std::string(choice::EntireRecordFromFileB),
                            choice::NonParallelAllRecords, {"k1|b1"}),
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
        // A record the tail adds holds no number yet to take.
        RunCase{"AddTailFromAFieldOfTheChangedFileAddsABlank",
                {"CREATE TABLE Table1 (t TEXT(20), n DOUBLE);",
                 "INSERT INTO Table1 (t, n) VALUES ('bob', 1);",
                 "CREATE TABLE Table2 (t TEXT(20));", "INSERT INTO Table2 (t) VALUES ('bob');",
                 "INSERT INTO Table2 (t) VALUES ('zed');"},
                {{"t", kEqual, "File B.t", ""}},
                choice::Replace,
                "File A.t",
                "File A.n",
                choice::NonParallelFirstOccurrence,
                false,
                true,
                false,
                {answer::Ok},
                0,
                {"1|1", "<Null>|<Null>"},
                {"bob", "zed"},
                {},
                {kComplete}},
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
