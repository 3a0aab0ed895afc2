// The engine against plain SQLite doing the same work in the same run: finds over
// growing tables (a find must not grow with the table), a walk through the rare rows of
// an Or, Edit/Update of every row, and a "select * into" copy. FindFolded: finds whose text term is
// folded away with a term no row meets, as a run's "and" of a key and a date before a blank writes
// them; each must cost about what a plain find of the key does, not a parse and two renderings.
#include "engine/connection.h"
#include "engine/engine.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace varnoke;

constexpr int kFinds = 10000;

std::string benchPath(const std::string& name, long rows) {
    return (fs::temp_directory_path() /
            ("varnoke_bench_" + name + "_" + std::to_string(rows) + ".mdb"))
        .string();
}

void execOrDie(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(msg);
    }
}

// A fresh file with T(Id LONG, Name TEXT(50), Amount DOUBLE, Born DATETIME) of n rows.
std::string makeTable(const std::string& name, long rows) {
    const auto path = benchPath(name, rows);
    fs::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    execOrDie(db, "CREATE TABLE T (Id LONG, Name TEXT(50), Amount DOUBLE, Born DATETIME)");
    execOrDie(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO T VALUES (?1, ?2, ?3, ?4)", -1, &st, nullptr);
    for (long i = 0; i < rows; ++i) {
        const std::string n = "name" + std::to_string(i);
        sqlite3_bind_int64(st, 1, i);
        sqlite3_bind_text(st, 2, n.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 3, static_cast<double>(i) * 1.5);
        sqlite3_bind_double(st, 4, 36000.0 + static_cast<double>(i % 5000));
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    execOrDie(db, "COMMIT");
    sqlite3_close(db);
    return path;
}

void BM_FindFirst_Engine(benchmark::State& state) {
    const long rows = state.range(0);
    const auto path = makeTable("find_engine", rows);
    {
        auto db = Engine::instance().openDatabase(path);
        auto rs = db.openRecordset("T", RecordsetType::Dynaset);
        rs.findFirst("Name = 'name0'"); // the first find of a column builds its index
        // The index joins the gathered writes; commit them as the program's idle timer
        // would, so the finds run outside a transaction as the plain SQLite ones do.
        db.flush();
        std::mt19937 rng(42);
        std::uniform_int_distribution<long> pick(0, rows - 1);
        for (auto _ : state) {
            for (int i = 0; i < kFinds; ++i) {
                rs.findFirst("Name = 'name" + std::to_string(pick(rng)) + "'");
                benchmark::DoNotOptimize(rs.absolutePosition());
            }
        }
        if (rs.noMatch()) state.SkipWithError("find failed");
        db.close();
    }
    fs::remove(path);
}

void BM_FindFolded_Engine(benchmark::State& state) {
    const long rows = state.range(0);
    const auto path = makeTable("find_folded", rows);
    {
        auto db = Engine::instance().openDatabase(path);
        auto rs = db.openRecordset("T", RecordsetType::Dynaset);
        std::mt19937 rng(42);
        std::uniform_int_distribution<long> pick(0, rows - 1);
        for (auto _ : state) {
            for (int i = 0; i < kFinds; ++i) {
                rs.findFirst("Name = 'name" + std::to_string(pick(rng)) +
                             "' and IsNull(Born) and not IsNull(Born)");
                benchmark::DoNotOptimize(rs.noMatch());
            }
        }
        if (!rs.noMatch()) state.SkipWithError("a find met a term no row meets");
        db.close();
    }
    fs::remove(path);
}

// A walk through every record of an Or whose terms are rare and far apart: one date in
// 5,000 and the last ten amounts. Each FindNext must go to its row through an index,
// whatever the number of records between.
void BM_FindNextOr_Engine(benchmark::State& state) {
    const long rows = state.range(0);
    const auto path = makeTable("find_next_or", rows);
    {
        auto db = Engine::instance().openDatabase(path);
        auto rs = db.openRecordset("T", RecordsetType::Dynaset);
        const std::string criteria =
            "Born = 36001 or Amount > " + std::to_string(static_cast<double>(rows - 10) * 1.5);
        rs.findFirst(criteria); // builds the indexes
        db.flush();
        long finds = 0;
        for (auto _ : state) {
            rs.findFirst(criteria);
            ++finds;
            while (!rs.noMatch()) {
                rs.findNext(criteria);
                ++finds;
            }
        }
        state.counters["find"] = benchmark::Counter(
            static_cast<double>(finds), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        db.close();
    }
    fs::remove(path);
}

void BM_FindFirst_Sqlite(benchmark::State& state) {
    const long rows = state.range(0);
    const auto path = makeTable("find_sqlite", rows);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    detail::configureConnection(db); // the engine's settings: both sides work alike
    execOrDie(db, "CREATE INDEX i ON T (Name" + std::string(detail::kCaseBlind) + ")");
    sqlite3_stmt* st = nullptr;
    const std::string find = "SELECT rowid FROM T WHERE Name = ?1" +
                             std::string(detail::kCaseBlind) +
                             " AND rowid > ?2 ORDER BY rowid LIMIT 1";
    sqlite3_prepare_v2(db, find.c_str(), -1, &st, nullptr);
    std::mt19937 rng(42);
    std::uniform_int_distribution<long> pick(0, rows - 1);
    for (auto _ : state) {
        for (int i = 0; i < kFinds; ++i) {
            const std::string n = "name" + std::to_string(pick(rng));
            sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(st, 2, -1e300);
            if (sqlite3_step(st) == SQLITE_ROW)
                benchmark::DoNotOptimize(sqlite3_column_int64(st, 0));
            sqlite3_reset(st);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    fs::remove(path);
}

void BM_EditUpdate_Engine(benchmark::State& state) {
    const long rows = state.range(0);
    const auto path = makeTable("update_engine", rows);
    auto db = Engine::instance().openDatabase(path);
    auto rs = db.openRecordset("T", RecordsetType::Dynaset);
    double bump = 0;
    for (auto _ : state) {
        bump += 1;
        rs.moveFirst();
        long i = 0;
        while (!rs.eof()) {
            rs.edit();
            rs.setValue("Amount", Value::number(static_cast<double>(i++) + bump));
            rs.update();
            rs.moveNext();
        }
        db.flush();
    }
    db.close();
    fs::remove(path);
}

void BM_EditUpdate_Sqlite(benchmark::State& state) {
    const long rows = state.range(0);
    const auto path = makeTable("update_sqlite", rows);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    detail::configureConnection(db); // the engine's settings: both sides work alike
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "UPDATE T SET Amount = ?1 WHERE rowid = ?2", -1, &st, nullptr);
    double bump = 0;
    for (auto _ : state) {
        bump += 1;
        execOrDie(db, "BEGIN");
        for (long i = 0; i < rows; ++i) {
            sqlite3_bind_double(st, 1, static_cast<double>(i) + bump);
            sqlite3_bind_int64(st, 2, i + 1);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        execOrDie(db, "COMMIT");
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    fs::remove(path);
}

void BM_SelectInto_Engine(benchmark::State& state) {
    const long rows = state.range(0);
    const auto path = makeTable("into_engine", rows);
    auto db = Engine::instance().openDatabase(path);
    for (auto _ : state) {
        db.execute("select * into 1A from T;");
        state.PauseTiming();
        db.execute("DROP TABLE [1A];");
        state.ResumeTiming();
    }
    db.close();
    fs::remove(path);
}

void BM_SelectInto_Sqlite(benchmark::State& state) {
    const long rows = state.range(0);
    const auto path = makeTable("into_sqlite", rows);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    detail::configureConnection(db); // the engine's settings: both sides work alike
    for (auto _ : state) {
        execOrDie(db, "BEGIN");
        execOrDie(db, "CREATE TABLE \"1A\" (Id LONG, Name TEXT(50), Amount DOUBLE, Born DATETIME)");
        execOrDie(db, "INSERT INTO \"1A\" SELECT Id, Name, Amount, Born FROM T");
        execOrDie(db, "COMMIT");
        state.PauseTiming();
        execOrDie(db, "DROP TABLE \"1A\"");
        state.ResumeTiming();
    }
    sqlite3_close(db);
    fs::remove(path);
}

} // namespace

BENCHMARK(BM_FindFirst_Engine)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindFirst_Sqlite)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNextOr_Engine)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindFolded_Engine)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditUpdate_Engine)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditUpdate_Sqlite)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectInto_Engine)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectInto_Sqlite)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
