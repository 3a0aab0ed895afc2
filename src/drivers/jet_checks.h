#pragma once
// What the Jet reader checks of a file's bytes, and where it finds each value: a table
// definition that must agree with itself, each data page's row table against its free
// space, each row's layout and each long value's chain. libmdb reads past all of these
// in silence (a field it cannot place reads as another's bytes, a memo it cannot follow
// as an empty text), so each check raises 3274 naming the table instead. The values are
// decoded from the very bytes these checks locate.
// glib first, outside the extern "C" block mdbtools.h opens around its own includes.
#include <glib.h>
#include <mdbtools.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varnoke::drivers::jet {

// Where a check's failure is told: the file's name, the table's and the file's pages.
struct Place {
    std::string file;
    std::string table;
    std::uint64_t pages = 0;
    [[noreturn]] void fail(const std::string& what) const;
};

// What a table's definition says its records may hold.
struct Shape {
    unsigned columns = 0;         // the most a record counts, deleted columns' places included
    std::vector<bool> calculated; // by a column's place in the record
    // The hidden column in which an append-only memo keeps its earlier versions.
    std::vector<bool> history;
};

// The definition of the table whose definition starts on `page`, against itself: the
// column entries and names within its length, no control character in a name, each
// column without the fixed flag in a slot of its own below the variable-column count,
// each type's size and flags, the fixed columns' places apart. Reads pages through the
// handle's second page buffer only.
Shape checkDefinition(MdbHandle* mdb, std::uint32_t page, const Place& place);

struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

// Every data page that the table's walk visits: its free space must be what lies
// between its row table and its lowest row, as Jet keeps it on every page it writes.
// Gives the rows of those pages that are not deleted, which the walk must read: libmdb
// passes over a row it cannot unpack without a word.
std::size_t checkDataPages(MdbHandle* mdb, MdbTableDef& table, const Place& place);

// The catalog's rows must all be read: one read short would make tables vanish, or
// another stand in for the one named, without a word.
void checkCatalog(MdbHandle* mdb, const Place& place);

// The catalog's own usage map, before libmdb walks it: one it cannot copy (a row of no
// bytes) it would read through a null pointer.
void checkCatalogMap(MdbHandle* mdb, const Place& place);

// A table's usage map as libmdb copied it: without one, its walk of the rows reads
// through a null pointer. The map and each page of a map of pages lie inside the file.
void checkUsageMap(MdbHandle* mdb, const MdbTableDef& table, const Place& place);

// One column's value in the row just fetched: absent for Null (a yes/no column's
// value is its presence), else its bytes in the handle's page buffer, which may be none.
struct Cell {
    bool present = false;
    std::span<const std::uint8_t> bytes;
};

// The row just fetched, as the data page in the handle's page buffer holds it, cut
// into one cell a column of the table, in the table's column order. The row must lie
// after its page's row table and end inside the page (libmdb reads one that starts in
// the page's head as a record of Nulls), count at least one column and no more than
// the definition allows, and hold its null mask, var table and fixed columns inside
// itself, the var table's offsets in order.
std::vector<Cell> crackRow(const MdbHandle* mdb, const MdbTableDef& table, const Shape& shape,
                           const Place& place);

// The bytes of a memo or OLE value from its 12-byte header: inline, on one long-value
// page, or a chain of them, each page inside the file, a long-value page, the row one
// it holds, no row of a chain met twice, and as many bytes as the header states: a
// chain ends at that length exactly, its last row linking nowhere.
std::string longValue(MdbHandle* mdb, std::span<const std::uint8_t> header, const Place& place);

} // namespace varnoke::drivers::jet
