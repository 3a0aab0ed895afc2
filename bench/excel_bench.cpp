// Linking Excel 97-2003 (BIFF8) worksheets against gnumeric's ssconvert to CSV on the same
// files: a sheet of 65,000 rows of 10 numbers under a row of names, and a sheet of one
// number a row in its last column (IV), each side run in turn, pair after pair, under
// /usr/bin/time, with the medians of elapsed time and peak memory (the whole link:
// drivers_bench --link, the program's reader and its engine's import and copy).
//
//   excel_bench --make DIR      writes the workbooks into DIR
//   excel_bench DIR [pairs]     the comparison (5 pairs unless told)
#include "timed_run.h"

#include "../tests/drivers/compound_writer.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string le(std::uint64_t v, int bytes) {
    return varnoke::test::littleEndian(v, bytes);
}

std::string record(unsigned type, const std::string& data) {
    return le(type, 2) + le(data.size(), 2) + data;
}

// A BIFF8 workbook stream of one worksheet named Sheet1 holding `cells`.
std::string workbookStream(const std::string& cells) {
    std::string globals = record(0x0809, le(0x0600, 2) + le(5, 2) + le(0, 12));
    for (int i = 0; i < 21; ++i) // the XF records a reader expects: format 0, General
        globals += record(0x00E0, le(0, 2) + le(0, 2) + le(0xFFF5, 2) + le(0x20, 2) + le(0, 12));
    const std::string name = "Sheet1";
    const std::size_t sheetAt = globals.size() + 4 + 8 + name.size() + 4;
    globals += record(0x0085, le(sheetAt, 4) + le(0, 2) + le(name.size(), 1) + le(0, 1) + name);
    globals += record(0x000A, "");
    return globals + record(0x0809, le(0x0600, 2) + le(0x10, 2) + le(0, 12)) + cells +
           record(0x000A, "");
}

std::string number(unsigned row, unsigned column, double v) {
    return record(0x0203,
                  le(row, 2) + le(column, 2) + le(15, 2) + le(std::bit_cast<std::uint64_t>(v), 8));
}

std::string label(unsigned row, unsigned column, const std::string& text) {
    return record(0x0204,
                  le(row, 2) + le(column, 2) + le(15, 2) + le(text.size(), 2) + le(0, 1) + text);
}

void writeCompoundFile(const fs::path& file, const std::string& stream) {
    std::ofstream(file, std::ios::binary) << varnoke::test::compoundFileOf(stream, "Workbook");
}

void makeBooks(const fs::path& dir) {
    fs::create_directories(dir);
    std::string cells;
    for (unsigned c = 0; c < 10; ++c)
        cells += label(0, c, "Field" + std::to_string(c + 1));
    for (unsigned r = 1; r <= 65000; ++r)
        for (unsigned c = 0; c < 10; ++c)
            cells += number(r, c, r * 10.0 + c + 0.25);
    writeCompoundFile(dir / "numbers.xls", workbookStream(cells));
    cells = label(0, 255, "Far");
    for (unsigned r = 1; r < 65536; ++r) // each row as Excel writes it: ROW, then its cell
        cells += record(0x0208, le(r, 2) + le(255, 2) + le(256, 2) + le(0xFF, 2) + le(0, 4) +
                                    le(0x100, 2) + le(0x0F, 2)) +
                 number(r, 255, r);
    writeCompoundFile(dir / "column_iv.xls", workbookStream(cells));
}

std::string linkCommand(const fs::path& self, const fs::path& book) {
    const fs::path bench = self.parent_path() / "drivers_bench";
    return bench.string() + " --link 'Excel 8.0;DATABASE=" + book.string() + "' Sheet1";
}

void compare(const fs::path& self, const fs::path& dir, int pairs) {
    for (const char* name : {"numbers.xls", "column_iv.xls"})
        bench::compareWithSsconvert(linkCommand(self, dir / name), dir / name, pairs);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--make") {
        makeBooks(argv[2]);
        return 0;
    }
    if (argc < 2) {
        std::cerr << "usage: excel_bench --make DIR | excel_bench DIR [pairs]\n";
        return 2;
    }
    compare(fs::absolute(argv[0]), argv[1], argc > 2 ? std::atoi(argv[2]) : 5);
    return 0;
}
