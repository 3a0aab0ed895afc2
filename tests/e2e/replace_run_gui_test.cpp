// A replace run as a user makes it: the main window wired as the program wires it, File >
// Compare..., two real files opened in the comparison dialog, a criteria row, the action
// and method chosen, Process, then View > File A. The File A data afterwards is checked
// against a query of our own over a snapshot taken, outside the program, before the run.
#include "dialog/form4_form.h"
#include "shell/info_notes.h"
#include "shell/main_window.h"
#include "shell/program_window.h"
#include "shell/shared_state.h"
#include "shell/window_hub.h"
#include "support/query_windows_gui.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"
#include "support/waits.h"
#include "viewers/grid_viewer_window.h"
#include "viewers/viewer_hub_window.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace varnoke::test {
namespace {

std::filesystem::path e2eData(const std::string& name) {
    return std::filesystem::path(VARNOKE_TEST_DATA).parent_path() / "e2e" / "data" / name;
}

using Rows = std::vector<std::vector<std::string>>;

// Our own connection to the working database file, so that what we compare with does
// not come through the program's engine.
class IndependentDb {
public:
    explicit IndependentDb(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db_);
    }
    ~IndependentDb() { sqlite3_close(db_); }
    IndependentDb(const IndependentDb&) = delete;
    IndependentDb& operator=(const IndependentDb&) = delete;

    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << (error ? error : "?");
            sqlite3_free(error);
        }
    }
    Rows rows(const std::string& sql) {
        Rows out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return out;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = sqlite3_column_text(stmt, i);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>");
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

// One run as the user sets it up. `thisValue` and `with` are picked from their lists
// when the list holds them, typed otherwise.
struct ReplaceScenario {
    const char* name;
    const char* ifThis;
    const char* thisValue;
    const char* target;
    const char* with;
    const char* method;
    // Over snap.a / snap.b (rid = position in the file): File A's rows as they must be.
    const char* expected;
};

const ReplaceScenario kScenarios[] = {
    {"FirstOccurrenceWithFileBField", "CODE", "File B.CODE", "File A.CITY", "File B.CITY",
     "non-parallel records; one record: first occurrence only",
     // Each File B record changes the first File A record with its code; a later File B
     // record with the same code writes over an earlier one.
     "SELECT a.CODE, a.NAME, COALESCE((SELECT b.CITY FROM snap.b b WHERE b.rid <= "
     "(SELECT count(*) FROM snap.a) AND a.rid = (SELECT min(a2.rid) FROM snap.a a2 "
     "WHERE a2.CODE = b.CODE) ORDER BY b.rid DESC LIMIT 1), a.CITY), a.AMOUNT "
     "FROM snap.a a ORDER BY a.rid"},
    {"AllRecordsWithFileBField", "CODE", "File B.CODE", "File A.CITY", "File B.CITY",
     "non-parallel records; all records",
     "SELECT a.CODE, a.NAME, COALESCE((SELECT b.CITY FROM snap.b b WHERE b.rid <= "
     "(SELECT count(*) FROM snap.a) AND b.CODE = a.CODE ORDER BY b.rid DESC LIMIT 1), "
     "a.CITY), a.AMOUNT FROM snap.a a ORDER BY a.rid"},
    {"FirstOccurrenceWithTypedValue", "CODE", "File B.CODE", "File A.NAME", "Zed",
     "non-parallel records; one record: first occurrence only",
     "SELECT a.CODE, CASE WHEN a.rid IN (SELECT (SELECT min(a2.rid) FROM snap.a a2 WHERE "
     "a2.CODE = b.CODE) FROM snap.b b WHERE b.rid <= (SELECT count(*) FROM snap.a)) "
     "THEN 'Zed' ELSE a.NAME END, a.CITY, a.AMOUNT FROM snap.a a ORDER BY a.rid"},
    {"ParallelTypedCriteriaWithBlank", "CITY", "Boston", "File A.NAME", "BLANK",
     "parallel records; one record only",
     // Record n of File A pairs with record n of File B; a blank is SQL NULL.
     "SELECT a.CODE, CASE WHEN a.rid <= (SELECT count(*) FROM snap.b) AND a.CITY = "
     "'Boston' THEN NULL ELSE a.NAME END, a.CITY, a.AMOUNT FROM snap.a a ORDER BY a.rid"},
};

class ReplaceRunFromDialog : public ::testing::TestWithParam<ReplaceScenario> {
protected:
    void SetUp() override {
        dir.copyWorkDb();
        fileA = (dir.path() / "customers.dbf").string();
        fileB = (dir.path() / "changes.csv").string();
        std::filesystem::copy_file(e2eData("customers.dbf"), fileA);
        std::filesystem::copy_file(e2eData("changes.csv"), fileB);

        // The program as main() builds it, over scripted prompts.
        program = std::make_unique<Program>(scripted.platform());
        window = &program->window();
        ASSERT_TRUE(window->openWorkingDatabase(dir.path()));
        // The user switched the pairing note off once; it would wait for its OK button.
        setNoteWanted(state().workDb, InfoNote::Pairing, false);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, kPatienceMs));
    }
    void TearDown() override {
        window->close();
        program.reset();
    }

    QAction* menuItem(std::string_view name) {
        auto* action = window->findChild<QAction*>(QString::fromUtf8(name.data(), name.size()));
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    template <typename W = QWidget> W* control(const char* name) {
        auto* w = dialog()->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    Form4* dialog() { return static_cast<Form4Windows&>(*hub().compare).dialog(); }
    void click(const char* name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    void choose(const char* comboName, const QString& text) {
        test::choose(dialog(), comboName, text);
    }

    TempDir dir;
    std::string fileA, fileB;
    ScriptedPlatform scripted;
    std::unique_ptr<Program> program;
    MDIForm1* window = nullptr;
    SharedState& state() { return program->state(); }
    WindowHub& hub() { return program->hub(); }
};

TEST_P(ReplaceRunFromDialog, ChangesExactlyTheRecordsTheCriteriaSelect) {
    const ReplaceScenario& s = GetParam();

    menuItem(menu::FileCompare)->trigger();
    ASSERT_NE(dialog(), nullptr);
    ASSERT_TRUE(dialog()->isVisible());

    click("Option2");
    choose("Combo6", "dBase IV");
    scripted.files.choosePath(fileA);
    click("Command1");
    choose("Combo6", "Comma-delimited text (CSV)");
    scripted.files.choosePath(fileB);
    click("Command4");
    ASSERT_EQ(control<QLineEdit>("Text1")->text().toStdString(), fileA);
    ASSERT_EQ(control<QLineEdit>("Text2")->text().toStdString(), fileB);
    ASSERT_EQ(control<QListWidget>("List1")->count(), 4);
    ASSERT_EQ(control<QListWidget>("List2")->count(), 3);

    IndependentDb db(state().workDbPath);
    const std::string snapshot = (dir.path() / "snapshot.db").string();
    db.exec("ATTACH DATABASE '" + snapshot + "' AS snap");
    db.exec("CREATE TABLE snap.a AS SELECT row_number() OVER (ORDER BY rowid) AS rid, CODE, "
            "NAME, CITY, AMOUNT FROM main.Table1");
    db.exec("CREATE TABLE snap.b AS SELECT row_number() OVER (ORDER BY rowid) AS rid, CODE, "
            "CITY, AMOUNT FROM main.Table2");
    ASSERT_EQ(db.rows("SELECT count(*) FROM snap.a"), Rows{{"7"}});
    ASSERT_EQ(db.rows("SELECT count(*) FROM snap.b"), Rows{{"4"}});

    choose("Combo10", s.ifThis);
    choose("Combo2", "is equal to");
    choose("Combo1", s.thisValue);
    click("Command7");
    choose("Combo3", "replace");
    choose("Combo4", s.target);
    choose("Combo5", s.with);
    choose("Combo7", s.method);
    ASSERT_TRUE(control("Command2")->isEnabled());

    scripted.prompter.answer(answer::Ok);
    click("Command2");
    EXPECT_EQ(scripted.prompter.messages(), std::vector<std::string>{"Processing complete."});
    EXPECT_FALSE(state().runInProgress);
    EXPECT_TRUE(control("Command2")->isEnabled());
    EXPECT_FALSE(control("Command5")->isEnabled());

    // What the program's idle commit does before anyone else reads the file.
    state().workDb.flush();
    const Rows actual = db.rows("SELECT CODE, NAME, CITY, AMOUNT FROM main.Table1 ORDER BY rowid");
    const Rows expected = db.rows(s.expected);
    EXPECT_EQ(actual, expected);
    EXPECT_NE(actual, db.rows("SELECT CODE, NAME, CITY, AMOUNT FROM snap.a ORDER BY rid"))
        << "the run changed nothing";

    QAction* viewFileA = menuItem(menu::ViewFileA);
    ASSERT_TRUE(viewFileA->isEnabled());
    viewFileA->trigger();
    auto& hubWindows = static_cast<GridViewerHub&>(*hub().viewers);
    ASSERT_TRUE(hubWindows.visible(Viewer::FileA));
    GridViewerWindow& viewer = hubWindows.form(ViewerForm::Form8);
    EXPECT_EQ(viewer.gridCaption().toStdString(), fileA);
    const QAbstractItemModel* grid = viewer.grid()->model();
    ASSERT_EQ(grid->columnCount(), 4);
    for (int r = 0; r < static_cast<int>(expected.size()); ++r) {
        for (int c = 0; c < 4; ++c) {
            const QVariant shown = grid->data(grid->index(r, c));
            const std::string& want =
                expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            if (want == "<null>")
                EXPECT_TRUE(shown.toString().isEmpty()) << r << "," << c;
            else if (c == 3)
                EXPECT_DOUBLE_EQ(shown.toDouble(), std::stod(want)) << r;
            else
                EXPECT_EQ(shown.toString().toStdString(), want) << r << "," << c;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(E2E, ReplaceRunFromDialog, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace varnoke::test
