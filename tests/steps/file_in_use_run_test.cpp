// A run whose commit meets the working database held by another program past the wait:
// the run stops with one message, in the program's words, that the file is in use; the
// idle commit after the run says nothing more, and what was committed before stays.
#include "shell/idle_commit.h"
#include "steps/steps_fixture.h"
#include "support/busy_file.h"
#include "support/full_disk.h"

namespace varnoke::test {
namespace {

using Texts = std::vector<std::string>;

// The engine's clock is the test's before the fixture opens the working database.
struct ClockFirst {
    ManualEngineClock clock;
};

class FileInUseRun : protected ClockFirst, public StepsFixture {};

TEST_F(FileInUseRun, StopsWithOneMessageThatTheFileIsInUse) {
    makeFiles({{"k1", "a1"}, {"k2", "a2"}, {"k3", "a3"}, {"k4", "a4"}},
              {{"k1", "b1"}, {"k2", "b2"}, {"k3", "b3"}, {"k4", "b4"}});
    setCriteria({{"code", std::string(choice::IsEqualTo), "File B.code", ""}});
    Form4Choices& c = form.controls;
    c.combo7 = choice::ParallelOneRecord;
    c.combo3 = choice::Replace;
    c.combo4 = "File A.name";
    c.combo5 = "File B.name";
    c.combo8 = choice::DoNotAddRecords;
    shared.workDb.flush();
    const std::string path = std::filesystem::canonical(dir.path() / "varnoker.mdb").string();
    FileHolder other(path);
    // The idle timer finds a commit due at each yield; from yield 4 another program
    // reads the file, so record 3, gathered then, cannot be committed.
    sp.events.onYield = [&](int yield) {
        if (yield == 4) other.read();
        clock.advance(std::chrono::seconds(3));
        commitIdleWrites(shared, sp.prompter);
    };

    run();
    commitIdleWrites(shared, sp.prompter);

    EXPECT_EQ(messages(), Texts({"Couldn't use '" + path +
                                 "'; file already in use.  The changes made since the last "
                                 "automatic save were undone; everything saved before them "
                                 "is kept."}));
    EXPECT_TRUE(form.run.runFinished.empty());
    other.release();
    EXPECT_EQ(committedTexts(path, "SELECT name FROM Table1 ORDER BY rowid"),
              Texts({"b1", "b2", "a3", "a4"}));
}

} // namespace
} // namespace varnoke::test
