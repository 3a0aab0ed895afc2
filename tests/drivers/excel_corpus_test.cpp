// Every sound workbook at hand, public or written from the record layout, linked sheet by
// sheet as the engine links it, must give the fields, the number of records and every
// value python3-xlrd found in it once (mended where the bytes prove xlrd wrong: see
// tests/data/xls-public/DIFFERENCES.md). A sheet refused, a value lost or a text decoded
// in the wrong code page fails here with the workbook, the sheet and the cell.
#include "reference_table.h"
#include "reference_values.h"
#include "table_collector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

const fs::path kData = VARNOKE_TEST_DATA;
const fs::path kUnpacked = VARNOKE_XLS_PUBLIC;
// The folders whose workbooks have expected tables, each in its expected/ folder.
constexpr std::array kFolders{"xls-public", "xls-made"};

// Public workbooks damaged in a way the reference passes over, refused for it; each is
// named with its bytes in DIFFERENCES.md.
constexpr std::array kDamaged{
    "poi_poi-fuzz.xls", "poi_clusterfuzz-testcase-minimized-POIHSSFFuzzer-4977868385681408.xls"};

struct SheetCase {
    fs::path workbook;
    std::string sheet;
    fs::path csv;
};

// Where a workbook of the corpus lies: written ones beside their folder, public ones
// unpacked from their packs.
fs::path workbookPath(const std::string& folder, const std::string& name) {
    if (fs::exists(kData / folder / name)) return kData / folder / name;
    if (fs::exists(kUnpacked))
        for (const auto& pack : fs::directory_iterator(kUnpacked))
            if (fs::exists(pack.path() / name)) return pack.path() / name;
    return kData / folder / name; // missing: the case fails and says so
}

std::vector<std::string> lines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::vector<SheetCase> sheetCases() {
    std::vector<SheetCase> cases;
    for (const char* folder : kFolders) {
        std::vector<fs::path> books;
        for (const auto& entry : fs::directory_iterator(kData / folder / "expected"))
            if (entry.is_directory()) books.push_back(entry.path());
        std::sort(books.begin(), books.end());
        for (const auto& book : books) {
            const auto names = lines(book / "tables.txt");
            for (std::size_t i = 0; i < names.size(); ++i) {
                const auto csv = book / (std::to_string(i + 1) + ".csv");
                // An empty sheet has no table; EmptySheetsSayTheyHoldNoData covers it.
                if (fs::exists(csv))
                    cases.push_back(
                        {workbookPath(folder, book.filename().string()), names[i], csv});
            }
        }
    }
    return cases;
}

// One case a source, so that a run starts few processes; each sheet's failures name it.
class ExcelCorpus : public ::testing::TestWithParam<std::string> {};

std::string sourceOf(const SheetCase& c) {
    const auto name = c.workbook.filename().string();
    return c.workbook.parent_path().filename() == "xls-made" ? "made"
                                                             : name.substr(0, name.find('_'));
}

TEST_P(ExcelCorpus, LinksWithTheReferenceFieldsAndValues) {
    int sheets = 0;
    for (const auto& c : sheetCases()) {
        if (sourceOf(c) != GetParam()) continue;
        ++sheets;
        SCOPED_TRACE(c.workbook.filename().string() + " / " + c.sheet);
        ASSERT_TRUE(fs::exists(c.workbook)) << c.workbook;
        const auto expected = readReferenceTable(c.csv.string());
        Table table;
        try {
            table = readLinked("Excel 8.0;DATABASE=" + c.workbook.string(), c.sheet);
        } catch (const EngineError& e) {
            ADD_FAILURE() << "a sound sheet was refused: " << e.what();
            continue;
        }
        expectReferenceTable(table, expected);
    }
    EXPECT_GT(sheets, 0);
}

INSTANTIATE_TEST_SUITE_P(ReferenceRead, ExcelCorpus,
                         ::testing::Values("poi", "sheetjs", "xlrd", "made"),
                         [](const auto& info) { return info.param; });

// A sheet the reference found empty is refused as holding no data, never linked short
// or as another sheet.
TEST(ExcelCorpusFiles, EmptySheetsSayTheyHoldNoData) {
    int empty = 0;
    for (const char* folder : kFolders)
        for (const auto& book : fs::directory_iterator(kData / folder / "expected")) {
            if (!book.is_directory()) continue;
            const auto names = lines(book.path() / "tables.txt");
            const auto path = workbookPath(folder, book.path().filename().string());
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (fs::exists(book.path() / (std::to_string(i + 1) + ".csv"))) continue;
                ++empty;
                try {
                    readLinked("Excel 8.0;DATABASE=" + path.string(), names[i]);
                    ADD_FAILURE() << path.filename() << " / " << names[i] << " was linked";
                } catch (const EngineError& e) {
                    EXPECT_NE(std::string(e.what()).find("holds no data"), std::string::npos)
                        << path.filename() << " / " << names[i] << ": " << e.what();
                }
            }
        }
    EXPECT_GT(empty, 0);
}

// Every packed workbook has its expected tables, and every expected folder its workbook:
// a pack that failed to unpack, or a file added without its values, fails here.
TEST(ExcelCorpusFiles, EveryWorkbookHasItsExpectedTables) {
    ASSERT_TRUE(fs::exists(kUnpacked)) << kUnpacked;
    std::size_t books = 0;
    for (const auto& pack : fs::directory_iterator(kUnpacked))
        for (const auto& book : fs::directory_iterator(pack.path())) {
            ++books;
            if (std::find(kDamaged.begin(), kDamaged.end(), book.path().filename()) !=
                kDamaged.end())
                continue;
            EXPECT_TRUE(fs::exists(kData / "xls-public" / "expected" / book.path().filename() /
                                   "tables.txt"))
                << book.path().filename();
        }
    for (const auto& folder : fs::directory_iterator(kData / "xls-public" / "expected")) {
        if (!folder.is_directory()) continue;
        EXPECT_TRUE(fs::exists(workbookPath("xls-public", folder.path().filename().string())))
            << "expected values of a missing workbook: " << folder.path().filename();
    }
    EXPECT_GT(books, 100u);
}

TEST(ExcelCorpusFiles, DamagedPublicWorkbooksAreRefusedNamingTheFile) {
    for (const char* name : kDamaged) {
        const auto path = workbookPath("xls-public", name);
        ASSERT_TRUE(fs::exists(path)) << name;
        try {
            readLinked("Excel 8.0;DATABASE=" + path.string(), "");
            ADD_FAILURE() << name << " was linked";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), 3274) << name;
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace varnoke::test
