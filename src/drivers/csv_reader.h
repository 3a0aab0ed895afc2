#pragma once
// Comma-delimited text: the records of a .csv file as rows of texts, read a piece at a
// time so that a long file is never held whole.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "drivers/foreign_reader.h"
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::drivers {

// Splits text into records and fields: commas between fields, a field in double quotes
// may hold commas, line breaks and doubled quotes. Lines may end in CR LF, LF or CR;
// blank lines are skipped. Raises 3274 naming fileName when a quoted field never closes,
// and as soon as a field runs past what a memo holds, a record past kMaxRecordBytes or
// past the fields a table holds (fields beyond that which are blank are dropped), so
// that no line, however long, is held whole.
// The most bytes of a record's fields: rows are written a batch at a time, and the
// batch must stay small.
inline constexpr std::size_t kMaxRecordBytes = 2 * 1024 * 1024;

// Fills a buffer with the text's next bytes: as many as it holds, fewer only at the end;
// 0 there.
using ChunkSource = std::function<std::size_t(char* into, std::size_t size)>;

// Whether a text that begins with head is UTF-16, and in which byte order: a byte-order
// mark says so, and so do NULs in every other byte through much of its first kilobyte
// (a text of mostly Latin letters without a mark). Nothing for any other text.
std::optional<bool> utf16BigEndian(std::string_view head);

// The chunks of a UTF-16 text as chunks of UTF-8 (the mark becomes UTF-8's, which the
// scanner passes over); a lone surrogate or an odd last byte becomes U+FFFD.
class Utf16Chunks {
public:
    Utf16Chunks(ChunkSource raw, bool bigEndian);
    std::size_t operator()(char* into, std::size_t size);

private:
    std::uint32_t unitAt(std::size_t i) const;

    ChunkSource raw_;
    bool bigEndian_;
    std::vector<char> in_;
    std::size_t carried_ = 0; // bytes of in_ kept for the next chunk
    std::string out_;
    std::size_t taken_ = 0; // of out_, already given
    bool ended_ = false;
};

class CsvScanner {
public:
    // Reads the chunks of a file from its start; a byte-order mark (which says UTF-8) is
    // no part of the first field.
    CsvScanner(ChunkSource source, std::string_view fileName);
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
    // Takes a field into the record, within the bounds above.
    void keep(std::vector<std::string>& fields, std::string& field);
    void checkLength(const std::string& field) const;
    // Raises when the record's fields reach past what a table holds.
    void checkWidth(const std::vector<std::string>& fields) const;

    ChunkSource source_;
    bool started_ = false; // a chunk was read
    std::string_view fileName_;
    std::vector<char> buffer_;
    std::string_view window_; // the characters not yet taken
    std::size_t offset_ = 0;  // of the window's start in the text
    std::size_t recordStart_ = 0;
    std::size_t recordBytes_ = 0; // of the fields kept so far in the record
    std::size_t fieldStart_ = 0;
    std::size_t seen_ = 0;   // fields of the record so far, kept or not
    std::size_t widest_ = 0; // fields up to the last non-blank one, past those kept
};

// Where the reading of a linked file stands: pass 1 decides the columns' types, pass 2
// sends the rows; chunk 0 is a pass about to begin, chunk n a pass that has read n chunks.
struct CsvReadPoint {
    int pass = 0;
    std::size_t chunk = 0;
};

// A reader of linked .csv files that tells `watch` of every point it reaches, so that
// a test can change the file at a point of its choosing.
std::shared_ptr<const ForeignReader> watchedCsvReader(std::function<void(CsvReadPoint)> watch);

// Sends a text held in memory as a table, as a linked .csv file is sent.
void readCsvImage(std::string_view text, std::string_view fileName, ForeignTableSink& sink);

// Every record of a text at once; for small texts.
std::vector<std::vector<std::string>> parseCsv(std::string_view text, std::string_view fileName);

} // namespace varnoke::drivers
