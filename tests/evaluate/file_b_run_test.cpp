// Replace runs that change File B, from Process through the step loop, the replace
// steps and the File B dispatchers to the File B evaluators, as the program registers
// them. File A drives: each of its records is a key.
#include "evaluate/register_file_b.h"
#include "process/run_messages.h"
#include "steps/steps_fixture.h"

#include <map>

namespace varnoke::test {
namespace {

using Names = std::vector<std::string>;

// "K2" differs from File B's "k2" only in case; of the two k3 records of File A only
// the second passes the typed row.
const StepsFixture::Rows kFileA = {{"k1", "a1"}, {"K2", "a2"}, {"k3", "a3"}, {"k3", "a5"}};
const StepsFixture::Rows kFileB = {
    {"k1", "b1"}, {"k2", "b2"}, {"k3", "b3"}, {"k3", "b3x"}, {"k9", "b9"}};

class FileBReplaceRun : public StepsFixture {
protected:
    FileBReplaceRun() {
        registerFileBEvaluators(registry);
        makeFiles(kFileA, kFileB);
        // Same code, and File A's name is not the typed "a3".
        setCriteria({{"code", std::string(choice::IsEqualTo), "File B.code", "and"},
                     {"name", std::string(choice::IsNotEqualTo), "a3", ""}});
        Form4Choices& c = form.controls;
        c.combo3 = choice::Replace;
        c.combo4 = "File B.name";
        c.combo5 = "File A.name";
        c.combo8 = choice::DoNotAddRecords;
    }

    // Table2's names as a join of the two tables says they should become: each File B
    // record takes the name of the File A record with its code and a name other than a3.
    Names expectedBySql() {
        std::map<std::string, std::string> newName;
        Recordset join = shared.workDb.openRecordset(
            "SELECT Table2.code, Table1.name FROM Table1, Table2 WHERE Table1.code = "
            "Table2.code AND Table1.name <> 'a3'",
            RecordsetType::Snapshot);
        for (; !join.eof(); join.moveNext())
            newName[textOf(join.field(0).value())] = textOf(join.field(1).value());
        join.close();
        Names out;
        Recordset b = shared.workDb.openRecordset("Table2", RecordsetType::Snapshot);
        for (; !b.eof(); b.moveNext()) {
            auto it = newName.find(textOf(b.value("code")));
            out.push_back(it != newName.end() ? it->second : textOf(b.value("name")));
        }
        b.close();
        return out;
    }
    const Names kComplete{std::string(runtext::ProcessingComplete)};
};

// One update per key: "K2" selects k2 in the engine's search, and both k3 records.
TEST_F(FileBReplaceRun, AllRecordsChangesExactlyWhatAJoinOfTheFilesSelects) {
    form.controls.combo7 = choice::NonParallelAllRecords;
    const Names expected = expectedBySql();
    ASSERT_EQ(expected, Names({"a1", "a2", "a5", "a5", "b9"}));

    run();

    EXPECT_EQ(names("Table2"), expected);
    EXPECT_EQ(names("Table1"), Names({"a1", "a2", "a3", "a5"}));
    EXPECT_EQ(messages(), kComplete);
}

// The first k3 record only; the k3/a3 key acts on nothing.
TEST_F(FileBReplaceRun, FirstOccurrenceChangesTheFirstSelectedRecordPerKey) {
    form.controls.combo7 = choice::NonParallelFirstOccurrence;
    run();
    EXPECT_EQ(names("Table2"), Names({"a1", "a2", "a5", "b3x", "b9"}));
    EXPECT_EQ(messages(), kComplete);
}

// Pairs by position, tested exactly: K2/k2 fails, k3/a3 fails the typed row.
TEST_F(FileBReplaceRun, ParallelTestsEachPairExactly) {
    form.controls.combo7 = choice::ParallelOneRecord;
    run();
    EXPECT_EQ(names("Table2"), Names({"a1", "b2", "b3", "a5", "b9"}));
    EXPECT_EQ(messages(), kComplete);
}

// Appending past the end of the shorter File B: the equal member adds a record for
// each remaining File A record, with its name.
TEST_F(FileBReplaceRun, ParallelAppendsTheSurplusFileARecordsToFileB) {
    shared.workDb.execute("DELETE * FROM Table2 WHERE code = 'k9' OR code = 'k3'");
    form.controls.combo7 = choice::ParallelOneRecord;
    form.controls.combo8 = choice::AddNewRecords;
    run();
    EXPECT_EQ(names("Table2"), Names({"a1", "b2", "a3", "a5"}));
    EXPECT_EQ(messages(), kComplete);
}

} // namespace
} // namespace varnoke::test
