#pragma once
// The state behind a Recordset handle. Its functions live in files of one concern each:
// recordset_open.cpp (the row set chosen, clones, close), recordset_move.cpp (positions
// and the rows that leave the set), recordset_find.cpp (finds and seeks),
// recordset_keys.cpp (the key index), recordset_rows.cpp (the rows read into the row
// cache, row_cache.h) and recordset_edit.cpp (edits). Every write goes through the
// connection's funnel (Connection::writeRows), which tells the row set in written().
#include "engine/connection.h"
#include "engine/database_state.h"
#include "engine/key_index.h"
#include "engine/live_index.h"
#include "engine/recordset.h"
#include "engine/row_cache.h"
#include "engine/sql_render.h"
#include "engine/temp_table.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace varnoke::detail {

struct RecordsetSpec {
    std::string source; // table name or SELECT text
    bool isSql = false;
    RecordsetType type = RecordsetType::Dynaset;
    std::vector<std::string> filters;
    std::string sort;
    std::string index;
    Parameters params;
};

struct RsColumn {
    std::string name;   // the field's name
    int baseColumn = 0; // its column in the base table
    ColumnType type;
};

[[noreturn]] void noCurrentRecord();   // 3021
[[noreturn]] void recordDeleted();     // 3167
[[noreturn]] void readOnlyRecordset(); // 3027
// The quoted base-table names of the columns, for a SELECT list.
std::string columnList(const TableInfo& t, const std::vector<RsColumn>& cols);

class RecordsetState final : public OpenRowSet,
                             public std::enable_shared_from_this<RecordsetState> {
public:
    RecordsetState(std::shared_ptr<DatabaseState> db, RecordsetSpec spec);
    ~RecordsetState();

    void build(); // (re)chooses the row set from the spec and goes to the first row
    void close() override;
    void checkOpen() const;

    // navigation
    enum class Where { Bof, Row, Eof };
    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    void move(long n);
    long absolutePosition() const;
    std::optional<Recordset::RowStamp> rowStamp() const;
    void setAbsolutePosition(long p);
    long recordCount() const { return live_.count(); }
    std::int64_t bookmark() const;
    void setBookmark(std::int64_t b);

    enum class FindFrom { First, Last, Next, Previous };
    void find(std::string_view criteria, FindFrom from);
    std::vector<std::string> explainFind(std::string_view criteria);
    void setIndex(std::string_view name);
    void seek(std::string_view comparison, const std::vector<Value>& keys);

    void addNew();
    void edit();
    void update();
    void cancelUpdate();
    void deleteRecord();

    Value value(int column);
    void setValue(int column, const Value& v);
    int columnIndex(std::string_view name) const; // 3265 when missing

    bool isOpen() const override { return open && db->open; }
    void written(DataVersion before, DataVersion after, const TableChange& change) override;
    std::optional<std::vector<std::int64_t>> keyedRows(std::string_view column,
                                                       std::string_view text) override;
    void batchLost(std::uint64_t batch) noexcept override;
    std::shared_ptr<RecordsetState> derive(std::vector<std::string> filters,
                                           std::string sort) const;
    std::shared_ptr<RecordsetState> clone() const;

    std::shared_ptr<DatabaseState> db;
    RecordsetSpec spec;
    bool open = true;
    bool updatable = false;
    bool noMatch = false;
    int editMode = 0;
    std::int64_t lastModified = 0;
    std::vector<RsColumn> columns;
    RecordsetType type = RecordsetType::Dynaset;

private:
    struct FindQuery {
        std::string sql;
        std::vector<Value> binds;
        int boundParam = 0;
        bool backwards = false;
        // In stored order, sql searches the rows up to endParam's rowid, the nearest first;
        // past them wideSql asks SQLite for the nearest row by the best index it has, when
        // its plan (seen at wideCheckedAt, an indexedAt) is no scan, else sql goes on.
        // For a query kept by its shape, the types each of the shape's texts took in the
        // render, in order (none for a text bound as it is).
        std::vector<std::vector<SType>> textTypes;
        int endParam = 0;
        std::string wideSql;
        bool wideSeeks = false;
        std::optional<std::uint64_t> wideCheckedAt;
        // Set when the find is one case-blind comparison of a text field with the text in
        // bind keyBind: the key index can answer it. Its column is then indexed in SQLite
        // only when a find goes there.
        int keyColumn = -1;
        int keyBind = 0;
        // Set when the terms fold to False: no row can meet the find.
        bool meetsNone = false;
        // The SQLite indexes the query searches, and the connection's schema version when
        // they were last made sure of: whether they exist is the connection's record
        // (find_index.cpp), which a schema change clears.
        std::shared_ptr<const std::vector<SearchedColumn>> indexes;
        std::optional<std::uint64_t> indexedAt;
    };
    // A find's query by its shape (see FindShape), with the binds its texts go to: a run's
    // finds differ only in their texts, and need not be parsed and rendered again.
    struct FindTemplate {
        FindQuery query;
        std::vector<int> textBinds;
    };
    std::unordered_map<std::string, FindTemplate> findShapes_[2];
    // Folds the terms of `criteria` whose truth is fixed (see condition_fold.h).
    // With `texts`, the find's shape texts: `textBinds` then tells the bind each goes to
    // (0 for one folded away), or nothing when the query cannot be kept for its shape.
    FindQuery findQuery(sql::ExprPtr& criteria, bool backwards,
                        const std::vector<std::string>* texts = nullptr,
                        std::optional<std::vector<int>>* textBinds = nullptr);
    // Makes sure the indexes q searches exist, when the connection may have lost them.
    void ensureIndexes(FindQuery& q);
    // Whether q's sql walks the table in stored order where its wideSql is answered
    // through an index: only then are the nearest rows searched first, the rest wide.
    bool wideSeeks(FindQuery& q);
    // Writes the search's bound into q's binds.
    std::optional<std::size_t> runFind(FindQuery& q, std::optional<std::size_t> after);
    // Nothing when the key index cannot answer the find; then the find goes to SQLite.
    std::optional<std::optional<std::size_t>> keyedFind(const FindQuery& q,
                                                        std::optional<std::size_t> after);
    // The key index of the column, made when the heuristics allow; nullptr when the find
    // goes to SQLite.
    KeyIndex* keysServe(int column);
    // A recordset column's name in its base table, and the first column of that name.
    const std::string& baseName(int column) const;
    int columnOfBase(std::string_view baseColumn) const;
    bool readRowAt(std::size_t slot);
    void readAhead();
    bool takeStored();
    std::string rowsQuery() const;
    void rowsDeleted(std::span<const std::int64_t> rowids);
    void leave(std::size_t slot);    // the slot's row is gone
    void comeBack(std::size_t slot); // the slot's row stands again
    void clearFinds();
    void ensureKeysetTable();
    std::optional<std::size_t> slotOf(std::int64_t rowid);
    static std::int64_t bookmarkOf(std::size_t slot) { return static_cast<std::int64_t>(slot) + 1; }
    bool denseRows();
    void landOn(std::size_t slot);
    void leaveEdit();
    void requireCurrent() const;
    void loadRow();
    void keepRow(sqlite3_stmt* st, int firstColumn, std::size_t slot);
    ScopeTable scope() const;
    const std::string& tableKey() const;
    DataVersion dataVersion() const { return conn().dataVersion(*table_); }
    // Writes the row in `slot` (a new one: the slot it will take) through the
    // connection's funnel; `work` writes and says what else the change did.
    template <typename F> void writeOwn(std::size_t slot, F&& work) {
        conn().writeRows(*table_, [&](TableChange& change) {
            change.writer = this;
            change.writerSlot = slot;
            work(change);
        });
    }

    Connection& conn() const { return *conn_; }
    std::shared_ptr<Connection> conn_;
    TableInfo base_;
    std::string alias_ = "\"vk_t\"";
    std::shared_ptr<TempTable> snapshot_; // the copied rows of a snapshot
    std::string rowSql_;
    std::string deleteSql_;
    mutable std::string tableKey_; // made from base_ when first asked

    // the row set
    std::vector<std::int64_t> rows_;
    std::vector<char> alive_;
    LiveIndex live_;
    bool natural_ = false; // rows_ ascending: the whole table in stored order
    // The latest slot of each rowid (see recordset_move.cpp), when slotMapComplete_.
    std::unordered_map<std::int64_t, std::size_t> slotMap_;
    bool slotMapComplete_ = false;
    std::shared_ptr<TempTable> keysetTable_;
    // The gathered batch (Connection::batch) the row set was chosen in, 0 for none; the
    // slots it added in the batch addedBatch_, whose rows a lost batch takes; and the
    // slots whose rows were deleted in the batch leftBatch_, which a lost batch gives back.
    std::uint64_t builtInBatch_ = 0;
    std::uint64_t addedBatch_ = 0;
    std::vector<std::size_t> addedSlots_;
    std::uint64_t leftBatch_ = 0;
    std::vector<std::size_t> leftSlots_;

    // What it holds of the table's rows and the key index, on one stamp.
    RowCache cache_;
    Connection::WatchedTable* table_ = nullptr; // its version and row sets
    bool keysScanned_ = false;
    std::size_t findsSinceScan_ = 0;

    Where where_ = Where::Eof;
    std::size_t slot_ = 0;
    bool currentDeleted_ = false;

    std::vector<std::optional<Value>> pending_;
    std::vector<bool> writeMask_;
    int writeMode_ = 0;
    std::string writeSql_;
    std::vector<std::string> writeColumns_; // the base columns writeSql_ sets
    // When rows are read ahead and stored (recordset_rows.cpp).
    std::size_t lastLoaded_ = static_cast<std::size_t>(-1);
    std::size_t readsUnstored_ = 0;
    bool storeTooBig_ = false;

    friend class varnoke::Recordset;
};

} // namespace varnoke::detail
