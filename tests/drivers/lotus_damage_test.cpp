// Every sound sheet of the Lotus corpus, damaged as files are damaged: cut short at
// record boundaries and inside records, and each kind of record's length set to 0,
// moved by 1 to 3 either way, or set to 0xFFFF. Each damaged copy must link as the
// sound sheet does or be refused with an error naming the file; a copy that links to
// anything else is a loss without a word.
#include "drivers/lotus_format.h"
#include "file_bytes.h"
#include "lotus_corpus_sheets.h"
#include "table_collector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace varnoke::test {
namespace {

// Cuts before the end are all alike; a large sheet is cut at about this many places.
constexpr std::size_t kMostCuts = 120;

unsigned le16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

struct Record {
    std::size_t at;
    unsigned type;
    unsigned length;
};

// The records up to the end-of-file record, read by their lengths alone.
std::vector<Record> recordsOf(const std::string& bytes) {
    std::vector<Record> records;
    for (std::size_t at = 0; at + 4 <= bytes.size();) {
        records.push_back({at, le16(bytes, at), le16(bytes, at + 2)});
        if (records.back().type == 0x01) break;
        at += 4 + records.back().length;
    }
    return records;
}

struct Damage {
    std::string what;
    std::string bytes;
};

std::vector<Damage> damagesOf(const std::string& bytes) {
    const auto records = recordsOf(bytes);
    std::vector<Damage> damages;
    const std::size_t step = std::max<std::size_t>(1, records.size() / kMostCuts);
    for (std::size_t i = 0; i < records.size(); ++i) {
        // The last records before the end are each cut, however large the sheet.
        if (i % step != 0 && i + 3 < records.size()) continue;
        const auto& r = records[i];
        damages.push_back({"cut at record " + std::to_string(i), bytes.substr(0, r.at)});
        if (r.length > 0)
            damages.push_back({"cut inside record " + std::to_string(i),
                               bytes.substr(0, r.at + 4 + r.length / 2)});
    }
    const std::size_t end = records.back().at + 4 + records.back().length;
    if (end < bytes.size())
        damages.push_back(
            {"cut inside what follows the end", bytes.substr(0, (end + bytes.size()) / 2)});
    std::set<unsigned> kinds;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        if (!kinds.insert(r.type).second) continue;
        for (const long length : {0L, r.length - 3L, r.length - 2L, r.length - 1L, r.length + 1L,
                                  r.length + 2L, r.length + 3L, 0xFFFFL}) {
            if (length < 0 || length > 0xFFFF || length == static_cast<long>(r.length)) continue;
            std::string damaged = bytes;
            damaged[r.at + 2] = static_cast<char>(length & 0xFF);
            damaged[r.at + 3] = static_cast<char>(length >> 8);
            char kind[80];
            std::snprintf(kind, sizeof kind, "record %zu (kind 0x%04X) of length %ld", i, r.type,
                          length);
            damages.push_back({kind, std::move(damaged)});
        }
    }
    return damages;
}

std::optional<Table> link(const std::string& bytes, const std::string& name, std::string& error) {
    Table table;
    try {
        drivers::readLotusImage({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                                name, table);
    } catch (const EngineError& e) {
        error = e.what();
        return std::nullopt;
    }
    return table;
}

bool sameTable(const Table& a, const Table& b) {
    if (a.rows != b.rows || a.fields.size() != b.fields.size()) return false;
    for (std::size_t i = 0; i < a.fields.size(); ++i)
        if (a.fields[i].name != b.fields[i].name || a.fields[i].type != b.fields[i].type ||
            a.fields[i].size != b.fields[i].size)
            return false;
    return true;
}

class LotusDamage : public ::testing::TestWithParam<LotusCorpusSheet> {};

TEST_P(LotusDamage, IsRefusedOrLinksAsTheSoundSheet) {
    const auto& sheet = GetParam();
    const std::string bytes = slurp((kLotusData / sheet.folder / sheet.file).string());
    std::string error;
    const auto sound = link(bytes, sheet.file, error);
    ASSERT_TRUE(sound) << "the sound sheet was refused: " << error;

    std::size_t refused = 0, same = 0, silent = 0;
    const auto damages = damagesOf(bytes);
    for (const auto& damage : damages) {
        error.clear();
        const auto got = link(damage.bytes, sheet.file, error);
        if (!got) {
            ++refused;
            EXPECT_NE(error.find(sheet.file), std::string::npos)
                << damage.what << ": the error does not name the file: " << error;
        } else if (sameTable(*got, *sound)) {
            ++same;
        } else {
            ++silent;
            ADD_FAILURE() << damage.what << " linked " << got->rows.size() << " records of "
                          << sound->rows.size() << " without a word";
        }
    }
    EXPECT_EQ(refused + same + silent, damages.size());
    RecordProperty("damages", static_cast<int>(damages.size()));
    RecordProperty("refused", static_cast<int>(refused));
    RecordProperty("sound", static_cast<int>(same));
    RecordProperty("silent", static_cast<int>(silent));
}

INSTANTIATE_TEST_SUITE_P(Corpus, LotusDamage, ::testing::ValuesIn(lotusCorpusSheets()),
                         [](const auto& info) { return lotusCaseName(info.param); });

} // namespace
} // namespace varnoke::test
