// What the dialog shows after an open that brought no file in: the file it had, its
// criteria rows and Process, as the working tables still hold that file; and Process
// offered again once an export file opens or a row is updated.
#include "dialog_fixture.h"

namespace varnoke::test {
namespace {

enum class Side { FileAOneMode, FileATwoMode, FileB };

// What the dialog shows of the open files, the choices made of them and its rows.
struct Shown {
    Items list1, list2, combo10, combo1, combo4, combo5;
    std::string text1, text2, fileAName, fileBName, captionA, captionB;
    std::vector<CriteriaRow> rows;
    long currentRow = -1;
    bool process = false, editRow = false, openFileB = false;
    bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
    *os << "list1=" << s.list1.size() << " list2=" << s.list2.size() << " text1=" << s.text1
        << " text2=" << s.text2 << " A=" << s.fileAName << " B=" << s.fileBName
        << " rows=" << s.rows.size() << " current=" << s.currentRow << " process=" << s.process
        << " edit=" << s.editRow << " openB=" << s.openFileB;
}

class FilesOpen : public DialogTest {
public:
    // A copy of people.dbf under a name of its own.
    std::string peopleDbfCopy(const std::string& name) {
        const auto target = dir.path() / name;
        std::filesystem::copy_file(dialogData("people.dbf"), target);
        return target.string();
    }

protected:
    // Both files open (one in the one-database mode), "replace" chosen and two rows.
    void openWithRows(bool two) {
        if (two) model->option2Click();
        openFileA(peopleDbf());
        if (two) openFileB(citiesCsv(), "Comma-delimited text (CSV)");
        c().combo3.text = "replace";
        model->combo3Click();
        c().combo10.text = "NAME";
        c().combo1.text = two ? "File B.CITY" : "File B.NAME";
        model->command7Click();
        model->option4Click();
        c().combo10.text = "BIRTHDATE";
        c().combo1.text = "7/4/1990";
        model->command7Click();
        model->selectCriteriaRow(0);
        ASSERT_EQ(model->criteria().rowCount(), 2);
        ASSERT_TRUE(scripted.prompter.messages().empty());
    }
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
                viewers.gridCaption(Viewer::FileA),
                viewers.gridCaption(Viewer::FileB),
                model->criteria().rows(),
                model->criteria().currentRow(),
                c().command2.enabled,
                c().command8.enabled,
                c().command4.enabled};
    }
    void open(Side side, const std::string& path, const std::string& type) {
        if (side == Side::FileB)
            openFileB(path, type);
        else
            openFileA(path, type);
    }
};

struct Failure {
    const char* label;
    const char* type;
    // The file picked, made in dir.
    std::function<std::string(FilesOpen&, const TempDir&)> make;
    const char* messageStart;
    bool linked; // the link began, so the side's recordsets were closed for it
};

struct AftermathCase {
    Side side;
    Failure failure;
};

void PrintTo(const AftermathCase& c, std::ostream* os) {
    *os << c.failure.label;
}

class FailedOpen : public FilesOpen, public ::testing::WithParamInterface<AftermathCase> {};

TEST_P(FailedOpen, LeavesTheDialogShowingTheFileItHad) {
    const auto& [side, failure] = GetParam();
    openWithRows(side != Side::FileAOneMode);
    const Viewer viewer = side == Side::FileB ? Viewer::FileB : Viewer::FileA;
    viewers.shown[viewer] = true;
    const Shown before = shownNow();
    const std::string table = side == Side::FileB ? "Table2" : "Table1";
    const Items records = column(table, side == Side::FileB ? "CITY" : "NAME");

    const std::string path = failure.make(*this, dir);
    scripted.prompter.answer(answer::Ok);
    // The message comes up over the dialog as it was, not an emptied one.
    std::optional<Shown> underMessage;
    scripted.prompter.onShow = [&](const ShownPrompt&) { underMessage = shownNow(); };
    mainWindow.calls.clear();
    open(side, path, failure.type);
    scripted.prompter.onShow = nullptr;

    ASSERT_EQ(scripted.prompter.messages().size(), 1u);
    EXPECT_TRUE(scripted.prompter.messages()[0].starts_with(failure.messageStart))
        << scripted.prompter.messages()[0];
    EXPECT_EQ(column(table, side == Side::FileB ? "CITY" : "NAME"), records);
    EXPECT_EQ(shownNow(), before);
    ASSERT_TRUE(underMessage);
    EXPECT_EQ(*underMessage, before);
    if (failure.linked) {
        // The link closed the viewer's recordset; it is opened on the kept copy again.
        const std::string reopen =
            viewer == Viewer::FileB ? "menuViewFileB_Click" : "menuViewFileA_Click";
        EXPECT_NE(std::find(mainWindow.calls.begin(), mainWindow.calls.end(), reopen),
                  mainWindow.calls.end());
    }

    // The rows put back are rows like any other: a run reads them, Remove takes one.
    model->command10Click();
    ASSERT_EQ(model->criteria().rowCount(), 1);
    EXPECT_EQ(model->criteria().rows()[0].conjunction, "");
}

const Failure kWrongType{
    "WrongType", "dBase IV",
    [](FilesOpen&, const TempDir& d) { return d.write("notes.dbf", "this is no dBase table"); },
    "Varnoke could not connect the file you selected to its database.  Please select a file "
    "that is of a type in the Data Type List.",
    true};
const Failure kCutShort{"CutShort", "dBase IV",
                        [](FilesOpen& t, const TempDir&) {
                            const std::string whole = t.peopleDbfCopy("short.dbf");
                            std::filesystem::resize_file(whole, 40);
                            return whole;
                        },
                        "Varnoke could not connect the file you selected to its database.\n", true};
const Failure kUnknownType{"TypeUnknown", "dbase iv",
                           [](FilesOpen& t, const TempDir&) { return t.peopleDbfCopy("p.dbf"); },
                           "The file you selected is not of a type that Varnoke recognizes.",
                           false};

std::string caseName(const ::testing::TestParamInfo<AftermathCase>& info) {
    static const char* const kSides[] = {"FileAOneMode", "FileATwoMode", "FileB"};
    return std::string(info.param.failure.label) + kSides[static_cast<int>(info.param.side)];
}

INSTANTIATE_TEST_SUITE_P(Failures, FailedOpen,
                         ::testing::Values(AftermathCase{Side::FileAOneMode, kWrongType},
                                           AftermathCase{Side::FileATwoMode, kWrongType},
                                           AftermathCase{Side::FileB, kWrongType},
                                           AftermathCase{Side::FileAOneMode, kCutShort},
                                           AftermathCase{Side::FileB, kCutShort},
                                           AftermathCase{Side::FileATwoMode, kUnknownType},
                                           AftermathCase{Side::FileB, kUnknownType}),
                         caseName);

// ---- Process after a failed export file

enum class Then { AGoodExportFile, UpdateCriteria };

class ProcessAfterFailedExport : public FilesOpen, public ::testing::WithParamInterface<Then> {};

TEST_P(ProcessAfterFailedExport, ComesBackWhenThereAreRowsToRun) {
    openWithRows(true);
    ASSERT_TRUE(c().command2.enabled);
    // Choosing "export" asks for the export file at once.
    c().combo6.text = "dBase IV";
    scripted.prompter.answer(answer::Ok);
    scripted.files.choosePath(dir.write("bad.dbf", "no table here"));
    c().combo3.text = "export";
    model->combo3Click();
    ASSERT_EQ(scripted.prompter.messages().size(), 1u);
    EXPECT_FALSE(c().command2.enabled) << "no export file to run into";

    switch (GetParam()) {
    case Then::AGoodExportFile:
        scripted.files.choosePath(peopleDbfCopy("out.dbf"));
        model->command6Click();
        ASSERT_EQ(shared.exportFileOpen, "y");
        break;
    case Then::UpdateCriteria:
        model->selectCriteriaRow(1);
        c().combo10.text = "NAME";
        c().combo2.text = "is not equal to";
        c().combo1.text = "File B.CITY";
        model->command9Click();
        ASSERT_EQ(model->criteria().rows()[1].condition, "is not equal to");
        break;
    }
    EXPECT_EQ(scripted.prompter.messages().size(), 1u);
    EXPECT_TRUE(c().command2.enabled);
}

INSTANTIATE_TEST_SUITE_P(Then, ProcessAfterFailedExport,
                         ::testing::Values(Then::AGoodExportFile, Then::UpdateCriteria),
                         [](const auto& info) {
                             return info.param == Then::AGoodExportFile ? "AGoodExportFile"
                                                                        : "UpdateCriteria";
                         });

// ---- the working database picked as a file

enum class Picker { FileA, FileB, ExportFile };

struct WorkDbCase {
    const char* label;
    Picker picker;
    // How the picked path names the working database.
    std::function<std::string(const std::filesystem::path&)> spell;
};

void PrintTo(const WorkDbCase& c, std::ostream* os) {
    *os << c.label;
}

class WorkDbPicked : public FilesOpen, public ::testing::WithParamInterface<WorkDbCase> {};

TEST_P(WorkDbPicked, IsRefusedAndChangesNothing) {
    const WorkDbCase& pick = GetParam();
    shared.workDbPath = (dir.path() / "varnoker.mdb").string();
    openWithRows(true);
    const Shown before = shownNow();
    const Items records = column("Table1", "NAME");

    c().combo6.text = "Jet table";
    scripted.prompter.answer(answer::Ok);
    scripted.files.choosePath(pick.spell(dir.path()));
    switch (pick.picker) {
    case Picker::FileA:
        model->command1Click();
        break;
    case Picker::FileB:
        model->command4Click();
        break;
    case Picker::ExportFile:
        model->command6Click();
        break;
    }

    EXPECT_EQ(scripted.prompter.messages(), Items{std::string(kWorkDbPickedMessage)});
    EXPECT_EQ(shownNow(), before);
    EXPECT_EQ(column("Table1", "NAME"), records);
    EXPECT_TRUE(shared.exportFileOpen.empty());
    for (const char* transient : {"1A", "2A", "3A"})
        EXPECT_FALSE(hasTable(transient)) << "a link began: " << transient;
}

INSTANTIATE_TEST_SUITE_P(Pickers, WorkDbPicked,
                         ::testing::Values(WorkDbCase{"FileA", Picker::FileA,
                                                      [](const std::filesystem::path& d) {
                                                          return (d / "varnoker.mdb").string();
                                                      }},
                                           WorkDbCase{
                                               "FileBThroughADotFolder", Picker::FileB,
                                               [](const std::filesystem::path& d) {
                                                   return (d / "." / "varnoker.mdb").string();
                                               }},
                                           WorkDbCase{"ExportFileThroughALink", Picker::ExportFile,
                                                      [](const std::filesystem::path& d) {
                                                          std::filesystem::create_symlink(
                                                              d / "varnoker.mdb", d / "mine.mdb");
                                                          return (d / "mine.mdb").string();
                                                      }}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
