#pragma once
// The rows a grid window shows: its own cursor over the recordset an opener bound, the
// recordsets derived from it by Filter and Sort, and the rows fetched so far. Browsing
// and fetching move only this cursor, never the opener's, so a Process run walking the
// same recordset is not disturbed.
//
// Every operation that fails raises the engine's error and leaves the rows shown as
// they were.
#include "engine/recordset.h"
#include "viewers/row_cache.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnoke {

struct ColumnInfo {
    std::string name;
    int type = 0;
};

// One cell's new value within a row being written.
using CellValue = std::pair<int, Value>;

class GridSource {
public:
    explicit GridSource(long chunkSize = 256) : cache_(chunkSize) {}

    // Shows the rows of rs through a cursor of its own. rs stays the opener's.
    void bind(const Recordset& rs);
    bool bound() const { return shown_.isOpen(); }
    // Whether the opener bound a table-type recordset (not filtered nor sorted).
    bool isTableType() const;
    bool updatable() const;
    // The table or statement the bound recordset was opened from.
    std::string sourceName() const;

    // Narrows the rows shown (an earlier filter and order stay).
    void filter(std::string_view criteria);
    // Orders the rows shown (an earlier filter stays, an earlier order is replaced).
    void sort(std::string_view order);
    // Reads the rows shown afresh, filter and order kept.
    void requery();
    // Back to every row of the bound source, in its own order, read afresh.
    void showAll();
    // Takes the count again; true when the row set changed since the last look (rows
    // deleted elsewhere), in which case the rows held are forgotten.
    bool recount();
    // Forgets the rows held, so they are read again when next asked for.
    void forgetRows();

    long rowCount() const { return cache_.rowCount(); }
    long heldRowCount() const { return cache_.heldRowCount(); }
    const std::vector<ColumnInfo>& columns() const { return columns_; }
    int columnCount() const { return static_cast<int>(columns_.size()); }

    // The row, or nullptr when not fetched.
    const CachedRow* row(long index) const { return cache_.row(index); }
    std::optional<RowRange> missing(long first, long last) const {
        return cache_.missing(first, last);
    }
    // Reads the rows of [first, last] that are not held.
    void fetch(long first, long last);

    // Writes values into a row (Edit, Update); on failure the edit is dropped and the
    // row keeps its stored values.
    void writeRow(long index, const std::vector<CellValue>& values);
    // Appends a row (AddNew, Update) at the end of the rows shown.
    void addRow(const std::vector<CellValue>& values);
    // Deletes a row; the rows after it move up.
    void deleteRow(long index);

private:
    // Sets the values on the record begun by edit or addNew and writes it; on a failure
    // the record is given up and the error passed on.
    void storeBegunRecord(const std::vector<CellValue>& values);
    void show(Recordset rs);
    void moveTo(long index);
    CachedRow readCurrent() const;

    Recordset base_;  // the opener's; never moved, never closed here
    Recordset shown_; // ours: a clone of base_ or a recordset derived from it
    std::vector<ColumnInfo> columns_;
    RowCache cache_;
};

} // namespace varnoke
