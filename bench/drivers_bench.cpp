// Linking a dBase table and a CSV file the way the opener does (the reader, the
// engine's import into a transient table, the copy into the working table), against
// the sqlite3 shell's .import of the same rows as CSV. The two sides run in turn,
// pair after pair, and the medians are reported with the lowest and highest ratio of a
// pair.
//
//   drivers_bench [pairs]                  the comparison at 100,000 and 1,000,000 rows
//   drivers_bench --make DIR ROWS          writes DIR/people.dbf and DIR/people.csv
//   drivers_bench --link CONNECT TABLE [only]
//                                          links one table once (for /usr/bin/time -v);
//                                          with "only", without the copy into Table1
//   drivers_bench --attach DATATYPE PATH   links one file once as the comparison dialog
//                                          does (the attacher, its field list included)
//   drivers_bench --make-html DIR          writes HTML pages for --link: a table of
//                                          52 MB, one of 100,500 rows with a wide
//                                          cell each, pages of 1, 10 and 50 MB nesting
//                                          tables in captions and cells, and hostile
//                                          pages of 10 MB (spans among them)
#include "dialog/dialog_ports.h"
#include "dialog/file_attacher.h"
#include "engine/engine.h"
#include "platform/services.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using varnoke::Database;
using varnoke::Engine;

struct Record {
    std::string name, city;
    double amount;
    int year, month, day;
    bool active;
};

Record recordAt(long i) {
    return {"Name " + std::to_string(i),
            "City " + std::to_string(i % 97),
            static_cast<double>(i % 100000) / 100.0 + 1,
            static_cast<int>(1950 + i % 60),
            static_cast<int>(1 + i % 12),
            static_cast<int>(1 + i % 28),
            i % 3 == 0};
}

std::string padded(std::string s, std::size_t width, bool right = false) {
    if (s.size() > width) s.resize(width);
    const std::string pad(width - s.size(), ' ');
    return right ? pad + s : s + pad;
}

// A dBase III table with text, number, date and yes/no fields, and the same rows as CSV.
void writeData(const fs::path& dir, long records) {
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
    std::string head(32, '\0');
    head[0] = 0x03;
    head[1] = 124;
    head[2] = 1;
    head[3] = 1;
    for (int b = 0; b < 4; ++b)
        head[4 + b] = static_cast<char>((records >> (8 * b)) & 0xFF);
    head[8] = static_cast<char>(headerLength & 0xFF);
    head[9] = static_cast<char>(headerLength >> 8);
    head[10] = static_cast<char>(recordLength & 0xFF);
    head[11] = static_cast<char>(recordLength >> 8);
    head[29] = 0x03;
    for (const auto& f : fields) {
        std::string d(32, '\0');
        std::snprintf(d.data(), 11, "%s", f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        d[17] = static_cast<char>(f.decimals);
        head += d;
    }
    head += '\x0D';
    std::ofstream dbf(dir / "people.dbf", std::ios::binary);
    std::ofstream text(dir / "people.csv", std::ios::binary);
    dbf << head;
    text << "NAME,CITY,AMOUNT,BORN,ACTIVE\n";
    char buffer[64];
    for (long i = 0; i < records; ++i) {
        const Record r = recordAt(i);
        std::snprintf(buffer, sizeof buffer, "%.2f", r.amount);
        const std::string amount = buffer;
        std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", r.year, r.month, r.day);
        dbf << ' ' << padded(r.name, 20) << padded(r.city, 15) << padded(amount, 10, true) << buffer
            << (r.active ? 'T' : 'F');
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", r.year, r.month, r.day);
        text << r.name << ',' << r.city << ',' << amount << ',' << buffer << ','
             << (r.active ? 1 : 0) << '\n';
    }
    dbf << '\x1A';
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// An empty working database file.
void createDatabase(const fs::path& path) {
    fs::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA user_version = 0", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The opener's path: link into the transient table, copy it into the working table,
// drop the transient one. Returns the working table's record count.
long linkAsTheOpenerDoes(const fs::path& workDb, const std::string& connect,
                         const std::string& table, bool copy = true) {
    Database db = Engine::instance().openDatabase(workDb.string());
    db.tableDefs().append(db.createTableDef("1A", connect, table));
    if (copy) {
        db.execute("select * into [Table1] from [1A];");
        db.tableDefs().remove("1A");
    }
    db.close();
    // Counted apart: a recordset would hold the table's row set, no part of the link.
    sqlite3* raw = nullptr;
    sqlite3_open(workDb.c_str(), &raw);
    sqlite3_stmt* st = nullptr;
    const std::string sql =
        std::string("SELECT count(*) FROM \"") + (copy ? "Table1" : "1A") + "\"";
    sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr);
    const long count = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    sqlite3_finalize(st);
    sqlite3_close(raw);
    return count;
}

// The comparison dialog's path: the attacher reads the file into 1A, lists its fields
// and copies it into Table1. Returns the number of fields listed.
long attachAsTheDialogDoes(const fs::path& workDb, const std::string& dataType,
                           const std::string& path) {
    struct NoEvents : varnoke::EventPump {
        void yieldToEvents() override {}
    } events;
    struct Rethrow : varnoke::ErrorHandler {
        void handleError(const varnoke::RuntimeError& error) override { throw error; }
    } errors;
    varnoke::SharedState shared;
    shared.workDb = Engine::instance().openDatabase(workDb.string());
    varnoke::parseName(shared, path);
    if (!varnoke::applyTableType(shared, dataType))
        throw varnoke::EngineError(3170, "no data type " + dataType);
    shared.attachTableName = "Table1";
    varnoke::FileAttacher attacher(shared, events, errors);
    if (attacher.connectOne(shared.attachFile, "1A") != varnoke::LinkResult::Linked)
        throw varnoke::EngineError(3051, attacher.linkFailure());
    shared.workDb.close();
    return static_cast<long>(attacher.fieldNames().size());
}

// A page of piece repeated to size bytes, between head and tail.
void writePage(const fs::path& path, const std::string& head, const std::string& piece,
               std::size_t size, const std::string& tail = {}) {
    std::ofstream out(path, std::ios::binary);
    out << head;
    for (std::size_t written = head.size(); written < size; written += piece.size())
        out << piece;
    out << tail;
}

void writeHtmlPages(const fs::path& dir) {
    constexpr std::size_t MB = 1'000'000;
    writePage(dir / "rows.html", "<table><tr><th>Name<th>Age<th>Weight<th>Born<th>Note\n",
              "<tr><td>Alice</td><td align=right>34</td><td>61.5</td><td>1990-03-01</td>"
              "<td>Likes &quot;tea&quot;, biscuits</td></tr>\n",
              52 * MB, "</table>");
    for (const std::size_t mb : {1, 10, 50})
        writePage(dir / ("caption_" + std::to_string(mb) + "mb.html"), "<table><caption><table>",
                  "<tr><td>x<table></td>", mb * MB);
    writePage(dir / "nested_tables.html", "", "<table><tr><td>", 10 * MB);
    auto repeated = [](const std::string& piece, int count) {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += piece;
        return out;
    };
    writePage(dir / "fonts_unmatched_ends.html",
              "<table><tr><th>A<tr><td>" + repeated("<font>", 600), "</b>", 10 * MB);
    // End tags whose element lies far below what stays open.
    writePage(dir / "far_ends.html", "<table><tr><td>" + repeated("<table><caption>", 250), "</td>",
              10 * MB);
    writePage(dir / "divs.html", "<table><tr><th>A<tr><td>", "<div>", 10 * MB);
    writePage(dir / "cells.html", "<table><tr><th>A<tr>", "<td>", 10 * MB);
    writePage(dir / "references.html", "<table><tr><th>A<tr><td>", "&frac12x&#150;&bogus ",
              10 * MB);
    writePage(dir / "comment_open.html", "<table><tr><th>A<tr><td>x<!--", "- -", 10 * MB);
    // A sound page of 100,500 rows, each with a cell two columns wide.
    const std::string wideRow = "<tr><td colspan=2>Alice<td>34</tr>\n";
    writePage(dir / "colspan_rows.html", "<table><tr><th>A<th>B<th>C\n", wideRow,
              100'500 * wideRow.size(), "</table>");
    // Spans on every row: across, down over all rows, down to each group's end, and a
    // new span down on every row.
    writePage(dir / "colspan_1000.html", "<table><tr><th>A</th></tr>",
              "<tr><td colspan=1000>x</td><td>y</td></tr>", 10 * MB, "</table>");
    writePage(dir / "rowspan_down.html", "<table><tr><td rowspan=65534 colspan=1000>x", "<tr>",
              10 * MB);
    writePage(dir / "rowspan_zero_groups.html", "<table>",
              "<tbody><tr><td rowspan=0 colspan=1000>x<tr><tr><tr><tr><tr>", 10 * MB);
    writePage(dir / "rowspan_every_row.html", "<table>", "<tr><td rowspan=65534>x", 10 * MB);
    writePage(dir / "colspan_past_fields.html", "<table><tr>", "<td colspan=1000>", 10 * MB);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int compare(int pairs) {
    const fs::path dir =
        fs::temp_directory_path() / ("varnoke_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // The pairs' lowest and highest ratios show how far single runs spread.
    std::printf("%-8s %9s %12s %12s %7s %7s %7s\n", "source", "rows", "link_s", "import_s", "ratio",
                "lowest", "highest");
    for (const long rows : {100000L, 1000000L}) {
        writeData(dir, rows);
        struct Side {
            const char* label;
            std::string connect, table;
        };
        const Side sides[] = {{"dBase", "dBase IV;DATABASE=" + dir.string(), "people"},
                              {"CSV", "Text;DATABASE=" + dir.string(), "people.csv"}};
        for (const auto& side : sides) {
            std::vector<double> ours, theirs, ratios;
            for (int p = 0; p < pairs; ++p) {
                createDatabase(dir / "work.db");
                auto start = std::chrono::steady_clock::now();
                const long linked = linkAsTheOpenerDoes(dir / "work.db", side.connect, side.table);
                ours.push_back(secondsSince(start));
                if (linked != rows) {
                    std::fprintf(stderr, "%s: %ld rows linked, %ld written\n", side.label, linked,
                                 rows);
                    return 1;
                }
                fs::remove(dir / "cli.db");
                start = std::chrono::steady_clock::now();
                const std::string command = "sqlite3 '" + (dir / "cli.db").string() +
                                            "' '.mode csv' '.import " +
                                            (dir / "people.csv").string() + " t'";
                if (std::system(command.c_str()) != 0) {
                    std::fprintf(stderr, "sqlite3 .import failed\n");
                    return 1;
                }
                theirs.push_back(secondsSince(start));
                ratios.push_back(ours.back() / theirs.back());
            }
            const auto [lowest, highest] = std::minmax_element(ratios.begin(), ratios.end());
            std::printf("%-8s %9ld %12.3f %12.3f %7.2f %7.2f %7.2f\n", side.label, rows,
                        median(ours), median(theirs), median(ratios), *lowest, *highest);
        }
    }
    fs::remove_all(dir);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "--make") {
        fs::create_directories(args[1]);
        writeData(args[1], std::stol(args[2]));
        return 0;
    }
    if (args.size() == 2 && args[0] == "--make-html") {
        fs::create_directories(args[1]);
        writeHtmlPages(args[1]);
        return 0;
    }
    if ((args.size() == 3 || args.size() == 4) && args[0] == "--link") {
        const fs::path workDb =
            fs::temp_directory_path() / ("varnoke_link_" + std::to_string(::getpid()) + ".db");
        createDatabase(workDb);
        int status = 0;
        try {
            std::cout << linkAsTheOpenerDoes(workDb, args[1], args[2], args.size() == 3)
                      << " records linked\n";
        } catch (const varnoke::EngineError& e) {
            std::cout << "Error " << e.number() << ": " << e.what() << "\n";
            status = 2;
        }
        fs::remove(workDb);
        return status;
    }
    if (args.size() == 3 && args[0] == "--attach") {
        const fs::path workDb =
            fs::temp_directory_path() / ("varnoke_attach_" + std::to_string(::getpid()) + ".db");
        createDatabase(workDb);
        int status = 0;
        try {
            std::cout << attachAsTheDialogDoes(workDb, args[1], args[2]) << " fields listed\n";
        } catch (const varnoke::RuntimeError& e) {
            std::cout << "Error " << e.number() << ": " << e.what() << "\n";
            status = 2;
        }
        fs::remove(workDb);
        return status;
    }
    return compare(args.size() == 1 ? std::stoi(args[0]) : 5);
}
