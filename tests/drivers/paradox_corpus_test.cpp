// Every public Paradox table at hand, linked as the engine links it, must give the
// fields, the number of records and every value that pxlib read in it once
// (tests/data/paradox-public/expected, written by px_expected.c and mended where
// DIFFERENCES.md shows pxlib wrong by the bytes). A table refused, a record lost or a
// value changed fails here with the table, the record and the field.
#include "reference_table.h"
#include "table_collector.h"

#include <gtest/gtest.h>

#include <algorithm>
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

const fs::path kFolder = fs::path(VARNOKE_TEST_DATA) / "paradox-public";

struct FieldForm {
    std::string_view type; // as pxlib names it
    int code;
    int size; // -1: the header's width, at most 255
};
constexpr FieldForm kFieldForms[] = {
    {"alpha", 10, -1},  {"date", 8, 8},    {"time", 8, 8},     {"timestamp", 8, 8}, {"short", 3, 2},
    {"long", 4, 4},     {"autoinc", 4, 4}, {"money", 5, 8},    {"number", 7, 8},    {"bcd", 7, 8},
    {"logical", 1, 1},  {"memo", 12, 0},   {"fmtmemo", 11, 0}, {"blob", 11, 0},     {"ole", 11, 0},
    {"graphic", 11, 0}, {"bytes", 11, 0},
};

std::string hexOf(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

// A BCD text as pxlib writes it ("40.000000", "-0.50") in the shortest form.
std::string plainDecimal(std::string text) {
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

std::string shown(const Value& got) {
    if (got.isNull()) return "Null";
    if (got.isText()) return "text \"" + got.asText().substr(0, 80) + "\"";
    if (got.isDate()) return "date " + std::to_string(got.asDateSerial());
    if (got.kind() == Value::Kind::Number) return "number " + std::to_string(got.asNumber());
    if (got.kind() == Value::Kind::Currency)
        return "currency " + std::to_string(got.asCurrency().toDouble());
    if (got.kind() == Value::Kind::Boolean) return got.asBoolean() ? "true" : "false";
    return "a value of kind " + std::to_string(static_cast<int>(got.kind()));
}

bool matches(const std::optional<std::string>& want, std::string_view type, const Value& got) {
    if (!want) return got.isNull();
    if (type == "alpha" || type == "memo") return got.isText() && got.asText() == *want;
    if (type == "blob" || type == "ole" || type == "graphic" || type == "bytes" ||
        type == "fmtmemo")
        return got.isText() && hexOf(got.asText()) == *want;
    if (type == "logical")
        return got.kind() == Value::Kind::Boolean && got.asBoolean() == (*want == "true");
    if (type == "bcd" && got.isText()) return got.asText() == plainDecimal(*want);
    const double expected = std::strtod(want->c_str(), nullptr);
    if (type == "date" || type == "time" || type == "timestamp")
        return got.isDate() && std::fabs(got.asDateSerial() - expected) <= 1.0 / 86400000;
    if (type == "money")
        return got.kind() == Value::Kind::Currency &&
               std::fabs(got.asCurrency().toDouble() - expected) < 0.00005;
    return got.kind() == Value::Kind::Number && got.asNumber() == expected;
}

std::vector<std::string> tables() {
    std::vector<std::string> found;
    for (const auto& csv : fs::directory_iterator(kFolder / "expected"))
        found.push_back(csv.path().stem().string());
    std::sort(found.begin(), found.end());
    return found;
}

std::string caseName(const std::string& table) {
    std::string name = table;
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

class ParadoxCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(ParadoxCorpus, LinksWithTheReferenceFieldsAndValues) {
    const auto& file = GetParam();
    const auto expected = readReferenceTable((kFolder / "expected" / (file + ".csv")).string());
    Table table;
    try {
        table = readLinked("Paradox 5.X;DATABASE=" + kFolder.string(), file);
    } catch (const EngineError& e) {
        FAIL() << "a sound table was refused: " << e.what();
    }

    ASSERT_EQ(table.fields.size(), expected.names.size());
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const auto* form =
            std::find_if(std::begin(kFieldForms), std::end(kFieldForms),
                         [&](const FieldForm& f) { return f.type == expected.types[i]; });
        ASSERT_NE(form, std::end(kFieldForms)) << "no field form for " << expected.types[i];
        EXPECT_EQ(table.fields[i].name, expected.names[i]) << "field " << i;
        const int width = std::stoi(expected.sizes[i]);
        if (form->type == "bcd" && table.fields[i].type == 10) {
            // A BCD field some value of which a double cannot hold is text.
            EXPECT_EQ(table.fields[i].size, 34) << expected.names[i];
            continue;
        }
        EXPECT_EQ(table.fields[i].type, form->code) << expected.names[i];
        EXPECT_EQ(table.fields[i].size, form->size < 0 ? std::min(width, 255) : form->size)
            << expected.names[i];
    }

    ASSERT_EQ(table.rows.size(), expected.rows.size());
    int wrong = 0;
    for (std::size_t r = 0; r < table.rows.size() && wrong < 10; ++r)
        for (std::size_t c = 0; c < expected.names.size() && wrong < 10; ++c)
            if (!matches(expected.rows[r].at(c), expected.types[c], table.rows[r][c])) {
                ++wrong;
                ADD_FAILURE() << "record " << r << ", field " << expected.names[c] << ": expected "
                              << expected.rows[r][c].value_or("Null").substr(0, 80) << ", read "
                              << shown(table.rows[r][c]);
            }
}

INSTANTIATE_TEST_SUITE_P(ReferenceRead, ParadoxCorpus, ::testing::ValuesIn(tables()),
                         [](const auto& info) { return caseName(info.param); });

// The tables of the corpus that are not read, each for a kind the README names, and
// the error that says so; every other table has its expected table.
struct Refusal {
    const char* table;
    int error;
};
constexpr Refusal kRefused[] = {
    {"leonhad_encrypt_encrypted.db", 3051},
    {"leonhad_encrypt_encrypted35.db", 3051},
    {"leonhad_encrypt_encryptedmemo.db", 3051},
    // Its blob file is not in the repository it came from.
    {"teverett_MEMBRE.DB", 3024},
};

TEST(ParadoxCorpusFiles, EveryTableIsReadOrRefusedForAKindNotRead) {
    for (const auto& entry : fs::directory_iterator(kFolder)) {
        const auto name = entry.path().filename().string();
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext != ".db") continue;
        const auto* refusal = std::find_if(std::begin(kRefused), std::end(kRefused),
                                           [&](const Refusal& r) { return name == r.table; });
        if (refusal == std::end(kRefused)) {
            EXPECT_TRUE(fs::exists(kFolder / "expected" / (name + ".csv"))) << name;
            continue;
        }
        EXPECT_FALSE(fs::exists(kFolder / "expected" / (name + ".csv"))) << name;
        try {
            readLinked("Paradox 5.X;DATABASE=" + kFolder.string(), name);
            ADD_FAILURE() << name << " was read";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), refusal->error) << name << ": " << e.what();
        }
    }
}

} // namespace
} // namespace varnoke::test
