// Reading a 100,000-record dBase table into an SQLite table the way the engine copies a
// linked table (one prepared INSERT, bound per row, one transaction), against the
// sqlite3 shell's .import of the same data as CSV, timed in the same run.
#include "drivers/foreign_reader.h"
#include "value/value.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using varnoke::ForeignField;
using varnoke::Value;

constexpr int kRecords = 100000;

struct Record {
    std::string name, city;
    double amount;
    int year, month, day;
    bool active;
};

Record recordAt(int i) {
    return {"Name " + std::to_string(i),
            "City " + std::to_string(i % 97),
            (i % 100000) / 100.0 + 1,
            1950 + i % 60,
            1 + i % 12,
            1 + i % 28,
            i % 3 == 0};
}

std::string padded(std::string s, std::size_t width, bool right = false) {
    if (s.size() > width) s.resize(width);
    const std::string pad(width - s.size(), ' ');
    return right ? pad + s : s + pad;
}

// A dBase III table with text, number, date and yes/no fields, and the same rows as CSV.
void writeData(const fs::path& dbf, const fs::path& csv) {
    struct F {
        const char* name;
        char type;
        unsigned char length, decimals;
    };
    const F fields[] = {{"NAME", 'C', 20, 0},
                        {"CITY", 'C', 15, 0},
                        {"AMOUNT", 'N', 10, 2},
                        {"BORN", 'D', 8, 0},
                        {"ACTIVE", 'L', 1, 0}};
    const unsigned short headerLength = 32 + 32 * 5 + 1;
    const unsigned short recordLength = 1 + 20 + 15 + 10 + 8 + 1;
    std::string out(32, '\0');
    out[0] = 0x03;
    out[1] = 124;
    out[2] = 1;
    out[3] = 1;
    for (int b = 0; b < 4; ++b)
        out[4 + b] = static_cast<char>((kRecords >> (8 * b)) & 0xFF);
    out[8] = static_cast<char>(headerLength & 0xFF);
    out[9] = static_cast<char>(headerLength >> 8);
    out[10] = static_cast<char>(recordLength & 0xFF);
    out[11] = static_cast<char>(recordLength >> 8);
    out[29] = 0x03;
    for (const auto& f : fields) {
        std::string d(32, '\0');
        std::snprintf(d.data(), 11, "%s", f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        d[17] = static_cast<char>(f.decimals);
        out += d;
    }
    out += '\x0D';
    std::ofstream text(csv);
    text << "NAME,CITY,AMOUNT,BORN,ACTIVE\n";
    char buffer[64];
    for (int i = 0; i < kRecords; ++i) {
        const Record r = recordAt(i);
        std::snprintf(buffer, sizeof buffer, "%.2f", r.amount);
        const std::string amount = buffer;
        std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", r.year, r.month, r.day);
        out += ' ' + padded(r.name, 20) + padded(r.city, 15) + padded(amount, 10, true) + buffer +
               (r.active ? 'T' : 'F');
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", r.year, r.month, r.day);
        text << r.name << ',' << r.city << ',' << amount << ',' << buffer << ','
             << (r.active ? 1 : 0) << '\n';
    }
    out += '\x1A';
    std::ofstream(dbf, std::ios::binary) << out;
}

// Copies rows as the engine's link copy does: one statement, bound per row.
class SqliteSink : public varnoke::ForeignTableSink {
public:
    explicit SqliteSink(sqlite3* db) : db_(db) {}
    ~SqliteSink() override { sqlite3_finalize(insert_); }

    void begin(const std::vector<ForeignField>& fields) override {
        std::string create = "CREATE TABLE t(", insert = "INSERT INTO t VALUES(";
        for (std::size_t i = 0; i < fields.size(); ++i) {
            create += (i ? ",\"" : "\"") + fields[i].name + "\"";
            insert += i ? ",?" : "?";
        }
        sqlite3_exec(db_, (create + ")").c_str(), nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db_, (insert + ")").c_str(), -1, &insert_, nullptr);
    }

    void row(std::vector<Value>& values) override {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int at = static_cast<int>(i + 1);
            const Value& v = values[i];
            switch (v.kind()) {
            case Value::Kind::Text:
                sqlite3_bind_text(insert_, at, v.asText().data(),
                                  static_cast<int>(v.asText().size()), SQLITE_TRANSIENT);
                break;
            case Value::Kind::Number:
                sqlite3_bind_double(insert_, at, v.asNumber());
                break;
            case Value::Kind::Date:
                sqlite3_bind_double(insert_, at, v.asDateSerial());
                break;
            case Value::Kind::Boolean:
                sqlite3_bind_int(insert_, at, v.asBoolean() ? -1 : 0);
                break;
            default:
                sqlite3_bind_null(insert_, at);
            }
        }
        sqlite3_step(insert_);
        sqlite3_reset(insert_);
        sqlite3_clear_bindings(insert_);
        ++rows;
    }

    long rows = 0;

private:
    sqlite3* db_;
    sqlite3_stmt* insert_ = nullptr;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_DbfIntoSqliteVsCliImport(benchmark::State& state) {
    const fs::path dir =
        fs::temp_directory_path() / ("varnoke_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    writeData(dir / "people.dbf", dir / "people.csv");
    const std::string connect = "dBase IV;DATABASE=" + dir.string();
    const auto* reader = varnoke::findReader(connect);
    if (!reader) {
        state.SkipWithError("no dBase reader");
        return;
    }
    double readerSeconds = 0, importSeconds = 0;
    for (auto _ : state) {
        fs::remove(dir / "ours.db");
        fs::remove(dir / "cli.db");
        auto start = std::chrono::steady_clock::now();
        sqlite3* db = nullptr;
        sqlite3_open((dir / "ours.db").c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        {
            SqliteSink sink(db);
            reader->read({connect, dir.string(), "people"}, sink);
            if (sink.rows != kRecords) state.SkipWithError("wrong record count");
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        readerSeconds += secondsSince(start);

        state.PauseTiming();
        start = std::chrono::steady_clock::now();
        const std::string command = "sqlite3 '" + (dir / "cli.db").string() +
                                    "' '.mode csv' '.import " + (dir / "people.csv").string() +
                                    " t'";
        if (std::system(command.c_str()) != 0) state.SkipWithError("sqlite3 .import failed");
        importSeconds += secondsSince(start);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["reader_s"] = readerSeconds / n;
    state.counters["sqlite3_import_s"] = importSeconds / n;
    state.counters["ratio"] = readerSeconds / importSeconds;
    fs::remove_all(dir);
}

BENCHMARK(BM_DbfIntoSqliteVsCliImport)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
