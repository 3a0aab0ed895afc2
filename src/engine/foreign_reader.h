#pragma once
// What the engine asks of a reader of one kind of foreign data file (the drivers
// implement it). Linking a table asks the reader for the table's fields and rows; the
// engine copies them into the working database. Readers never write to the user's
// file, and a bad or truncated file raises EngineError.
#include "value/value.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

// The most fields a table holds (SQLite's own limit on a table's columns).
inline constexpr std::size_t kMaxTableFields = 2000;
// The most characters a memo holds; a foreign value longer than that is refused.
inline constexpr std::size_t kMaxMemoCharacters = 65535;

// A name as the engine tells names apart: ASCII letters without regard to case, as
// SQLite compares column names; equal keys are the same name.
inline std::string nameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

struct ForeignField {
    std::string name;
    int type = 10; // engine field type code
    int size = 0;  // text size; for other types the engine's size of that type
};

// Where the table lives: the connect string as given ("dBase IV;DATABASE=/data"),
// the part after "DATABASE=" and the table named by SourceTableName.
struct LinkSource {
    std::string connect;
    std::string database;
    std::string sourceTable;
};

// Receives one table: the fields once, then every row in the file's order.
class ForeignTableSink {
public:
    virtual ~ForeignTableSink() = default;
    virtual void begin(const std::vector<ForeignField>& fields) = 0;
    // Called before begin() by a reader that reads a table the link did not name (a
    // database's first table, where the name names none of its tables), with its name.
    virtual void chose(std::string_view /*table*/) {}
    // values has one entry per field, in field order. May be moved from.
    virtual void row(std::vector<Value>& values) = 0;
    // Called now and then while the reader waits on work outside this process (a reading
    // child), so the program's windows can be drawn meanwhile.
    virtual void waiting() {}
};

class ForeignReader {
public:
    virtual ~ForeignReader() = default;
    virtual void read(const LinkSource& source, ForeignTableSink& sink) const = 0;
};

} // namespace varnoke
