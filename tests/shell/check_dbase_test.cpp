// Finding the working database at start-up: the search, the prompt loop and the end.
#include "shell/check_dbase.h"

#include "support/busy_file.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace varnoke;
namespace fs = std::filesystem;

namespace {

class CheckDbase : public ::testing::Test {
protected:
    test::ScriptedPlatform scripted;
    Platform platform = scripted.platform();
    SharedState state;
    test::TempDir dir;
};

} // namespace

TEST_F(CheckDbase, FindsTheDatabaseWhateverTheCaseOfItsName) {
    const std::string path = dir.write("VARNOKER.MDB", "x");
    EXPECT_TRUE(checkDbase(state, platform, dir.path()));
    EXPECT_EQ(state.workDbPath, path);
    EXPECT_TRUE(scripted.prompter.shown().empty());
}

TEST_F(CheckDbase, PrefersTheExactSpellingWhenSeveralExist) {
    dir.write("Varnoker.mdb", "x");
    const std::string exact = dir.write("varnoker.mdb", "x");
    EXPECT_TRUE(checkDbase(state, platform, dir.path()));
    EXPECT_EQ(state.workDbPath, exact);
}

TEST_F(CheckDbase, AFolderOfThatNameIsNotTheDatabase) {
    fs::create_directory(dir.path() / "varnoker.mdb");
    EXPECT_EQ(findWorkDbIn(dir.path()), "");
}

TEST_F(CheckDbase, AsksUntilAFileInTheDatabasesFolderIsPicked) {
    test::TempDir elsewhere;
    const std::string db = elsewhere.write("Varnoker.Mdb", "x");
    const std::string other = dir.write("notes.txt", "x");
    const std::string besideDb = elsewhere.write("readme.txt", "x");
    scripted.prompter.answer(answer::Ok).answer(answer::Ok);
    scripted.files.choosePath(other).choosePath(besideDb);

    EXPECT_TRUE(checkDbase(state, platform, dir.path()));
    EXPECT_EQ(state.workDbPath, db);
    EXPECT_EQ(state.msgAnswer, answer::Ok);
    ASSERT_EQ(scripted.prompter.shown().size(), 2u);
    for (const auto& shown : scripted.prompter.shown()) {
        EXPECT_EQ(shown.text, "Please find and open the database: varnoker.mdb");
        EXPECT_EQ(shown.style, 65);
        EXPECT_EQ(shown.title, "Varnoke - It's your choice...");
    }
    ASSERT_EQ(scripted.files.requests().size(), 2u);
    EXPECT_EQ(scripted.files.requests()[0].flags, 4102);
    EXPECT_TRUE(scripted.files.requests()[0].cancelError);
}

TEST_F(CheckDbase, CancelOnThePromptEndsWithTheMessage) {
    scripted.prompter.answer(answer::Cancel).answer(answer::Ok);
    EXPECT_FALSE(checkDbase(state, platform, dir.path()));
    EXPECT_EQ(state.workDbPath, "");
    EXPECT_EQ(state.msgAnswer, answer::Cancel);
    const auto& last = scripted.prompter.last();
    EXPECT_EQ(last.text, "This application cannot execute properly without the database "
                         "varnoker.mdb.  Please install this database on your system, and run "
                         "the program again.");
    EXPECT_EQ(last.style, 0);
    EXPECT_EQ(last.title, "Varnoke");
}

TEST_F(CheckDbase, CancellingTheFileDialogEndsWithTheMessage) {
    scripted.prompter.answer(answer::Ok).answer(answer::Ok);
    scripted.files.choosePath("");
    EXPECT_FALSE(checkDbase(state, platform, dir.path()));
    EXPECT_EQ(scripted.prompter.messages().back(), std::string(kNoWorkDbMessage));
}

TEST_F(CheckDbase, OpensTheFoundDatabase) {
    dir.copyWorkDb("VarnokeR.mdb");
    ASSERT_TRUE(checkDbase(state, platform, dir.path()));
    ASSERT_TRUE(openWorkDb(state, scripted.prompter));
    EXPECT_TRUE(state.workDb.isOpen());
    EXPECT_TRUE(state.workDb.tableDefs().contains("Settings"));
}

TEST_F(CheckDbase, ADatabaseThatCannotBeOpenedIsReported) {
    state.workDbPath = dir.file("varnoker.mdb");
    scripted.prompter.answer(answer::Ok);
    EXPECT_FALSE(openWorkDb(state, scripted.prompter));
    EXPECT_EQ(scripted.prompter.messages().size(), 1u);
    EXPECT_NE(scripted.prompter.last().text.find("could not be opened"), std::string::npos);
}

// Held by another program past the wait: said once, as in use, never as a damaged file.
TEST_F(CheckDbase, ADatabaseInUseByAnotherProgramIsReportedAsInUse) {
    test::ManualEngineClock clock;
    state.workDbPath = fs::canonical(dir.copyWorkDb()).string();
    test::FileHolder other(state.workDbPath);
    other.lock();
    scripted.prompter.answer(answer::Ok);
    EXPECT_FALSE(openWorkDb(state, scripted.prompter));
    EXPECT_EQ(scripted.prompter.messages(),
              std::vector<std::string>({"Error:3045 Couldn't use '" + state.workDbPath +
                                        "'; file already in use.\n\nThe database " +
                                        state.workDbPath + " could not be opened."}));
}
