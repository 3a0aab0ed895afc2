#pragma once
// Comma-delimited text: the records of a .csv file as rows of texts, read a piece at a
// time so that a long file is never held whole.
#include <cstddef>
#include <cstdio>

#include "drivers/foreign_reader.h"
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::drivers {

// Splits text into records and fields: commas between fields, a field in double quotes
// may hold commas, line breaks and doubled quotes. Lines may end in CR LF, LF or CR;
// blank lines are skipped. Raises 3274 naming fileName when a quoted field never closes.
class CsvScanner {
public:
    // Reads from an open file (not owned), from its current position.
    CsvScanner(std::FILE* file, std::string_view fileName);
    // Reads a text held in memory.
    CsvScanner(std::string_view text, std::string_view fileName);

    // The next record into fields; false at the end of the text.
    bool next(std::vector<std::string>& fields);

private:
    // The next character, or -1 at the end.
    int get();
    int peek();
    bool refill();
    // The next record when the window holds a whole line without quotes; false (having
    // taken nothing but blank lines) otherwise.
    bool nextPlainLine(std::vector<std::string>& fields);

    std::FILE* file_ = nullptr;
    std::string_view fileName_;
    std::vector<char> buffer_;
    std::string_view window_; // the characters not yet taken
    std::size_t offset_ = 0;  // of the window's start in the text
};

// Sends a text held in memory as a table, as a linked .csv file is sent.
void readCsvImage(std::string_view text, std::string_view fileName, ForeignTableSink& sink);

// Every record of a text at once; for small texts.
std::vector<std::vector<std::string>> parseCsv(std::string_view text, std::string_view fileName);

} // namespace varnoke::drivers
