// Linking a dBase table of a million records against the sqlite3 shell's .import of the
// same rows as CSV into a new database: each side run in turn, pair after pair, under
// /usr/bin/time, with the medians of elapsed time and peak memory (the whole link:
// drivers_bench --link, the program's reader and its engine's import and copy).
//
//   dbf_bench --make DIR      writes DIR/million.dbf and DIR/million.csv
//   dbf_bench DIR [pairs]     the comparison (5 pairs unless told)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "timed_run.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRecords = 1'000'000;

struct Field {
    const char* name;
    char type;
    int length;
    int decimals;
};
constexpr Field kFields[] = {
    {"ID", 'N', 10, 0},     {"NAME", 'C', 24, 0}, {"CITY", 'C', 16, 0},
    {"AMOUNT", 'N', 12, 2}, {"DAY", 'D', 8, 0},   {"ACTIVE", 'L', 1, 0},
};
const char* const kCities[] = {"Oslo", "Lyon", "Porto", "Graz", "Turku", "Bergen", "Ghent"};

std::string padded(std::string text, int length, bool right) {
    const auto n = static_cast<std::size_t>(length);
    if (text.size() >= n) return text.substr(0, n);
    return right ? std::string(n - text.size(), ' ') + text
                 : text + std::string(n - text.size(), ' ');
}

void make(const fs::path& dir) {
    fs::create_directories(dir);
    std::ofstream dbf(dir / "million.dbf", std::ios::binary);
    std::ofstream csv(dir / "million.csv", std::ios::binary);
    const std::size_t fields = std::size(kFields);
    const unsigned header = static_cast<unsigned>(32 + 32 * fields + 1);
    unsigned record = 1;
    for (const auto& f : kFields)
        record += static_cast<unsigned>(f.length);
    std::string head(32, '\0');
    head[0] = 0x03;
    head[1] = 124;
    head[2] = 1;
    head[3] = 1;
    for (int i = 0; i < 4; ++i)
        head[4 + i] = static_cast<char>(kRecords >> (8 * i) & 0xFF);
    head[8] = static_cast<char>(header & 0xFF);
    head[9] = static_cast<char>(header >> 8);
    head[10] = static_cast<char>(record & 0xFF);
    head[11] = static_cast<char>(record >> 8);
    head[29] = 0x57;
    dbf << head;
    for (const auto& f : kFields) {
        std::string d(32, '\0');
        std::copy_n(f.name, std::char_traits<char>::length(f.name), d.begin());
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        d[17] = static_cast<char>(f.decimals);
        dbf << d;
    }
    dbf << '\r';
    csv << "ID,NAME,CITY,AMOUNT,DAY,ACTIVE\n";
    char amount[32];
    for (std::uint32_t r = 1; r <= kRecords; ++r) {
        const std::string name = "Customer number " + std::to_string(r);
        const std::string city = kCities[r % std::size(kCities)];
        std::snprintf(amount, sizeof amount, "%.2f", (r % 100000) / 4.0);
        const unsigned year = 1990 + r % 30, month = 1 + r % 12, day = 1 + r % 28;
        char date[16];
        std::snprintf(date, sizeof date, "%04u%02u%02u", year, month, day);
        const bool active = r % 3 != 0;
        dbf << ' ' << padded(std::to_string(r), 10, true) << padded(name, 24, false)
            << padded(city, 16, false) << padded(amount, 12, true) << date << (active ? 'T' : 'F');
        std::snprintf(date, sizeof date, "%04u-%02u-%02u", year, month, day);
        csv << r << ',' << name << ',' << city << ',' << amount << ',' << date << ','
            << (active ? 1 : 0) << '\n';
    }
    dbf << '\x1A';
}

void compare(const fs::path& self, const fs::path& dir, int pairs) {
    const fs::path drivers = self.parent_path() / "drivers_bench";
    const fs::path target = fs::temp_directory_path() / "dbf_bench_import.db";
    const std::string link =
        drivers.string() + " --link 'dBase IV;DATABASE=" + dir.string() + "' million.dbf";
    const std::string import =
        "sqlite3 " + target.string() + " '.import --csv " + (dir / "million.csv").string() + " t'";
    char label[48];
    std::snprintf(label, sizeof label, "million.dbf, %.1f MB",
                  static_cast<double>(fs::file_size(dir / "million.dbf")) / 1e6);
    bench::comparePairs(label, link, "sqlite3 .import", import, pairs, [&] { fs::remove(target); });
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--make") {
        make(argv[2]);
        return 0;
    }
    if (argc < 2) {
        std::cerr << "usage: dbf_bench --make DIR | dbf_bench DIR [pairs]\n";
        return 2;
    }
    compare(fs::absolute(argv[0]), fs::absolute(argv[1]), argc > 2 ? std::atoi(argv[2]) : 5);
    return 0;
}
