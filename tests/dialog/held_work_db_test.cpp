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

// When the hold begins: before the press, or as the link is about to write (the criteria
// rows are gone by then).
enum class HoldFrom { BeforeThePress, TheLink };

struct KeptCase {
    const char* label;
    Opener opener; // FileAOneMode, FileATwoMode or FileB
    HoldFrom hold;
    const char* kept; // what the notice says after the engine's words, when the link met it
};

void PrintTo(const KeptCase& c, std::ostream* os) {
    *os << c.label;
}

// What the dialog shows of the open files, their fields and the choices made of them.
struct Shown {
    Items list1, list2, combo10, combo1, combo4, combo5;
    std::string text1, text2, fileAName, fileBName, fileAPath, fileBPath, captionA, captionB;
    bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
    const auto items = [&](const char* name, const Items& list) {
        *os << name << "={";
        for (const auto& item : list)
            *os << item << ";";
        *os << "} ";
    };
    items("list1", s.list1);
    items("list2", s.list2);
    items("combo10", s.combo10);
    items("combo1", s.combo1);
    items("combo4", s.combo4);
    items("combo5", s.combo5);
    *os << "text1=" << s.text1 << " text2=" << s.text2 << " A=" << s.fileAName << s.fileAPath
        << " B=" << s.fileBName << s.fileBPath << " captions=" << s.captionA << "|" << s.captionB;
}

class HeldWithFilesOpen : public HeldFixture, public ::testing::WithParamInterface<KeptCase> {
protected:
    Shown shownNow() {
        return {c().list1.items,
                c().list2.items,
                c().combo10.items,
                c().combo1.items,
                c().combo4.items,
                c().combo5.items,
                c().text1.text,
                c().text2.text,
                shared.fileAName,
                shared.fileBName,
                shared.fileAPath,
                shared.fileBPath,
                viewers.gridCaption(Viewer::FileA),
                viewers.gridCaption(Viewer::FileB)};
    }
};

TEST_P(HeldWithFilesOpen, TellsOnceAfterOneWaitAndKeepsWhatTheDialogShowed) {
    const KeptCase& held = GetParam();
    const bool two = held.opener != Opener::FileAOneMode;
    if (two) model->option2Click();
    openFileA(peopleDbf());
    if (two) openFileB(citiesCsv(), "Comma-delimited text (CSV)");
    // "replace" offers both files' fields, read from the working tables.
    c().combo3.text = "replace";
    model->combo3Click();
    c().combo10.text = "NAME";
    c().combo1.text = two ? "File B.CITY" : "File B.NAME";
    model->command7Click();
    ASSERT_EQ(model->criteria().rowCount(), 1);
    ASSERT_TRUE(c().command2.enabled);
    ASSERT_TRUE(scripted.prompter.messages().empty());
    const Shown before = shownNow();

    const std::string other = dir.write("other.csv", "CODE,TOWN\n7,Rome\n");
    FileHolder holder(workDbPath());
    const Viewer side = held.opener == Opener::FileB ? Viewer::FileB : Viewer::FileA;
    if (held.hold == HoldFrom::BeforeThePress) {
        shared.workDb.flush();
        holder.lock();
    } else {
        viewers.onSetGridCaption = [&](Viewer viewer, std::string_view caption) {
            if (viewer != side || !caption.empty()) return;
            shared.workDb.flush();
            holder.lock();
        };
    }
    scripted.prompter.answer(answer::Ok);
    const auto start = now();
    if (held.opener == Opener::FileB)
        openFileB(other, "Comma-delimited text (CSV)");
    else
        openFileA(other, "Comma-delimited text (CSV)");
    const auto waited = now() - start;
    viewers.onSetGridCaption = nullptr;

    const std::string kept = held.kept;
    EXPECT_EQ(scripted.prompter.messages(), Items{inUse() + (kept.empty() ? "" : "\n" + kept)});
    EXPECT_LT(waited, oneWait() * 3 / 2) << "the engine waited for the file more than once";
    EXPECT_EQ(shownNow(), before);
    if (held.hold == HoldFrom::BeforeThePress) {
        // The rows could not be removed, so they are still there to process and edit.
        EXPECT_EQ(model->criteria().rowCount(), 1);
        EXPECT_TRUE(c().command2.enabled);
        EXPECT_TRUE(c().command8.enabled);
    }
    EXPECT_EQ(c().command4.enabled, two);
    holder.release();

    // Once the file is free the same press opens the file.
    if (held.opener == Opener::FileB)
        openFileB(other, "Comma-delimited text (CSV)");
    else
        openFileA(other, "Comma-delimited text (CSV)");
    EXPECT_EQ(scripted.prompter.messages().size(), 1u);
    EXPECT_EQ(held.opener == Opener::FileB ? c().list2.items : c().list1.items,
              (Items{"CODE", "TOWN"}));
}

INSTANTIATE_TEST_SUITE_P(
    Openers, HeldWithFilesOpen,
    ::testing::Values(
        KeptCase{"FileAOneModeHeldBefore", Opener::FileAOneMode, HoldFrom::BeforeThePress, ""},
        KeptCase{"FileATwoModeHeldBefore", Opener::FileATwoMode, HoldFrom::BeforeThePress, ""},
        KeptCase{"FileBHeldBefore", Opener::FileB, HoldFrom::BeforeThePress, ""},
        KeptCase{"FileAOneModeHeldAtTheLink", Opener::FileAOneMode, HoldFrom::TheLink,
                 "Varnoke's copies of File A and File B are as they were before."},
        KeptCase{"FileATwoModeHeldAtTheLink", Opener::FileATwoMode, HoldFrom::TheLink,
                 "Varnoke's copy of File A is as it was before."},
        KeptCase{"FileBHeldAtTheLink", Opener::FileB, HoldFrom::TheLink,
                 "Varnoke's copy of File B is as it was before."}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
