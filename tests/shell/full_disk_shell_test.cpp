// The program's commits outside a run on a disk that fills up: the idle commit, the exit
// and Save TABLE As. A commit that fails is shown, never swallowed; what was committed
// before stays as it was.
#include "engine/sql_name.h"
#include "shell/exit_cleanup.h"
#include "shell/idle_commit.h"
#include "shell/shell_commands.h"

#include "shell_fakes.h"
#include "support/busy_file.h"
#include "support/full_disk.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

namespace varnoke::test {
namespace {

using Texts = std::vector<std::string>;

const std::string kLostWrites = "Error:3026 " + std::string(kDiskFullLoss);

// A progress bar that calls back the first time it is shown.
class WatchedProgress : public Progress {
public:
    std::function<void()> onShown;

protected:
    void show() override {
        if (visible() && onShown) std::exchange(onShown, nullptr)();
    }
};

class FullDiskShell : public ::testing::Test {
protected:
    FullDiskShell() {
        state.workDbPath = dir.copyWorkDb();
        state.workDb = Engine::instance().openDatabase(state.workDbPath);
        hub.compare = std::make_unique<FakeCompare>();
        hub.viewers = std::make_unique<FakeViewers>();
    }
    ~FullDiskShell() override {
        disk.clear();
        state.workDb.forgetLostWrites();
        if (state.workDb.isOpen()) state.workDb.close();
    }

    // Table "Mine" with rows m1 and m2, committed.
    void makeMine() {
        exec("CREATE TABLE Mine (name TEXT(10))");
        exec("INSERT INTO Mine VALUES ('m1')");
        exec("INSERT INTO Mine VALUES ('m2')");
        state.workDb.flush();
    }
    void exec(const std::string& sql) { state.workDb.execute(sql); }
    void fill() { disk.fill(dir.path().string()); }
    Texts committed(const std::string& sql) { return committedTexts(state.workDbPath, sql); }
    Texts messages() const { return scripted.prompter.messages(); }

    ManualEngineClock clock;
    FullDisk disk;
    TempDir dir;
    SharedState state;
    ScriptedPlatform scripted;
    WindowHub hub;
    FakeMenus menus;
    FakeTableList tableList;
    ShellCommands commands{state, scripted.platform(), hub, menus, tableList};
};

TEST_F(FullDiskShell, TheIdleCommitShowsTheLossAndThenTakesWritesAgain) {
    makeMine();
    exec("UPDATE Mine SET name = 'x' WHERE name = 'm1'");
    fill();
    scripted.prompter.answer(answer::Ok);

    commitIdleWrites(state, scripted.prompter);

    EXPECT_EQ(messages(), Texts({kLostWrites}));
    EXPECT_EQ(committed("SELECT name FROM Mine ORDER BY rowid"), Texts({"m1", "m2"}));
    EXPECT_FALSE(state.workDb.lostWrites().has_value());
    disk.clear();
    exec("UPDATE Mine SET name = 'y' WHERE name = 'm2'");
    commitIdleWrites(state, scripted.prompter);
    EXPECT_EQ(committed("SELECT name FROM Mine ORDER BY rowid"), Texts({"m1", "y"}));
    EXPECT_EQ(messages().size(), 1u);
}

// A run's writes commit as it goes, spaced by their cost: the idle commit leaves a young
// batch to them, and the run meets the loss at its own commit.
TEST_F(FullDiskShell, DuringARunTheIdleCommitLeavesTheBatchAndItsLossToTheRun) {
    makeMine();
    exec("UPDATE Mine SET name = 'x' WHERE name = 'm1'");
    fill();
    state.runInProgress = true;

    commitIdleWrites(state, scripted.prompter); // the batch is due two seconds on

    EXPECT_TRUE(messages().empty());
    EXPECT_FALSE(state.workDb.lostWrites().has_value());
    try {
        state.workDb.flush();
        ADD_FAILURE() << "the run's commit raised nothing";
    } catch (const EngineError& e) {
        EXPECT_EQ(errorReport(e), kLostWrites);
    }
    commitIdleWrites(state, scripted.prompter);
    EXPECT_TRUE(messages().empty());
    try {
        exec("UPDATE Mine SET name = 'z'");
        ADD_FAILURE() << "a write went on after the loss";
    } catch (const EngineError& e) {
        EXPECT_EQ(errorReport(e), kLostWrites);
    }
}

TEST_F(FullDiskShell, TheExitShowsACommitThatFails) {
    makeMine();
    exec("CREATE TABLE Table1 (name TEXT(10))");
    exec("INSERT INTO Table1 VALUES ('t1')");
    state.workDb.flush();
    exec("UPDATE Mine SET name = 'x' WHERE name = 'm1'");
    fill();
    scripted.prompter.answer(answer::Ok);

    exitCleanup(state, scripted.prompter);

    EXPECT_EQ(messages(), Texts({kLostWrites}));
    EXPECT_EQ(scripted.prompter.last().title, kSorryTitle);
    EXPECT_FALSE(state.workDb.isOpen());
    EXPECT_EQ(committed("SELECT name FROM Mine ORDER BY rowid"), Texts({"m1", "m2"}));
    EXPECT_EQ(committed("SELECT name FROM Table1"), Texts({"t1"}));
}

TEST_F(FullDiskShell, SaveTableAsShowsACommitThatFails) {
    makeMine();
    state.currentTable = "Mine";
    WatchedProgress bar;
    bar.onShown = [this] { fill(); }; // the new table is committed, its rows are not
    static_cast<FakeCompare&>(*hub.compare).bar = &bar;
    scripted.prompter.type("Copy").answer(answer::Ok);

    commands.menuFileSaveTableAs_Click();

    EXPECT_EQ(messages(), Texts({kLostWrites}));
    EXPECT_EQ(committed("SELECT count(*) FROM Copy"), Texts({"0"}));
    EXPECT_EQ(committed("SELECT name FROM Mine ORDER BY rowid"), Texts({"m1", "m2"}));
    EXPECT_FALSE(state.workDb.lostWrites().has_value());
}

} // namespace
} // namespace varnoke::test
