// A mapped file written again in place by another program while a reader walks it, at
// the very same size: the reader's mapping shows the new bytes of the pages not yet
// read, so the link would mix two files. It must be refused as changed, and the same
// file, untouched, must link.
#include "file_bytes.h"
#include "table_collector.h"

#include "drivers/readers.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnoke::test {
namespace {

namespace fs = std::filesystem;

struct RewriteCase {
    const char* label;
    const char* prefix;
    const char* file; // under tests/data
    bool fileType;    // the connect names the file rather than its folder
};

// Writes the file again over itself, its bytes turned about, at the same size, when the
// first row arrives.
struct RewritingSink : Table {
    std::string victim;
    void row(std::vector<Value>& values) override {
        if (rows.empty()) {
            std::string bytes = slurp(victim);
            std::reverse(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2),
                         bytes.end());
            const int fd = ::open(victim.c_str(), O_WRONLY);
            EXPECT_GE(fd, 0);
            EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0),
                      static_cast<ssize_t>(bytes.size()));
            ::close(fd);
        }
        Table::row(values);
    }
};

class RewriteWhileReadingTest : public ::testing::TestWithParam<RewriteCase> {
protected:
    std::string name() const { return fs::path(GetParam().file).filename().string(); }

    // The file, with a modification time well before any write the test makes.
    std::string place(const TempDir& dir) const {
        const std::string path = dir.file(name());
        spit(path, slurp(std::string(VARNOKE_TEST_DATA) + "/" + GetParam().file));
        const timespec old[2] = {{978307200, 0}, {978307200, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
        return path;
    }

    void read(const TempDir& dir, Table& into) const {
        const auto& c = GetParam();
        const std::string where = c.fileType ? dir.file(name()) : dir.path().string();
        into = readLinked(std::string(c.prefix) + ";DATABASE=" + where, name());
    }
};

TEST_P(RewriteWhileReadingTest, IsRefusedAsChanged) {
    TempDir dir;
    RewritingSink sink;
    sink.victim = place(dir);
    const auto& c = GetParam();
    const std::string where = c.fileType ? sink.victim : dir.path().string();
    const std::string connect = std::string(c.prefix) + ";DATABASE=" + where;
    try {
        findReader(connect)->read({connect, where, name()}, sink);
        ADD_FAILURE() << "a file written again during its read linked " << sink.rows.size()
                      << " rows";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), 3274);
        EXPECT_EQ(std::string(e.what()),
                  "The file '" + name() +
                      "' changed while it was being read (it was written again).");
    }
}

TEST_P(RewriteWhileReadingTest, LinksWhenUntouched) {
    TempDir dir;
    place(dir);
    Table table;
    ASSERT_NO_THROW(read(dir, table));
    EXPECT_FALSE(table.rows.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Readers, RewriteWhileReadingTest,
    ::testing::Values(RewriteCase{"DBase", "dBase IV", "dbf/people.dbf", false},
                      RewriteCase{"Paradox", "Paradox 4.X", "paradox/AREACODE.DB", false},
                      RewriteCase{"Excel", "Excel 8.0", "xls/sample97.xls", true},
                      RewriteCase{"Lotus", "Lotus WK4", "lotus/crlfq9.wk4", true}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
