// Every public dBase and FoxPro table at hand, linked as the engine links it, must give
// the fields, the number of records and every value Python's dbfread (python3-dbf where
// dbfread cannot) found in it once; see tests/data/dbf-public/DIFFERENCES.md for where
// the bytes prove that reading wrong. The tables neither reader reads are each read or
// refused here as their bytes say.
#include "reference_table.h"
#include "reference_values.h"
#include "table_collector.h"

#include "drivers/readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

const fs::path kData = VARNOKE_TEST_DATA;
const fs::path kCorpus = VARNOKE_DBF_PUBLIC;

// A name an earlier field already has (ASCII letters without regard to case) is linked
// as F and the field's number, as the engine names every field it must tell apart.
std::string linkedName(const std::vector<std::string>& names, std::size_t i) {
    const auto key = [](std::string name) {
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    };
    for (std::size_t k = 0; k < i; ++k)
        if (key(names[k]) == key(names[i])) return "F" + std::to_string(i + 1);
    return names[i];
}

std::vector<std::string> tables() {
    std::vector<std::string> found;
    for (const auto& csv : fs::directory_iterator(kData / "dbf-public" / "expected"))
        found.push_back(csv.path().stem().string());
    std::sort(found.begin(), found.end());
    return found;
}

Table linkTable(const std::string& file) {
    return readLinked("dBase IV;DATABASE=" + kCorpus.string(), file);
}

class DbfCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(DbfCorpus, LinksWithTheReferenceFieldsAndValues) {
    const auto& file = GetParam();
    const auto expected =
        readReferenceTable((kData / "dbf-public" / "expected" / (file + ".csv")).string());
    const bool noFields = expected.types.size() == 1 && expected.types[0].empty();
    Table table;
    try {
        table = linkTable(file);
    } catch (const EngineError& e) {
        // A table of no fields has nothing to link; the README says it is not read.
        if (noFields && std::string(e.what()).find("declares no fields") != std::string::npos)
            return;
        FAIL() << "a sound table was refused: " << e.what();
    }
    ASSERT_FALSE(noFields) << "a table of no fields was linked";

    ASSERT_EQ(table.fields.size(), expected.names.size());
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const auto form =
            std::find_if(kFieldForms.begin(), kFieldForms.end(),
                         [&](const FieldForm& f) { return f.type == expected.types[i]; });
        ASSERT_NE(form, kFieldForms.end()) << "no field form for the type " << expected.types[i];
        EXPECT_EQ(table.fields[i].name, linkedName(expected.names, i)) << "field " << i;
        EXPECT_EQ(table.fields[i].type, form->code) << expected.names[i];
        EXPECT_EQ(table.fields[i].size, form->size.value_or(std::stoi(expected.sizes[i])))
            << expected.names[i];
    }

    ASSERT_EQ(table.rows.size(), expected.rows.size());
    int wrong = 0;
    for (std::size_t r = 0; r < table.rows.size() && wrong < 10; ++r)
        for (std::size_t c = 0; c < expected.names.size() && wrong < 10; ++c)
            if (const auto why =
                    mismatch(expected.rows[r].at(c), expected.types[c], table.rows[r][c], 0)) {
                ++wrong;
                ADD_FAILURE() << "record " << r << ", field " << expected.names[c] << ": " << *why;
            }
}

INSTANTIATE_TEST_SUITE_P(ReferenceRead, DbfCorpus, ::testing::ValuesIn(tables()),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](unsigned char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// The tables neither reference reads (unread.txt), with what their bytes hold: a kind
// the README says is not read, a memo file the source left out, or damage.
struct Unread {
    const char* file;
    int error;               // 0: the table links
    const char* words;       // in the error's text, or none
    std::size_t records = 0; // records linked when it links
};

void PrintTo(const Unread& u, std::ostream* out) {
    *out << u.file;
}

constexpr int kNotRead = 3274;
constexpr int kMissing = 3024;
const Unread kUnread[] = {
    {"dbfdr_FolderRoot.dbf", 0, nullptr, 9},
    {"dbfread_invalid_value.dbf", 0, nullptr, 2},
    {"dbfread_no_memofile.dbf", kMissing, "memo file"},
    {"infused_dbase_02.dbf", kNotRead, "dBase II"},
    {"infused_dbase_83_missing_memo.dbf", kMissing, "memo file"},
    {"infused_dbase_8c.dbf", kNotRead, "dBase 7"},
    {"javadbf_books.dbf", kMissing, "memo file"},
    {"javadbf_bug102.dbf", kNotRead, "dBase 7"},
    {"javadbf_continents-null-header-record-terminator.dbf", 0, nullptr, 7},
    {"javadbf_continents_no_header_record_terminator.dbf", 0, nullptr, 7},
    {"javadbf_dbase_7.dbf", kNotRead, "dBase 7"},
    {"javadbf_inventory.dbf", kNotRead, "dBase 7"},
    {"javadbf_myfileafter-corrupted.dbf", kNotRead, "header length"},
    {"dbasers_stations_with_deleted.dbf", kNotRead, "record length"},
    {"javadbf_numbers2.dbf", 0, nullptr, 8},
    {"javadbf_student.dbf", kMissing, "memo file"},
    {"javadbf_test_delete.dbf", kNotRead, "dBase 7"},
    {"sheetjs_d11.dbf", kNotRead, "dBase 7"},
    {"sheetjs_vfp3.dbf", kMissing, "memo file"},
    {"xbase_1.dbf", kMissing, "memo file"},
    {"xbase_dBaseVII.dbf", kNotRead, "dBase 7"},
    {"xbase_dBaseVII_double.dbf", kNotRead, "dBase 7"},
    {"xbase_dBaseVII_int.dbf", kNotRead, "dBase 7"},
    {"xbase_dBaseVII_ts.dbf", kNotRead, "dBase 7"},
};

class DbfCorpusUnread : public ::testing::TestWithParam<Unread> {};

TEST_P(DbfCorpusUnread, IsReadOrRefusedAsItsBytesSay) {
    const auto& u = GetParam();
    try {
        const Table table = linkTable(u.file);
        EXPECT_EQ(u.error, 0) << "linked " << table.rows.size() << " records";
        EXPECT_EQ(table.rows.size(), u.records);
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), u.error) << e.what();
        if (u.words) {
            EXPECT_NE(std::string(e.what()).find(u.words), std::string::npos) << e.what();
        }
        EXPECT_NE(std::string(e.what()).find(u.file), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(BytesRead, DbfCorpusUnread, ::testing::ValuesIn(kUnread),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](unsigned char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// Every table of the corpus is in one of the two tables above.
TEST(DbfCorpusFiles, EveryTableHasItsExpectation) {
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        std::string name = entry.path().filename().string();
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext != ".dbf") continue;
        const bool unread = std::any_of(std::begin(kUnread), std::end(kUnread),
                                        [&](const Unread& u) { return name == u.file; });
        EXPECT_TRUE(unread || fs::exists(kData / "dbf-public" / "expected" / (name + ".csv")))
            << name;
    }
}

} // namespace
} // namespace varnoke::test
