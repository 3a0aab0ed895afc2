// Whole Process runs (step loop, decision table, steps, dispatchers, evaluators, engine)
// against the one SQLite statement that does the same work on the same data, with the
// engine's connection settings on both sides:
//   replace-first  first-occurrence replace of File A's name by File B's  UPDATE ... FROM
//   replace-all    the same under "all records"                            UPDATE ... FROM
//   delete-first   first-occurrence delete of File A's matching records    DELETE ... WHERE IN
//                  (SQLite 3.40 runs DELETE ... WHERE EXISTS as a scan of File B per
//                  record, 5 s at 10,000 records: the IN form is its fast equivalent)
//   export         first-occurrence export of File A's matching records    INSERT ... SELECT join
//   delete-all     the delete under "all records"                          DELETE ... WHERE IN
//   replace-parallel  parallel replace over files whose records line up    UPDATE ... FROM on
//                  (File B holds File A's keys in File A's order)          the row number
// The keys are unique and each file holds them in its own order, so every method changes
// the same records as the statement. The two sides of a pair run back to back on fresh
// copies of one file, taking turns at going first; each size reports the median of the
// pairs' ratios and its spread (lowest to highest ratio).
//
// case-keys: the first-occurrence replace where File A holds ten keys in every letter
// case but one, the exact one last of all, and File B asks for the exact keys; reports
// the time per size and the growth exponent between sizes (n log n is about 1.1).
//
// Usage:
//   process_bench [--pairs N] [--sizes 10000,100000] [--runs replace-first,export,...]
//   process_bench --one RUN SIZE process|sqlite [TEMPLATE]  one side once (/usr/bin/time -v)
//   process_bench --make RUN SIZE TEMPLATE         the data of --one, made beforehand so that
//                                                  making it is not in --one's peak memory
#include "engine/connection.h"
#include "engine/engine.h"
#include "evaluate/register_file_a.h"
#include "evaluate/register_file_b.h"
#include "process/process_command.h"
#include "process/run_context.h"
#include "steps/delete_steps.h"
#include "steps/export_steps.h"
#include "steps/replace_steps.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numeric>
#include <random>
#include <sstream>
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

// --- the runs

enum class Action { Replace, Delete, Export };

// Shuffled: each file holds the keys in its own order; Lined: File B in File A's order;
// CaseKeys: see case-keys above.
enum class Data { Shuffled, Lined, CaseKeys };

struct RunKind {
    std::string name;
    Action action;
    std::string_view method;
    std::string statement; // the single SQLite statement
    std::string check;     // a count both sides must agree on afterwards
    Data data = Data::Shuffled;
};

const std::string kUpdateFrom =
    "UPDATE Table1 SET name = Table2.name FROM Table2 WHERE Table1.code = Table2.code";
const std::string kReplaced = "SELECT count(*) FROM Table1 WHERE name LIKE 'b%'";

const std::vector<RunKind> kRuns = {
    {"replace-first", Action::Replace, choice::NonParallelFirstOccurrence, kUpdateFrom, kReplaced},
    {"replace-all", Action::Replace, choice::NonParallelAllRecords, kUpdateFrom, kReplaced},
    {"delete-first", Action::Delete, choice::NonParallelFirstOccurrence,
     "DELETE FROM Table1 WHERE code IN (SELECT code FROM Table2)", "SELECT count(*) FROM Table1"},
    {"export", Action::Export, choice::NonParallelFirstOccurrence,
     "INSERT INTO \"Exported Data\" (code, name) SELECT Table1.code, Table1.name FROM Table1 "
     "JOIN Table2 ON Table1.code = Table2.code",
     "SELECT count(*) FROM \"Exported Data\""},
    {"delete-all", Action::Delete, choice::NonParallelAllRecords,
     "DELETE FROM Table1 WHERE code IN (SELECT code FROM Table2)", "SELECT count(*) FROM Table1"},
    {"replace-parallel", Action::Replace, choice::ParallelOneRecord,
     "UPDATE Table1 SET name = Table2.name FROM Table2 WHERE Table1.rowid = Table2.rowid AND "
     "Table1.code = Table2.code",
     kReplaced, Data::Lined},
};

const RunKind kCaseKeys{"case-keys", Action::Replace, choice::NonParallelFirstOccurrence,
                        kUpdateFrom, kReplaced,       Data::CaseKeys};

const char* dataName(Data data) {
    switch (data) {
    case Data::Shuffled:
        return "template";
    case Data::Lined:
        return "lined";
    case Data::CaseKeys:
        return "casekeys";
    }
    return "";
}

// --- the data

void execOrDie(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(msg + " in " + sql);
    }
}

long countOf(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    const long n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    sqlite3_finalize(st);
    return n;
}

std::string benchPath(const std::string& name, long rows) {
    return (fs::temp_directory_path() / ("varnoke_process_bench_" + std::to_string(::getpid()) +
                                         "_" + name + "_" + std::to_string(rows) + ".mdb"))
        .string();
}

void insertRows(sqlite3* db, const std::string& table, const std::vector<std::string>& codes,
                const std::string& namePrefix) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("INSERT INTO " + table + " VALUES (?1, ?2)").c_str(), -1, &st, nullptr);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const std::string name = namePrefix + std::to_string(i);
        sqlite3_bind_text(st, 1, codes[i].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

std::vector<std::string> shuffledKeys(long rows, unsigned seed) {
    std::vector<long> keys(static_cast<std::size_t>(rows));
    std::iota(keys.begin(), keys.end(), 0L);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
    std::vector<std::string> out;
    out.reserve(keys.size());
    for (long k : keys)
        out.push_back("key" + std::to_string(k));
    return out;
}

// Ten keys of sixteen letters; variant v of key g writes letter b in capitals when bit b
// of v is set, so variant 0 is the exact key.
std::string caseVariant(int g, long v) {
    std::string s(16, static_cast<char>('a' + g));
    for (int b = 0; b < 16; ++b)
        if ((v >> b) & 1) s[static_cast<std::size_t>(b)] = static_cast<char>('A' + g);
    return s;
}

// A working database with Table1, Table2, the criteria table and an empty export file.
// At `path`, unless a file is there.
std::string makeTemplateAt(const std::string& path, long rows, Data data) {
    if (fs::exists(path)) return path;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    execOrDie(db, "CREATE TABLE SSysCriteria (If_This TEXT(64), condition TEXT(32), "
                  "This TEXT(255), conjunction TEXT(3))");
    execOrDie(db, "INSERT INTO SSysCriteria VALUES ('code', 'is equal to', 'File B.code', '')");
    execOrDie(db, "CREATE TABLE Table1 (code TEXT(20), name TEXT(40))");
    execOrDie(db, "CREATE TABLE Table2 (code TEXT(20), name TEXT(40))");
    execOrDie(db, "CREATE TABLE \"Exported Data\" (code TEXT(20), name TEXT(40))");
    execOrDie(db, "BEGIN");
    if (data == Data::CaseKeys) {
        // File A: every key in other cases first, the exact ten last; File B asks for the
        // exact keys in turn.
        std::vector<std::string> a, b;
        for (long i = 0; i < rows - 10; ++i)
            a.push_back(caseVariant(static_cast<int>(i % 10), i / 10 + 1));
        for (int g = 0; g < 10; ++g)
            a.push_back(caseVariant(g, 0));
        for (long i = 0; i < rows; ++i)
            b.push_back(caseVariant(static_cast<int>(i % 10), 0));
        insertRows(db, "Table1", a, "a");
        insertRows(db, "Table2", b, "b");
    } else {
        insertRows(db, "Table1", shuffledKeys(rows, 1), "a");
        insertRows(db, "Table2", shuffledKeys(rows, data == Data::Lined ? 1 : 2), "b");
    }
    execOrDie(db, "COMMIT");
    sqlite3_close(db);
    return path;
}

std::string makeTemplate(long rows, Data data) {
    return makeTemplateAt(benchPath(dataName(data), rows), rows, data);
}

std::string freshCopy(long rows, Data data) {
    const auto from = makeTemplate(rows, data);
    const auto to = benchPath("run", rows);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    return to;
}

long checkCount(const std::string& path, const RunKind& kind) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const long n = countOf(db, kind.check);
    sqlite3_close(db);
    return n;
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One Process run, as "&Process" starts it after its checks; the seconds it took,
// through the commit of its last write.
double runProcess(const std::string& path, const RunKind& kind) {
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
    registerDeleteSteps(registry);
    registerExportSteps(registry);
    registerFileAEvaluators(registry);
    registerFileBEvaluators(registry);
    shared.workDb = Engine::instance().openDatabase(path);
    shared.runMode = "2";
    Recordset criteria = shared.workDb.openRecordset("SSysCriteria", RecordsetType::Dynaset);
    Form4Choices& c = form.controls;
    c.option1 = false;
    c.option2 = true;
    c.combo7 = kind.method;
    c.combo8 = choice::DoNotAddRecords;
    switch (kind.action) {
    case Action::Replace:
        c.combo3 = choice::Replace;
        c.combo4 = "File A.name";
        c.combo5 = "File B.name";
        break;
    case Action::Delete:
        c.combo3 = choice::Delete;
        c.combo4 = choice::EntireRecordFromFileA;
        break;
    case Action::Export:
        c.combo3 = choice::Export;
        c.combo9Visible = true;
        c.combo9 = choice::EntireRecordFromFileA;
        c.list1 = {"code", "name"};
        c.list2 = {"code", "name"};
        c.list3 = {"File A.code", "File A.name", "File B.code", "File B.name"};
        c.list3Selected = {false, false, false, false};
        shared.exportFileOpen = "y";
        break;
    }
    RunContext ctx{shared,   form.controls, form.run,   platform, progress,
                   criteria, controls,      mainWindow, viewers,  registry};

    const auto start = Clock::now();
    processTwo(ctx);
    shared.workDb.flush();
    const double secs = secondsSince(start);

    if (shared.stopFlag != "y" || !form.run.runFinished.starts_with("y"))
        throw std::runtime_error(kind.name + ": the run did not finish");
    criteria.close();
    shared.rsExportFile.close();
    shared.workDb.close();
    return secs;
}

double runStatement(const std::string& path, const RunKind& kind) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    detail::configureConnection(db); // the engine's settings: both sides work alike
    const auto start = Clock::now();
    execOrDie(db, kind.statement);
    const double secs = secondsSince(start);
    sqlite3_close(db);
    return secs;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// --- the comparisons

struct Pairs {
    std::vector<double> process, sql, ratio;
};

Pairs comparePairs(const RunKind& kind, long rows, int pairs) {
    Pairs out;
    for (int i = 0; i < pairs; ++i) {
        double p = 0, s = 0;
        long pCount = 0, sCount = 0;
        auto processSide = [&] {
            const auto path = freshCopy(rows, kind.data);
            p = runProcess(path, kind);
            pCount = checkCount(path, kind);
            fs::remove(path);
        };
        auto sqlSide = [&] {
            const auto path = freshCopy(rows, kind.data);
            s = runStatement(path, kind);
            sCount = checkCount(path, kind);
            fs::remove(path);
        };
        // Each side goes first in turn, so a slow spell of the machine hits both alike.
        if (i % 2 == 0) {
            processSide();
            sqlSide();
        } else {
            sqlSide();
            processSide();
        }
        if (pCount != sCount)
            throw std::runtime_error(kind.name + ": the run and the statement disagree (" +
                                     std::to_string(pCount) + " against " + std::to_string(sCount) +
                                     ")");
        out.process.push_back(p);
        out.sql.push_back(s);
        out.ratio.push_back(p / s);
        std::fprintf(stderr, "  %s %ld pair %d: %.3f s / %.3f s = %.2f\n", kind.name.c_str(), rows,
                     i + 1, p, s, p / s);
    }
    return out;
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) out.push_back(item);
    return out;
}

const RunKind& kindNamed(const std::string& name) {
    if (name == kCaseKeys.name) return kCaseKeys;
    for (const auto& k : kRuns)
        if (k.name == name) return k;
    throw std::runtime_error("no run named " + name);
}

void caseKeysGrowth(const std::vector<long>& sizes, int pairs) {
    std::printf("\n%-14s %9s %12s %10s\n", "run", "records", "seconds", "exponent");
    double prevSecs = 0;
    long prevRows = 0;
    for (long rows : sizes) {
        std::vector<double> times;
        for (int i = 0; i < pairs; ++i) {
            const auto path = freshCopy(rows, Data::CaseKeys);
            times.push_back(runProcess(path, kCaseKeys));
            // Only the exact keys are replaced, never a case variant.
            if (checkCount(path, kCaseKeys) != 10)
                throw std::runtime_error("case-keys: a case variant was replaced");
            fs::remove(path);
        }
        const double secs = median(times);
        std::printf("%-14s %9ld %12.4f", kCaseKeys.name.c_str(), rows, secs);
        if (prevRows > 0)
            std::printf(" %10.2f\n",
                        std::log(secs / prevSecs) / std::log(static_cast<double>(rows) / prevRows));
        else
            std::printf(" %10s\n", "-");
        std::fflush(stdout);
        prevSecs = secs;
        prevRows = rows;
    }
}

// A template made by --make, so that making the data is not in this process's peak memory.
int runOne(const std::string& name, long rows, const std::string& side,
           const std::string& madeTemplate) {
    const RunKind& kind = kindNamed(name);
    const auto path = madeTemplate.empty() ? freshCopy(rows, kind.data) : benchPath("run", rows);
    if (!madeTemplate.empty())
        fs::copy_file(madeTemplate, path, fs::copy_options::overwrite_existing);
    const double secs = side == "sqlite" ? runStatement(path, kind) : runProcess(path, kind);
    std::printf("%s %ld %s: %.3f s, count %ld\n", name.c_str(), rows, side.c_str(), secs,
                checkCount(path, kind));
    fs::remove(path);
    fs::remove(benchPath(dataName(kind.data), rows));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The engine sets SQLite up before the data is made; the plain statements run under
    // the same settings.
    Engine::instance();
    int pairs = 5;
    std::vector<long> sizes = {10000, 100000, 1000000};
    std::vector<long> caseSizes = {1000, 4000, 16000, 64000};
    std::vector<std::string> runs = {"replace-first", "replace-all",      "delete-first", "export",
                                     "delete-all",    "replace-parallel", "case-keys"};
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            auto next = [&]() -> std::string {
                if (i + 1 >= argc) throw std::runtime_error(a + " wants a value");
                return argv[++i];
            };
            if (a == "--one" && i + 3 < argc)
                return runOne(argv[i + 1], std::stol(argv[i + 2]), argv[i + 3],
                              i + 4 < argc ? argv[i + 4] : "");
            if (a == "--make" && i + 3 < argc) {
                makeTemplateAt(argv[i + 3], std::stol(argv[i + 2]), kindNamed(argv[i + 1]).data);
                return 0;
            }
            if (a == "--pairs") {
                pairs = std::stoi(next());
            } else if (a == "--sizes") {
                sizes.clear();
                for (const auto& s : splitList(next()))
                    sizes.push_back(std::stol(s));
            } else if (a == "--case-sizes") {
                caseSizes.clear();
                for (const auto& s : splitList(next()))
                    caseSizes.push_back(std::stol(s));
            } else if (a == "--runs") {
                runs = splitList(next());
            } else {
                throw std::runtime_error("unknown option " + a);
            }
        }

        std::printf("%-14s %9s %6s %11s %11s %9s %17s %10s\n", "run", "records", "pairs", "run s",
                    "SQLite s", "ratio", "spread", "growth");
        for (const auto& name : runs) {
            if (name == kCaseKeys.name) continue;
            const RunKind& kind = kindNamed(name);
            double prev = 0;
            long prevRows = 0;
            for (long rows : sizes) {
                const Pairs p = comparePairs(kind, rows, pairs);
                const double secs = median(p.process);
                std::printf("%-14s %9ld %6d %11.4f %11.4f %9.2f %8.2f - %6.2f", name.c_str(), rows,
                            pairs, secs, median(p.sql), median(p.ratio),
                            *std::min_element(p.ratio.begin(), p.ratio.end()),
                            *std::max_element(p.ratio.begin(), p.ratio.end()));
                // Growth per tenfold: n log n is about 11.5 to 12.5.
                if (prevRows > 0)
                    std::printf(" %9.1fx\n", secs / prev);
                else
                    std::printf(" %10s\n", "-");
                std::fflush(stdout);
                prev = secs;
                prevRows = rows;
            }
        }
        if (std::find(runs.begin(), runs.end(), kCaseKeys.name) != runs.end())
            caseKeysGrowth(caseSizes, pairs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "process_bench: %s\n", e.what());
        return 1;
    }
    for (long n : sizes) {
        fs::remove(benchPath(dataName(Data::Shuffled), n));
        fs::remove(benchPath(dataName(Data::Lined), n));
    }
    for (long n : caseSizes)
        fs::remove(benchPath("casekeys", n));
    return 0;
}
