// Opening File A, File B and the export file, and closing them again.
#include "dialog_fixture.h"

#include "drivers/data_types.h"
#include "shell/exit_cleanup.h"

#include <csignal>
#include <sys/resource.h>

#include <unistd.h>

#include "value/convert.h"

namespace varnoke::test {
namespace {

constexpr const char* kNotOfAType =
    "The file you selected is not of a type that Varnoke recognizes.  Please select a file that "
    "is of a type in the Data Type List.";
constexpr const char* kCouldNotConnect =
    "Varnoke could not connect the file you selected to its database.  Please select a file "
    "that is of a type in the Data Type List.";
// The same, for a file of the type chosen: picking a file of another type would not help.
constexpr const char* kCouldNotConnectFile =
    "Varnoke could not connect the file you selected to its database.";

class OpenFilesTest : public DialogTest {};

TEST_F(OpenFilesTest, DbaseAsFileAAndCsvAsFileBFillTablesListsAndChoices) {
    model->option2Click();
    const auto dbf = peopleDbf();
    openFileA(dbf);

    ASSERT_EQ(scripted.files.requests().size(), 1u);
    EXPECT_EQ(scripted.files.requests()[0].title, "Open File A");
    EXPECT_EQ(scripted.files.requests()[0].filter,
              "dBASE IV Files (*.DBF)|*.dbf|All Files (*.*)|*.*");
    EXPECT_EQ(column("Table1", "NAME"), (Items{"Alice", "Bob"}));
    EXPECT_EQ(c().list1.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_EQ(c().combo10.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_EQ(c().text1.text, dbf);
    EXPECT_EQ(c().text1.toolTip, dbf);
    EXPECT_EQ(shared.fileAName, "y");
    EXPECT_EQ(shared.fileAPath, dbf);
    EXPECT_FALSE(c().command7.enabled) << "Add waits for File B in the two-database mode";
    EXPECT_TRUE(c().command3.enabled);
    EXPECT_TRUE(mainWindow.menuEnabled("menuViewFileA"));
    EXPECT_EQ(viewers.gridCaption(Viewer::FileA), dbf);
    EXPECT_FALSE(hasTable("1A"));

    const auto csv = citiesCsv();
    openFileB(csv, "Comma-delimited text (CSV)");
    EXPECT_EQ(scripted.files.requests().back().title, "Open File B");
    EXPECT_EQ(scripted.files.requests().back().filter,
              "Text Files (*.CSV;*.TXT)|*.csv;*.txt|All Files (*.*)|*.*");
    EXPECT_EQ(column("Table2", "CITY"), (Items{"Oslo", "Lima", "Pune"}));
    EXPECT_EQ(column("Table1", "NAME"), (Items{"Alice", "Bob"})) << "File B leaves Table1";
    EXPECT_EQ(c().list1.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_EQ(c().list2.items, (Items{"ID", "CITY"}));
    EXPECT_EQ(c().combo10.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_EQ(c().combo1.items, (Items{"File B.ID", "File B.CITY"}));
    EXPECT_EQ(c().text2.text, csv);
    EXPECT_EQ(c().text1.text, dbf);
    EXPECT_TRUE(c().command7.enabled);
    EXPECT_FALSE(hasTable("2A"));
    // "delete" is the two-database mode's first action: whole records are the targets.
    EXPECT_EQ(c().combo4.items, (Items{"entire record from File A", "entire record from File B"}));

    c().combo3.text = "replace";
    model->combo3Click();
    EXPECT_EQ(c().combo4.items,
              (Items{"File A.NAME", "File A.BIRTHDATE", "File B.ID", "File B.CITY"}));
    EXPECT_EQ(c().combo5.items,
              (Items{"File A.NAME", "File A.BIRTHDATE", "File B.ID", "File B.CITY", "BLANK"}));
    EXPECT_TRUE(c().combo8.enabled);
    EXPECT_EQ(c().combo8.text, "");

    // "export" asks for the export file at once; cancelled here.
    c().combo3.text = "export";
    scripted.files.choosePath("");
    model->combo3Click();
    ASSERT_EQ(mainWindow.notes.size(), 1u);
    EXPECT_EQ(mainWindow.notes[0].first, InfoNote::ExportFile);
    EXPECT_EQ(scripted.files.requests().back().title, "Open file to export to");
    EXPECT_EQ(shared.attachFailed, "y");
    EXPECT_TRUE(c().combo9.visible);
    EXPECT_FALSE(c().combo7.enabled);
    EXPECT_EQ(c().combo7.text, "parallel records; one record only");

    c().combo9.text = "select fields...";
    model->combo9Click();
    EXPECT_TRUE(c().list3.visible);
    EXPECT_EQ(c().list3.items,
              (Items{"File A.NAME", "File A.BIRTHDATE", "File B.ID", "File B.CITY"}));
    EXPECT_TRUE(scripted.prompter.shown().empty());
}

TEST_F(OpenFilesTest, OneDatabaseModeMakesTheFileBothTables) {
    const auto dbf = peopleDbf();
    openFileA(dbf);

    EXPECT_EQ(scripted.files.requests().at(0).title, "Open File");
    EXPECT_EQ(column("Table1", "NAME"), (Items{"Alice", "Bob"}));
    EXPECT_EQ(column("Table2", "NAME"), (Items{"Alice", "Bob"}));
    EXPECT_EQ(c().list1.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_EQ(c().list2.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_EQ(c().text1.text, dbf);
    EXPECT_EQ(c().text2.text, dbf);
    EXPECT_EQ(c().combo10.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_EQ(c().combo1.items, (Items{"File B.NAME", "File B.BIRTHDATE"}));
    EXPECT_EQ(c().combo4.items, (Items{"File A.NAME", "File A.BIRTHDATE"}));
    EXPECT_EQ(c().combo5.items, (Items{"File B.NAME", "File B.BIRTHDATE", "BLANK"}));
    EXPECT_TRUE(c().command7.enabled);
    EXPECT_TRUE(c().command3.enabled);
    EXPECT_FALSE(c().command2.enabled);
    EXPECT_FALSE(hasTable("1A"));
    EXPECT_FALSE(hasTable("2A"));
}

TEST_F(OpenFilesTest, UnknownTypeIsRefusedAndLinksNothing) {
    const auto dbf = peopleDbf();
    scripted.prompter.answer(answer::Ok);
    openFileA(dbf, "dbase iv");

    EXPECT_EQ(scripted.prompter.messages(), (Items{kNotOfAType}));
    EXPECT_EQ(scripted.prompter.last().style, 0);
    EXPECT_EQ(scripted.prompter.last().title, "Varnoke");
    EXPECT_FALSE(hasTable("Table1"));
    EXPECT_FALSE(hasTable("1A"));
    EXPECT_EQ(shared.stopFlag, "y");
    EXPECT_EQ(shared.fileAName, "");
    EXPECT_TRUE(c().list1.items.empty());
    EXPECT_FALSE(c().command2.enabled);
    EXPECT_FALSE(c().command7.enabled);
}

TEST_F(OpenFilesTest, FailedReopenKeepsThePreviousCopies) {
    openFileA(peopleDbf());
    // A transient table left over from an earlier failure must not become Table1.
    shared.workDb.execute("create table [1A] (junk text(10))");
    const auto bad = dir.write("broken.dbf", "this is no dBase file");
    scripted.prompter.answer(answer::Ok);
    openFileA(bad);

    ASSERT_EQ(scripted.prompter.messages().size(), 1u);
    EXPECT_TRUE(scripted.prompter.messages()[0].starts_with(std::string(kCouldNotConnect) + "\n"));
    EXPECT_EQ(column("Table1", "NAME"), (Items{"Alice", "Bob"}));
    EXPECT_EQ(column("Table2", "NAME"), (Items{"Alice", "Bob"}));
    EXPECT_EQ(shared.fileAName, "y") << "the copy of File A is still there";
    EXPECT_EQ(c().list1.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_FALSE(c().command2.enabled) << "there are no criteria rows";

    openFileA(peopleDbf());
    EXPECT_EQ(column("Table1", "NAME"), (Items{"Alice", "Bob"}));
    EXPECT_FALSE(hasTable("1A"));
    EXPECT_EQ(shared.fileAName, "y");
}

TEST_F(OpenFilesTest, CancelledDialogChangesNothing) {
    const auto dbf = peopleDbf();
    openFileA(dbf);
    c().combo10.text = "NAME";
    c().combo1.text = "File B.NAME";
    model->command7Click();
    ASSERT_EQ(model->criteria().rowCount(), 1);

    openFileA("");
    EXPECT_EQ(shared.attachFailed, "y");
    EXPECT_TRUE(scripted.prompter.shown().empty());
    EXPECT_EQ(c().text1.text, dbf);
    EXPECT_EQ(c().list1.items, (Items{"NAME", "BIRTHDATE"}));
    EXPECT_EQ(model->criteria().rowCount(), 1);
    // The dialog started at the previous file.
    EXPECT_EQ(scripted.files.requests().back().fileName, dbf);
}

TEST_F(OpenFilesTest, InternetAddressIsAskedForAndEmptyAnswerCancels) {
    // A file opened before leaves a previous path; the address box still starts empty.
    openFileA(peopleDbf());
    scripted.prompter = {};
    const auto dialogsBefore = scripted.files.requests().size();
    c().combo6.text = "HTML Import";
    scripted.prompter.type("");
    model->command1Click();
    ASSERT_EQ(scripted.prompter.shown().size(), 1u);
    EXPECT_EQ(scripted.prompter.shown()[0].title, "Import from Internet site...");
    EXPECT_EQ(scripted.prompter.shown()[0].defaultText, "");
    EXPECT_EQ(scripted.prompter.shown()[0].text,
              "Enter an Internet address, starting with 'http://' if necessary, followed by "
              "the name of the required resource, separated by a backslash.  e.g. "
              "'http://www.example.com/samples/pg1.html\\Q1Data'");
    EXPECT_EQ(scripted.files.requests().size(), dialogsBefore);
    EXPECT_EQ(shared.attachFailed, "y");
    EXPECT_EQ(c().list1.items, (Items{"NAME", "BIRTHDATE"})) << "the cancel kept File A";
}

TEST_F(OpenFilesTest, ExportFileIsCopiedAsExportedData) {
    openFileA(peopleDbf());
    const auto csv = citiesCsv();
    c().combo6.text = "Comma-delimited text (CSV)";
    scripted.files.choosePath(csv);
    model->command6Click();

    ASSERT_EQ(mainWindow.notes.size(), 1u);
    EXPECT_EQ(mainWindow.notes[0].second,
              "After clicking OK, open a file that has field name(s) and type(s) that match "
              "the field(s)  you will export from.\r\n\r\nTIP: Quickly duplicate the file you "
              "are exporting from by opening it with the application that created it (or MS "
              "Excel or Lotus 1-2-3), and saving it as another name. Then, after clicking OK "
              "below, select the duplicated file to export to.");
    EXPECT_EQ(column("Exported Data", "CITY"), (Items{"Oslo", "Lima", "Pune"}));
    EXPECT_EQ(shared.exportFileOpen, "y");
    EXPECT_EQ(shared.exportFilePath, csv);
    EXPECT_TRUE(shared.rsExportFile.isOpen());
    EXPECT_TRUE(mainWindow.menuEnabled("menuViewExportedData"));
    EXPECT_EQ(viewers.gridCaption(Viewer::ExportFile), csv);
    EXPECT_FALSE(hasTable("3A"));
    EXPECT_EQ(c().list1.items, (Items{"NAME", "BIRTHDATE"})) << "the export file lists nothing";
    EXPECT_TRUE(c().command3.enabled);
}

TEST_F(OpenFilesTest, CancelledExportDialogSetsCloseFilesByTheChoices) {
    scripted.files.choosePath("");
    model->command6Click();
    EXPECT_FALSE(c().command3.enabled);
    EXPECT_FALSE(mainWindow.menuEnabled("menuViewExportedData"));

    openFileA(peopleDbf());
    c().command3.enabled = false;
    scripted.files.choosePath("");
    model->command6Click();
    EXPECT_TRUE(c().command3.enabled);
    EXPECT_EQ(shared.exportFileOpen, "");
}

TEST_F(OpenFilesTest, CloseFilesReturnsToOneDatabaseModeAndKeepsTheTables) {
    model->option2Click();
    openFileA(peopleDbf());
    openFileB(citiesCsv(), "Comma-delimited text (CSV)");
    shared.exportFilePath = "/data/out.csv";
    c().combo10.text = "NAME";
    c().combo1.text = "File B.CITY";
    model->command7Click();
    viewers.shown[Viewer::FileA] = true;

    model->command3Click();

    EXPECT_TRUE(c().option1.value);
    EXPECT_FALSE(c().option2.value);
    EXPECT_EQ(shared.runMode, "1");
    for (const auto* value : {&shared.fileAName, &shared.fileBName, &shared.fileAPath,
                              &shared.fileBPath, &shared.exportFileOpen, &shared.attachTableName})
        EXPECT_EQ(*value, "");
    EXPECT_EQ(shared.exportFilePath, "/data/out.csv");
    EXPECT_EQ(c().command1.caption, "&Open File");
    EXPECT_EQ(c().combo3.items, (Items{"replace", "export"}));
    EXPECT_EQ(c().combo3.text, "replace");
    EXPECT_EQ(model->criteria().rowCount(), 0);
    EXPECT_TRUE(c().list1.items.empty());
    EXPECT_TRUE(c().list2.items.empty());
    EXPECT_TRUE(c().combo10.items.empty());
    EXPECT_EQ(c().text1.text, "");
    EXPECT_EQ(c().text2.text, "");
    EXPECT_TRUE(c().command1.enabled);
    for (const auto* button : {&c().command2, &c().command3, &c().command4, &c().command6,
                               &c().command7, &c().command8, &c().command9, &c().command10})
        EXPECT_FALSE(button->enabled) << button->caption;
    EXPECT_FALSE(mainWindow.menuEnabled("menuViewFileA"));
    EXPECT_FALSE(viewers.visible(Viewer::FileA));
    EXPECT_EQ(column("Table1", "NAME"), (Items{"Alice", "Bob"}));
    EXPECT_EQ(column("Table2", "CITY"), (Items{"Oslo", "Lima", "Pune"}));
    EXPECT_TRUE(scripted.prompter.shown().empty());

    // The next File A dialog starts empty.
    openFileA("");
    EXPECT_EQ(scripted.files.requests().back().fileName, "");
}

TEST(SplitNameTest, SplitsAtTheLastSeparator) {
    EXPECT_EQ(splitName("/data/sales.dbf", false, "/home").folder, "/data");
    EXPECT_EQ(splitName("/data/sales.dbf", false, "/home").file, "sales.dbf");
    EXPECT_EQ(splitName("/sales.dbf", false, "/home").folder, "");
    EXPECT_EQ(splitName("sales.dbf", false, "/home").folder, "/home");
    EXPECT_EQ(splitName("sales.dbf", false, "/home").file, "sales.dbf");
    const auto address = splitName("http://host/samples/pg1.html\\Q1Data", true, "/home");
    EXPECT_EQ(address.folder, "http://host/samples/pg1.html");
    EXPECT_EQ(address.file, "Q1Data");
}

// ---- a failed link says why

struct LinkFailure {
    std::string label;
    std::string type;
    // Makes the file (or leaves it out) in the folder given; returns its path.
    std::function<std::string(const TempDir&)> make;
    // What follows the opener's message where the file is of another type than the one
    // chosen: the advice to pick the type whose files begin as it does, else a file of a
    // listed type. Empty for a file of the type chosen.
    std::string advice = {};
};

const std::string kListedType(kDataTypeListAdvice);

void PrintTo(const LinkFailure& c, std::ostream* os) {
    *os << c.label;
}

enum class Opener { FileA, FileB, ExportFile };

class LinkFailureReason : public DialogTest,
                          public ::testing::WithParamInterface<std::tuple<LinkFailure, Opener>> {
protected:
    // What the engine itself says when asked to link the file.
    std::string engineReason(const std::string& path, const std::string& type) {
        const auto row = tableType(type);
        const auto cut = path.find_last_of('/');
        try {
            shared.workDb.tableDefs().append(shared.workDb.createTableDef(
                "probe", row->connectFor(path.substr(0, cut), ""), path.substr(cut + 1)));
        } catch (const RuntimeError& e) {
            return e.description();
        }
        return {};
    }
};

TEST_P(LinkFailureReason, FollowsTheOpenersOwnMessageOnANewLine) {
    const auto& [fail, opener] = GetParam();
    if (fail.label == "NoPermission" && ::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every file";
    const std::string path = fail.make(dir);
    const std::string reason = engineReason(path, fail.type);
    ASSERT_FALSE(reason.empty());
    scripted.prompter.answer(answer::Ok);
    switch (opener) {
    case Opener::FileA:
        openFileA(path, fail.type);
        break;
    case Opener::FileB:
        model->option2Click();
        openFileB(path, fail.type);
        break;
    case Opener::ExportFile:
        c().combo6.text = fail.type;
        scripted.files.choosePath(path);
        model->command6Click();
        break;
    }
    static const char* const kept[] = {
        "Varnoke's copies of File A and File B are as they were before.",
        "Varnoke's copy of File B is as it was before.",
        "Varnoke's copy of the export file is as it was before."};
    EXPECT_EQ(scripted.prompter.messages(),
              (Items{kCouldNotConnectFile + fail.advice + "\n" + reason + "\n" +
                     kept[static_cast<int>(opener)]}));
    EXPECT_EQ(shared.stopFlag, "y");
    for (const std::string& shown : scripted.prompter.messages())
        EXPECT_EQ(std::count_if(shown.begin(), shown.end(),
                                [](char ch) { return ch >= 0 && ch < ' ' && ch != '\n'; }),
                  0)
            << shown;
}

std::string copyOfData(const TempDir& dir, const std::string& from, const std::string& name) {
    const auto target = dir.path() / name;
    std::filesystem::copy_file(testData(from), target);
    return target.string();
}

// A copy of a sound file cut to its first `keep` bytes, as a broken copy leaves it.
std::string cutCopy(const TempDir& dir, const std::string& from, const std::string& name,
                    std::uintmax_t keep) {
    const std::string path = copyOfData(dir, from, name);
    std::filesystem::resize_file(path, keep);
    return path;
}

std::string failureName(const ::testing::TestParamInfo<std::tuple<LinkFailure, Opener>>& info) {
    static const char* const openers[] = {"FileA", "FileB", "ExportFile"};
    return std::get<0>(info.param).label + openers[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LinkFailureReason,
    ::testing::Combine(::testing::Values(LinkFailure{"MissingFile", "dBase IV",
                                                     [](const TempDir& d) {
                                                         return d.file("nowhere.dbf");
                                                     }},
                                         LinkFailure{"Directory", "dBase IV",
                                                     [](const TempDir& d) {
                                                         std::filesystem::create_directory(
                                                             d.path() / "folder.dbf");
                                                         return d.file("folder.dbf");
                                                     }},
                                         LinkFailure{"NoPermission", "dBase IV",
                                                     [](const TempDir& d) {
                                                         const auto path = copyOfData(
                                                             d, "dbf/people.dbf", "locked.dbf");
                                                         std::filesystem::permissions(
                                                             path, std::filesystem::perms::none);
                                                         return path;
                                                     }},
                                         LinkFailure{"TextAsDbase", "dBase IV",
                                                     [](const TempDir& d) {
                                                         return d.write("broken.dbf",
                                                                        "no dBase file");
                                                     },
                                                     kListedType},
                                         // A text whose first letter is a dBase version byte is no
                                         // dBase table.
                                         LinkFailure{"TextAsParadox", "Paradox 4.X",
                                                     [](const TempDir& d) {
                                                         return d.write("cities.db", "City,Name\n");
                                                     },
                                                     kListedType},
                                         LinkFailure{"JetAsCsv", "Comma-delimited text (CSV)",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "mdb/test2_v2000.mdb",
                                                                           "nwind.csv");
                                                     },
                                                     signatureTypeAdvice("Jet table")},
                                         LinkFailure{"DbaseAsCsv", "Comma-delimited text (CSV)",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "dbf/people.dbf",
                                                                           "people.txt");
                                                     },
                                                     signatureTypeAdvice("dBase IV")},
                                         LinkFailure{"WorkbookAsCsv", "Comma-delimited text (CSV)",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "xls/big95.xls",
                                                                           "book.csv");
                                                     },
                                                     signatureTypeAdvice("Excel 8.0")},
                                         LinkFailure{"ParadoxAsCsv", "Comma-delimited text (CSV)",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "paradox/AREACODE.DB",
                                                                           "area.csv");
                                                     },
                                                     signatureTypeAdvice("Paradox 4.X")},
                                         LinkFailure{"AProgramAsCsv", "Comma-delimited text (CSV)",
                                                     [](const TempDir& d) {
                                                         return d.write(
                                                             "tool.csv",
                                                             std::string("\x7F"
                                                                         "ELF\x02\x01\x01\0\0\0",
                                                                         10));
                                                     },
                                                     kListedType},
                                         LinkFailure{"JetAsDbase", "dBase IV",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "mdb/test2_v2000.mdb",
                                                                           "nwind.dbf");
                                                     },
                                                     signatureTypeAdvice("Jet table")},
                                         LinkFailure{"MemoFileMissing", "dBase IV",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "dbf/db3memo.dbf",
                                                                           "memo.dbf");
                                                     }},
                                         LinkFailure{"DbaseCutShort", "dBase IV",
                                                     [](const TempDir& d) {
                                                         return cutCopy(d, "dbf/people.dbf",
                                                                        "cut.dbf", 100);
                                                     }},
                                         LinkFailure{"DbaseAsParadox", "Paradox 5.X",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "dbf/people.dbf",
                                                                           "people.db");
                                                     },
                                                     signatureTypeAdvice("dBase IV")},
                                         LinkFailure{"ParadoxCutShort", "Paradox 5.X",
                                                     [](const TempDir& d) {
                                                         return cutCopy(d, "paradox/AREACODE.DB",
                                                                        "area.db", 0x400);
                                                     }},
                                         LinkFailure{"WorksheetAsExcel", "Excel 8.0",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "lotus/sales.wk4",
                                                                           "sales.xls");
                                                     },
                                                     signatureTypeAdvice("Lotus WK4")},
                                         LinkFailure{"WorksheetCutShort", "Lotus WK4",
                                                     [](const TempDir& d) {
                                                         return cutCopy(d, "lotus/sales.wk4",
                                                                        "sales.wk4", 200);
                                                     }},
                                         LinkFailure{"WorkbookAsLotus", "Lotus WK4",
                                                     [](const TempDir& d) {
                                                         return copyOfData(d, "xls/booleans.xls",
                                                                           "book.wk4");
                                                     },
                                                     signatureTypeAdvice("Excel 8.0")},
                                         LinkFailure{"JetCutShort", "Jet table",
                                                     [](const TempDir& d) {
                                                         return cutCopy(d,
                                                                        "mdb/DateTestDatabase.mdb",
                                                                        "dates.mdb", 3000);
                                                     }}),
                       ::testing::Values(Opener::FileA, Opener::FileB, Opener::ExportFile)),
    failureName);

// ---- a database linked by its file's name shows which of its tables it linked

struct JetName {
    const char* label;
    const char* fileName; // the database's name as copied
    bool fileB;
    const char* shownAfter; // what follows the path where the dialog shows the file
};

void PrintTo(const JetName& c, std::ostream* os) {
    *os << c.label;
}

class JetTableShown : public DialogTest, public ::testing::WithParamInterface<JetName> {};

TEST_P(JetTableShown, WhereTheFileIsShown) {
    const JetName& jet = GetParam();
    const std::string path = copyOfData(dir, "mdb/DateTestDatabase.mdb", jet.fileName);
    if (jet.fileB) {
        model->option2Click();
        openFileA(peopleDbf());
        openFileB(path, "Jet table");
    } else {
        openFileA(path, "Jet table");
    }
    EXPECT_TRUE(scripted.prompter.messages().empty());
    const std::string shown = path + jet.shownAfter;
    const Viewer viewer = jet.fileB ? Viewer::FileB : Viewer::FileA;
    EXPECT_EQ(c().text2.text, shown) << "the one-database mode shows its file twice";
    if (!jet.fileB) {
        EXPECT_EQ(c().text1.text, shown);
    }
    EXPECT_EQ(viewers.gridCaption(viewer), shown);
    EXPECT_EQ(rowsOf(jet.fileB ? "Table2" : "Table1"), 6);
}

INSTANTIATE_TEST_SUITE_P(
    Names, JetTableShown,
    ::testing::Values(JetName{"FileANamesNoTable", "dates.mdb", false, " (table DateTest)"},
                      JetName{"FileBNamesNoTable", "dates.mdb", true, " (table DateTest)"}),
    [](const auto& info) { return std::string(info.param.label); });

// Only a table the link did not name is reported: one it names is no choice.
TEST_F(OpenFilesTest, ALinkReportsTheTableItChoseAndNoOther) {
    const std::string path = copyOfData(dir, "mdb/DateTestDatabase.mdb", "dates.mdb");
    auto defs = shared.workDb.tableDefs();
    EXPECT_EQ(
        defs.append(shared.workDb.createTableDef("named", "JetTable;DATABASE=" + path, "datetest")),
        "");
    EXPECT_EQ(defs.append(
                  shared.workDb.createTableDef("chosen", "JetTable;DATABASE=" + path, "dates.mdb")),
              "DateTest");
    EXPECT_EQ(defs.append(shared.workDb.createTableDef(
                  "dbf", "dBase IV;DATABASE=" + dir.path().string(),
                  std::filesystem::path(peopleDbf()).filename().string())),
              "");
}

// A disk with no room left for this process: every write that would make a file grow
// fails (SQLite's journal first), as it does on a full disk.
class DiskFull {
public:
    DiskFull() {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none = old_;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~DiskFull() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    DiskFull(const DiskFull&) = delete;
    DiskFull& operator=(const DiskFull&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// Writes a full disk made SQLite give up (this limit fails writes as an I/O error).
const std::string kLostOnFullDisk = "disk I/O error.  The changes made since the last automatic "
                                    "save were undone; everything saved before them is kept.";

bool saysTransientLeft(const std::string& text, std::string_view table) {
    return text.starts_with(kTransientLeftMessage) &&
           text.find("\n" + std::string(table) + ": ") != std::string::npos;
}

// A link whose own drop of its transient table failed leaves it behind; closing the
// files and the exit drop it again, and say so while they cannot.
TEST_F(OpenFilesTest, ATransientTableLeftBehindIsDroppedAtCloseFilesAndExit) {
    model->option2Click();
    openFileA(peopleDbf());
    shared.workDb.execute("CREATE TABLE [2A] (CITY TEXT(20));");
    shared.workDb.execute("INSERT INTO [2A] (CITY) VALUES ('Oslo');");
    scripted.prompter.answer(answer::Ok).answer(answer::Ok);
    {
        DiskFull full;
        model->command3Click();
    }
    // The drop could not commit the gathered INSERT: it is undone, and the next write
    // (the criteria reset) says so.
    ASSERT_EQ(scripted.prompter.messages().size(), 2u);
    EXPECT_TRUE(saysTransientLeft(scripted.prompter.messages().front(), "2A"))
        << scripted.prompter.messages().front();
    EXPECT_EQ(scripted.prompter.messages()[1], kLostOnFullDisk);
    EXPECT_TRUE(hasTable("2A"));

    const std::size_t shown = scripted.prompter.messages().size();
    model->command3Click();
    EXPECT_EQ(scripted.prompter.messages().size(), shown);
    EXPECT_FALSE(hasTable("2A"));

    shared.workDb.execute("CREATE TABLE [3A] (CITY TEXT(20));");
    scripted.prompter.answer(answer::Ok).answer(answer::Ok);
    {
        DiskFull full;
        exitCleanup(shared, scripted.prompter);
    }
    // The exit's own emptying of the working tables cannot be committed either: said too.
    ASSERT_EQ(scripted.prompter.messages().size(), shown + 2);
    EXPECT_TRUE(saysTransientLeft(scripted.prompter.messages()[shown], "3A"))
        << scripted.prompter.messages()[shown];
    EXPECT_EQ(scripted.prompter.messages()[shown + 1], "Error:3000 " + kLostOnFullDisk);
    shared.workDb = Engine::instance().openDatabase((dir.path() / "varnoker.mdb").string());
    EXPECT_TRUE(hasTable("3A"));

    const std::size_t before = scripted.prompter.messages().size();
    exitCleanup(shared, scripted.prompter);
    EXPECT_EQ(scripted.prompter.messages().size(), before);
    shared.workDb = Engine::instance().openDatabase((dir.path() / "varnoker.mdb").string());
    EXPECT_FALSE(hasTable("3A"));
}

} // namespace
} // namespace varnoke::test
