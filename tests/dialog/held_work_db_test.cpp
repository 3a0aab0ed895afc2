// Opening a file while another program holds the working database: the user hears once
// that it is in use, after one wait, never advice about the file's type; and File B is
// not offered beside a File A that failed to open.
#include "dialog_fixture.h"
#include "support/busy_file.h"

namespace varnoke::test {
namespace {

// The engine's clock is the test's before the fixture opens the working database.
struct ClockFirst {
    ManualEngineClock clock;
};

enum class Opener { FileAOneMode, FileATwoMode, FileB, ExportFile };

struct HeldCase {
    const char* label;
    Opener opener;
    // What the notice says after the engine's words, when the link itself met the hold.
    const char* kept;
    bool fileBOffered; // a File B open or an export file's leaves Open File B as it was
};

void PrintTo(const HeldCase& c, std::ostream* os) {
    *os << c.label;
}

class HeldFixture : protected ClockFirst, public DialogTest {
protected:
    std::string workDbPath() {
        return std::filesystem::canonical(dir.path() / "varnoker.mdb").string();
    }
    std::string inUse() { return "Couldn't use '" + workDbPath() + "'; file already in use."; }
    EngineClock::TimePoint now() { return clock.clock().now(); }

    // How long the engine waits for the held file before it gives up on one statement.
    std::chrono::steady_clock::duration oneWait() {
        const auto start = now();
        EXPECT_THROW(shared.workDb.execute("delete * from SSysCriteria"), RuntimeError);
        return now() - start;
    }
};

class HeldWorkDb : public HeldFixture, public ::testing::WithParamInterface<HeldCase> {
protected:
    void open(Opener opener, const std::string& path) {
        switch (opener) {
        case Opener::FileAOneMode:
        case Opener::FileATwoMode:
            openFileA(path);
            break;
        case Opener::FileB:
            openFileB(path, "dBase IV");
            break;
        case Opener::ExportFile:
            c().combo6.text = "dBase IV";
            scripted.files.choosePath(path);
            model->command6Click();
            break;
        }
    }
};

TEST_P(HeldWorkDb, TellsOnceAfterOneWaitThatTheFileIsInUse) {
    const HeldCase& held = GetParam();
    if (held.opener != Opener::FileAOneMode) model->option2Click();
    const std::string dbf = peopleDbf();
    shared.workDb.flush();
    FileHolder other(workDbPath());
    other.lock();

    scripted.prompter.answer(answer::Ok);
    const auto start = now();
    open(held.opener, dbf);
    const auto waited = now() - start;

    const std::string kept = held.kept;
    EXPECT_EQ(scripted.prompter.messages(), Items{inUse() + (kept.empty() ? "" : "\n" + kept)});
    EXPECT_LT(waited, oneWait() * 3 / 2) << "the engine waited for the file more than once";
    EXPECT_TRUE(shared.fileAName.empty());
    EXPECT_EQ(c().command4.enabled, held.fileBOffered);
    other.release();
}

INSTANTIATE_TEST_SUITE_P(
    Openers, HeldWorkDb,
    ::testing::Values(HeldCase{"FileAOneMode", Opener::FileAOneMode, "", false},
                      HeldCase{"FileATwoMode", Opener::FileATwoMode, "", false},
                      HeldCase{"FileB", Opener::FileB, "", true},
                      HeldCase{"ExportFile", Opener::ExportFile,
                               "Varnoke's copy of the export file is as it was before.", true}),
    [](const auto& info) { return std::string(info.param.label); });

class HeldWorkDbTwoMode : public HeldFixture {};

// The hold may begin once the criteria rows are gone, just before the link writes.
TEST_F(HeldWorkDbTwoMode, ALinkThatMeetsTheHoldSaysSoAndOffersNoFileB) {
    model->option2Click();
    ASSERT_TRUE(c().command4.enabled);
    FileHolder other(workDbPath());
    viewers.onSetGridCaption = [&](Viewer viewer, std::string_view caption) {
        if (viewer != Viewer::FileA || !caption.empty()) return;
        shared.workDb.flush();
        other.lock();
    };
    scripted.prompter.answer(answer::Ok);
    const auto start = now();
    openFileA(peopleDbf());
    const auto waited = now() - start;

    EXPECT_EQ(scripted.prompter.messages(),
              Items{inUse() + "\nVarnoke's copy of File A is as it was before."});
    EXPECT_LT(waited, oneWait() * 3 / 2) << "the engine waited for the file more than once";
    EXPECT_FALSE(c().command4.enabled);
    other.release();
    viewers.onSetGridCaption = nullptr;

    // Once the file is free, File A opens and File B is offered again.
    openFileA(peopleDbf());
    EXPECT_EQ(shared.fileAName, "y");
    EXPECT_TRUE(c().command4.enabled);
    EXPECT_EQ(scripted.prompter.messages().size(), 1u);
}

} // namespace
} // namespace varnoke::test
