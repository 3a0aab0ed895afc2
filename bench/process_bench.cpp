// A replace run over File A and File B of 1,000, 10,000 and 100,000 records, through
// the whole Process run (step loop, decision table, replace steps, dispatchers, File A
// evaluators, engine), against the one UPDATE ... FROM statement that does the same
// work in plain SQLite on the same data. The keys are unique and each file holds them
// in its own order, so "first occurrence" and "all records" change the same records
// as the statement does.
#include "engine/connection.h"
#include "engine/engine.h"
#include "evaluate/register_file_a.h"
#include "process/process_command.h"
#include "process/run_context.h"
#include "steps/replace_steps.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace varnoke;

// --- the platform and windows a run needs, answering as a user who only says OK

class OkPrompter : public Prompter {
public:
    int messageBox(std::string_view, int, std::string_view) override { return answer::Ok; }
    std::string inputBox(std::string_view, std::string_view, std::string_view) override {
        return {};
    }
};
class NoFilePicker : public FilePicker {
protected:
    std::string choose(const FileDialogRequest&) override { return {}; }
};
class NoEvents : public EventPump {
public:
    void yieldToEvents() override {}
};
class NoSettings : public SettingsStore {
public:
    void save(std::string_view, std::string_view, std::string_view, std::string_view) override {}
    std::string load(std::string_view, std::string_view, std::string_view,
                     std::string_view fallback) override {
        return std::string(fallback);
    }
};
class NoOpener : public DocumentOpener {
public:
    bool openDocument(std::string_view) override { return false; }
};
class StillClock : public Clock {
public:
    double seconds() override { return 0; }
    void sleep(double) override {}
};
class NoControls : public DialogControls {
public:
    void setEnabled(std::string_view, bool) override {}
    void setFocus(std::string_view) override {}
    bool hasEntries(std::string_view) const override { return true; }
    long criteriaRowCount() const override { return 1; }
    void openFileA() override {}
    void openFileB() override {}
    void openExportFile() override {}
};
class NoMainWindow : public MainWindowApi {
public:
    void menuViewFileA_Click() override {}
    void menuViewFileB_Click() override {}
    void menuViewExportedData_Click() override {}
    void menuViewVarnokeExportTable_Click() override {}
    void createTableList() override {}
    void setMenuEnabled(std::string_view, bool) override {}
    bool menuEnabled(std::string_view) const override { return true; }
    void showInfoNote(InfoNote, std::string_view) override {}
};

// --- the data

void execOrDie(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(msg + " in " + sql);
    }
}

std::string benchPath(const std::string& name, long rows) {
    return (fs::temp_directory_path() /
            ("varnoke_process_bench_" + name + "_" + std::to_string(rows) + ".mdb"))
        .string();
}

void insertShuffled(sqlite3* db, const std::string& table, const std::string& namePrefix, long rows,
                    unsigned seed) {
    std::vector<long> keys(static_cast<std::size_t>(rows));
    std::iota(keys.begin(), keys.end(), 0L);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("INSERT INTO " + table + " VALUES (?1, ?2)").c_str(), -1, &st, nullptr);
    for (long i = 0; i < rows; ++i) {
        const std::string code = "key" + std::to_string(keys[static_cast<std::size_t>(i)]);
        const std::string name = namePrefix + std::to_string(i);
        sqlite3_bind_text(st, 1, code.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

// A working database with Table1, Table2 and the criteria table, made once per size.
std::string makeTemplate(long rows) {
    const auto path = benchPath("template", rows);
    if (fs::exists(path)) return path;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    execOrDie(db, "CREATE TABLE SSysCriteria (If_This TEXT(64), condition TEXT(32), "
                  "This TEXT(255), conjunction TEXT(3))");
    execOrDie(db, "INSERT INTO SSysCriteria VALUES ('code', 'is equal to', 'File B.code', '')");
    execOrDie(db, "CREATE TABLE Table1 (code TEXT(20), name TEXT(40))");
    execOrDie(db, "CREATE TABLE Table2 (code TEXT(20), name TEXT(40))");
    execOrDie(db, "BEGIN");
    insertShuffled(db, "Table1", "a", rows, 1);
    insertShuffled(db, "Table2", "b", rows, 2);
    execOrDie(db, "COMMIT");
    sqlite3_close(db);
    return path;
}

std::string freshCopy(long rows) {
    const auto from = makeTemplate(rows);
    const auto to = benchPath("run", rows);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    return to;
}

// --- one Process run, as "&Process" starts it after its checks

void runReplace(benchmark::State& state, std::string_view method) {
    const long rows = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        const auto path = freshCopy(rows);
        {
            OkPrompter prompter;
            NoFilePicker files;
            NoEvents events;
            NoSettings settings;
            NoOpener opener;
            StillClock clock;
            Platform platform{prompter, files, events, settings, opener, clock};
            SharedState shared;
            Form4State form;
            Progress progress;
            NoControls controls;
            NoMainWindow mainWindow;
            ViewerWindows viewers;
            Registry registry;
            registerReplaceSteps(registry);
            registerFileAEvaluators(registry);
            shared.workDb = Engine::instance().openDatabase(path);
            shared.runMode = "2";
            Recordset criteria =
                shared.workDb.openRecordset("SSysCriteria", RecordsetType::Dynaset);
            form.controls.option2 = true;
            form.controls.combo3 = choice::Replace;
            form.controls.combo4 = "File A.name";
            form.controls.combo5 = "File B.name";
            form.controls.combo7 = method;
            form.controls.combo8 = choice::DoNotAddRecords;
            RunContext ctx{shared,   form.controls, form.run,   platform, progress,
                           criteria, controls,      mainWindow, viewers,  registry};
            state.ResumeTiming();

            processTwo(ctx);
            shared.workDb.flush();

            state.PauseTiming();
            if (shared.stopFlag != "y" || !form.run.runFinished.starts_with("y"))
                state.SkipWithError("the run did not finish");
            criteria.close();
            shared.workDb.close();
        }
        fs::remove(path);
        state.ResumeTiming();
    }
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(rows),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ReplaceFirstOccurrence(benchmark::State& state) {
    runReplace(state, choice::NonParallelFirstOccurrence);
}

void BM_ReplaceAllRecords(benchmark::State& state) {
    runReplace(state, choice::NonParallelAllRecords);
}

void BM_SqliteUpdateFrom(benchmark::State& state) {
    const long rows = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        const auto path = freshCopy(rows);
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        detail::configureConnection(db); // the engine's settings: both sides work alike
        state.ResumeTiming();
        execOrDie(db, "UPDATE Table1 SET name = Table2.name FROM Table2 "
                      "WHERE Table1.code = Table2.code");
        state.PauseTiming();
        sqlite3_close(db);
        fs::remove(path);
        state.ResumeTiming();
    }
    state.counters["records/s"] = benchmark::Counter(static_cast<double>(rows),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

constexpr long kSizes[] = {1000, 10000, 100000};

void sizes(benchmark::internal::Benchmark* b) {
    for (long n : kSizes)
        b->Arg(n);
    // One run of a small size takes a few milliseconds, one commit among them: the median
    // of three keeps a stray slow sync from deciding the comparison.
    b->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3)
        ->ReportAggregatesOnly()
        ->UseRealTime();
}

BENCHMARK(BM_ReplaceFirstOccurrence)->Apply(sizes);
BENCHMARK(BM_ReplaceAllRecords)->Apply(sizes);
BENCHMARK(BM_SqliteUpdateFrom)->Apply(sizes);

// Prints the usual lines, then one table of the medians: each run against the single
// statement, and how each grows from one size to the next (n log n from 10x more records
// is ~11.5x at 1,000 -> 10,000 and ~12.5x at 10,000 -> 100,000).
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            const std::string name = run.benchmark_name();
            const auto slash = name.find('/');
            const long n = std::stol(name.substr(slash + 1, name.find('/', slash + 1) - slash - 1));
            seconds_[name.substr(0, slash)][n] = run.GetAdjustedRealTime() / 1000.0;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto& sql = seconds_["BM_SqliteUpdateFrom"];
        std::printf("\n%-26s %9s %12s %14s %11s %12s\n", "run", "records", "seconds", "records/s",
                    "x UPDATE", "growth x10");
        for (const auto& [bench, bySize] : seconds_) {
            double previous = 0;
            for (const auto& [n, secs] : bySize) {
                const auto base = sql.find(n);
                const double ratio = base == sql.end() ? 0 : secs / base->second;
                std::printf("%-26s %9ld %12.4f %14.0f %11.1f", bench.c_str(), n, secs,
                            static_cast<double>(n) / secs, ratio);
                if (previous > 0)
                    std::printf(" %12.1f\n", secs / previous);
                else
                    std::printf(" %12s\n", "-");
                previous = secs;
            }
        }
    }

private:
    std::map<std::string, std::map<long, double>> seconds_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (long n : kSizes)
        fs::remove(benchPath("template", n));
    return 0;
}
