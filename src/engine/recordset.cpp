#include "engine/recordset.h"

#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/find_shape.h"
#include "engine/recordset_state.h"
#include "engine/sql_parser.h"
#include "value/case_fold.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace varnoke {
namespace detail {
namespace {

constexpr int kInvalidBookmark = 3159;

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

} // namespace

// ---- LiveIndex

void LiveIndex::reset(std::size_t n) {
    size_ = n;
    count_ = static_cast<long>(n);
    tree_.assign(n + 1, 0);
    for (std::size_t i = 1; i <= n; ++i) {
        tree_[i] += 1;
        const std::size_t parent = i + (i & (~i + 1));
        if (parent <= n) tree_[parent] += tree_[i];
    }
}

void LiveIndex::push() {
    ++size_;
    tree_.push_back(0);
    // The new node covers (size_ - lowbit, size_]; sum the children it covers.
    const std::size_t i = size_;
    long sum = 1;
    const std::size_t low = i & (~i + 1);
    for (std::size_t j = 1; j < low; j <<= 1)
        sum += tree_[i - j];
    tree_[i] = sum;
    ++count_;
}

void LiveIndex::kill(std::size_t slot) {
    for (std::size_t i = slot + 1; i <= size_; i += i & (~i + 1))
        tree_[i] -= 1;
    --count_;
}

long LiveIndex::before(std::size_t slot) const {
    long sum = 0;
    for (std::size_t i = slot; i > 0; i -= i & (~i + 1))
        sum += tree_[i];
    return sum;
}

std::size_t LiveIndex::kth(long k) const {
    std::size_t pos = 0;
    std::size_t step = 1;
    while (step * 2 <= size_)
        step *= 2;
    for (; step > 0; step /= 2) {
        if (pos + step <= size_ && tree_[pos + step] <= k) {
            pos += step;
            k -= tree_[pos];
        }
    }
    return pos; // 0-based slot
}

TempTable::~TempTable() {
    if (!conn) return;
    try {
        conn->exec("DROP TABLE IF EXISTS temp." + quoteName(name));
    } catch (...) {
        // A temp table left behind goes with the connection.
    }
}

// ---- RecordsetState

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
    if (tableKey_.empty()) tableKey_ = base_.schema + "." + upperName(base_.name);
    return tableKey_;
}

void RecordsetState::noteOwnWrite() {
    conn().noteWrite();
    conn().bumpTable(versionSlot_);
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
        const std::string name = c.newTempName("vk_snap");
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
        c.exec("CREATE TEMP TABLE " + quoteName(name) + " (" + defs + ")");
        snapshot_ = std::make_shared<TempTable>(conn_, name);
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

    tableKey_.clear();
    rowSql_ =
        "SELECT " + columnList(base_, columns) + " FROM " + base_.sqlName() + " WHERE rowid = ?1";
    deleteSql_ = "DELETE FROM " + base_.sqlName() + " WHERE rowid = ?1";
    updatable = type != RecordsetType::Snapshot && !db->readOnly;
    pending_.assign(columns.size(), std::nullopt);
    writeMask_.clear();
    editMode = 0;
    noMatch = false;
    cacheValid_ = false;
    ahead_.reset();
    lastLoaded_ = static_cast<std::size_t>(-1);
    store_.reset();
    readsUnstored_ = 0;
    storeTooBig_ = false;
    clearFinds();
    versionSlot_ = c.tableVersionSlot(tableKey());
    currentDeleted_ = false;
    if (rows_.empty()) {
        where_ = Where::Eof;
    } else {
        where_ = Where::Row;
        slot_ = 0;
    }
    if (base_.schema == "main") c.registerRecordset(tableKey(), weak_from_this());
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
    cached_.clear();
    store_.reset();
    keys_.reset();
}

// ---- positions

bool RecordsetState::eof() const {
    return where_ == Where::Eof || (where_ == Where::Bof && live_.count() == 0);
}

bool RecordsetState::bof() const {
    return where_ == Where::Bof || (where_ == Where::Eof && live_.count() == 0);
}

void RecordsetState::landOn(std::size_t slot) {
    where_ = Where::Row;
    slot_ = slot;
    currentDeleted_ = false;
}

// Moving drops an unfinished AddNew or Edit, as the original engine did.
void RecordsetState::leaveEdit() {
    editMode = 0;
    std::fill(pending_.begin(), pending_.end(), std::nullopt);
}

void RecordsetState::moveFirst() {
    checkOpen();
    leaveEdit();
    if (live_.count() == 0) noCurrentRecord();
    landOn(live_.kth(0));
}

void RecordsetState::moveLast() {
    checkOpen();
    leaveEdit();
    if (live_.count() == 0) noCurrentRecord();
    landOn(live_.kth(live_.count() - 1));
}

void RecordsetState::moveNext() {
    checkOpen();
    if (eof()) noCurrentRecord();
    leaveEdit();
    // The next slot, when it holds a record, without counting the records before it.
    if (where_ == Where::Row && slot_ + 1 < rows_.size() && alive_[slot_ + 1])
        return landOn(slot_ + 1);
    const long next = where_ == Where::Bof ? 0 : live_.before(slot_ + 1);
    if (next >= live_.count()) {
        where_ = Where::Eof;
        currentDeleted_ = false;
    } else {
        landOn(live_.kth(next));
    }
}

void RecordsetState::movePrevious() {
    checkOpen();
    if (bof()) noCurrentRecord();
    leaveEdit();
    const long prev = where_ == Where::Eof ? live_.count() - 1 : live_.before(slot_) - 1;
    if (prev < 0) {
        where_ = Where::Bof;
        currentDeleted_ = false;
    } else {
        landOn(live_.kth(prev));
    }
}

void RecordsetState::move(long n) {
    checkOpen();
    if (where_ != Where::Row) {
        if (n == 0) return;
        noCurrentRecord();
    }
    leaveEdit();
    const long here = live_.before(slot_);
    // From a deleted record, one step on is the row that followed it.
    const long target = currentDeleted_ && n > 0 ? here + n - 1 : here + n;
    if (n == 0 && currentDeleted_) return;
    if (target < 0) {
        where_ = Where::Bof;
        currentDeleted_ = false;
    } else if (target >= live_.count()) {
        where_ = Where::Eof;
        currentDeleted_ = false;
    } else {
        landOn(live_.kth(target));
    }
}

std::optional<Recordset::RowStamp> RecordsetState::rowStamp() const {
    if (!open || where_ != Where::Row || currentDeleted_ || editMode != 0) return std::nullopt;
    const auto version = conn().dataVersion(versionSlot_);
    return Recordset::RowStamp{rows_[slot_], version.all, version.table};
}

long RecordsetState::absolutePosition() const {
    checkOpen();
    if (where_ != Where::Row || currentDeleted_) return -1;
    return live_.before(slot_);
}

void RecordsetState::setAbsolutePosition(long p) {
    checkOpen();
    if (p < 0 || p >= live_.count()) throw EngineError(err::InvalidArgument, "Invalid argument.");
    leaveEdit();
    landOn(live_.kth(p));
}

std::int64_t RecordsetState::bookmark() const {
    checkOpen();
    requireCurrent();
    return rows_[slot_];
}

void RecordsetState::setBookmark(std::int64_t b) {
    checkOpen();
    auto slot = slotOf(b);
    if (!slot) throw EngineError(kInvalidBookmark, "Not a valid bookmark.");
    if (!alive_[*slot]) recordDeleted();
    leaveEdit();
    landOn(*slot);
}

std::optional<std::size_t> RecordsetState::slotOf(std::int64_t rowid) {
    if (natural_) {
        // Rowids mostly run without gaps: try the place that assumes none first.
        if (!rows_.empty() && rowid >= rows_.front()) {
            const auto guess =
                static_cast<std::uint64_t>(rowid) - static_cast<std::uint64_t>(rows_.front());
            if (guess < rows_.size() && rows_[guess] == rowid) return guess;
        }
        auto it = std::lower_bound(rows_.begin(), rows_.end(), rowid);
        if (it == rows_.end() || *it != rowid) return std::nullopt;
        return static_cast<std::size_t>(it - rows_.begin());
    }
    if (slotMap_.size() != rows_.size()) {
        slotMap_.clear();
        slotMap_.reserve(rows_.size());
        for (std::size_t i = 0; i < rows_.size(); ++i)
            slotMap_.emplace(rows_[i], i);
    }
    auto it = slotMap_.find(rowid);
    if (it == slotMap_.end()) return std::nullopt;
    return it->second;
}

void RecordsetState::rowsDeleted(std::span<const std::int64_t> rowids) {
    if (!open) return;
    for (auto rowid : rowids) {
        auto slot = slotOf(rowid);
        if (!slot || !alive_[*slot]) continue;
        alive_[*slot] = 0;
        live_.kill(*slot);
        if (where_ == Where::Row && slot_ == *slot) currentDeleted_ = true;
    }
}

void RecordsetState::requireCurrent() const {
    if (where_ != Where::Row) noCurrentRecord();
    if (currentDeleted_) recordDeleted();
}

// ---- finds

void RecordsetState::ensureKeysetTable() {
    if (keysetTable_) return;
    Connection& c = conn();
    const std::string name = c.newTempName("vk_keys");
    c.exec("CREATE TEMP TABLE " + quoteName(name) + " (pos INTEGER PRIMARY KEY, rid INTEGER)");
    keysetTable_ = std::make_shared<TempTable>(conn_, name);
    c.atomically([&] {
        auto ins = c.prepare("INSERT INTO temp." + quoteName(name) + " (pos, rid) VALUES (?1, ?2)");
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            sqlite3_bind_int64(ins.get(), 1, static_cast<sqlite3_int64>(i));
            sqlite3_bind_int64(ins.get(), 2, rows_[i]);
            ins.run();
            sqlite3_reset(ins.get());
        }
    });
    c.exec("CREATE INDEX temp." + quoteName(name + "_rid") + " ON " + quoteName(name) + " (rid)");
}

void RecordsetState::clearFinds() {
    for (int i = 0; i < 2; ++i) {
        findSql_[i].clear();
        findShapes_[i].clear();
    }
    keys_.reset();
    keysColumn_ = -1;
    keysScanned_ = false;
    findsSinceScan_ = 0;
}

RecordsetState::FindQuery
RecordsetState::findQuery(const sql::Expr& criteria, bool backwards,
                          std::vector<std::pair<const sql::Expr*, int>>* literals) {
    Renderer r(conn());
    r.criteriaMode = true;
    r.pushScope({scope()});
    const std::string cond = r.condition(criteria);
    r.popScope();
    if (literals) *literals = std::move(r.literalBinds);
    FindQuery q;
    q.backwards = backwards;
    q.keyColumn = keyedColumn(cond, r);
    if (q.keyColumn >= 0) {
        q.keyBind = 1;
        // Indexed in SQLite only if a find of this shape goes there (see runFind).
        q.unindexed = std::make_shared<const std::vector<SearchedColumn>>(r.searched);
    }
    q.boundParam = r.bind(Value::number(0));
    q.binds = std::move(r.binds);
    std::string& sqlText = findSql_[backwards ? 1 : 0][cond];
    if (!sqlText.empty()) {
        q.sql = sqlText;
        return q;
    }
    for (const auto& s : q.unindexed ? std::vector<SearchedColumn>{} : r.searched) {
        // A column the find also tests exactly is searched through its exact index,
        // which holds the case-blind order too.
        const bool exactToo =
            s.kind == IndexKind::NoCase &&
            std::any_of(r.searched.begin(), r.searched.end(), [&](const SearchedColumn& o) {
                return o.kind == IndexKind::Exact && sameName(o.column, s.column) &&
                       sameName(o.table.name, s.table.name);
            });
        if (!exactToo) conn().ensureFindIndex(s.table, s.column, s.kind);
    }
    const std::string cmp = backwards ? " < " : " > ";
    const std::string dir = backwards ? " DESC" : "";
    const std::string bound = "?" + std::to_string(q.boundParam);
    // The found row's values come with it, so reading the record found costs nothing more.
    std::string values;
    for (const auto& c : columns)
        values += ", " + alias_ + "." +
                  quoteName(base_.columns[static_cast<std::size_t>(c.baseColumn)].name);
    if (natural_) {
        sqlText = "SELECT " + alias_ + ".rowid" + values + " FROM " + base_.sqlName() + " AS " +
                  alias_ + " WHERE " + cond + " AND " + alias_ + ".rowid" + cmp + bound +
                  " ORDER BY " + alias_ + ".rowid" + dir + " LIMIT 1";
    } else {
        ensureKeysetTable();
        sqlText = "SELECT k.pos" + values + " FROM temp." + quoteName(keysetTable_->name) +
                  " AS k JOIN " + base_.sqlName() + " AS " + alias_ + " ON " + alias_ +
                  ".rowid = k.rid WHERE " + cond + " AND k.pos" + cmp + bound + " ORDER BY k.pos" +
                  dir + " LIMIT 1";
    }
    q.sql = sqlText;
    return q;
}

// The column of a find that is exactly "[F] = 'text'" on a text field of this row set in
// stored order, as rendered: the key index answers such a find as SQLite would.
int RecordsetState::keyedColumn(const std::string& cond, const Renderer& r) const {
    if (!natural_ || r.searched.size() != 1 || r.binds.size() != 1 || !r.binds[0].isText())
        return -1;
    const SearchedColumn& s = r.searched[0];
    if (s.kind != IndexKind::NoCase || !sameName(s.table.name, base_.name)) return -1;
    const int i = columnOfBase(s.column);
    if (i < 0 || cond != "(" + alias_ + "." + quoteName(baseName(i)) + kCaseBlind + " = ?1)")
        return -1;
    return i;
}

const std::string& RecordsetState::baseName(int column) const {
    const auto& c = columns[static_cast<std::size_t>(column)];
    return base_.columns[static_cast<std::size_t>(c.baseColumn)].name;
}

int RecordsetState::columnOfBase(std::string_view baseColumn) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (sameName(baseName(static_cast<int>(i)), baseColumn)) return static_cast<int>(i);
    return -1;
}

bool RecordsetState::aheadCurrent() const {
    return ahead_ && ahead_->version == conn().dataVersion(versionSlot_);
}

RecordsetState::OwnWrite RecordsetState::beginOwnWrite(bool keyWritten) {
    const OwnWrite w{keysCurrent() && !keyWritten, aheadCurrent(), storeCurrent()};
    noteOwnWrite();
    return w;
}

// After this recordset wrote one row, what it held before of the other rows is still as
// read, and the key index holds while the key was not written.
void RecordsetState::endOwnWrite(const OwnWrite& w, std::size_t written) {
    const auto version = conn().dataVersion(versionSlot_);
    if (w.keys) keysVersion_ = version;
    if (w.ahead) {
        if (written >= ahead_->first && written - ahead_->first < ahead_->count)
            ahead_->held[written - ahead_->first] = 0;
        ahead_->version = version;
    }
    if (w.store) {
        store_->drop(written);
        storeVersion_ = version;
    }
}

bool RecordsetState::keysCurrent() const {
    return keys_ && keysVersion_ == conn().dataVersion(versionSlot_);
}

std::optional<std::vector<std::int64_t>> RecordsetState::keyedRows(std::string_view column,
                                                                   std::string_view text) {
    if (!open || !natural_) return std::nullopt;
    const int served = columnOfBase(column);
    if (served < 0 || !keysServe(served) || !keys_->coversTable()) return std::nullopt;
    std::vector<std::int64_t> found;
    for (const auto& e : keys_->candidates(text)) {
        const auto kept = keys_->textOf(e.slot);
        if (!kept || sameFolded(*kept, text)) found.push_back(rows_[e.slot]);
    }
    return found;
}

void RecordsetState::keysSurvive(Connection::DataVersion before,
                                 const std::vector<std::string>& setColumns) {
    if (!keys_ || keysVersion_ != before) return;
    const auto& key = baseName(keysColumn_);
    if (std::any_of(setColumns.begin(), setColumns.end(),
                    [&](const std::string& c) { return sameName(c, key); }))
        return;
    keysVersion_ = conn().dataVersion(versionSlot_);
}

// A scan of the table stands in for many index searches, but a table written between
// finds would be scanned for each: after the index goes stale, finds go to SQLite until
// their number reaches a quarter of the rows, so scans cost no more than the finds.
bool RecordsetState::keysServe(int column) {
    if (keysColumn_ == column && keysCurrent()) return true;
    if (keysScanned_ && findsSinceScan_ * 4 < rows_.size()) {
        ++findsSinceScan_;
        return false;
    }
    keysScanned_ = true;
    findsSinceScan_ = 0;
    const auto version = conn().dataVersion(versionSlot_);
    keysColumn_ = column;
    keys_ = KeyIndex::scan(conn(), base_, baseName(keysColumn_), rows_);
    keysVersion_ = version;
    return keys_.has_value();
}

bool RecordsetState::readRowAt(std::size_t slot) {
    auto st = conn().prepare(rowSql_);
    sqlite3_bind_int64(st.get(), 1, rows_[slot]);
    if (!st.step()) return false;
    keepRow(st.get(), 0, slot);
    return true;
}

std::optional<std::optional<std::size_t>>
RecordsetState::keyedFind(const FindQuery& q, std::optional<std::size_t> after) {
    if (q.keyColumn < 0 || !natural_ || !keysServe(q.keyColumn)) return std::nullopt;
    const std::string& text = q.binds[static_cast<std::size_t>(q.keyBind - 1)].asText();
    auto found = keys_->candidates(text);
    auto tryHit = [&](std::size_t slot) {
        if (!alive_[slot]) return false;
        // The row itself is read when a value other than the key is asked for.
        if (auto kept = keys_->textOf(slot)) return sameFolded(*kept, text);
        if (!readRowAt(slot)) return false;
        const Value& v = cached_[static_cast<std::size_t>(q.keyColumn)];
        return v.isText() && sameFolded(v.asText(), text);
    };
    // Candidates are in slot order: a find from a record starts at its place among them.
    const auto bySlot = [](const KeyIndex::Entry& e, std::size_t slot) { return e.slot < slot; };
    if (q.backwards) {
        auto end =
            after ? std::lower_bound(found.begin(), found.end(), *after, bySlot) : found.end();
        for (auto it = end; it != found.begin();)
            if (--it; tryHit(it->slot)) return it->slot;
    } else {
        auto it = after ? std::lower_bound(found.begin(), found.end(), *after + 1, bySlot)
                        : found.begin();
        for (; it != found.end(); ++it)
            if (tryHit(it->slot)) return it->slot;
    }
    return std::optional<std::size_t>{};
}

void RecordsetState::ensureIndexes(const FindQuery& q) {
    if (q.unindexed)
        for (const auto& s : *q.unindexed)
            conn().ensureFindIndex(s.table, s.column, s.kind);
}

std::optional<std::size_t> RecordsetState::runFind(FindQuery& q, std::optional<std::size_t> after) {
    ensureIndexes(q);
    const bool backwards = q.backwards;
    // The bound is a rowid for a row set in stored order, else a slot number.
    double bound;
    if (after) {
        bound = natural_ ? static_cast<double>(rows_[*after]) : static_cast<double>(*after);
    } else {
        bound =
            backwards ? std::numeric_limits<double>::max() : -std::numeric_limits<double>::max();
    }
    auto st = conn().prepare(q.sql);
    while (true) {
        q.binds[static_cast<std::size_t>(q.boundParam - 1)] = Value::number(bound);
        st.bindAllKept(q.binds); // q outlives st
        if (!st.step()) return std::nullopt;
        const std::int64_t hit = sqlite3_column_int64(st.get(), 0);
        std::optional<std::size_t> slot =
            natural_ ? slotOf(hit) : std::optional<std::size_t>(static_cast<std::size_t>(hit));
        if (slot && *slot < alive_.size() && alive_[*slot]) {
            keepRow(st.get(), 1, *slot);
            return slot;
        }
        sqlite3_reset(st.get());
        // A row that is not (or no longer) in this row set: search on past it.
        bound = static_cast<double>(hit);
    }
}

void RecordsetState::find(std::string_view criteria, FindFrom from) {
    checkOpen();
    const bool backwards = from == FindFrom::Last || from == FindFrom::Previous;
    auto& templates = findShapes_[backwards ? 1 : 0];
    auto shape = findShape(criteria);
    FindTemplate* known = nullptr;
    if (shape) {
        if (auto it = templates.find(shape->key); it != templates.end()) known = &it->second;
    }
    sql::ExprPtr expr;
    if (!known) expr = sql::parseExpression(criteria);
    std::optional<std::size_t> after;
    if (from == FindFrom::Next || from == FindFrom::Previous) {
        if (where_ == Where::Row) {
            after = slot_;
        } else if ((from == FindFrom::Next && where_ == Where::Eof) ||
                   (from == FindFrom::Previous && where_ == Where::Bof)) {
            noMatch = true;
            return;
        }
    }
    // A kept query takes this find's texts in place: nothing else reads its binds.
    FindQuery fresh;
    FindQuery& q = known ? known->query : fresh;
    if (known) {
        for (std::size_t i = 0; i < shape->texts.size(); ++i)
            q.binds[static_cast<std::size_t>(known->textBinds[i] - 1)] =
                Value::text(std::move(shape->texts[i]));
    } else {
        std::vector<std::pair<const sql::Expr*, int>> literals;
        fresh = findQuery(*expr, backwards, &literals);
        if (shape) {
            if (auto places = textBindsOf(*expr, literals, q.binds, shape->texts))
                templates.emplace(std::move(shape->key), FindTemplate{q, std::move(*places)});
        }
    }
    auto keyed = keyedFind(q, after);
    auto slot = keyed ? *keyed : runFind(q, after);
    noMatch = !slot.has_value();
    if (slot) {
        leaveEdit();
        landOn(*slot);
    }
}

std::vector<std::string> RecordsetState::explainFind(std::string_view criteria) {
    checkOpen();
    auto expr = sql::parseExpression(criteria);
    FindQuery q = findQuery(*expr, false);
    ensureIndexes(q);
    auto st = conn().prepare("EXPLAIN QUERY PLAN " + q.sql);
    st.bindAll(q.binds);
    std::vector<std::string> lines;
    while (st.step())
        lines.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 3)));
    return lines;
}

void RecordsetState::setIndex(std::string_view name) {
    checkOpen();
    if (type != RecordsetType::Table)
        throw EngineError(err::OperationNotSupported,
                          "Operation is not supported for this type of object.");
    if (!name.empty() && std::none_of(base_.indexes.begin(), base_.indexes.end(),
                                      [&](const std::string& i) { return sameName(i, name); }))
        throw EngineError(err::NotAnIndex,
                          "'" + std::string(name) + "' isn't an index in this table.");
    std::string canonical;
    for (const auto& i : base_.indexes)
        if (sameName(i, name)) canonical = i;
    spec.index = canonical;
    build();
}

void RecordsetState::seek(std::string_view comparison, const std::vector<Value>& keys) {
    checkOpen();
    if (type != RecordsetType::Table)
        throw EngineError(err::OperationNotSupported,
                          "Operation is not supported for this type of object.");
    if (spec.index.empty())
        throw EngineError(err::NoCurrentIndex, "Operation invalid without a current index.");
    static constexpr std::string_view ops[] = {"=", ">=", ">", "<=", "<"};
    if (std::find(std::begin(ops), std::end(ops), comparison) == std::end(ops) || keys.empty())
        throw EngineError(err::InvalidArgument, "Invalid argument.");
    std::vector<std::string> indexColumns;
    {
        auto st = conn().prepare("SELECT name FROM pragma_index_info(?1) ORDER BY seqno");
        st.bind(1, Value::text(spec.index));
        while (st.step())
            indexColumns.emplace_back(
                reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
    }
    if (keys.size() > indexColumns.size())
        throw EngineError(err::InvalidArgument, "Invalid argument.");
    // The keys become a criteria tree of their own: equal on all but the last key,
    // the comparison on the last.
    std::unique_ptr<sql::Expr> cond;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        auto cmp = std::make_unique<sql::Expr>();
        cmp->kind = sql::Expr::Kind::Compare;
        cmp->op = i + 1 == keys.size() ? std::string(comparison) : "=";
        auto col = std::make_unique<sql::Expr>();
        col->kind = sql::Expr::Kind::Column;
        col->name = indexColumns[i];
        auto lit = std::make_unique<sql::Expr>();
        lit->kind = sql::Expr::Kind::Literal;
        lit->value = keys[i].isEmpty() ? Value::null() : keys[i];
        cmp->args.push_back(std::move(col));
        cmp->args.push_back(std::move(lit));
        if (!cond) {
            cond = std::move(cmp);
        } else {
            auto both = std::make_unique<sql::Expr>();
            both->kind = sql::Expr::Kind::Binary;
            both->op = "and";
            both->args.push_back(std::move(cond));
            both->args.push_back(std::move(cmp));
            cond = std::move(both);
        }
    }
    const bool backwards = comparison == "<=" || comparison == "<";
    auto q = findQuery(*cond, backwards);
    auto slot = runFind(q, std::nullopt);
    noMatch = !slot.has_value();
    if (slot) {
        leaveEdit();
        landOn(*slot);
    }
}

// ---- values and edits

void RecordsetState::loadRow() {
    const auto version = conn().dataVersion(versionSlot_);
    if (cacheValid_ && cachedSlot_ == slot_ && cachedVersion_ == version) return;
    const bool walking = natural_ && lastLoaded_ + 1 == slot_;
    lastLoaded_ = slot_;
    if (takeAhead(version)) return;
    if (walking) {
        readAhead();
        if (takeAhead(version)) return;
    }
    if (takeStored(version)) return;
    auto st = conn().prepare(rowSql_);
    sqlite3_bind_int64(st.get(), 1, rows_[slot_]);
    if (!st.step()) recordDeleted();
    keepRow(st.get(), 0, slot_);
}

void RecordsetState::readAhead() {
    constexpr std::size_t kAhead = 64;
    const std::size_t end = std::min(rows_.size(), slot_ + kAhead);
    const std::size_t width = columns.size();
    // The buffers of the rows read before serve again.
    ReadAhead ahead = ahead_ ? std::move(*ahead_) : ReadAhead{};
    ahead_.reset();
    ahead.first = slot_;
    ahead.count = end - slot_;
    ahead.values.resize(ahead.count * width);
    ahead.held.assign(ahead.count, 0);
    ahead.version = conn().dataVersion(versionSlot_);
    auto st = conn().prepare(rowsQuery() + " WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid");
    sqlite3_bind_int64(st.get(), 1, rows_[slot_]);
    sqlite3_bind_int64(st.get(), 2, rows_[end - 1]);
    std::size_t slot = slot_;
    while (st.step()) {
        const std::int64_t rowid = sqlite3_column_int64(st.get(), 0);
        while (slot < end && rows_[slot] < rowid)
            ++slot;
        if (slot == end) break;
        if (rows_[slot] != rowid) continue; // not in this row set
        const std::size_t row = slot - slot_;
        for (std::size_t i = 0; i < width; ++i)
            ahead.values[row * width + i] =
                readColumn(st.get(), static_cast<int>(i) + 1, columns[i].type);
        ahead.held[row] = 1;
    }
    ahead_ = std::move(ahead);
}

// The rowid and every column of the row set, from the base table.
std::string RecordsetState::rowsQuery() const {
    return "SELECT rowid, " + columnList(base_, columns) + " FROM " + base_.sqlName();
}

bool RecordsetState::storeCurrent() const {
    return store_ && storeVersion_ == conn().dataVersion(versionSlot_);
}

// A scan of the table costs about as much as an eighth of its rows read one by one, and
// is made only after that many such reads, up to a bound of memory.
bool RecordsetState::takeStored(Connection::DataVersion version) {
    constexpr std::size_t kMaxStoreBytes = 8 * 1024 * 1024;
    if (!natural_ || storeTooBig_) return false;
    if (!store_ || storeVersion_ != version) {
        store_.reset();
        if (++readsUnstored_ * 8 < rows_.size()) return false;
        readsUnstored_ = 0;
        std::vector<ColumnType> types;
        for (const auto& c : columns)
            types.push_back(c.type);
        store_ =
            RowStore::scan(conn(), rowsQuery() + " ORDER BY rowid", types, rows_, kMaxStoreBytes);
        storeVersion_ = version;
        if (!store_) {
            storeTooBig_ = true;
            return false;
        }
    }
    if (!store_->values(slot_, cached_)) return false;
    cachedSlot_ = slot_;
    cachedVersion_ = version;
    cacheValid_ = true;
    return true;
}

// The current row from the rows read ahead, when they hold it and are still current.
bool RecordsetState::takeAhead(Connection::DataVersion version) {
    if (!natural_ || !ahead_ || ahead_->version != version || slot_ < ahead_->first ||
        slot_ - ahead_->first >= ahead_->count)
        return false;
    const std::size_t row = slot_ - ahead_->first;
    if (!ahead_->held[row]) return false;
    ahead_->held[row] = 0;
    const auto first = ahead_->values.begin() + static_cast<std::ptrdiff_t>(row * columns.size());
    cached_.assign(std::make_move_iterator(first),
                   std::make_move_iterator(first + static_cast<std::ptrdiff_t>(columns.size())));
    cachedSlot_ = slot_;
    cachedVersion_ = version;
    cacheValid_ = true;
    return true;
}

// The values of a row, from the columns of a statement's current result row on.
void RecordsetState::keepRow(sqlite3_stmt* st, int firstColumn, std::size_t slot) {
    cached_.clear();
    for (std::size_t i = 0; i < columns.size(); ++i)
        cached_.push_back(readColumn(st, firstColumn + static_cast<int>(i), columns[i].type));
    cachedSlot_ = slot;
    cachedVersion_ = conn().dataVersion(versionSlot_);
    cacheValid_ = true;
}

Value RecordsetState::value(int column) {
    checkOpen();
    const auto i = static_cast<std::size_t>(column);
    if (editMode != 0 && pending_[i]) return *pending_[i];
    if (editMode == 2) return Value::null();
    requireCurrent();
    if (column == keysColumn_ && keysCurrent())
        if (auto kept = keys_->textOf(slot_)) return Value::text(std::string(*kept));
    loadRow();
    return cached_[i];
}

void RecordsetState::setValue(int column, const Value& v) {
    checkOpen();
    if (editMode == 0)
        throw EngineError(err::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    const auto& col = columns[static_cast<std::size_t>(column)];
    pending_[static_cast<std::size_t>(column)] = storeValue(v, col.type, col.name);
}

int RecordsetState::columnIndex(std::string_view name) const {
    checkOpen();
    // Callers mostly spell a name as the table does.
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == name) return static_cast<int>(i);
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (sameName(columns[i].name, name)) return static_cast<int>(i);
    throw EngineError(err::NotInCollection, "Item not found in this collection.");
}

void RecordsetState::addNew() {
    checkOpen();
    if (!updatable) readOnlyRecordset();
    leaveEdit();
    editMode = 2;
}

void RecordsetState::edit() {
    checkOpen();
    if (!updatable) readOnlyRecordset();
    requireCurrent();
    leaveEdit();
    editMode = 1;
}

void RecordsetState::cancelUpdate() {
    checkOpen();
    leaveEdit();
}

void RecordsetState::update() {
    checkOpen();
    if (editMode == 0)
        throw EngineError(err::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    db->checkWritable();
    Connection& c = conn();
    // Most updates write the same fields as the one before: keep its statement text.
    std::vector<bool> mask(columns.size());
    std::size_t written = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        mask[i] = pending_[i].has_value();
        if (mask[i]) ++written;
    }
    // The pending values, in the order of the statement's parameters; they stay until
    // the statement is done with them.
    auto bindPending = [&](Stmt& st) {
        int n = 0;
        for (const auto& v : pending_)
            if (v) st.bindKept(++n, *v);
    };
    if (mask != writeMask_ || writeMode_ != editMode) {
        std::string names, values, sets;
        int n = 0;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!mask[i]) continue;
            const auto col =
                quoteName(base_.columns[static_cast<std::size_t>(columns[i].baseColumn)].name);
            const auto param = "?" + std::to_string(++n);
            names += (names.empty() ? "" : ", ") + col;
            values += (values.empty() ? "" : ", ") + param;
            sets += (sets.empty() ? "" : ", ") + col + " = " + param;
        }
        if (editMode == 2)
            writeSql_ = n == 0 ? "INSERT INTO " + base_.sqlName() + " DEFAULT VALUES"
                               : "INSERT INTO " + base_.sqlName() + " (" + names + ") VALUES (" +
                                     values + ")";
        else
            writeSql_ = "UPDATE " + base_.sqlName() + " SET " + sets + " WHERE rowid = ?" +
                        std::to_string(n + 1);
        writeMask_ = std::move(mask);
        writeMode_ = editMode;
    }
    if (editMode == 2) {
        noteOwnWrite();
        auto st = c.prepare(writeSql_);
        bindPending(st);
        st.run();
        const std::int64_t rowid = sqlite3_last_insert_rowid(c.handle());
        // The new row joins the end of the row set; the current record stays.
        if (natural_ && !rows_.empty() && rowid <= rows_.back()) {
            natural_ = false;
            clearFinds(); // finds now go by the row set's own order
        }
        rows_.push_back(rowid);
        alive_.push_back(1);
        live_.push();
        if (!slotMap_.empty()) slotMap_.emplace(rowid, rows_.size() - 1);
        if (keysetTable_) {
            auto ins = c.prepare("INSERT INTO temp." + quoteName(keysetTable_->name) +
                                 " (pos, rid) VALUES (?1, ?2)");
            sqlite3_bind_int64(ins.get(), 1, static_cast<sqlite3_int64>(rows_.size() - 1));
            sqlite3_bind_int64(ins.get(), 2, rowid);
            ins.run();
        }
        lastModified = rowid;
    } else if (written > 0) {
        requireCurrent();
        const OwnWrite own =
            beginOwnWrite(keysColumn_ >= 0 && writeMask_[static_cast<std::size_t>(keysColumn_)]);
        auto st = c.prepare(writeSql_);
        bindPending(st);
        sqlite3_bind_int64(st.get(), static_cast<int>(written + 1), rows_[slot_]);
        st.run();
        endOwnWrite(own, slot_);
        if (sqlite3_changes(c.handle()) == 0) recordDeleted();
        lastModified = rows_[slot_];
    }
    leaveEdit();
}

void RecordsetState::deleteRecord() {
    checkOpen();
    if (!updatable) readOnlyRecordset();
    requireCurrent();
    db->checkWritable();
    leaveEdit();
    Connection& c = conn();
    const std::int64_t rowid = rows_[slot_];
    const OwnWrite own = beginOwnWrite(false); // a deleted row is passed over as not alive
    auto st = c.prepare(deleteSql_);
    sqlite3_bind_int64(st.get(), 1, rowid);
    st.run();
    endOwnWrite(own, slot_);
    c.rowsDeleted(tableKey(), {&rowid, 1});
    rowsDeleted({&rowid, 1}); // for a recordset not in the registry
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
    db->recordsets.push_back(child);
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
    copy->versionSlot_ = versionSlot_;
    copy->rows_ = rows_;
    copy->alive_ = alive_;
    copy->live_ = live_;
    copy->natural_ = natural_;
    copy->keysetTable_ = keysetTable_;
    copy->pending_.assign(columns.size(), std::nullopt);
    if (live_.count() > 0) {
        copy->landOn(live_.kth(0));
    } else {
        copy->where_ = Where::Eof;
    }
    if (base_.schema == "main") conn_->registerRecordset(tableKey(), copy->weak_from_this());
    db->recordsets.push_back(copy);
    return copy;
}

} // namespace detail

// ---- Recordset handle

Recordset::Recordset(std::shared_ptr<detail::RecordsetState> state) : state_(std::move(state)) {}

detail::RecordsetState& Recordset::state() const {
    if (!state_ || !state_->open || !state_->db->open)
        throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    return *state_;
}

bool Recordset::isOpen() const {
    return state_ && state_->open && state_->db->open;
}
RecordsetType Recordset::type() const {
    return state().type;
}
bool Recordset::updatable() const {
    return state().updatable;
}
std::string Recordset::name() const {
    return state().spec.source;
}

void Recordset::moveFirst() {
    state().moveFirst();
}
void Recordset::moveLast() {
    state().moveLast();
}
void Recordset::moveNext() {
    state().moveNext();
}
void Recordset::movePrevious() {
    state().movePrevious();
}
void Recordset::move(long n) {
    state().move(n);
}
bool Recordset::eof() const {
    return state().eof();
}
bool Recordset::bof() const {
    return state().bof();
}
long Recordset::absolutePosition() const {
    return state().absolutePosition();
}
std::optional<Recordset::RowStamp> Recordset::rowStamp() const {
    return isOpen() ? state_->rowStamp() : std::nullopt;
}
void Recordset::setAbsolutePosition(long p) {
    state().setAbsolutePosition(p);
}
long Recordset::recordCount() const {
    return state().recordCount();
}
std::int64_t Recordset::bookmark() const {
    return state().bookmark();
}
void Recordset::setBookmark(std::int64_t b) {
    state().setBookmark(b);
}

void Recordset::findFirst(std::string_view c) {
    state().find(c, detail::RecordsetState::FindFrom::First);
}
void Recordset::findLast(std::string_view c) {
    state().find(c, detail::RecordsetState::FindFrom::Last);
}
void Recordset::findNext(std::string_view c) {
    state().find(c, detail::RecordsetState::FindFrom::Next);
}
void Recordset::findPrevious(std::string_view c) {
    state().find(c, detail::RecordsetState::FindFrom::Previous);
}
bool Recordset::noMatch() const {
    return state().noMatch;
}

void Recordset::setIndex(std::string_view indexName) {
    state().setIndex(indexName);
}
std::string Recordset::index() const {
    return state().spec.index;
}
void Recordset::seek(std::string_view comparison, const Value& key) {
    state().seek(comparison, std::vector<Value>{key});
}
void Recordset::seek(std::string_view comparison, const std::vector<Value>& keys) {
    state().seek(comparison, keys);
}

void Recordset::addNew() {
    state().addNew();
}
void Recordset::edit() {
    state().edit();
}
void Recordset::update() {
    state().update();
}
void Recordset::cancelUpdate() {
    state().cancelUpdate();
}
void Recordset::deleteRecord() {
    state().deleteRecord();
}
int Recordset::editMode() const {
    return state().editMode;
}
std::int64_t Recordset::lastModified() const {
    return state().lastModified;
}

int Recordset::fieldCount() const {
    return static_cast<int>(state().columns.size());
}

Field Recordset::field(int index) const {
    const auto& name = fieldName(index);
    return Field(state_, index, name, state().columns[static_cast<std::size_t>(index)].type);
}

const std::string& Recordset::fieldName(int index) const {
    auto& s = state();
    if (index < 0 || index >= static_cast<int>(s.columns.size()))
        throw EngineError(err::NotInCollection, "Item not found in this collection.");
    return s.columns[static_cast<std::size_t>(index)].name;
}

Field Recordset::field(std::string_view name) const {
    return field(state().columnIndex(name));
}

std::vector<Field> Recordset::fields() const {
    std::vector<Field> out;
    for (int i = 0; i < fieldCount(); ++i)
        out.push_back(field(i));
    return out;
}

Value Recordset::value(std::string_view fieldName) const {
    auto& s = state();
    return s.value(s.columnIndex(fieldName));
}

void Recordset::setValue(std::string_view fieldName, const Value& v) {
    auto& s = state();
    s.setValue(s.columnIndex(fieldName), v);
}

Value Recordset::valueAt(int index) const {
    fieldName(index); // 3265 when there is no such field
    return state().value(index);
}

void Recordset::setValueAt(int index, const Value& v) {
    fieldName(index);
    state().setValue(index, v);
}

int Recordset::fieldType(std::string_view fieldName) const {
    auto& s = state();
    return s.columns[static_cast<std::size_t>(s.columnIndex(fieldName))].type.code;
}

Recordset Recordset::openFiltered(std::string_view filterText) const {
    auto& s = state();
    auto filters = s.spec.filters;
    filters.emplace_back(filterText);
    return Recordset(s.derive(std::move(filters), s.spec.sort));
}

Recordset Recordset::openSorted(std::string_view sortText) const {
    auto& s = state();
    return Recordset(s.derive(s.spec.filters, std::string(sortText)));
}

std::string Recordset::filter() const {
    const auto& f = state().spec.filters;
    std::string out;
    for (const auto& x : f)
        out += (out.empty() ? "" : " AND ") + (f.size() > 1 ? "(" + x + ")" : x);
    return out;
}

std::string Recordset::sort() const {
    return state().spec.sort;
}

void Recordset::requery() {
    state().build();
}

Recordset Recordset::clone() const {
    return Recordset(state().clone());
}

void Recordset::close() {
    if (state_) state_->close();
}

std::vector<std::string> Recordset::explainFind(std::string_view criteria) const {
    return state().explainFind(criteria);
}

// ---- Field

int defaultFieldSize(int typeCode) {
    switch (typeCode) {
    case fieldtype::Boolean:
    case fieldtype::Byte:
        return 1;
    case fieldtype::Integer:
        return 2;
    case fieldtype::Long:
    case fieldtype::Single:
        return 4;
    case fieldtype::Currency:
    case fieldtype::Double:
    case fieldtype::Date:
        return 8;
    case fieldtype::Text:
        return 255;
    default:
        return 0;
    }
}

Field::Field(std::string name, int typeCode, int size)
    : name_(std::move(name)), type_{typeCode, typeCode == fieldtype::Text && size > 0
                                                  ? size
                                                  : defaultFieldSize(typeCode)} {}

Field::Field(std::shared_ptr<detail::RecordsetState> owner, int index, std::string name,
             ColumnType type)
    : owner_(std::move(owner)), index_(index), name_(std::move(name)), type_(type) {}

Value Field::value() const {
    if (!owner_) throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    return owner_->value(index_);
}

void Field::setValue(const Value& v) {
    if (!owner_) throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    owner_->setValue(index_, v);
}

} // namespace varnoke
