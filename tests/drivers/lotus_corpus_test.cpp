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
constexpr std::array<const char*, 5> kFolders{"lotus", "lotus-public", "lotus-made", "xls-encrypted",
                                              "xls-made"};

struct FieldForm {
    std::string_view type; // as the expected table names it
    int code;
    int size;
};
constexpr std::array kFieldForms{
    FieldForm{"double", 7, 8}, FieldForm{"date", 8, 8},    FieldForm{"text", 10, 255},
    FieldForm{"memo", 12, 0},  FieldForm{"boolean", 1, 1},
};

// --- Where the reference's presentation and ours meet, and only here. ---
// The reference writes a number in its shortest round-trip form and a date as the
// engine's day serial (its script turned 1-2-3's count, which holds a 29 February 1900,
// into the engine's); numbers and dates in a text field are already the engine's text
// of them. A number may differ from the reference in its last bit, where a packed or
// 80-bit form was rounded to a double another way; a date by less than a millisecond.
std::optional<std::string> mismatch(const std::optional<std::string>& want, std::string_view type,
                                    const Value& got) {
    const auto shown = [&]() -> std::string {
        if (got.isNull()) return "Null";
        if (got.isText()) return "text \"" + got.asText() + "\"";
        if (got.isDate()) return "date " + std::to_string(got.asDateSerial());
        if (got.kind() == Value::Kind::Number) return "number " + std::to_string(got.asNumber());
        return "a value of kind " + std::to_string(static_cast<int>(got.kind()));
    };
    const auto wrong = [&] {
        return std::optional<std::string>("expected " + want.value_or("Null") + ", read " +
                                          shown());
    };
    if (!want) return got.isNull() ? std::nullopt : wrong();
    if (type == "text" || type == "memo")
        return got.isText() && got.asText() == *want ? std::nullopt : wrong();
    const double expected = std::strtod(want->c_str(), nullptr);
    if (type == "date") {
        if (!got.isDate()) return wrong();
        return std::fabs(got.asDateSerial() - expected) <= 1.0 / 86400000 ? std::nullopt : wrong();
    }
    if (type == "boolean")
        return got.kind() == Value::Kind::Boolean && got.asBoolean() == (*want == "true")
                   ? std::nullopt
                   : wrong();
    if (got.kind() != Value::Kind::Number) return wrong();
    const double read = got.asNumber();
    return read == expected || std::fabs(read - expected) <=
                                   1e-15 * std::max(std::fabs(read), std::fabs(expected))
               ? std::nullopt
               : wrong();
}

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

    ASSERT_EQ(table.fields.size(), expected.names.size());
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const auto form =
            std::find_if(kFieldForms.begin(), kFieldForms.end(),
                         [&](const FieldForm& f) { return f.type == expected.types[i]; });
        ASSERT_NE(form, kFieldForms.end()) << "no field form for the type " << expected.types[i];
        EXPECT_EQ(table.fields[i].name, expected.names[i]) << "field " << i;
        EXPECT_EQ(table.fields[i].type, form->code) << expected.names[i];
        EXPECT_EQ(table.fields[i].size, form->size) << expected.names[i];
    }

    ASSERT_EQ(table.rows.size(), expected.rows.size());
    int wrong = 0;
    for (std::size_t r = 0; r < table.rows.size() && wrong < 10; ++r)
        for (std::size_t c = 0; c < expected.names.size() && wrong < 10; ++c)
            if (const auto why =
                    mismatch(expected.rows[r].at(c), expected.types[c], table.rows[r][c])) {
                ++wrong;
                ADD_FAILURE() << "record " << r << ", field " << expected.names[c] << ": " << *why;
            }
}

INSTANTIATE_TEST_SUITE_P(ReferenceRead, LotusCorpus, ::testing::ValuesIn(lotusCorpusSheets(kFolders)),
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
