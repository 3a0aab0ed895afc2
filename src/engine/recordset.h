#pragma once
// Recordset: a cursor over rows of the working database.
//
// Kinds (RecordsetType):
//  - Table: the rows of one local table, in stored order, or in the order of an index
//    chosen with setIndex(); seek() finds by that index. Updatable.
//  - Dynaset: a fixed set of rows (chosen when it opens) whose values are read live.
//    A table name or a one-table SELECT opens updatable; any other SELECT (joins,
//    groups, computed columns) opens as a read-only snapshot instead.
//  - Snapshot: the rows and values as they were when it opened. Read-only.
//
// Row set and positions. The row set is fixed when the recordset opens; rows it adds
// with AddNew join its end. Values are read from the table each time, so changes made
// by Database::execute or by another recordset are seen. A row deleted by this
// recordset, by another recordset or by execute on the same database leaves the row
// set at once: RecordCount drops, later positions move up by one, and moves never
// land on it. If it was the current record, the current record reads as deleted
// (3167) until the next move, and moveNext goes on to the row that followed it.
//
// AbsolutePosition is zero-based, -1 when there is no current record. RecordCount is
// exact at all times. EOF and BOF behave as in the original engine: both are true on
// an empty recordset; moving past the last row sets EOF, before the first sets BOF.
//
// Finds. findFirst/findNext/findLast/findPrevious take a criteria text in the
// program's SQL dialect (see Database). They run as one SQLite query restricted to the
// row set and the current position; a column compared in a find is indexed the first
// time it is searched. A failed find sets noMatch() and leaves the current record
// where it was. Text compares without regard to case.
//
// Handles. Recordset is a cheap handle: copies refer to the same cursor (as an object
// reference would). clone() makes an independent cursor over the same rows. A
// default-constructed Recordset is "nothing"; any operation on it, or on a closed
// recordset, raises 3420.
#include "engine/field.h"
#include "value/value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

enum class RecordsetType { Table = 1, Dynaset = 2, Snapshot = 4, ForwardOnly = 8 };

// OpenRecordset options; accepted and ignored, as the engine is single-user.
namespace rsoption {
inline constexpr int DenyWrite = 1;
inline constexpr int Inconsistent = 16;
inline constexpr int Consistent = 32;
inline constexpr int SqlPassThrough = 64;
inline constexpr int ReadOnly = 4;
} // namespace rsoption

namespace detail {
class RecordsetState;
}

class Recordset {
public:
    Recordset() = default;

    bool isOpen() const;
    RecordsetType type() const;
    bool updatable() const;
    // The table name or SELECT text it was opened from.
    std::string name() const;

    // --- navigation; each raises 3021 when there is no row to move to in a
    // direction where the original engine does (moveNext at EOF, movePrevious at BOF).
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    // Moves n rows from the current record (negative: back). Past either end leaves
    // EOF or BOF set. With no current record raises 3021, unless n is 0.
    void move(long n);
    bool eof() const;
    bool bof() const;
    long absolutePosition() const;
    // The current record and the data it was read from: while two stamps are equal, the
    // record's values read the same. Nothing when closed, off a record, on a deleted
    // record or while editing.
    struct RowStamp {
        std::int64_t rowid = 0;
        std::uint64_t allVersion = 0;
        std::uint64_t tableVersion = 0;
        bool operator==(const RowStamp&) const = default;
    };
    std::optional<RowStamp> rowStamp() const;
    // Goes to a zero-based position; out of range raises 3001.
    void setAbsolutePosition(long position);
    long recordCount() const;

    // A bookmark: the current record's place, valid for this recordset and its clones
    // until requery(); a record added never has the place of one deleted.
    // Raises 3021 with no current record; setting one whose row is gone raises 3167.
    std::int64_t bookmark() const;
    void setBookmark(std::int64_t bookmark);

    // --- finds (see above). The criteria's syntax errors raise 3075, an unknown
    // field name 3070, a literal of the wrong type for its field 3464.
    void findFirst(std::string_view criteria);
    void findLast(std::string_view criteria);
    void findNext(std::string_view criteria);
    void findPrevious(std::string_view criteria);
    bool noMatch() const;

    // --- table-type only: index and seek. setIndex takes an index name of the table
    // (3800 when there is none; "" goes back to stored order) and reorders the rows by
    // it. seek compares the index's first columns with the given keys using "=", ">=",
    // ">", "<=" or "<"; noMatch() tells whether a row was found. A failed seek leaves
    // the current record where it was. On other kinds both raise 3251.
    void setIndex(std::string_view indexName);
    std::string index() const;
    void seek(std::string_view comparison, const Value& key);
    void seek(std::string_view comparison, const std::vector<Value>& keys);

    // --- edits. addNew starts a new record (fields start Null); edit starts changing
    // the current one; update writes it (3020 without addNew/edit) and, after addNew,
    // appends the row to the end of the row set while the current record stays where it
    // was before addNew. cancelUpdate drops the pending edit. deleteRecord removes the
    // current record (3021 without one). Read-only recordsets raise 3027.
    void addNew();
    void edit();
    void update();
    void cancelUpdate();
    void deleteRecord();
    // 0 none, 1 edit, 2 addNew.
    int editMode() const;
    // The bookmark of the row added last by update() after addNew.
    std::int64_t lastModified() const;

    // --- fields. field(i) and field(name) raise 3265 when there is no such field;
    // names compare without regard to case.
    int fieldCount() const;
    Field field(int index) const;
    Field field(std::string_view name) const;
    std::vector<Field> fields() const;
    // field(index).name() without making a Field.
    const std::string& fieldName(int index) const;
    // Shorthands for field(name).value() / field(name).setValue(v).
    Value value(std::string_view fieldName) const;
    void setValue(std::string_view fieldName, const Value& v);
    // The same by index, and field(name).type(), without making a Field.
    Value valueAt(int index) const;
    void setValueAt(int index, const Value& v);
    int fieldType(std::string_view fieldName) const;

    // --- derived recordsets. openFiltered keeps the rows of this one (in its order)
    // that meet a criteria text; openSorted orders this one's rows by a sort text such
    // as "[Name] desc, City". The result is a new dynaset (or snapshot, when this one
    // is a snapshot) positioned on its first row. Both raise 3251 on a table-type
    // recordset, as filtering and sorting a table were not allowed.
    Recordset openFiltered(std::string_view filter) const;
    Recordset openSorted(std::string_view sort) const;
    // The filter and sort texts this recordset was derived with ("" when none).
    std::string filter() const;
    std::string sort() const;

    // Re-runs the source: the row set is chosen afresh and the first row is current.
    void requery();
    // An independent cursor over the same row set, with no current record until moved
    // (positioned on the first row when there is one, like a fresh open).
    Recordset clone() const;
    // Closes the recordset for every handle; pending edits are dropped. Idempotent.
    void close();

    // Diagnostics: the path a find with this criteria takes. "SEARCH KEY INDEX ON F" when
    // the engine's key index of F answers it (which this may build, as the find would);
    // else the query plan SQLite chooses, one line per plan step (as EXPLAIN QUERY PLAN
    // prints it); where the find searches the nearest rows first, the line "THEN PAST THE
    // NEAREST ROWS" and the plan of its search of the rest.
    std::vector<std::string> explainFind(std::string_view criteria) const;

private:
    friend class Database;
    friend class QueryDef;
    explicit Recordset(std::shared_ptr<detail::RecordsetState> state);
    detail::RecordsetState& state() const;

    std::shared_ptr<detail::RecordsetState> state_;
};

} // namespace varnoke
