// Replace runs under "all records" where one statement serves the whole driving record:
// a typed row that passed its test ends the record, and the word "Null" typed as the
// replacement blanks a text field there, while a single record keeps the letters.
#include "steps/run_case_fixture.h"

namespace varnoke::test {
namespace {

const std::string kEqual{choice::IsEqualTo};

class AllRecordsReplace : public RunCaseFixture {};

TEST_P(AllRecordsReplace, WritesWhatTheRowsSelect) {
    const RunCase& c = GetParam();
    runCase(c);
    expectOutcome(c);
}

// Three rows joined by "or": a File B row, a typed row that holds, and a File B row
// that would reach one more record if it were still tested for the same driving
// record.
const std::vector<Criterion> kThreeRows = {{"code", kEqual, "File B.code", "or"},
                                           {"name", kEqual, "a1", "or"},
                                           {"name", kEqual, "File B.name", ""}};

RunCase typedRowEndsTheRecord(std::string label, Texts tables, std::string target, Texts fileA,
                              Texts fileB) {
    return completedReplace(std::move(label), std::move(tables), kThreeRows, std::move(target),
                            "new", choice::NonParallelAllRecords, std::move(fileA),
                            std::move(fileB), true);
}

RunCase typedNull(std::string label, std::string_view method, Texts fileA) {
    return completedReplace(std::move(label),
                            {"CREATE TABLE Table1 (code TEXT(20), name TEXT(40));",
                             "INSERT INTO Table1 (code, name) VALUES ('k1', 'a1');",
                             "CREATE TABLE Table2 (code TEXT(20));",
                             "INSERT INTO Table2 (code) VALUES ('k1');"},
                            {{"code", kEqual, "File B.code", ""}}, "File A.name", "Null", method,
                            std::move(fileA), {"k1"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AllRecordsReplace,
    ::testing::Values(
        typedRowEndsTheRecord("TypedRowEndsTheRecordOnFileB",
                              {"CREATE TABLE Table1 (code TEXT(20), name TEXT(40));",
                               "INSERT INTO Table1 (code, name) VALUES ('k1', 'a1');",
                               "CREATE TABLE Table2 (code TEXT(20), name TEXT(40), tag TEXT(10));",
                               "INSERT INTO Table2 (code, name) VALUES ('k1', 'x');",
                               "INSERT INTO Table2 (code, name) VALUES ('k9', 'a1');"},
                              "File B.tag", {"k1|a1"}, {"k1|x|new", "k9|a1|<Null>"}),
        typedRowEndsTheRecord("TypedRowEndsTheRecordOnFileA",
                              {"CREATE TABLE Table1 (code TEXT(20), name TEXT(40), tag TEXT(10));",
                               "INSERT INTO Table1 (code, name) VALUES ('k1', 'a1');",
                               "INSERT INTO Table1 (code, name) VALUES ('k9', 'q');",
                               "CREATE TABLE Table2 (code TEXT(20), name TEXT(40));",
                               "INSERT INTO Table2 (code, name) VALUES ('k1', 'q');"},
                              "File A.tag", {"k1|a1|new", "k9|q|<Null>"}, {"k1|q"}),
        typedNull("TypedNullBlanksATextFieldUnderAllRecords", choice::NonParallelAllRecords,
                  {"k1|<Null>"}),
        typedNull("TypedNullKeepsTheLettersOnOneRecord", choice::NonParallelFirstOccurrence,
                  {"k1|Null"})),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
