// A library run in a child process: rows come back whole, its errors keep their number,
// and whatever goes wrong inside it (a loop, a memory hunger, a crash, chatter) ends
// in an engine error for the file without touching this process.
#include "support/sanitizer.h"
#include "table_collector.h"

#include "drivers/child_read.h"
#include "drivers/jet_format.h"
#include "file_bytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace varnoke::test {
namespace {

using namespace std::chrono_literals;
using drivers::ChildLimits;

// A loop is cut off soon; a read that is meant to end otherwise is given so much time
// that no load of the machine makes a time limit end it first.
const ChildLimits kTight{300ms, 64u * 1024 * 1024};
const ChildLimits kRoomy{60s, 64u * 1024 * 1024};

struct ChildCase {
    const char* label;
    std::function<void(ForeignTableSink&)> read;
    ChildLimits limits;
    int number;           // 0: the table arrives
    const char* mentions; // a part of the error's text
};

class ChildReadTest : public ::testing::TestWithParam<ChildCase> {};

TEST_P(ChildReadTest, EndsInTheTableOrAnEngineError) {
    // The one case whose allocations fail in the program's own operator new.
    if (kAddressSanitizer && std::string_view(GetParam().label) == "MemoryHungerIsRefused")
        GTEST_SKIP() << kNoMemoryLimitUnderSanitizer;
    Table table;
    try {
        drivers::readInChild("sheet.wk4", GetParam().limits, GetParam().read, table);
        EXPECT_EQ(GetParam().number, 0);
        ASSERT_EQ(table.fields.size(), 3u);
        EXPECT_EQ(table.fields[2].type, 8);
        ASSERT_EQ(table.rows.size(), 2u);
        EXPECT_EQ(table.rows[1][0], Value::text(std::string("two\nlines\0x", 11)));
        EXPECT_EQ(table.rows[1][1], Value::currency(-12.5));
        EXPECT_EQ(table.rows[0][2], Value::date(44000.25));
        EXPECT_EQ(table.rows[0][1], Value::null());
        EXPECT_EQ(table.rows[1][2], Value::boolean(true));
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), GetParam().number) << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam().mentions), std::string::npos) << e.what();
    }
}

void sendTable(ForeignTableSink& sink) {
    sink.begin({{"Name", 10, 40}, {"Amount", 5, 8}, {"When", 8, 8}});
    std::vector<Value> first{Value::text("one"), Value::null(), Value::date(44000.25)};
    sink.row(first);
    std::vector<Value> second{Value::text(std::string("two\nlines\0x", 11)), Value::currency(-12.5),
                              Value::boolean(true)};
    sink.row(second);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ChildReadTest,
    ::testing::Values(
        ChildCase{"RowsArriveWhole", sendTable, kRoomy, 0, ""},
        ChildCase{"ErrorsKeepTheirNumberAndText",
                  [](ForeignTableSink&) { throw EngineError(3051, "locked by a password"); },
                  kRoomy, 3051, "locked by a password"},
        // A child waiting for a processor on a busy machine, as one that sleeps, has not
        // been slow to read.
        ChildCase{"TimeWithoutAProcessorDoesNotCount",
                  [](ForeignTableSink& sink) {
                      ::usleep(900'000);
                      sendTable(sink);
                  },
                  kTight, 0, ""},
        ChildCase{"ALoopIsCutOff",
                  [](ForeignTableSink& sink) {
                      sink.begin({{"A", 10, 10}});
                      for (volatile bool forever = true; forever;) {
                      }
                  },
                  kTight, 3274, "took longer than 0.3 seconds"},
        ChildCase{"MemoryHungerIsRefused",
                  [](ForeignTableSink&) {
                      std::vector<std::vector<char>> hoard;
                      for (;;)
                          hoard.emplace_back(16u * 1024 * 1024, 'x');
                  },
                  kRoomy, 3274, "more memory than Varnoke allows"},
        ChildCase{"ACrashStaysInTheChild", [](ForeignTableSink&) { std::raise(SIGSEGV); }, kRoomy,
                  3274, "library reading it failed"},
        ChildCase{"TheWholeReadHasADeadline",
                  [](ForeignTableSink& sink) {
                      sink.begin({{"A", 10, 10}});
                      for (;;) {
                          std::vector<Value> row{Value::text("again")};
                          sink.row(row);
                          ::usleep(1000);
                      }
                  },
                  ChildLimits{10s, 64u * 1024 * 1024, 500ms, 100'000'000}, 3274,
                  "took longer than 0.5 seconds in all"},
        ChildCase{"RowsPastTheBoundAreRefused",
                  [](ForeignTableSink& sink) {
                      sink.begin({{"A", 10, 10}});
                      for (;;) {
                          std::vector<Value> row{Value::text("again")};
                          sink.row(row);
                      }
                  },
                  ChildLimits{60s, 64u * 1024 * 1024, 60s, 1000}, 3274,
                  "it sent more than 1000 rows"},
        ChildCase{"MoreFieldsThanATableHoldsAreADamagedTable",
                  [](ForeignTableSink& sink) {
                      sink.begin(std::vector<ForeignField>(2001, ForeignField{"A", 10, 10}));
                  },
                  kRoomy, 3274, "sent a damaged table"},
        ChildCase{"AFailedAllocationInALibraryIsTheMemoryLimit",
                  [](ForeignTableSink&) {
                      std::fputs(
                          "(process:1): GLib-ERROR **: failed to allocate 4294967296 bytes\n",
                          stderr);
                      std::abort();
                  },
                  kRoomy, 3274, "more memory than Varnoke allows"},
        ChildCase{"AProcessorTimeSignalIsTheProcessorLimit",
                  [](ForeignTableSink&) { std::raise(SIGXCPU); }, kRoomy, 3274,
                  "took longer than 60.0 seconds of processor time"},
        ChildCase{"ARowPastTheMessageBoundIsRefused",
                  [](ForeignTableSink& sink) {
                      sink.begin({{"A", 12, 0}});
                      std::vector<Value> row{Value::text(std::string(65u * 1024 * 1024, 'x'))};
                      sink.row(row);
                  },
                  ChildLimits{5min, 512u * 1024 * 1024, 5min}, 3274,
                  "the reading process sent a row larger than 64 MB"},
        ChildCase{"ChatterGoesNowhere",
                  [](ForeignTableSink& sink) {
                      std::fputs("library chatter on stderr\n", stderr);
                      std::puts("library chatter on stdout");
                      sendTable(sink);
                  },
                  kRoomy, 0, ""}),
    [](const auto& info) { return std::string(info.param.label); });

// Threads of a library may spend more processor time than the read's time in all; the
// child's processor time is bounded by that time, and a second more kills it.
TEST(ChildRead, TheChildRunsUnderAProcessorLimitOfTheWholeReadsTime) {
    Table table;
    drivers::readInChild(
        "x.wk4", ChildLimits{60s, 64u * 1024 * 1024, 59'500ms, 1000},
        [](ForeignTableSink& sink) {
            rlimit cpu{};
            ::getrlimit(RLIMIT_CPU, &cpu);
            sink.begin({{"Soft", 7, 8}, {"Hard", 7, 8}});
            std::vector<Value> row{Value::number(static_cast<double>(cpu.rlim_cur)),
                                   Value::number(static_cast<double>(cpu.rlim_max))};
            sink.row(row);
        },
        table);
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_EQ(table.rows[0], (std::vector<Value>{Value::number(60), Value::number(61)}));
}

TEST(ChildRead, TheLibrarysChatterNeverReachesOurStderr) {
    char path[] = "/tmp/varnoke_child_stderr_XXXXXX";
    const int capture = ::mkstemp(path);
    ASSERT_GE(capture, 0);
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(capture, STDERR_FILENO);
    Table table;
    drivers::readInChild(
        "x.mdb", kRoomy,
        [](ForeignTableSink& sink) {
            std::fputs("page dump\n", stderr);
            sendTable(sink);
        },
        table);
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    EXPECT_EQ(::lseek(capture, 0, SEEK_END), 0);
    ::close(capture);
    ::unlink(path);
    EXPECT_EQ(table.rows.size(), 2u);
}

// The Jet fuzz finding on which libmdb allocates without end: with the time limits far
// off, the memory limit is what ends it however loaded the machine, and the message
// says so. The limit is small, so it is met soon after the growth begins.
TEST(ChildRead, ALibraryThatEatsMemoryIsEndedByTheMemoryLimit) {
    const std::string mdb = slurp(std::string(VARNOKE_TEST_DATA) + "/mdb/catalog_memory.mdb");
    Table table;
    try {
        drivers::readInChild(
            "catalog_memory.mdb", ChildLimits{5min, 16u * 1024 * 1024, 5min, 1000},
            [&](ForeignTableSink& sink) {
                drivers::readJetImage(
                    {reinterpret_cast<const std::uint8_t*>(mdb.data()), mdb.size()},
                    "catalog_memory.mdb", "", sink);
            },
            table);
        FAIL() << "the table was read";
    } catch (const EngineError& e) {
        EXPECT_EQ(std::string(e.what()), "The file 'catalog_memory.mdb' is not in the expected "
                                         "format: reading it needs more memory than Varnoke "
                                         "allows.");
    }
}

TEST(ChildRead, AnErrorOfTheReceivingSinkEndsTheChild) {
    struct Refusing : ForeignTableSink {
        void begin(const std::vector<ForeignField>&) override {
            throw EngineError(3191, "Field 'A' is defined more than once.");
        }
        void row(std::vector<Value>&) override {}
    } sink;
    EXPECT_THROW(drivers::readInChild("x.wk4", kRoomy, sendTable, sink), EngineError);
}

} // namespace
} // namespace varnoke::test
