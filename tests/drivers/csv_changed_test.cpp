// A linked .csv file that another program saves while the link reads it. The reader
// streams the file in two passes, so such a save could give a table of old records with
// a torn last one, or of new and old records mixed, under "Linked". Every save, at
// every point of the read, must end the link in 3274 and leave the table linked before
// as it was.
#include "drivers/csv_reader.h"
#include "engine/engine.h"
#include "engine/engine_error.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

// Records of one width, so that a text of as many records is as long whatever its tag.
std::string records(char tag, std::size_t count) {
    std::string text = "Tag,Number,Note\n";
    char line[64];
    for (std::size_t i = 0; i < count; ++i) {
        const auto n = static_cast<unsigned>(i);
        std::snprintf(line, sizeof line, "%c,%06u,a note of some length for record %06u\n", tag, n,
                      n);
        text += line;
    }
    return text;
}

// The old text spans more than three of the reader's chunks (256 KiB each), so that a
// save can fall between two chunks of either pass.
constexpr std::size_t kOldRecords = 20000;

enum class Save {
    Untouched,
    InPlace,        // the file itself is cut to nothing and written again
    InPlaceOldTime, // so, and its modification time set back to what it was
    ByRename,       // a new file is written beside it and renamed over it
    // Changes of metadata alone, which leave the file's bytes as they were.
    SameMode,      // chmod to the mode it has
    HardLink,      // a second name
    AccessTime,    // touch -a
    FolderRenamed, // its folder gets another name
};

struct ChangeCase {
    const char* label;
    Save save;
    std::size_t records; // in the new text
    // The modification time is set a minute on: a save of the same size within the clock
    // tick of the link's opening could otherwise leave every time as it was.
    bool newTime;
    const char* how; // the reason the message gives; null when the link must succeed
};

struct Moment {
    const char* label;
    drivers::CsvReadPoint at;
};

// Names for a failure's message, in place of the cases' bytes.
void PrintTo(const ChangeCase& c, std::ostream* os) {
    *os << c.label;
}
void PrintTo(const Moment& m, std::ostream* os) {
    *os << m.label;
}

void save(const fs::path& file, const ChangeCase& c) {
    const std::string text = records('B', c.records);
    switch (c.save) {
    case Save::SameMode:
        fs::permissions(file, fs::status(file).permissions());
        return;
    case Save::HardLink:
        fs::create_hard_link(file, file.string() + ".link");
        return;
    case Save::AccessTime: {
        const timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_OMIT}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
        return;
    }
    case Save::FolderRenamed:
        fs::rename(file.parent_path(), file.parent_path().string() + "-renamed");
        return;
    case Save::InPlaceOldTime: {
        const auto old = fs::last_write_time(file);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        fs::last_write_time(file, old);
        return;
    }
    default:
        break;
    }
    if (c.save == Save::InPlace) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    } else {
        const fs::path beside = file.string() + ".new";
        std::ofstream(beside, std::ios::binary) << text;
        fs::rename(beside, file);
    }
    if (c.newTime) fs::last_write_time(file, fs::last_write_time(file) + std::chrono::minutes(1));
}

// Puts a reader in the engine's place for "Text" links while it lives.
class TextReaderSwap {
public:
    explicit TextReaderSwap(std::shared_ptr<const ForeignReader> reader) {
        Engine::instance().registerReader("Text", std::move(reader));
    }
    ~TextReaderSwap() { Engine::instance().registerReader("Text", nullptr); }
    TextReaderSwap(const TextReaderSwap&) = delete;
    TextReaderSwap& operator=(const TextReaderSwap&) = delete;
};

long countWhere(Database& db, const std::string& table, const std::string& condition) {
    return db.openRecordset("select * from [" + table + "] where " + condition).recordCount();
}

class CsvChangedWhileLinkedTest : public ::testing::TestWithParam<std::tuple<ChangeCase, Moment>> {
};

TEST_P(CsvChangedWhileLinkedTest, EndsInAnErrorAndKeepsTheTableLinkedBefore) {
    const auto& [change, moment] = GetParam();
    TempDir dir;
    const fs::path folder = dir.path() / "data";
    fs::create_directory(folder);
    const fs::path file = folder / "people.csv";
    std::ofstream(file, std::ios::binary) << records('A', kOldRecords);
    Database db = Engine::instance().openDatabase(dir.copyWorkDb());
    const std::string connect = "Text;DATABASE=" + folder.string();
    db.tableDefs().append(db.createTableDef("Table1", connect, "people.csv"));
    ASSERT_EQ(db.openRecordset("Table1").recordCount(), static_cast<long>(kOldRecords));

    int saves = 0;
    std::size_t chunksOfFirstPass = 0;
    std::size_t chunksOfSecondPass = 0;
    const TextReaderSwap swap(drivers::watchedCsvReader([&](drivers::CsvReadPoint at) {
        (at.pass == 1 ? chunksOfFirstPass : chunksOfSecondPass) = at.chunk;
        if (change.save == Save::Untouched || at.pass != moment.at.pass ||
            at.chunk != moment.at.chunk)
            return;
        save(file, change);
        ++saves;
    }));
    const auto link = [&] {
        db.tableDefs().append(db.createTableDef("1A", connect, "people.csv"));
    };

    if (!change.how) {
        ASSERT_NO_THROW(link());
        EXPECT_EQ(db.openRecordset("1A").recordCount(), static_cast<long>(kOldRecords));
        EXPECT_EQ(countWhere(db, "1A", "Tag = 'A'"), static_cast<long>(kOldRecords));
        // Each pass read the file in several chunks, so the moments of the other cases
        // fall inside a pass.
        EXPECT_GT(chunksOfFirstPass, 3u);
        EXPECT_EQ(chunksOfSecondPass, chunksOfFirstPass);
        EXPECT_EQ(saves, change.save == Save::Untouched ? 0 : 1);
    } else {
        try {
            link();
            ADD_FAILURE() << "a file saved during the link was linked with "
                          << db.openRecordset("1A").recordCount() << " records";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), 3274);
            EXPECT_EQ(std::string(e.what()), "The file 'people.csv' changed while it was being "
                                             "read (" +
                                                 std::string(change.how) + ").");
        }
        EXPECT_EQ(saves, 1);
        EXPECT_FALSE(db.tableDefs().contains("1A"));
    }
    EXPECT_EQ(db.openRecordset("Table1").recordCount(), static_cast<long>(kOldRecords));
    EXPECT_EQ(countWhere(db, "Table1", "Tag = 'A'"), static_cast<long>(kOldRecords));
    db.close();
}

// Every save at every moment, and the file left alone.
std::vector<std::tuple<ChangeCase, Moment>> cases() {
    const ChangeCase saves[] = {
        {"InPlaceLonger", Save::InPlace, 25000, false, "it grew"},
        {"InPlaceShorter", Save::InPlace, 12000, false, "it was cut short"},
        {"InPlaceSameSize", Save::InPlace, kOldRecords, true, "it was written again"},
        {"RenamedLonger", Save::ByRename, 25000, false, "another file took its place"},
        {"RenamedShorter", Save::ByRename, 12000, false, "another file took its place"},
        {"RenamedSameSize", Save::ByRename, kOldRecords, false, "another file took its place"},
        {"InPlaceSameSizeOldTime", Save::InPlaceOldTime, kOldRecords, false,
         "it was written again"},
        {"SameMode", Save::SameMode, 0, false, nullptr},
        {"HardLink", Save::HardLink, 0, false, nullptr},
        {"AccessTime", Save::AccessTime, 0, false, nullptr},
        {"FolderRenamed", Save::FolderRenamed, 0, false, nullptr}};
    const Moment moments[] = {{"AfterOpening", {1, 0}},
                              {"InTheFirstPass", {1, 1}},
                              {"BetweenThePasses", {2, 0}},
                              {"InTheSecondPass", {2, 2}}};
    std::vector<std::tuple<ChangeCase, Moment>> all{
        {{"Untouched", Save::Untouched, kOldRecords, false, nullptr}, {"Throughout", {}}}};
    for (const auto& change : saves)
        for (const auto& moment : moments)
            // Before the first read a save that keeps size and times is the file the
            // link reads whole, twice alike: nothing tells it from the file noted.
            if (change.save != Save::InPlaceOldTime || moment.at.chunk > 0 || moment.at.pass > 1)
                all.emplace_back(change, moment);
    return all;
}

INSTANTIATE_TEST_SUITE_P(Saves, CsvChangedWhileLinkedTest, ::testing::ValuesIn(cases()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    std::get<1>(info.param).label;
                         });

} // namespace
} // namespace varnoke::test
