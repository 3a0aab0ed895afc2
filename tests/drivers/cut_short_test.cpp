// A file cut short by another program while a reader walks it through its memory
// mapping: the link must end in a clear error and the program go on. Without the
// mapping watch the first touch of a page past the new end raises SIGBUS, and this
// test program dies with it.
#include "file_bytes.h"
#include "table_collector.h"

#include "drivers/reader_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;
const std::string kData = VARNOKE_TEST_DATA;

std::string cutMessage(const std::string& name) {
    return "The file '" + name + "' changed while it was being read (it was cut short).";
}

// The table with its records repeated up to `records`, so that they span many pages.
std::string grownDbf(const std::string& table, std::size_t records) {
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(table[at]) |
                                        static_cast<unsigned char>(table[at + 1]) << 8);
    };
    const std::size_t headerLength = u16(8);
    const std::size_t recordLength = u16(10);
    const std::size_t count = (table.size() - headerLength) / recordLength;
    std::string out = table.substr(0, headerLength);
    for (std::size_t r = 0; r < records; ++r)
        out += table.substr(headerLength + r % count * recordLength, recordLength);
    out += '\x1A';
    for (int i = 0; i < 4; ++i)
        out[4 + i] = static_cast<char>(records >> (8 * i) & 0xFF);
    return out;
}

struct CutCase {
    const char* label;
    const char* prefix;
    const char* file;      // under tests/data
    const char* companion; // memo or blob file copied alongside, or ""
    bool fileType;         // the connect names the file rather than its folder
    bool cutCompanion;     // the companion is cut, not the table
    std::size_t records;   // dBase: the table is grown to this many records; 0 keeps it
    double keep;           // the part of the cut file left
};

// Cuts a file when the first row arrives, as another program might mid-read.
struct CuttingSink : Table {
    std::string victim;
    std::size_t length = 0;
    void row(std::vector<Value>& values) override {
        if (rows.empty()) {
            EXPECT_EQ(::truncate(victim.c_str(), static_cast<off_t>(length)), 0);
        }
        Table::row(values);
    }
};

class CutWhileReadingTest : public ::testing::TestWithParam<CutCase> {
protected:
    std::string name() const { return fs::path(GetParam().file).filename().string(); }

    // A folder holding the case's file (grown if asked) and its companion.
    void fill(const TempDir& dir) const {
        const auto& c = GetParam();
        std::string bytes = slurp(kData + "/" + c.file);
        if (c.records) bytes = grownDbf(bytes, c.records);
        spit(dir.file(name()), bytes);
        if (*c.companion)
            fs::copy_file(kData + "/" + c.companion, dir.path() / fs::path(c.companion).filename());
    }

    void read(const TempDir& dir, Table& into) const {
        const auto& c = GetParam();
        const std::string connect = std::string(c.prefix) + ";DATABASE=" +
                                    (c.fileType ? dir.file(name()) : dir.path().string());
        const auto* reader = findReader(connect);
        ASSERT_NE(reader, nullptr);
        reader->read({connect, c.fileType ? dir.file(name()) : dir.path().string(), name()}, into);
    }
};

TEST_P(CutWhileReadingTest, EndsInAClearErrorAndTheProgramGoesOn) {
    const auto& c = GetParam();
    TempDir whole;
    fill(whole);
    Table before;
    read(whole, before);
    ASSERT_GT(before.rows.size(), 1u);

    TempDir dir;
    fill(dir);
    CuttingSink sink;
    const std::string victimName =
        c.cutCompanion ? fs::path(c.companion).filename().string() : name();
    sink.victim = dir.file(victimName);
    sink.length =
        static_cast<std::size_t>(static_cast<double>(fs::file_size(sink.victim)) * c.keep);
    try {
        read(dir, sink);
        ADD_FAILURE() << "a file cut short while it was read gave " << sink.rows.size() << " rows";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_EQ(std::string(e.what()), cutMessage(victimName));
    }
    EXPECT_EQ(fs::file_size(sink.victim), sink.length);

    // The same file, untouched, still reads as it did.
    Table after;
    read(whole, after);
    EXPECT_EQ(after.rows, before.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Readers, CutWhileReadingTest,
    ::testing::Values(
        // Every page of the table gone: the next record faults.
        CutCase{"DBaseToNothing", "dBase IV", "dbf/people.dbf", "", false, false, 20000, 0.0},
        // Records past the middle fault; those in the page holding the new end read as
        // zeros without a fault.
        CutCase{"DBaseToHalf", "dBase IV", "dbf/people.dbf", "", false, false, 20000, 0.5},
        // The whole table in one page: no fault at all, only a shorter file.
        CutCase{"DBaseWithinItsPage", "dBase IV", "dbf/people.dbf", "", false, false, 0, 0.7},
        CutCase{"FoxProMemo", "FoxPro 3.0", "dbf/vfp_all.dbf", "dbf/vfp_all.fpt", false, true, 0,
                0.0},
        CutCase{"ParadoxToNothing", "Paradox 4.X", "paradox/AREACODE.DB", "", false, false, 0, 0.0},
        CutCase{"ParadoxToOnePage", "Paradox 4.X", "paradox/AREACODE.DB", "", false, false, 0, 0.4},
        CutCase{"Excel", "Excel 8.0", "xls/sample97.xls", "", true, false, 0, 0.0},
        CutCase{"Html", "HTML Import", "html/sample.html", "", true, false, 0, 0.0},
        CutCase{"Lotus", "Lotus WK4", "lotus/crlfq9.wk4", "", true, false, 0, 0.0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(MappedFile, APageCutAwayReadsZerosAndIsReported) {
    TempDir dir;
    const std::string path = dir.write("pages.bin", std::string(3 * 65536, 'x'));
    const drivers::MappedFile file(path);
    EXPECT_NO_THROW(file.checkWhole());
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    EXPECT_EQ(file.bytes()[2 * 65536 + 5], 0);
    EXPECT_EQ(file.bytes()[0], 0);
    try {
        file.checkWhole();
        ADD_FAILURE() << "a cut file was taken as whole";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_EQ(std::string(e.what()), cutMessage("pages.bin"));
    }
}

TEST(MappedFile, AWholeFileReadsAsWrittenBeforeAndAfterRelease) {
    TempDir dir;
    std::string content(200000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 % 251);
    const std::string path = dir.write("whole.bin", content);
    const drivers::MappedFile file(path);
    const auto asText = [&] {
        return std::string(reinterpret_cast<const char*>(file.bytes().data()), file.bytes().size());
    };
    EXPECT_EQ(asText(), content);
    EXPECT_NO_THROW(file.release());
    EXPECT_EQ(asText(), content);
    EXPECT_NO_THROW(file.checkWhole());
}

// The watch takes only faults inside the files it maps; any other still ends the
// program as it did before.
TEST(MappedFileDeathTest, AFaultOutsideTheWatchedFilesStillEndsTheProgram) {
    TempDir dir;
    const std::string watched = dir.write("watched.bin", std::string(8192, 'w'));
    const std::string other = dir.write("other.bin", std::string(8192, 'o'));
    EXPECT_EXIT(
        {
            const drivers::MappedFile file(watched);
            const int fd = ::open(other.c_str(), O_RDONLY);
            auto* bytes = static_cast<volatile const char*>(
                ::mmap(nullptr, 8192, PROT_READ, MAP_PRIVATE, fd, 0));
            if (::truncate(other.c_str(), 0) != 0) std::_Exit(1);
            std::_Exit(bytes[4096] == 'o' ? 2 : 3);
        },
        ::testing::KilledBySignal(SIGBUS), "");
}

} // namespace
} // namespace varnoke::test
