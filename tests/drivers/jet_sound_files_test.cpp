// Every table of the sound Jet files at hand, linked as the engine links it, must give
// the fields, the number of records and every value another reader (mdb-reader, which
// shares no code with libmdb) found in it once. A check that refuses a sound file, or a
// value read wrong, fails here with the table and the cell.
#include "reference_table.h"
#include "table_collector.h"

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

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

const fs::path kMdb = fs::path(VARNOKE_TEST_DATA) / "mdb";

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
    FieldForm{"memo", 12, 0},
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
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D of 1252) is lost by both
// readers, shown as U+FFFD by the reference and as "?" by libmdb's conversion: a known
// loss, the only one these files show.
std::optional<std::string> referenceForm(const std::optional<std::string>& cell,
                                         const std::string& type) {
    if (!cell) return cell;
    if (isNumberType(type)) return shortest(std::strtod(cell->c_str(), nullptr));
    std::string text = *cell;
    for (std::size_t at; (at = text.find("\xEF\xBF\xBD")) != std::string::npos;)
        text.replace(at, 3, "?");
    return text;
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

// --- The table of sound tables: one case a table the reference wrote. ---

struct SoundTable {
    std::string file;  // in tests/data/mdb
    std::string table; // as the reference names it
    fs::path expected;
};

void PrintTo(const SoundTable& t, std::ostream* out) {
    *out << t.file << " " << t.table;
}

std::vector<SoundTable> soundTables() {
    std::vector<SoundTable> tables;
    for (const auto& folder : fs::directory_iterator(kMdb / "expected")) {
        if (!folder.is_directory()) continue;
        for (const auto& csv : fs::directory_iterator(folder.path()))
            tables.push_back({folder.path().filename().string() + ".mdb",
                              csv.path().stem().string(), csv.path()});
    }
    std::sort(tables.begin(), tables.end(),
              [](const auto& a, const auto& b) { return a.expected < b.expected; });
    return tables;
}

class JetSoundFile : public ::testing::TestWithParam<SoundTable> {};

TEST_P(JetSoundFile, LinksWithTheReferenceFieldsAndValues) {
    const auto& sound = GetParam();
    const auto expected = readReferenceTable(sound.expected.string());
    Table table;
    try {
        table = readLinked("JetTable;DATABASE=" + (kMdb / sound.file).string(), sound.table);
    } catch (const EngineError& e) {
        FAIL() << "a sound table was refused: " << e.what();
    }

    ASSERT_EQ(table.fields.size(), expected.names.size());
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const auto& type = expected.types[i];
        const auto form = std::find_if(kFieldForms.begin(), kFieldForms.end(),
                                       [&](const FieldForm& f) { return type == f.type; });
        ASSERT_NE(form, kFieldForms.end()) << "no field form for the type " << type;
        const int size = form->size != 0 ? form->size : std::stoi(expected.sizes[i]);
        EXPECT_EQ(table.fields[i].name, expected.names[i]);
        EXPECT_EQ(table.fields[i].type, form->code) << expected.names[i];
        EXPECT_EQ(table.fields[i].size, size) << expected.names[i];
    }

    ASSERT_EQ(table.rows.size(), expected.rows.size());
    int wrong = 0;
    for (std::size_t r = 0; r < table.rows.size() && wrong < 10; ++r)
        for (std::size_t c = 0; c < expected.names.size(); ++c) {
            const auto& type = expected.types[c];
            const auto want = referenceForm(expected.rows[r].at(c), type);
            const auto got = oursInReferenceForm(table.rows[r][c], type);
            if (want == got) continue;
            ++wrong;
            ADD_FAILURE() << "record " << r << ", field " << expected.names[c] << ": expected "
                          << want.value_or("Null") << ", read " << got.value_or("Null");
        }
}

INSTANTIATE_TEST_SUITE_P(ReferenceRead, JetSoundFile, ::testing::ValuesIn(soundTables()),
                         [](const auto& info) {
                             std::string name = info.param.file + "_" + info.param.table;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](unsigned char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// Every sound Jet file here has its tables' expected values; only the catalog_ files,
// damaged on purpose, have none.
TEST(JetSoundFiles, EverySoundFileHasItsExpectedTables) {
    for (const auto& entry : fs::directory_iterator(kMdb)) {
        const auto name = entry.path().filename().string();
        if (entry.path().extension() != ".mdb" || name.starts_with("catalog_")) continue;
        EXPECT_TRUE(fs::is_directory(kMdb / "expected" / entry.path().stem())) << name;
    }
}

} // namespace
} // namespace varnoke::test
