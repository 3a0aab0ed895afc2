// The reading child ends with the program that started it, however the program ends,
// and holds nothing of the program's but its own pipe and the file it reads.
#include "table_collector.h"

#include "drivers/child_read.h"
#include "drivers/jet_format.h"
#include "drivers/lotus_format.h"
#include "file_bytes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace varnoke::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Limits far past the test's bounds: only the end of the parent ends the child.
const drivers::ChildLimits kRoomy{std::chrono::minutes(5), 256u * 1024 * 1024,
                                  std::chrono::minutes(5), 1'000'000};

// Waits up to bound for condition; true once it holds.
bool waitUntil(const std::function<bool()>& condition, Clock::duration bound) {
    for (const auto end = Clock::now() + bound; !condition();) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// The processes whose parent is parent, from /proc.
std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> out;
    DIR* proc = ::opendir("/proc");
    if (!proc) return out;
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string line;
        std::getline(stat, line);
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
            out.push_back(pid);
    }
    ::closedir(proc);
    return out;
}

// While it lives, the processes orphaned under this one become its children, so the
// test can see a reading child end and take its exit without a process of its own left.
class Subreaper {
public:
    Subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~Subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
    Subreaper(const Subreaper&) = delete;
    Subreaper& operator=(const Subreaper&) = delete;
};

// The parent's sink: it says when the table begins, then takes no more, as a program
// stopped in the middle of storing a table; the child's rows fill the pipe.
class StallingSink final : public ForeignTableSink {
public:
    explicit StallingSink(int tell) : tell_(tell) {}
    void begin(const std::vector<ForeignField>&) override {
        const char began = 'B';
        (void)!::write(tell_, &began, 1);
        for (;;)
            ::pause();
    }
    void row(std::vector<Value>&) override {}

private:
    int tell_;
};

void putU16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8 & 0xFF);
}

void putRecord(std::string& out, unsigned type, const std::string& body) {
    putU16(out, type);
    putU16(out, static_cast<unsigned>(body.size()));
    out += body;
}

// A sound Release 2 sheet of 3,000 rows of two labels and two numbers, by the published
// record layout (BOF, LABEL, NUMBER, EOF): its rows take several times what a pipe holds.
std::string bigWorksheet() {
    std::string out;
    putRecord(out, 0x00, std::string("\x06\x04", 2));
    auto cell = [](unsigned column, unsigned row) {
        std::string body(1, '\xFF');
        putU16(body, column);
        putU16(body, row);
        return body;
    };
    auto label = [&](unsigned column, unsigned row, const std::string& text) {
        putRecord(out, 0x0F, cell(column, row) + "'" + text + '\0');
    };
    auto number = [&](unsigned column, unsigned row, double value) {
        std::string body = cell(column, row);
        char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        body.append(bytes, sizeof value);
        putRecord(out, 0x0E, body);
    };
    label(0, 0, "Name");
    label(1, 0, "Town");
    label(2, 0, "Amount");
    label(3, 0, "Count");
    for (unsigned row = 1; row <= 3000; ++row) {
        label(0, row, "customer number " + std::to_string(row));
        label(1, row, "a town of the county");
        number(2, row, row * 1.25);
        number(3, row, row);
    }
    putRecord(out, 0x01, "");
    return out;
}

struct ParentCase {
    const char* label;
    // Writes the file into dir; the parent's read of it.
    std::function<std::function<void(ForeignTableSink&)>(const TempDir& dir)> prepare;
    // The parent is killed once the table began, else once the child is there.
    bool waitsForTheTable;
};

void PrintTo(const ParentCase& c, std::ostream* out) {
    *out << c.label;
}

class ParentKilledTest : public ::testing::TestWithParam<ParentCase> {};

TEST_P(ParentKilledTest, LeavesNoReadingChild) {
    TempDir dir;
    const auto read = GetParam().prepare(dir);
    const Subreaper reaper;
    int tell[2];
    ASSERT_EQ(::pipe(tell), 0);
    const pid_t parent = ::fork();
    ASSERT_GE(parent, 0);
    if (parent == 0) {
        ::close(tell[0]);
        StallingSink sink(tell[1]);
        std::string failure = "E";
        try {
            read(sink);
        } catch (const std::exception& e) {
            failure += e.what();
        }
        (void)!::write(tell[1], failure.data(), failure.size());
        ::_exit(0);
    }
    ::close(tell[1]);
    if (GetParam().waitsForTheTable) {
        pollfd began{tell[0], POLLIN, 0};
        char said[512] = {};
        EXPECT_TRUE(::poll(&began, 1, 300'000) == 1 && ::read(tell[0], said, sizeof said - 1) > 0 &&
                    said[0] == 'B')
            << "the table never began: " << said;
    }
    std::vector<pid_t> children;
    EXPECT_TRUE(waitUntil([&] { return !(children = childrenOf(parent)).empty(); }, 5min))
        << "the reading child never started";
    ::kill(parent, SIGKILL);
    ::waitpid(parent, nullptr, 0);
    ::close(tell[0]);
    for (const pid_t child : children) {
        const bool ended =
            waitUntil([&] { return ::waitpid(child, nullptr, WNOHANG) == child; }, 30s);
        EXPECT_TRUE(ended) << "the reading child " << child << " outlived its parent by 30 s";
        if (!ended) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ParentKilledTest,
    ::testing::Values(
        // The child waits in a write to a full pipe that nobody reads any more.
        ParentCase{"ASheetWhoseRowsFillThePipe",
                   [](const TempDir& dir) -> std::function<void(ForeignTableSink&)> {
                       const std::string path = dir.file("big.wk1");
                       spit(path, bigWorksheet());
                       return [path](ForeignTableSink& sink) {
                           drivers::readInChild(
                               "big.wk1", kRoomy,
                               [&](ForeignTableSink& out) { drivers::readLotusFile(path, out); },
                               sink);
                       };
                   },
                   true},
        // The child loops inside the library and writes nothing; its limits are far off.
        ParentCase{"ADatabaseTheLibraryLoopsIn",
                   [](const TempDir& dir) -> std::function<void(ForeignTableSink&)> {
                       const std::string path = dir.file("catalog_loop.mdb");
                       spit(path, slurp(std::string(VARNOKE_TEST_DATA) + "/mdb/catalog_loop.mdb"));
                       return [path](ForeignTableSink& sink) {
                           drivers::readJetFile(path, "", kRoomy, sink);
                       };
                   },
                   false}),
    [](const auto& info) { return std::string(info.param.label); });

// What each descriptor the child holds above stderr is: a file's path, or "pipe".
std::vector<std::string> childDescriptors(std::initializer_list<int> keep) {
    Table table;
    drivers::readInChild(
        "x.wk1", drivers::ChildLimits{60s, 64u * 1024 * 1024},
        [](ForeignTableSink& sink) {
            sink.begin({{"Fd", 4, 4}, {"Is", 10, 255}});
            for (int fd = 0; fd < 4096; ++fd) {
                if (::fcntl(fd, F_GETFD) < 0) continue;
                char target[4096] = {};
                const std::string link = "/proc/self/fd/" + std::to_string(fd);
                if (::readlink(link.c_str(), target, sizeof target - 1) < 0) continue;
                std::vector<Value> row{Value::number(fd), Value::text(target)};
                sink.row(row);
            }
        },
        table, keep);
    std::vector<std::string> out;
    for (const auto& row : table.rows) {
        const std::string is = row[1].asText();
        const bool standard = row[0].asNumber() <= STDERR_FILENO;
        if (standard) {
            EXPECT_EQ(is.starts_with("pipe:") ? "pipe" : is,
                      row[0].asNumber() == STDERR_FILENO ? "pipe" : "/dev/null")
                << "descriptor " << row[0].asNumber();
            continue;
        }
        out.push_back(is.starts_with("pipe:") ? "pipe" : is);
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct HeldCase {
    const char* label;
    bool kept; // the read walks the held file
};

void PrintTo(const HeldCase& c, std::ostream* out) {
    *out << c.label;
}

class ChildDescriptorsTest : public ::testing::TestWithParam<HeldCase> {};

// The program holds its working database (here without close-on-exec) and a pipe of
// its own while it reads a file.
TEST_P(ChildDescriptorsTest, AreItsOwnPipeAndTheFileItReads) {
    TempDir dir;
    const std::string workDb = std::filesystem::canonical(dir.copyWorkDb()).string();
    const int held = ::open(workDb.c_str(), O_RDWR);
    ASSERT_GE(held, 0);
    int other[2];
    ASSERT_EQ(::pipe(other), 0);
    const auto seen = GetParam().kept ? childDescriptors({held}) : childDescriptors({});
    ::close(other[0]);
    ::close(other[1]);
    ::close(held);
    std::vector<std::string> expected{"pipe"};
    if (GetParam().kept) expected.insert(expected.begin(), workDb);
    EXPECT_EQ(seen, expected);
}

INSTANTIATE_TEST_SUITE_P(Files, ChildDescriptorsTest,
                         ::testing::Values(HeldCase{"AFileOfTheProgramsIsClosed", false},
                                           HeldCase{"TheFileTheReadWalksStaysOpen", true}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
