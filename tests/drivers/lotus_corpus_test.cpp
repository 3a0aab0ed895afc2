// Every sound 1-2-3 sheet at hand, public or written from the record layouts, linked as
// the engine links it, must give the fields, the number of records and every value that
// gnumeric's own Lotus reader found in it once (by the record layout where gnumeric
// cannot read the file, and mended where the bytes prove it wrong: see
// tests/data/lotus-public/DIFFERENCES.md). A sheet refused, a value lost or a type
// changed by its display format fails here with the sheet and the cell. The workbooks
// Excel encrypted with its built-in password, and one whose table begins at C3, are
// read the same way, against gnumeric's reading of them.
#include "lotus_corpus_sheets.h"
#include "reference_table.h"
#include "reference_values.h"
#include "table_collector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

const fs::path kData = kLotusData;
// The 1-2-3 folders, and the workbooks read against the same reference: those Excel
// encrypted with its built-in password and one whose table begins at C3.
constexpr std::array<const char*, 5> kFolders{"lotus", "lotus-public", "lotus-made",
                                              "xls-encrypted", "xls-made"};

// --- The table of sheets: one case a sheet the reference read. ---

using Sheet = LotusCorpusSheet;

// The connect prefix a user would choose for the file's kind.
std::string connectFor(const fs::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const char* kind = ext == ".wk1" || ext == ".wks" ? "Lotus WK1"
                       : ext == ".wk3"                ? "Lotus WK3"
                       : ext == ".xls"                ? "Excel 8.0"
                                                      : "Lotus WK4";
    return std::string(kind) + ";DATABASE=" + file.string();
}

class LotusCorpus : public ::testing::TestWithParam<Sheet> {};

TEST_P(LotusCorpus, LinksWithTheReferenceFieldsAndValues) {
    const auto& sheet = GetParam();
    const auto expected =
        readReferenceTable((kData / sheet.folder / "expected" / (sheet.file + ".csv")).string());
    Table table;
    try {
        table = readLinked(connectFor(kData / sheet.folder / sheet.file), sheet.file);
    } catch (const EngineError& e) {
        FAIL() << "a sound sheet was refused: " << e.what();
    }

    expectReferenceTable(table, expected);
}

INSTANTIATE_TEST_SUITE_P(ReferenceRead, LotusCorpus,
                         ::testing::ValuesIn(lotusCorpusSheets(kFolders)),
                         [](const auto& info) { return lotusCaseName(info.param); });

// Every sheet in these folders has its expected table; only column_65535.wk1, damaged
// on purpose, has none.
TEST(LotusCorpusFiles, EverySheetHasItsExpectedTable) {
    for (const char* folder : kFolders)
        for (const auto& entry : fs::directory_iterator(kData / folder)) {
            const auto name = entry.path().filename().string();
            if (!entry.is_regular_file() || name == "column_65535.wk1") continue;
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (ext != ".wk1" && ext != ".wks" && ext != ".wk3" && ext != ".wk4" && ext != ".123")
                continue;
            EXPECT_TRUE(fs::exists(kData / folder / "expected" / (name + ".csv")))
                << folder << "/" << name;
        }
}

} // namespace
} // namespace varnoke::test
