// Runs on a disk that fills up: a commit comes due at every yield of the run (as the
// run's writes or the program's idle timer find it due), until the disk is full. A commit
// SQLite gives up loses the writes gathered since the last one; the run must stop with
// that error, never claim completion, and leave on disk exactly what was committed
// before.
#include "export/export_fixture.h"

#include "evaluate/register_file_b.h"
#include "steps/delete_steps.h"
#include "support/full_disk.h"

namespace varnoke::test {
namespace {

using Texts = std::vector<std::string>;

const std::string kLostWrites(kDiskFullLoss);

const StepsFixture::Rows kFileA = {{"k1", "a1"}, {"k2", "a2"}, {"k3", "a3"},
                                   {"k4", "a4"}, {"k5", "a5"}, {"k6", "a6"}};
const StepsFixture::Rows kFileB = {{"k1", "b1"}, {"k2", "b2"}, {"k3", "b3"},
                                   {"k4", "b4"}, {"k5", "b5"}, {"k6", "b6"}};
const Criterion kCodeEqual{"code", std::string(choice::IsEqualTo), "File B.code", ""};

// The disk is SQLite's file system before the fixture opens the working database.
struct DiskFirst {
    FullDisk disk;
};

enum class Action { Replace, Delete, Export };
// When the disk fills: before a commit that is due at that yield, or with no commit due
// after it, so that the run's own commit at its end is the first to fail.
enum class Failing { DueCommit, EndOfRunCommit };

struct FullDiskCase {
    std::string label;
    Action action;
    Failing failing;
    std::string table; // what the action writes
    Texts onDisk;      // that table afterwards, as committed
};

void PrintTo(const FullDiskCase& c, std::ostream* os) {
    *os << c.label;
}

class FullDiskRun : protected DiskFirst,
                    public ExportFixture,
                    public ::testing::WithParamInterface<FullDiskCase> {
protected:
    FullDiskRun() {
        registerDeleteSteps(registry);
        registerFileBEvaluators(registry);
    }
    ~FullDiskRun() override {
        disk.clear();
        shared.workDb.forgetLostWrites(); // a failed test may leave them; closing would raise
    }

    void choose(Action action) {
        Form4Choices& c = form.controls;
        c.combo7 = choice::ParallelOneRecord;
        switch (action) {
        case Action::Replace:
            c.combo3 = choice::Replace;
            c.combo4 = "File A.name";
            c.combo5 = "File B.name";
            c.combo8 = choice::DoNotAddRecords;
            break;
        case Action::Delete:
            c.combo3 = choice::Delete;
            c.combo4 = choice::EntireRecordFromFileA;
            break;
        case Action::Export:
            makeExportFile();
            c.combo9 = choice::EntireRecordFromFileA;
            break;
        }
    }

    // A commit due at each yield; at yield `fillAt` the disk fills first.
    void fillDiskAt(int fillAt, Failing failing) {
        sp.events.onYield = [this, fillAt, failing](int yield) {
            if (yield == fillAt) disk.fill(dir.path().string());
            if (yield < fillAt || failing == Failing::DueCommit) commitDue();
        };
    }

    // A commit that came due during the run; one that fails is left to the run, which
    // meets the loss at its next write or its end.
    void commitDue() {
        try {
            shared.workDb.flush();
        } catch (const RuntimeError&) {
        }
    }

    Texts committed(const std::string& table) {
        const std::string column = table == "Exported Data" ? "code || '|' || name" : "name";
        return committedTexts(dir.path().string() + "/varnoker.mdb",
                              "SELECT " + column + " FROM [" + table + "] ORDER BY rowid");
    }
};

TEST_P(FullDiskRun, StopsWithTheLostWritesAndKeepsWhatWasCommitted) {
    const FullDiskCase& c = GetParam();
    makeFiles(kFileA, kFileB);
    setCriteria({kCodeEqual});
    choose(c.action);
    shared.workDb.flush();
    // Records 1 and 2 are committed at yields 2 and 3; record 3 is gathered when the
    // disk fills at yield 4.
    fillDiskAt(4, c.failing);

    run();

    EXPECT_EQ(messages(), Texts({kLostWrites}));
    EXPECT_EQ(sp.prompter.last().title, runtext::SorryTitle);
    EXPECT_TRUE(form.run.runFinished.empty());
    EXPECT_GT(disk.refusedWrites(), 0);
    EXPECT_EQ(committed(c.table), c.onDisk);
    EXPECT_EQ(committed("Table2"), Texts({"b1", "b2", "b3", "b4", "b5", "b6"}));

    // The run has told the user: with room again, writes are taken and committed.
    disk.clear();
    exec("UPDATE Table2 SET name = 'z' WHERE code = 'k6'");
    shared.workDb.flush();
    EXPECT_EQ(committed("Table2"), Texts({"b1", "b2", "b3", "b4", "b5", "z"}));
}

const Texts kReplaced{"b1", "b2", "a3", "a4", "a5", "a6"};
const Texts kDeleted{"a3", "a4", "a5", "a6"};
const Texts kExported{"k1|a1", "k2|a2"};

INSTANTIATE_TEST_SUITE_P(
    Actions, FullDiskRun,
    ::testing::Values(
        FullDiskCase{"ReplaceDue", Action::Replace, Failing::DueCommit, "Table1", kReplaced},
        FullDiskCase{"ReplaceEnd", Action::Replace, Failing::EndOfRunCommit, "Table1", kReplaced},
        FullDiskCase{"DeleteDue", Action::Delete, Failing::DueCommit, "Table1", kDeleted},
        FullDiskCase{"DeleteEnd", Action::Delete, Failing::EndOfRunCommit, "Table1", kDeleted},
        FullDiskCase{"ExportDue", Action::Export, Failing::DueCommit, "Exported Data", kExported},
        FullDiskCase{"ExportEnd", Action::Export, Failing::EndOfRunCommit, "Exported Data",
                     kExported}),
    [](const auto& info) { return info.param.label; });

} // namespace
} // namespace varnoke::test
