// Damaged copies of public Paradox tables and their blob files: cut at every block
// boundary and inside every block, each header field that places records moved, each
// blob entry and block head that places a memo changed. Each copy must give the sound
// table's values or end in 3274 naming the damaged file; none may give other values.
#include "file_bytes.h"
#include "table_collector.h"

#include "drivers/paradox_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

const fs::path kFolder = fs::path(VARNOKE_TEST_DATA) / "paradox-public";

std::size_t u16(const std::string& b, std::size_t at) {
    return static_cast<std::uint8_t>(b[at]) | std::size_t{static_cast<std::uint8_t>(b[at + 1])}
                                                  << 8;
}

std::uint32_t u32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(u16(b, at) | u16(b, at + 2) << 16);
}

void put16(std::string& b, std::size_t at, std::size_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

struct Files {
    std::string table, blobs;
    std::string tableName, blobName;
};

// The rows read, or the error's number and text.
struct Outcome {
    std::optional<std::vector<std::vector<Value>>> rows;
    int error = 0;
    std::string message;
};

Outcome readFiles(const Files& f) {
    Table table;
    const auto span = [](const std::string& s) {
        return drivers::ByteSpan(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    };
    try {
        drivers::readParadoxImage(
            {span(f.table),
             f.blobName.empty() ? std::nullopt : std::optional<drivers::ByteSpan>(span(f.blobs)),
             f.tableName,
             f.blobName,
             {}},
            table);
        return {table.rows, 0, ""};
    } catch (const EngineError& e) {
        return {std::nullopt, e.number(), e.what()};
    }
}

Files load(const std::string& table, const std::string& blobs) {
    return {slurp((kFolder / table).string()),
            blobs.empty() ? "" : slurp((kFolder / blobs).string()), table, blobs};
}

struct Layout {
    std::size_t recordSize, headerSize, blockSize, firstBlock;
    std::size_t blockAt(std::size_t block) const { return headerSize + (block - 1) * blockSize; }
};

Layout layoutOf(const std::string& t) {
    return {u16(t, 0), u16(t, 2), std::size_t{static_cast<std::uint8_t>(t[5])} * 1024,
            u16(t, 0x0E)};
}

// Whether the i-th of n blocks is damaged: all of a short chain; the first, the last and
// every 64th of a long one, which keeps a table of hundreds of blocks quick.
bool sampled(std::size_t i, std::size_t n) {
    return i < 4 || i + 4 >= n || i % 64 == 0;
}

// The blocks of the chain in order.
std::vector<std::size_t> chainOf(const std::string& t) {
    const auto l = layoutOf(t);
    std::vector<std::size_t> blocks;
    for (std::size_t b = l.firstBlock; b != 0 && blocks.size() < 100000; b = u16(t, l.blockAt(b)))
        blocks.push_back(b);
    return blocks;
}

struct Damage {
    std::string label;
    Files files;
    bool blobDamaged;
};

// What damage may do: leave the table as it was, or raise 3274 naming the damaged file.
void expectSoundOrNamed(const Damage& d, const std::vector<std::vector<Value>>& sound, int& refused,
                        int& equal) {
    const auto got = readFiles(d.files);
    if (got.rows) {
        EXPECT_EQ(*got.rows, sound) << d.label << ": other values, read in silence";
        ++equal;
        return;
    }
    ++refused;
    EXPECT_EQ(got.error, 3274) << d.label << ": " << got.message;
    const auto& named = d.blobDamaged ? d.files.blobName : d.files.tableName;
    EXPECT_NE(got.message.find("'" + named + "'"), std::string::npos)
        << d.label << ": " << got.message;
    if (d.blobDamaged) {
        EXPECT_NE(got.message.find("'" + d.files.tableName + "'"), std::string::npos)
            << d.label << ": " << got.message;
    }
}

struct Source {
    const char* label;
    const char* table;
    const char* blobs; // "" for none
};

void PrintTo(const Source& s, std::ostream* out) {
    *out << s.table;
}

class ParadoxDamage : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        sound_ = load(GetParam().table, GetParam().blobs);
        const auto got = readFiles(sound_);
        ASSERT_TRUE(got.rows) << got.message;
        rows_ = *got.rows;
    }

    void check(const std::vector<Damage>& damages) {
        int refused = 0, equal = 0;
        for (const auto& d : damages)
            expectSoundOrNamed(d, rows_, refused, equal);
        RecordProperty("refused", refused);
        RecordProperty("equal", equal);
    }

    Damage tableDamage(const std::string& label, const std::function<void(std::string&)>& change) {
        Damage d{label, sound_, false};
        change(d.files.table);
        return d;
    }

    Files sound_;
    std::vector<std::vector<Value>> rows_;
};

TEST_P(ParadoxDamage, CutsAtEveryBlockAndInsideEachGiveTheTableOrNameTheFile) {
    const auto l = layoutOf(sound_.table);
    std::vector<Damage> damages;
    const std::size_t blocks = (sound_.table.size() - l.headerSize + l.blockSize - 1) / l.blockSize;
    for (std::size_t i = 0; i < blocks; ++i)
        for (std::size_t at = l.headerSize + i * l.blockSize;
             std::size_t cut : {at, at + 6, at + l.blockSize / 2, at + l.blockSize - 1})
            if (sampled(i, blocks) && cut < sound_.table.size())
                damages.push_back(tableDamage("cut at " + std::to_string(cut),
                                              [&](std::string& t) { t.resize(cut); }));
    for (std::size_t cut : {std::size_t{0}, std::size_t{0x40}, l.headerSize / 2, l.headerSize - 1})
        damages.push_back(
            tableDamage("cut at " + std::to_string(cut), [&](std::string& t) { t.resize(cut); }));
    check(damages);
}

TEST_P(ParadoxDamage, HeaderFieldsThatPlaceRecordsAreChecked) {
    const auto l = layoutOf(sound_.table);
    const auto chain = chainOf(sound_.table);
    const auto records = u32(sound_.table, 0x06);
    std::vector<Damage> damages;
    damages.push_back(tableDamage("record count one higher",
                                  [&](std::string& t) { put32(t, 0x06, records + 1); }));
    if (records > 0) {
        damages.push_back(tableDamage("record count one lower",
                                      [&](std::string& t) { put32(t, 0x06, records - 1); }));
        damages.push_back(tableDamage("first block 0", [&](std::string& t) { put16(t, 0x0E, 0); }));
        damages.push_back(tableDamage("first block past the end", [&](std::string& t) {
            put16(t, 0x0E, (t.size() - l.headerSize) / l.blockSize + 2);
        }));
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        if (!sampled(i, chain.size())) continue;
        const std::size_t at = l.blockAt(chain[i]);
        const std::string where = "block " + std::to_string(chain[i]);
        if (i + 1 < chain.size())
            damages.push_back(
                tableDamage("chain cut after " + where, [&](std::string& t) { put16(t, at, 0); }));
        damages.push_back(tableDamage(where + " points at itself",
                                      [&](std::string& t) { put16(t, at, chain[i]); }));
        const auto last = static_cast<std::int16_t>(u16(sound_.table, at + 4));
        if (last >= 0) {
            damages.push_back(tableDamage(where + " holds one record fewer", [&](std::string& t) {
                put16(t, at + 4, static_cast<std::uint16_t>(last - l.recordSize));
            }));
            damages.push_back(
                tableDamage(where + " last record one byte lower", [&](std::string& t) {
                    put16(t, at + 4, static_cast<std::uint16_t>(last - 1));
                }));
            damages.push_back(tableDamage(where + " holds one record more", [&](std::string& t) {
                put16(t, at + 4, static_cast<std::uint16_t>(last + l.recordSize));
            }));
        }
    }
    check(damages);
}

class ParadoxBlobDamage : public ParadoxDamage {};

// Each record's blob fields that point into the blob file: their entries and block heads.
TEST_P(ParadoxBlobDamage, BlobEntriesThatPlaceValuesAreChecked) {
    const auto l = layoutOf(sound_.table);
    const std::size_t infoAt = static_cast<std::uint8_t>(sound_.table[0x39]) >= 5 ? 0x78 : 0x58;
    struct Pointer {
        std::size_t tableAt; // where the table holds it
        std::uint32_t at, length;
    };
    std::vector<Pointer> pointers;
    for (std::size_t block : chainOf(sound_.table)) {
        const auto last = static_cast<std::int16_t>(u16(sound_.table, l.blockAt(block) + 4));
        for (std::size_t r = 0; last >= 0 && r <= static_cast<std::size_t>(last) / l.recordSize;
             ++r) {
            std::size_t offset = l.blockAt(block) + 6 + r * l.recordSize;
            for (std::size_t f = 0; f < u16(sound_.table, 0x21); ++f) {
                const auto type = static_cast<std::uint8_t>(sound_.table[infoAt + 2 * f]);
                const std::size_t width =
                    type == 0x17 ? 17 : static_cast<std::uint8_t>(sound_.table[infoAt + 2 * f + 1]);
                offset += width;
                if (type < 0x0C || type > 0x10) continue;
                const auto length = u32(sound_.table, offset - 6);
                if (length > width - 10)
                    pointers.push_back({offset - 10, u32(sound_.table, offset - 10), length});
            }
        }
    }
    ASSERT_FALSE(pointers.empty()) << "no value lies in the blob file";
    std::vector<Damage> damages;
    const auto blobDamage = [&](const std::string& label,
                                const std::function<void(std::string&)>& change) {
        Damage d{label, sound_, true};
        change(d.files.blobs);
        damages.push_back(std::move(d));
    };
    for (const auto& p : pointers) {
        const std::size_t block = p.at & ~0xFFu;
        const std::size_t index = p.at & 0xFF;
        const std::string where = "value at " + std::to_string(block) + "/" + std::to_string(index);
        blobDamage(where + ": its block marked free", [&](std::string& b) { b[block] = 4; });
        if (index == 0xFF) {
            blobDamage(where + ": block length one more",
                       [&](std::string& b) { put32(b, block + 3, p.length + 1); });
            blobDamage(where + ": block of one chunk less",
                       [&](std::string& b) { put16(b, block + 1, u16(b, block + 1) - 1); });
            continue;
        }
        const std::size_t entry = block + 12 + index * 5;
        // An index of 64 or more reaches past the block's 64 entries. The pointer lives in
        // the table, but it is the blob file that cannot hold it.
        for (auto i : {64u, 200u, 254u}) {
            Damage d{where + ": index " + std::to_string(i), sound_, true};
            d.files.table[p.tableAt] = static_cast<char>(i);
            damages.push_back(std::move(d));
        }
        blobDamage(where + ": entry offset past its block",
                   [&](std::string& b) { b[entry] = static_cast<char>(0xFF); });
        blobDamage(where + ": entry offset inside the block's head",
                   [&](std::string& b) { b[entry] = 1; });
        blobDamage(where + ": entry length one unit more",
                   [&](std::string& b) { b[entry + 1] = static_cast<char>(b[entry + 1] + 1); });
        blobDamage(where + ": entry length one byte less", [&](std::string& b) {
            b[entry + 4] = static_cast<char>(b[entry + 4] == 1 ? 16 : b[entry + 4] - 1);
        });
    }
    check(damages);
}

const Source kTables[] = {
    {"Orders", "leonhad_db_ORDERS.DB", ""},
    {"Rental", "leonhad_mtdemo_RENTAL.DB", ""},
    {"ZipCodesLastBlockEndsEarly", "leonhad_areas_ZIPCODES.DB", ""},
    {"PclBlockSizeOne", "teverett_PCLDATA_PCL.DB", ""},
};
const Source kTablesWithBlobs[] = {
    {"CustomerSharedAndSingleBlobs", "leonhad_db_CUSTOMER.DB", "leonhad_db_CUSTOMER.MB"},
    {"KommentSharedBlobs", "pxlib_fixtures_KOMMENT.DB", "pxlib_fixtures_KOMMENT.MB"},
    {"HerculesHtml", "leonhad_db_HERCULES.DB", "leonhad_db_HERCULES.MB"},
    {"EveryType", "steinm_TypSammlung.DB", "steinm_TypSammlung.MB"},
    {"Graphic", "leonhad_fields_graphic240.db", "leonhad_fields_graphic240.mb"},
    {"Ole", "leonhad_fields_ole.db", "leonhad_fields_ole.mb"},
};

std::string labelOf(const ::testing::TestParamInfo<Source>& info) {
    return info.param.label;
}

INSTANTIATE_TEST_SUITE_P(PublicTables, ParadoxDamage, ::testing::ValuesIn(kTables), labelOf);
INSTANTIATE_TEST_SUITE_P(PublicTablesWithBlobs, ParadoxDamage,
                         ::testing::ValuesIn(kTablesWithBlobs), labelOf);
INSTANTIATE_TEST_SUITE_P(PublicTablesWithBlobs, ParadoxBlobDamage,
                         ::testing::ValuesIn(kTablesWithBlobs), labelOf);

} // namespace
} // namespace varnoke::test
