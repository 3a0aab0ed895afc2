// Linking 1-2-3 worksheets against gnumeric's ssconvert to CSV on the same files: a
// 15 MB numeric WK1 and WK4, each side run in turn, pair after pair, under
// /usr/bin/time, with the medians of elapsed time and peak memory (the whole link:
// drivers_bench --link, the program's reader and its engine's import and copy). Then
// one link of each hostile sheet (a sheet whose rows reach column IV, padding records
// and long formulas, many blank cells, row formats of later sheets, cells at the far
// corners of a huge range) with its time a MB and its peak memory.
//
//   lotus_bench --make DIR      writes the sheets into DIR
//   lotus_bench DIR [pairs]     the comparison (5 pairs unless told) and the hostile links
#include "timed_run.h"

#include <algorithm>
#include <bit>
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
using bench::Run;
using bench::timed;

std::string u16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}

std::string le64(std::uint64_t v) {
    std::string out;
    for (int i = 0; i < 8; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
}

class Writer {
public:
    Writer(const fs::path& file, bool releaseTwo) : out_(file, std::ios::binary), two_(releaseTwo) {
        record(0, releaseTwo ? u16(0x0406) : u16(0x1003) + std::string(24, '\0'));
    }
    ~Writer() { record(1, ""); }
    void record(unsigned type, const std::string& data) {
        out_ << u16(type) << u16(static_cast<unsigned>(data.size())) << data;
    }
    std::string cell(unsigned row, unsigned column) const {
        return two_ ? '\xFF' + u16(column) + u16(row) : u16(row) + '\0' + static_cast<char>(column);
    }
    void label(unsigned row, unsigned column, const std::string& text) {
        record(two_ ? 0x0F : 0x16, cell(row, column) + "'" + text + '\0');
    }
    void number(unsigned row, unsigned column, double v) {
        if (two_) return record(0x0E, cell(row, column) + le64(std::bit_cast<std::uint64_t>(v)));
        // The 80-bit real of v, from its double's fields.
        const auto bits = std::bit_cast<std::uint64_t>(v);
        const unsigned exponent = static_cast<unsigned>(bits >> 52 & 0x7FF);
        if (exponent == 0) return record(0x17, cell(row, column) + std::string(10, '\0'));
        const std::uint64_t mantissa = (bits & ((1ull << 52) - 1)) << 11 | 1ull << 63;
        const unsigned word = (exponent - 1023 + 16383) | (bits >> 63 ? 0x8000 : 0);
        record(0x17, cell(row, column) + le64(mantissa) + u16(word));
    }

private:
    std::ofstream out_;
    bool two_;
};

void numericSheet(const fs::path& file, bool two) {
    Writer w(file, two);
    constexpr unsigned kColumns = 15;
    const unsigned rows = two ? 58000 : 55000;
    for (unsigned c = 0; c < kColumns; ++c)
        w.label(0, c, "C" + std::to_string(c));
    for (unsigned r = 1; r <= rows; ++r)
        for (unsigned c = 0; c < kColumns; ++c)
            w.number(r, c, r * 1000.0 + c + 0.25);
}

void makeSheets(const fs::path& dir) {
    fs::create_directories(dir);
    numericSheet(dir / "numeric.wk1", true);
    numericSheet(dir / "numeric.wk4", false);
    {
        Writer w(dir / "wide.wk1", true);
        w.label(0, 0, "First");
        w.label(0, 255, "Last");
        for (unsigned r = 1; r <= 65535; ++r) {
            w.number(r, 0, r);
            w.number(r, 255, r);
        }
    }
    {
        // 10 MB: each row a label, a formula of 4,000 bytes and 40 padding records.
        Writer w(dir / "padded.wk1", true);
        w.label(0, 0, "Name");
        w.label(0, 1, "Formula");
        const std::string code = std::string(4000, '\x03');
        for (unsigned r = 1; r <= 2200; ++r) {
            w.label(r, 0, "row " + std::to_string(r));
            w.record(0x10, w.cell(r, 1) + le64(std::bit_cast<std::uint64_t>(1.0)) +
                               u16(static_cast<unsigned>(code.size())) + code);
            for (int p = 0; p < 40; ++p)
                w.record(0xFE, std::string(16, 'p'));
        }
    }
    {
        // 1.1 million blank cells, 10 MB, under one row of names and one of values.
        Writer w(dir / "blanks.wk1", true);
        w.label(0, 0, "Name");
        w.number(1, 0, 1);
        for (unsigned i = 0; i < 1'100'000; ++i)
            w.record(0x0C, w.cell(2 + i / 256, i % 256));
    }
    {
        // 10 MB of row formats, of sheets after the first, which the link never asks for.
        Writer w(dir / "formats.wk4", false);
        w.label(0, 0, "Name");
        w.number(1, 0, 1);
        for (unsigned i = 0; i < 850'000; ++i)
            w.record(0x13, std::string(1, static_cast<char>(1 + i / 65536)) + '\0' +
                               u16(i % 65536) + u16(0x4072) + u16(0x4005));
    }
    {
        // A range over the whole sheet with cells only at its corners.
        Writer w(dir / "ranges.wk1", true);
        w.record(0x06, u16(0) + u16(0) + u16(255) + u16(65535));
        w.label(0, 0, "Corner");
        w.number(65535, 255, 1);
        w.number(65535, 0, 2);
    }
}

std::string linkCommand(const fs::path& self, const fs::path& sheet) {
    const fs::path bench = self.parent_path() / "drivers_bench";
    return bench.string() + " --link 'Lotus WK4;DATABASE=" + sheet.string() + "' " +
           sheet.filename().string();
}

void compare(const fs::path& self, const fs::path& dir, int pairs) {
    for (const char* name : {"numeric.wk1", "numeric.wk4"})
        bench::compareWithSsconvert(linkCommand(self, dir / name), dir / name, pairs);
    for (const char* name : {"wide.wk1", "padded.wk1", "blanks.wk1", "formats.wk4", "ranges.wk1"}) {
        const fs::path sheet = dir / name;
        const double mb = static_cast<double>(fs::file_size(sheet)) / (1024 * 1024);
        const Run run = timed(linkCommand(self, sheet));
        std::printf("%s (%.2f MB): %s in %.2f s (%.2f s a MB), peak memory %.0f MB\n", name, mb,
                    run.said.c_str(), run.seconds, run.seconds / std::max(mb, 1.0), run.megabytes);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--make") {
        makeSheets(argv[2]);
        return 0;
    }
    if (argc < 2) {
        std::cerr << "usage: lotus_bench --make DIR | lotus_bench DIR [pairs]\n";
        return 2;
    }
    compare(fs::absolute(argv[0]), argv[1], argc > 2 ? std::atoi(argv[2]) : 5);
    return 0;
}
