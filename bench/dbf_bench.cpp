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

struct Run {
    double seconds = 0;
    double megabytes = 0;
    std::string said;
};

Run timed(const std::string& command) {
    const fs::path report = fs::temp_directory_path() / "dbf_bench_time.txt";
    const fs::path output = fs::temp_directory_path() / "dbf_bench_output.txt";
    const std::string line = "/usr/bin/time -f '%e %M' -o " + report.string() + " " + command +
                             " >" + output.string() + " 2>/dev/null";
    if (std::system(line.c_str()) != 0) std::cerr << "failed: " << command << "\n";
    Run run;
    std::ifstream said(output);
    std::getline(said, run.said);
    std::ifstream in(report);
    double kilobytes = 0;
    in >> run.seconds >> kilobytes;
    run.megabytes = kilobytes / 1024;
    return run;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void compare(const fs::path& self, const fs::path& dir, int pairs) {
    const fs::path bench = self.parent_path() / "drivers_bench";
    const fs::path target = fs::temp_directory_path() / "dbf_bench_import.db";
    const std::string link =
        bench.string() + " --link 'dBase IV;DATABASE=" + dir.string() + "' million.dbf";
    const std::string import =
        "sqlite3 " + target.string() + " '.import --csv " + (dir / "million.csv").string() + " t'";
    std::vector<double> ours, theirs, ourMemory, theirMemory, ratios;
    std::string said;
    for (int p = 0; p < pairs; ++p) {
        const Run a = timed(link);
        fs::remove(target);
        const Run b = timed(import);
        fs::remove(target);
        said = a.said;
        ours.push_back(a.seconds);
        theirs.push_back(b.seconds);
        ourMemory.push_back(a.megabytes);
        theirMemory.push_back(b.megabytes);
        ratios.push_back(b.seconds > 0 ? a.seconds / b.seconds : 0);
    }
    std::printf(
        "million.dbf (%.1f MB, %s): link %.2f s, sqlite3 .import %.2f s, ratio %.2f "
        "(pairs %.2f-%.2f); peak memory %.0f MB against %.0f MB\n",
        static_cast<double>(fs::file_size(dir / "million.dbf")) / 1e6, said.c_str(), median(ours),
        median(theirs), median(ratios), *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()), median(ourMemory), median(theirMemory));
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
