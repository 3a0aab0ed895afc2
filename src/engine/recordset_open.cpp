// Opening a recordset: the row set chosen from its spec (a table, a SELECT, filters,
// a sort, an index), its snapshot copy, its clones and derived recordsets, and closing.
//
// Invariants it establishes (the other recordset files rely on them):
//  - rows_, alive_ and live_ have one entry per slot, and every slot is alive at open;
//  - natural_ is true only when rows_ holds the whole table in ascending rowid order;
//  - every recordset is in the connection's registry of open row sets, so deletes by
//    others reach it, a compact knows it is open, and it is closed when its table is
//    dropped or replaced (Connection::tableGone);
//  - a clone has a row set of its own: what it shares (the row order its finds join) it
//    gives up before it adds to it.
#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/recordset_state.h"
#include "engine/sql_parser.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace varnoke::detail {

[[noreturn]] void noCurrentRecord() {
    throw EngineError(err::NoCurrentRecord, "No current record.");
}
[[noreturn]] void recordDeleted() {
    throw EngineError(err::RecordDeleted, "Record is deleted.");
}
[[noreturn]] void readOnlyRecordset() {
    throw EngineError(err::ReadOnly, "Cannot update.  Database or object is read-only.");
}

std::string columnList(const TableInfo& t, const std::vector<RsColumn>& cols) {
    std::string out;
    for (const auto& c : cols) {
        if (!out.empty()) out += ", ";
        out += quoteName(t.columns[static_cast<std::size_t>(c.baseColumn)].name);
    }
    return out;
}

RecordsetState::RecordsetState(std::shared_ptr<DatabaseState> database, RecordsetSpec s)
    : db(std::move(database)), spec(std::move(s)) {
    conn_ = db->conn;
    if (!conn_) throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
}

RecordsetState::~RecordsetState() = default;

void RecordsetState::checkOpen() const {
    if (!open || !db->open)
        throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
}

const std::string& RecordsetState::tableKey() const {
    if (tableKey_.empty()) tableKey_ = Connection::keyOf(base_);
    return tableKey_;
}

ScopeTable RecordsetState::scope() const {
    ScopeTable st;
    st.info = base_;
    st.matchName = base_.name;
    st.sqlRef = alias_;
    for (const auto& c : columns)
        st.fieldAliases[upperName(c.name)] = c.baseColumn;
    return st;
}

void RecordsetState::build() {
    Connection& c = conn();
    Renderer r(c, &spec.params);
    std::string where;
    std::string order;
    std::optional<long> top;
    columns.clear();
    snapshot_.reset();
    keysetTable_.reset();
    type = spec.type == RecordsetType::ForwardOnly ? RecordsetType::Snapshot : spec.type;

    auto materialize = [&](const std::string& selectSql, const std::vector<ResultColumn>& cols) {
        // A snapshot keeps a copy of its rows in a temp table of its own.
        std::string defs;
        std::vector<std::string> used;
        for (const auto& rc : cols) {
            std::string n = rc.name;
            for (int k = 1; std::any_of(used.begin(), used.end(),
                                        [&](const std::string& u) { return sameName(u, n); });
                 ++k)
                n = rc.name + std::to_string(k);
            used.push_back(n);
            if (!defs.empty()) defs += ", ";
            defs += quoteName(n) + " " + sql::declaredType(rc.type);
        }
        snapshot_ = makeTempTable(conn_, "vk_snap", defs);
        const std::string& name = snapshot_->name;
        auto ins = c.prepare("INSERT INTO temp." + quoteName(name) + " " + selectSql);
        ins.bindAll(r.binds);
        ins.run();
        base_ = c.tempTable(name);
        for (std::size_t i = 0; i < base_.columns.size(); ++i)
            columns.push_back({base_.columns[i].name, static_cast<int>(i), base_.columns[i].type});
        type = RecordsetType::Snapshot;
        r.binds.clear();
    };

    if (!spec.isSql) {
        const TableInfo* t = c.table(spec.source);
        if (!t)
            throw EngineError(err::TableNotFound, "Cannot find the input table or query '" +
                                                      spec.source +
                                                      "'.  Make sure it exists and that its "
                                                      "name is spelled correctly.");
        if (type == RecordsetType::Snapshot) {
            std::vector<ResultColumn> cols;
            for (const auto& col : t->columns) {
                ResultColumn rc;
                rc.name = col.name;
                rc.type = col.type;
                cols.push_back(std::move(rc));
            }
            std::string list;
            for (const auto& col : t->columns)
                list += (list.empty() ? "" : ", ") + quoteName(col.name);
            materialize("SELECT " + list + " FROM " + t->sqlName() + " ORDER BY rowid", cols);
        } else {
            base_ = *t;
            for (std::size_t i = 0; i < base_.columns.size(); ++i)
                columns.push_back(
                    {base_.columns[i].name, static_cast<int>(i), base_.columns[i].type});
        }
    } else {
        auto st = sql::parseStatement(spec.source);
        auto* sel = std::get_if<sql::SelectStmt>(&st.body);
        if (!sel || !sel->into.empty())
            throw EngineError(err::InvalidOperation, "Invalid operation.");
        spec.params.declared = st.parameters;
        auto out = r.select(*sel);
        if (r.missingParameters > 0)
            throw EngineError(err::TooFewParameters, "Too few parameters. Expected " +
                                                         std::to_string(r.missingParameters) + ".");
        if (out.simple && type != RecordsetType::Snapshot) {
            base_ = *out.baseTable;
            alias_ = out.alias;
            for (const auto& rc : out.columns)
                columns.push_back({rc.name, rc.baseColumn, rc.type});
            where = out.whereSql;
            order = out.orderSql;
            top = out.top;
        } else {
            materialize(out.sql, out.columns);
        }
    }

    // Filters and sorts apply to the fields of this recordset.
    r.criteriaMode = true;
    r.pushScope({scope()});
    for (const auto& f : spec.filters) {
        auto cond = r.condition(*sql::parseExpression(f));
        where = where.empty() ? cond : "(" + where + ") AND " + cond;
    }
    if (!spec.sort.empty()) order = r.orderBy(sql::parseOrderList(spec.sort));
    r.popScope();
    if (!spec.index.empty()) {
        std::string idxOrder;
        auto st = c.prepare("SELECT name FROM pragma_index_info(?1) ORDER BY seqno");
        st.bind(1, Value::text(spec.index));
        while (st.step()) {
            const std::string col = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
            const int i = base_.columnIndex(col);
            if (!idxOrder.empty()) idxOrder += ", ";
            idxOrder += alias_ + "." + quoteName(col);
            if (i >= 0 && stypeOf(base_.columns[static_cast<std::size_t>(i)].type) == SType::Text)
                idxOrder += kCaseBlind;
        }
        order = idxOrder;
    }

    natural_ = where.empty() && order.empty() && !top;
    std::string keysetSql = "SELECT " + alias_ + ".rowid FROM " + base_.sqlName() + " AS " + alias_;
    if (!where.empty()) keysetSql += " WHERE " + where;
    keysetSql += " ORDER BY " + (order.empty() ? "" : order + ", ") + alias_ + ".rowid";
    if (top) keysetSql += " LIMIT " + std::to_string(*top);

    rows_.clear();
    if (!natural_ || !denseRows()) {
        auto ks = c.prepare(keysetSql);
        ks.bindAll(r.binds);
        while (ks.step())
            rows_.push_back(sqlite3_column_int64(ks.get(), 0));
    }
    alive_.assign(rows_.size(), 1);
    live_.reset(rows_.size());
    slotMap_.clear();
    slotMapComplete_ = false;
    builtInBatch_ = c.batch();
    addedBatch_ = 0;
    addedSlots_.clear();
    leftBatch_ = 0;
    leftSlots_.clear();

    tableKey_.clear();
    rowSql_ =
        "SELECT " + columnList(base_, columns) + " FROM " + base_.sqlName() + " WHERE rowid = ?1";
    deleteSql_ = "DELETE FROM " + base_.sqlName() + " WHERE rowid = ?1";
    updatable = type != RecordsetType::Snapshot && !db->readOnly;
    pending_.assign(columns.size(), std::nullopt);
    writeMask_.clear();
    editMode = 0;
    noMatch = false;
    cache_.clear();
    lastLoaded_ = static_cast<std::size_t>(-1);
    readsUnstored_ = 0;
    storeTooBig_ = false;
    clearFinds();
    table_ = &c.watched(tableKey());
    currentDeleted_ = false;
    if (rows_.empty()) {
        where_ = Where::Eof;
    } else {
        where_ = Where::Row;
        slot_ = 0;
    }
    c.registerRecordset(*table_, weak_from_this(), db.get());
    assert(rows_.size() == alive_.size() && live_.count() == static_cast<long>(rows_.size()));
    assert(!natural_ || std::is_sorted(rows_.begin(), rows_.end()));
}

// A table whose rowids run from the first to the last without a gap, as a table written
// in one go holds them, gives its whole row set without a read of every rowid.
bool RecordsetState::denseRows() {
    const std::string table = base_.sqlName();
    auto st =
        conn().prepare("SELECT (SELECT count(*) FROM " + table + "), (SELECT min(rowid) FROM " +
                       table + "), (SELECT max(rowid) FROM " + table + ")");
    if (!st.step() || sqlite3_column_type(st.get(), 1) == SQLITE_NULL) return false;
    const auto count = static_cast<std::uint64_t>(sqlite3_column_int64(st.get(), 0));
    const auto first = static_cast<std::uint64_t>(sqlite3_column_int64(st.get(), 1));
    const auto last = static_cast<std::uint64_t>(sqlite3_column_int64(st.get(), 2));
    if (count == 0 || last - first != count - 1) return false;
    rows_.resize(count);
    std::iota(rows_.begin(), rows_.end(), static_cast<std::int64_t>(first));
    return true;
}

void RecordsetState::close() {
    open = false;
    snapshot_.reset();
    keysetTable_.reset();
    rows_.clear();
    alive_.clear();
    leftSlots_.clear();
    cache_.clear();
}

std::shared_ptr<RecordsetState> RecordsetState::derive(std::vector<std::string> filters,
                                                       std::string sort) const {
    checkOpen();
    if (type == RecordsetType::Table)
        throw EngineError(err::OperationNotSupported,
                          "Operation is not supported for this type of object.");
    RecordsetSpec s = spec;
    s.filters = std::move(filters);
    s.sort = std::move(sort);
    s.type = type == RecordsetType::Snapshot ? RecordsetType::Snapshot : RecordsetType::Dynaset;
    auto child = std::make_shared<RecordsetState>(db, std::move(s));
    child->build();
    return child;
}

std::shared_ptr<RecordsetState> RecordsetState::clone() const {
    checkOpen();
    auto copy = std::make_shared<RecordsetState>(db, spec);
    copy->type = type;
    copy->updatable = updatable;
    copy->columns = columns;
    copy->base_ = base_;
    copy->alias_ = alias_;
    copy->snapshot_ = snapshot_;
    copy->rowSql_ = rowSql_;
    copy->deleteSql_ = deleteSql_;
    copy->table_ = table_;
    copy->rows_ = rows_;
    copy->alive_ = alive_;
    copy->live_ = live_;
    copy->natural_ = natural_;
    copy->builtInBatch_ = builtInBatch_;
    copy->addedBatch_ = addedBatch_;
    copy->addedSlots_ = addedSlots_;
    copy->leftBatch_ = leftBatch_;
    copy->leftSlots_ = leftSlots_;
    copy->keysetTable_ = keysetTable_; // shared until one of them adds a row
    copy->pending_.assign(columns.size(), std::nullopt);
    if (live_.count() > 0) {
        copy->landOn(live_.kth(0));
    } else {
        copy->where_ = Where::Eof;
    }
    conn_->registerRecordset(*table_, copy->weak_from_this(), db.get());
    return copy;
}

} // namespace varnoke::detail
