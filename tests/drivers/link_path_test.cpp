// Linking through the engine, as the openers do, with paths that hold the connect
// string's own separator ";".
#include "engine/engine.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

struct PathCase {
    const char* label;
    const char* prefix;
    const char* folder; // made inside the test's directory
    const char* data;   // file under tests/data copied into it
    const char* name;   // its name there
    bool fileType;      // the connect names the file rather than its folder
    long records;
};

class SemicolonPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(SemicolonPathTest, LinksAndCopiesEveryRecord) {
    const auto& c = GetParam();
    TempDir dir;
    const fs::path folder = dir.path() / c.folder;
    fs::create_directories(folder);
    fs::copy_file(testData(c.data), folder / c.name);
    auto db = Engine::instance().openDatabase(dir.copyWorkDb());
    const std::string database = c.fileType ? (folder / c.name).string() : folder.string();
    auto def = db.createTableDef("Table1", std::string(c.prefix) + ";DATABASE=" + database, c.name);
    db.tableDefs().append(def);
    EXPECT_EQ(db.openRecordset("Table1").recordCount(), c.records);
    db.close();
}

INSTANTIATE_TEST_SUITE_P(Paths, SemicolonPathTest,
                         ::testing::Values(PathCase{"FolderWithSemicolon", "dBase IV", "a;b",
                                                    "dbf/people.dbf", "people.dbf", false, 2},
                                           PathCase{"FileWithSemicolon", "Text", "plain",
                                                    "csv/sample.csv", "x;y.csv", false, 3},
                                           PathCase{"WorkbookInFolderWithSemicolons", "Excel 8.0",
                                                    "one;two;three", "xls/sample97.xls",
                                                    "book;1.xls", true, 3}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
