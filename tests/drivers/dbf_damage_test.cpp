// Damaged copies of sound dBase and FoxPro tables: cut at every record boundary and in
// the middle of every record, and with the header's lengths and counts moved. Each
// copy must link with the sound table's values or end in an error naming the file; a
// copy that links other values, or fewer records, in silence fails here with its damage.
#include "file_bytes.h"
#include "table_collector.h"

#include "drivers/readers.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

struct Sound {
    const char* label;
    std::string folder; // holding file and companion
    const char* file;
    const char* companion; // memo file, or ""
};

void PrintTo(const Sound& s, std::ostream* out) {
    *out << s.label;
}

const Sound kSound[] = {
    {"DBaseIII", VARNOKE_TEST_DATA "/dbf", "people.dbf", ""},
    {"DBaseIIIMemo", VARNOKE_TEST_DATA "/dbf", "db3memo.dbf", "db3memo.dbt"},
    {"VisualFoxPro", VARNOKE_TEST_DATA "/dbf", "vfp_all.dbf", "vfp_all.fpt"},
    {"ShapefileTable", VARNOKE_DBF_PUBLIC, "shapelib_cities.dbf", ""},
    {"FoxPro2", VARNOKE_DBF_PUBLIC, "xbase_Foxpro2.dbf", "xbase_Foxpro2.fpt"},
    {"DBaseIV", VARNOKE_DBF_PUBLIC, "infused_dbase_8b.dbf", "infused_dbase_8b.dbt"},
};

std::size_t u16At(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) |
           static_cast<std::size_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}

void putU16(std::string& b, std::size_t at, std::size_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}

void putU32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i) & 0xFF);
}

struct Damage {
    std::string what;
    std::string bytes;
};

// Every damage of the table's bytes this test makes.
std::vector<Damage> damagesOf(const std::string& table) {
    const std::size_t header = u16At(table, 8), record = u16At(table, 10);
    const std::uint32_t count = static_cast<std::uint32_t>(u16At(table, 4) | u16At(table, 6) << 16);
    std::vector<Damage> out;
    const auto changed = [&](std::string what, const std::function<void(std::string&)>& edit) {
        std::string b = table;
        edit(b);
        out.push_back({std::move(what), std::move(b)});
    };
    for (std::uint32_t r = 0; r <= count; ++r) {
        const std::size_t boundary = header + r * record;
        if (r < count)
            out.push_back({"cut after record " + std::to_string(r), table.substr(0, boundary)});
        if (r < count)
            out.push_back({"cut inside record " + std::to_string(r + 1),
                           table.substr(0, boundary + record / 2)});
    }
    out.push_back({"cut inside the header", table.substr(0, header / 2)});
    for (const int delta : {-32, -1, 1, 32})
        changed("header length " + std::to_string(delta),
                [&](std::string& b) { putU16(b, 8, header + static_cast<std::size_t>(delta)); });
    for (const int delta : {-1, 1})
        changed("record length " + std::to_string(delta),
                [&](std::string& b) { putU16(b, 10, record + static_cast<std::size_t>(delta)); });
    for (const int delta : {-1, 1, 2})
        changed("record count " + std::to_string(delta),
                [&](std::string& b) { putU32(b, 4, count + static_cast<std::uint32_t>(delta)); });
    for (std::size_t at = 32; at + 32 <= header && table[at] != '\r'; at += 32) {
        const std::string field = std::to_string((at - 32) / 32 + 1);
        changed("field " + field + " length 0", [&](std::string& b) { b[at + 16] = 0; });
        changed("field " + field + " length +1", [&](std::string& b) { ++b[at + 16]; });
        changed("field " + field + " length -1", [&](std::string& b) { --b[at + 16]; });
    }
    return out;
}

Table link(const std::string& folder, const std::string& file) {
    return readLinked("dBase IV;DATABASE=" + folder, file);
}

class DbfDamage : public ::testing::TestWithParam<Sound> {};

TEST_P(DbfDamage, GivesTheSoundValuesOrAnErrorNamingTheFile) {
    const auto& s = GetParam();
    const Table sound = link(s.folder, s.file);
    const std::string table = slurp(s.folder + "/" + s.file);
    int refused = 0, same = 0, silent = 0;
    for (const auto& damage : damagesOf(table)) {
        TempDir dir;
        spit(dir.file(s.file), damage.bytes);
        if (*s.companion) fs::copy_file(s.folder + "/" + s.companion, dir.path() / s.companion);
        try {
            const Table read = link(dir.path().string(), s.file);
            if (read.fields.size() == sound.fields.size() && read.rows == sound.rows) {
                ++same;
            } else {
                ++silent;
                ADD_FAILURE() << damage.what << ": linked " << read.rows.size() << " of "
                              << sound.rows.size() << " records, other values, in silence";
            }
        } catch (const EngineError& e) {
            ++refused;
            const std::string said = e.what();
            EXPECT_TRUE(said.find(s.file) != std::string::npos ||
                        (*s.companion && said.find(s.companion) != std::string::npos))
                << damage.what << ": " << said;
        }
    }
    std::cout << s.label << ": " << refused + same + silent << " damages, " << refused
              << " refused, " << same << " sound, " << silent << " silent\n";
}

INSTANTIATE_TEST_SUITE_P(Tables, DbfDamage, ::testing::ValuesIn(kSound),
                         [](const auto& info) { return std::string(info.param.label); });

// A dBase III memo file whose end marks are gone: each memo ends where the next begins,
// so the memos together hold no more text than the file.
TEST(DbfMemoDamage, AMemoWithoutItsEndMarkEndsAtTheNextMemo) {
    const std::string data = VARNOKE_TEST_DATA "/dbf";
    std::string memo = slurp(data + "/db3memo.dbt");
    for (std::size_t at = 512; at < memo.size(); ++at)
        if (memo[at] == '\x1A') memo[at] = ' ';
    TempDir dir;
    fs::copy_file(data + "/db3memo.dbf", dir.path() / "db3memo.dbf");
    spit(dir.file("db3memo.dbt"), memo);
    const Table sound = link(data, "db3memo.dbf");
    const Table read = link(dir.path().string(), "db3memo.dbf");
    ASSERT_EQ(read.rows.size(), sound.rows.size());
    std::size_t total = 0;
    for (std::size_t r = 0; r < read.rows.size(); ++r) {
        const Value& notes = read.rows[r][2];
        if (notes.isNull() || sound.rows[r][2].isNull()) continue;
        total += notes.asText().size();
        // The memo's own text comes first; blanks of its block follow.
        EXPECT_EQ(notes.asText().rfind(sound.rows[r][2].asText(), 0), 0u) << "record " << r;
    }
    EXPECT_LE(total, memo.size());
}

} // namespace
} // namespace varnoke::test
