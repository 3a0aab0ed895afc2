// Every table of the sound Jet and ACE files at hand (those of tests/data/mdb and the
// public corpora packed in tests/data/mdb/public), linked as the engine links it, must
// give the fields, the number of records and every value another reader (mdb-reader,
// which shares no code with libmdb) found in it once. A check that refuses a sound file,
// or a value read wrong, fails here with the table and the cell. Where that reader is
// wrong, the file's bytes say so in differences.csv, the one place its values are mended.
#include "reference_table.h"
#include "table_collector.h"
#include "value/convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

const fs::path kMdb = fs::path(VARNOKE_TEST_DATA) / "mdb";
const fs::path kExpected = kMdb / "expected";
// The packed corpora, unpacked by the build: one folder a pack.
const fs::path kPublic = VARNOKE_JET_PUBLIC;

// --- Where the two readers' presentations meet, and only here. ---
// The reference writes numbers as JavaScript does, dates as ISO texts of the day serial
// taken as days since 1970 less 25569 (rounded to the millisecond, as it rounds), yes/no
// as true/false, replication IDs as lower-case hex without braces, binary and OLE values
// as hex. Its field types map to ours as the reader declares them: a yes/no field's
// size is 1, a replication ID is a text of 38, a text's size is its characters.

struct FieldForm {
    const char* type; // the reference's name
    int code;         // ours
    int size;         // ours; 0 where it is the reference's size
};
constexpr std::array kFieldForms{
    FieldForm{"boolean", 1, 1}, FieldForm{"byte", 2, 0},     FieldForm{"integer", 3, 0},
    FieldForm{"long", 4, 0},    FieldForm{"currency", 5, 0}, FieldForm{"float", 6, 0},
    FieldForm{"double", 7, 0},  FieldForm{"datetime", 8, 0}, FieldForm{"text", 10, 0},
    FieldForm{"repid", 10, 38}, FieldForm{"binary", 11, 0},  FieldForm{"ole", 11, 0},
    FieldForm{"memo", 12, 0},   FieldForm{"numeric", 7, 8},
};

bool isNumberType(const std::string& type) {
    return type == "byte" || type == "integer" || type == "long" || type == "float" ||
           type == "double";
}

std::string shortest(double d) {
    std::array<char, 32> buf{};
    const auto end = std::to_chars(buf.data(), buf.data() + buf.size(), d).ptr;
    return std::string(buf.data(), end);
}

std::string hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    return out;
}

std::string isoOfSerial(double serial) {
    using namespace std::chrono;
    const double ms = std::floor((serial - 25569) * 86400 * 1000 + 0.5);
    const sys_time<milliseconds> at{milliseconds{static_cast<long long>(ms)}};
    const auto day = floor<days>(at);
    const year_month_day ymd{day};
    const hh_mm_ss time{at - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()),
                  int(time.subseconds().count()));
    return text;
}

std::string currencyText(Currency c) {
    const std::int64_t whole = c.tenThousandths / 10000, part = c.tenThousandths % 10000;
    char text[40];
    std::snprintf(text, sizeof text, "%s%lld.%04lld", c.tenThousandths < 0 ? "-" : "",
                  static_cast<long long>(std::llabs(whole)),
                  static_cast<long long>(std::llabs(part)));
    return text;
}

// A reference cell as compared: numbers by their value, not their spelling. A byte its
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D of 1252) reads U+FFFD in both.
std::optional<std::string> referenceForm(const std::optional<std::string>& cell,
                                         const std::string& type) {
    if (!cell) return cell;
    if (isNumberType(type)) return shortest(std::strtod(cell->c_str(), nullptr));
    return cell;
}

// Our value in the reference's form; a kind the type does not hold shows as such.
std::optional<std::string> oursInReferenceForm(const Value& v, const std::string& type) {
    using K = Value::Kind;
    if (v.isNull()) return std::nullopt;
    if (type == "boolean" && v.kind() == K::Boolean) return v.asBoolean() ? "true" : "false";
    if (isNumberType(type) && v.kind() == K::Number) return shortest(v.asNumber());
    if (type == "currency" && v.kind() == K::Currency) return currencyText(v.asCurrency());
    if (type == "datetime" && v.isDate()) return isoOfSerial(v.asDateSerial());
    if ((type == "text" || type == "memo") && v.isText()) return v.asText();
    if ((type == "binary" || type == "ole") && v.isText()) return hex(v.asText());
    if (type == "repid" && v.isText()) {
        std::string id = v.asText();
        if (id.size() == 38 && id.front() == '{' && id.back() == '}') id = id.substr(1, 36);
        std::transform(id.begin(), id.end(), id.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return id;
    }
    return "<a value of kind " + std::to_string(static_cast<int>(v.kind())) + ">";
}

// --- Where the reference is wrong, by the file's bytes: differences.csv. ---
// One line a cell: file, table, record (or "size" for the field's size), field, the
// reference's value, the right one, and why (read by the test only to be shown). A line whose
// reference value is no longer the one written fails, so the table never outlives what it mends.

struct Difference {
    std::string file, table, record, field;
    std::optional<std::string> reference, right;
    std::string why;
};

std::vector<Difference> differences() {
    std::vector<Difference> out;
    std::ifstream in(kExpected / "differences.csv", std::ios::binary);
    const auto records = parseReferenceCsv({std::istreambuf_iterator<char>(in), {}});
    for (std::size_t i = 1; i < records.size(); ++i) {
        const auto& r = records[i];
        if (r.size() != 7) throw std::runtime_error("differences.csv: a line of the wrong width");
        out.push_back({r[0].value_or(""), r[1].value_or(""), r[2].value_or(""), r[3].value_or(""),
                       r[4], r[5], r[6].value_or("")});
    }
    return out;
}

// --- The table of sound tables: one case a table the reference wrote. ---

struct SoundTable {
    fs::path database;
    std::string table; // as the reference names it
    fs::path expected;
};

void PrintTo(const SoundTable& t, std::ostream* out) {
    *out << t.database.filename().string() << " " << t.table;
}

// The name the reference's script gives a table's file: every byte outside
// [A-Za-z0-9 _-] as %XX.
std::string expectedFileName(const std::string& table) {
    std::string out;
    for (const unsigned char c : table) {
        if (std::isalnum(c) || c == ' ' || c == '_' || c == '-') {
            out += static_cast<char>(c);
        } else {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", c);
            out += code;
        }
    }
    return out + ".csv";
}

// Every sound database here: those of tests/data/mdb and of each unpacked pack.
std::vector<fs::path> soundDatabases() {
    std::vector<fs::path> out;
    const auto add = [&](const fs::path& folder) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const auto ext = entry.path().extension();
            const auto name = entry.path().filename().string();
            if ((ext == ".mdb" || ext == ".accdb") && !name.starts_with("catalog_"))
                out.push_back(entry.path());
        }
    };
    add(kMdb);
    if (fs::is_directory(kPublic))
        for (const auto& pack : fs::directory_iterator(kPublic))
            if (pack.is_directory()) add(pack.path());
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.filename() < b.filename(); });
    return out;
}

std::vector<std::string> expectedTableNames(const fs::path& folder) {
    std::ifstream in(folder / "tables.txt", std::ios::binary);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);)
        names.push_back(line);
    return names;
}

std::vector<SoundTable> soundTables() {
    std::vector<SoundTable> tables;
    for (const auto& database : soundDatabases()) {
        const auto folder = kExpected / database.stem();
        for (const auto& name : expectedTableNames(folder)) {
            const auto csv = folder / expectedFileName(name);
            // A table the reference could not read has no file: nothing to compare.
            if (fs::exists(csv)) tables.push_back({database, name, csv});
        }
    }
    return tables;
}

// A decimal column is a number unless a value of it is a whole number a double cannot
// hold exactly: then it is text, so that two long keys never read as one number.
FieldForm formOf(const ReferenceTable& expected, std::size_t column) {
    const auto& type = expected.types[column];
    if (type == "numeric")
        for (const auto& row : expected.rows)
            if (row.at(column) && !doubleHoldsExactly(std::strtod(row[column]->c_str(), nullptr)))
                return {"numeric", 10, 30};
    const auto form = std::find_if(kFieldForms.begin(), kFieldForms.end(),
                                   [&](const FieldForm& f) { return type == f.type; });
    if (form == kFieldForms.end()) throw std::runtime_error("no field form for the type " + type);
    return *form;
}

// The reference shows the hidden column in which an append-only memo keeps its earlier
// versions (named VersionHistory_ and a GUID), which the link leaves out. Any other of
// its complex columns is an attachment or a list of values, which refuses the table.
bool holdsAttachmentsOrLists(ReferenceTable& expected) {
    bool refused = false;
    for (std::size_t c = expected.types.size(); c-- > 0;) {
        if (expected.types[c] != "complex") continue;
        if (!expected.names[c].starts_with("VersionHistory_")) {
            refused = true;
            continue;
        }
        for (auto* list : {&expected.names, &expected.types, &expected.sizes})
            list->erase(list->begin() + static_cast<std::ptrdiff_t>(c));
        for (auto& row : expected.rows)
            row.erase(row.begin() + static_cast<std::ptrdiff_t>(c));
    }
    return refused;
}

class JetSoundFile : public ::testing::TestWithParam<SoundTable> {};

TEST_P(JetSoundFile, LinksWithTheReferenceFieldsAndValues) {
    const auto& sound = GetParam();
    auto expected = readReferenceTable(sound.expected.string());
    const auto file = sound.database.stem().string();
    for (const auto& d : differences()) {
        if (d.file != file || d.table != sound.table) continue;
        const auto column = std::find(expected.names.begin(), expected.names.end(), d.field);
        ASSERT_NE(column, expected.names.end()) << "differences.csv: no field " << d.field;
        const auto c = static_cast<std::size_t>(column - expected.names.begin());
        std::optional<std::string>* cell = nullptr;
        std::optional<std::string> size = expected.sizes[c];
        if (d.record == "size") {
            cell = &size;
        } else {
            const auto r = std::stoul(d.record);
            ASSERT_LT(r, expected.rows.size()) << "differences.csv: no record " << d.record;
            cell = &expected.rows[r].at(c);
        }
        ASSERT_EQ(*cell, d.reference) << "differences.csv: the reference no longer reads so";
        *cell = d.right;
        expected.sizes[c] = size.value_or("");
    }
    if (holdsAttachmentsOrLists(expected)) {
        try {
            readLinked("JetTable;DATABASE=" + sound.database.string(), sound.table);
            FAIL() << "a table with attachments or lists of values was linked";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), 3274) << e.what();
            EXPECT_NE(std::string(e.what()).find("holds attachments or lists of values"),
                      std::string::npos)
                << e.what();
        }
        return;
    }
    Table table;
    try {
        table = readLinked("JetTable;DATABASE=" + sound.database.string(), sound.table);
    } catch (const EngineError& e) {
        FAIL() << "a sound table was refused: " << e.what();
    }

    std::vector<FieldForm> forms;
    ASSERT_EQ(table.fields.size(), expected.names.size());
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        forms.push_back(formOf(expected, i));
        const auto& form = forms.back();
        const int size = form.size != 0 ? form.size : std::stoi(expected.sizes[i]);
        EXPECT_EQ(table.fields[i].name, expected.names[i]);
        EXPECT_EQ(table.fields[i].type, form.code) << expected.names[i];
        EXPECT_EQ(table.fields[i].size, size) << expected.names[i];
    }

    ASSERT_EQ(table.rows.size(), expected.rows.size());
    int wrong = 0;
    for (std::size_t r = 0; r < table.rows.size() && wrong < 10; ++r)
        for (std::size_t c = 0; c < expected.names.size(); ++c) {
            // A decimal read as a number compares as a number, one read as text as text.
            const std::string type = expected.types[c] != "numeric" ? expected.types[c]
                                     : forms[c].code == 7           ? "double"
                                                                    : "text";
            const auto want = referenceForm(expected.rows[r].at(c), type);
            const auto got = oursInReferenceForm(table.rows[r][c], type);
            if (want == got) continue;
            ++wrong;
            ADD_FAILURE() << "record " << r << ", field " << expected.names[c] << ": expected "
                          << want.value_or("Null") << ", read " << got.value_or("Null");
        }
}

// A case's name stays the same while files are added (ctest runs a case by its name): the
// file and table, letters and digits kept, a number added only to names that coincide.
std::vector<std::string> caseNames(const std::vector<SoundTable>& tables) {
    std::vector<std::string> bases, names;
    for (const auto& t : tables) {
        std::string base = t.database.stem().string() + "_" + t.table;
        std::replace_if(
            base.begin(), base.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
        const auto before = std::count(bases.begin(), bases.end(), base);
        names.push_back(before == 0 ? base : base + "_" + std::to_string(before + 1));
        bases.push_back(std::move(base));
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(ReferenceRead, JetSoundFile, ::testing::ValuesIn(soundTables()),
                         [](const auto& info) {
                             static const auto names = caseNames(soundTables());
                             return names.at(info.index);
                         });

// Every sound database has the reference's list of its tables, and every list its
// database: a pack that failed to unpack, or a file added without its values, fails here.
TEST(JetSoundFiles, EverySoundFileHasItsExpectedTables) {
    std::vector<std::string> stems;
    for (const auto& database : soundDatabases()) {
        stems.push_back(database.stem().string());
        EXPECT_TRUE(fs::exists(kExpected / database.stem() / "tables.txt"))
            << database.filename().string();
    }
    for (const auto& folder : fs::directory_iterator(kExpected)) {
        if (!folder.is_directory()) continue;
        const auto stem = folder.path().filename().string();
        EXPECT_NE(std::find(stems.begin(), stems.end(), stem), stems.end())
            << "expected values of a missing file: " << stem;
    }
}

// A mend names a table that has a case, so that a misspelt line never mends nothing.
TEST(JetSoundFiles, EveryDifferenceNamesATableOfTheCorpus) {
    const auto tables = soundTables();
    for (const auto& d : differences())
        EXPECT_TRUE(std::any_of(
            tables.begin(), tables.end(),
            [&](const SoundTable& t) { return t.database.stem() == d.file && t.table == d.table; }))
            << d.file << " " << d.table;
}

} // namespace
} // namespace varnoke::test
