// Damaged workbook streams, never read as sound: each workbook's stream is cut at every
// record boundary and inside every record, and the first record of each kind is given the
// lengths 0, one to three more or less than its own, and 0xFFFF; the stream is then put
// back in a compound file. Every damage must link the sound table or end in an error that
// names the file; a damage that links other values is silent, and none may be.
#include "compound_writer.h"
#include "file_bytes.h"
#include "table_collector.h"

#include "drivers/biff_format.h"
#include "drivers/compound_file.h"
#include "value/convert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

const fs::path kData = VARNOKE_TEST_DATA;
const fs::path kUnpacked = VARNOKE_XLS_PUBLIC;

struct Counts {
    int damages = 0, refused = 0, sound = 0;
    std::vector<std::string> silent;
};

std::optional<Table> linkStream(const std::string& stream, const std::string& name) {
    const std::string file = compoundFileOf(stream, "Workbook");
    Table table;
    drivers::readWorkbookImage({reinterpret_cast<const std::uint8_t*>(file.data()), file.size()},
                               name, "", table);
    return table;
}

bool sameTable(const Table& a, const Table& b) {
    if (a.fields.size() != b.fields.size() || a.rows != b.rows) return false;
    for (std::size_t i = 0; i < a.fields.size(); ++i)
        if (a.fields[i].name != b.fields[i].name || a.fields[i].type != b.fields[i].type ||
            a.fields[i].size != b.fields[i].size)
            return false;
    return true;
}

void tryDamage(const std::string& stream, const std::string& what, const Table& sound,
               Counts& counts) {
    const std::string name = "damaged.xls";
    ++counts.damages;
    try {
        const auto got = linkStream(stream, name);
        if (sameTable(*got, sound)) {
            ++counts.sound;
        } else {
            std::string how = what + ": " + std::to_string(got->rows.size()) + " of " +
                              std::to_string(sound.rows.size()) + " rows, " +
                              std::to_string(got->fields.size()) + " fields";
            for (std::size_t r = 0; r < std::min(got->rows.size(), sound.rows.size()); ++r)
                if (got->rows[r] != sound.rows[r]) {
                    how += ", record " + std::to_string(r) + " differs";
                    for (std::size_t c = 0; c < std::min(got->rows[r].size(), sound.rows[r].size());
                         ++c)
                        if (got->rows[r][c] != sound.rows[r][c])
                            how += " at " + std::to_string(c) + ": " +
                                   textOrBlank(got->rows[r][c]) + " for " +
                                   textOrBlank(sound.rows[r][c]);
                    break;
                }
            counts.silent.push_back(how);
        }
    } catch (const EngineError& e) {
        if (std::string(e.what()).find(name) == std::string::npos)
            counts.silent.push_back(what + " (an error not naming the file: " + e.what() + ")");
        else
            ++counts.refused;
    }
}

std::uint16_t u16At(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      static_cast<unsigned char>(s[at + 1]) << 8);
}

class ExcelDamage : public ::testing::TestWithParam<fs::path> {};

TEST_P(ExcelDamage, EveryDamageIsRefusedOrReadSound) {
    const std::string file = slurp(GetParam().string());
    const auto stream = drivers::readCompoundStream(
        {reinterpret_cast<const std::uint8_t*>(file.data()), file.size()}, "x",
        {"Workbook", "Book"});
    ASSERT_TRUE(stream);
    const std::string bytes(stream->begin(), stream->end());
    const auto sound = linkStream(bytes, "sound.xls");
    ASSERT_TRUE(sound);
    ASSERT_FALSE(sound->rows.empty());

    // The records up to the end of the last sheet: past it lie only zeros.
    std::vector<std::size_t> starts;
    std::map<std::uint16_t, std::size_t> firstOfKind;
    for (std::size_t at = 0; at + 4 <= bytes.size();) {
        const auto type = u16At(bytes, at);
        if (type == 0 && u16At(bytes, at + 2) == 0) break;
        starts.push_back(at);
        firstOfKind.emplace(type, at);
        at += 4 + u16At(bytes, at + 2);
    }
    Counts counts;
    for (auto at : starts) {
        tryDamage(bytes.substr(0, at), "cut at " + std::to_string(at), *sound, counts);
        for (std::size_t inside : {1, 3, 6})
            if (at + inside < bytes.size())
                tryDamage(bytes.substr(0, at + inside), "cut at " + std::to_string(at + inside),
                          *sound, counts);
    }
    for (const auto& [type, at] : firstOfKind) {
        const int own = u16At(bytes, at + 2);
        for (int length : {0, own - 3, own - 2, own - 1, own + 1, own + 2, own + 3, 0xFFFF}) {
            if (length < 0 || length == own) continue;
            std::string damaged = bytes;
            damaged.replace(at + 2, 2, littleEndian(static_cast<std::uint64_t>(length), 2));
            tryDamage(damaged,
                      "record " + std::to_string(type) + " at " + std::to_string(at) +
                          " given length " + std::to_string(length),
                      *sound, counts);
        }
    }
    std::cout << GetParam().filename().string() << ": " << counts.damages << " damages, "
              << counts.refused << " refused, " << counts.sound << " sound, "
              << counts.silent.size() << " silent\n";
    EXPECT_GT(counts.damages, 100);
    for (const auto& s : counts.silent)
        ADD_FAILURE() << GetParam().filename().string() << ": " << s << " linked other values";
}

std::vector<fs::path> damagedBooks() {
    std::vector<fs::path> books{kData / "xls" / "small95.xls", kData / "xls" / "sample97.xls",
                                kData / "xls" / "formulas97.xls"};
    for (const char* name :
         {"poi/poi_WrongFormulaRecordType.xls", "poi/poi_SimpleMultiCell.xls",
          "sheetjs/sheetjs_biff5_text_and_numbers.xls", "poi/poi_ContinueRecordProblem.xls"})
        books.push_back(kUnpacked / name);
    return books;
}

INSTANTIATE_TEST_SUITE_P(Streams, ExcelDamage, ::testing::ValuesIn(damagedBooks()),
                         [](const auto& info) {
                             std::string name = info.param.stem().string();
                             for (auto& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

} // namespace
} // namespace varnoke::test
