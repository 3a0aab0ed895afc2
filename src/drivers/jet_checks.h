#pragma once
// What the Jet reader checks of the bytes libmdb reads without a doubt: a table
// definition that must agree with itself, the catalog's count of its rows, each row's
// fixed area and each long value's pointer. libmdb reads past all of these in silence
// (a field it cannot place reads as another's bytes, a memo it cannot follow as an
// empty text), so each check raises 3274 naming the table instead.
// glib first, outside the extern "C" block mdbtools.h opens around its own includes.
#include <glib.h>
#include <mdbtools.h>

#include <cstdint>
#include <optional>
#include <string>

namespace varnoke::drivers::jet {

// Where a check's failure is told: the file's name, the table's and the file's pages.
struct Place {
    std::string file;
    std::string table;
    std::uint64_t pages = 0;
    [[noreturn]] void fail(const std::string& what) const;
};

// The definition of the table whose definition starts on `page`, against itself: the
// column entries and names within its length, each column without the fixed flag in a
// slot of its own below the variable-column count, each type's size and flags, the fixed
// columns' places apart. Reads pages through the handle's second page buffer only.
void checkDefinition(MdbHandle* mdb, std::uint32_t page, const Place& place);

struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

// The catalog must give as many objects as its own definition counts: one read short
// would make tables vanish, or another stand in for the one named, without a word.
void checkCatalog(MdbHandle* mdb, const Place& place);

// The catalog's own usage map, before libmdb walks it: one it cannot copy (a row of no
// bytes) it would read through a null pointer.
void checkCatalogMap(MdbHandle* mdb, const Place& place);

// A table's usage map as libmdb copied it: without one, its walk of the rows reads
// through a null pointer.
void checkUsageMap(const MdbTableDef& table, const Place& place);

// The row just fetched must lie after its page's row table and end inside the page;
// libmdb reads one that starts in the page's head as a record of Nulls.
void checkRowPlace(const MdbHandle* mdb, const MdbTableDef& table, const Place& place);

// The row just fetched, as the data page in the handle's page buffer holds it.
struct RowLayout {
    unsigned columns = 0;                // the count at the row's head
    std::size_t headerBytes = 0;         // the count's own bytes
    std::optional<std::size_t> fixedEnd; // where its fixed area ends, from the row's start
};
// Unknown when the page read is no longer the row's, or the row is a pointer to one
// on another page, or its var table is not laid out in the page.
std::optional<RowLayout> rowLayout(const MdbHandle* mdb, const MdbTableDef& table);

// Each fixed column the row holds must lie inside its fixed area, where it is known.
void checkFixedColumns(const MdbTableDef& table, const RowLayout& row, const Place& place);

// A memo or OLE value's 12-byte header in the page buffer, at the column's current
// value: inline, on one long-value page, or a chain of them, each page inside the file,
// a long-value page, the row one it holds, no row of a chain met twice. Gives the length
// the header states.
std::uint32_t checkLongValue(MdbHandle* mdb, const MdbColumn& col, const Place& place);

} // namespace varnoke::drivers::jet
