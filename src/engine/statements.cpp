// Runs the dialect's statements on SQLite.
#include "engine/column_value.h"
#include "engine/database_state.h"
#include "engine/engine_error.h"
#include "engine/find_shape.h"
#include "engine/keyed_equality.h"
#include "engine/new_table.h"
#include "engine/sql_parser.h"

#include <algorithm>

namespace varnoke::detail {
namespace {

[[noreturn]] void tooFewParameters(int n) {
    throw EngineError(err::TooFewParameters,
                      "Too few parameters. Expected " + std::to_string(n) + ".");
}

const TableInfo& requireTable(Connection& c, const std::string& name) {
    const TableInfo* t = c.table(name);
    if (!t)
        throw EngineError(err::TableNotFound, "Cannot find the input table or query '" + name +
                                                  "'.  Make sure it exists and that its name "
                                                  "is spelled correctly.");
    return *t;
}

void requireAbsent(Connection& c, const std::string& name) {
    if (c.table(name)) throw EngineError(err::TableExists, "Table '" + name + "' already exists.");
}

ScopeTable scopeFor(const TableInfo& t, const std::string& alias) {
    ScopeTable st;
    st.info = t;
    st.matchName = alias.empty() ? t.name : alias;
    st.sqlRef = quoteName(t.name);
    return st;
}

// SELECT * (or t.*) of one table, every row, nothing computed or bound.
bool wholeTableCopy(const sql::SelectStmt& s, const Renderer::SelectOut& out) {
    if (!out.simple || !out.baseTable || s.items.size() != 1 || s.where || !s.groupBy.empty() ||
        s.having || !s.orderBy.empty() || s.top || s.distinct)
        return false;
    const auto& item = s.items.front();
    return item.expr->kind == sql::Expr::Kind::Star && item.alias.empty() &&
           out.columns.size() == out.baseTable->columns.size();
}

// The text literals of an UPDATE; false when it holds a subquery.
bool updateTexts(const sql::UpdateStmt& u, std::vector<const sql::Expr*>& out) {
    for (const auto& set : u.sets)
        if (!gatherTexts(*set.second, out)) return false;
    return !u.where || gatherTexts(*u.where, out);
}

void ensureSearched(Connection& c, const DataStatement& d) {
    for (std::size_t i = 0; i < d.searched.size(); ++i)
        if (!c.hasFindIndex(d.indexKeys[i]))
            c.ensureFindIndex(d.searched[i].table, d.searched[i].column, d.searched[i].kind);
}

// The rows a keyed UPDATE may change, when an open recordset's key index knows them.
std::optional<std::vector<std::int64_t>> keyedRows(Connection& c, const DataStatement& d,
                                                   const std::vector<Value>& binds) {
    if (!d.keyed) return std::nullopt;
    const Value& key = binds[static_cast<std::size_t>(d.keyed->keyBind - 1)];
    if (!key.isText()) return std::nullopt;
    return c.keyedRows(d.written, d.keyed->column, key.asText());
}

// The rows it deleted go to `gone`.
long writeByRowid(Connection& c, const DataStatement& d, const std::vector<Value>& binds,
                  const std::vector<std::int64_t>& rows, std::vector<std::int64_t>& gone) {
    std::vector<std::int64_t> written;
    auto each = [&] {
        auto st = c.prepare(d.keyed->byRowidSql);
        st.bindAllKept(binds); // binds outlive st
        for (const std::int64_t rowid : rows) {
            sqlite3_bind_int64(st.get(), d.keyed->rowidBind, rowid);
            st.run();
            sqlite3_reset(st.get());
            if (sqlite3_changes(c.handle()) > 0) written.push_back(rowid);
        }
    };
    // One row is written whole or not at all; more rows need the savepoint the whole
    // statement would have had.
    if (rows.size() <= 1)
        each();
    else
        c.atomically(each);
    const long affected = static_cast<long>(written.size());
    if (d.deletes) gone = std::move(written);
    return affected;
}

// Runs a rendered data statement with these binds in its own savepoint, so a failing
// statement undoes its own effects and nothing gathered before it; returns the rows it
// affected. The rows a DELETE deleted go to `gone` when open recordsets must drop them.
long runData(Connection& c, const DataStatement& d, const std::vector<Value>& binds,
             std::vector<std::int64_t>& gone) {
    if (auto rows = keyedRows(c, d, binds)) return writeByRowid(c, d, binds, *rows, gone);
    ensureSearched(c, d);
    if (d.deletes && c.hasRecordsets(d.written)) {
        c.atomically([&] {
            auto st = c.prepare(d.sql + " RETURNING rowid");
            st.bindAllKept(binds); // binds outlive st
            while (st.step())
                gone.push_back(sqlite3_column_int64(st.get(), 0));
        });
        return static_cast<long>(gone.size());
    }
    long affected = 0;
    c.atomically([&] {
        auto st = c.prepare(d.sql);
        st.bindAllKept(binds);
        st.run();
        affected = sqlite3_changes(c.handle());
    });
    return affected;
}

// Runs a data statement through the connection's funnel of writes. A key index on a
// column an UPDATE did not set still holds, and so does one after a DELETE, whose rows
// open recordsets drop.
long runWrite(Connection& c, const DataStatement& d, const std::vector<Value>& binds) {
    long affected = 0;
    std::vector<std::int64_t> gone;
    c.writeRows(c.watched(d.written), [&](TableChange& change) {
        affected = runData(c, d, binds, gone);
        change.deleted = gone;
        if (d.setColumns) {
            change.onlySets = true;
            change.setColumns = *d.setColumns;
        }
    });
    return affected;
}

struct Runner {
    DatabaseState& db;
    Connection& c;
    Renderer r;
    // Set to collect the query plan of a data statement instead of running it.
    std::vector<std::string>* plan = nullptr;
    long affected = 0;
    // The table a data statement writes: only its rows go stale.
    std::optional<std::string> written = std::nullopt;
    // The data statement run, as rendered.
    std::optional<DataStatement> data = std::nullopt;
    // The find indexes its WHERE asked for.
    std::vector<SearchedColumn> searched = {};
    // Set for an UPDATE and a DELETE (see DataStatement).
    std::optional<std::vector<std::string>> setColumns = std::nullopt;
    std::optional<KeyedWhere> keyed = std::nullopt;

    void checkParameters() {
        if (r.missingParameters > 0) tooFewParameters(r.missingParameters);
    }

    // Runs the statement rendered, or only explains it when a plan is wanted.
    void run(std::string sqlText, bool deletes = false) {
        DataStatement d{std::move(sqlText),    std::move(r.binds),
                        written.value_or(""),  deletes,
                        std::move(searched),   {},
                        std::move(setColumns), std::move(keyed)};
        for (const auto& s : d.searched)
            d.indexKeys.push_back(Connection::findIndexKey(s.table, s.column, s.kind));
        if (plan) {
            ensureSearched(c, d);
            auto st = c.prepare("EXPLAIN QUERY PLAN " + d.sql);
            st.bindAll(d.binds);
            while (st.step())
                plan->emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 3)));
            return;
        }
        data = std::move(d);
        affected = runWrite(c, *data, data->binds);
    }

    // The columns a WHERE compares get the index a find would make, in the collation
    // the comparison uses, so one statement per record stays a search, not a scan.
    std::string where(const sql::Expr& condition) {
        const std::size_t first = r.searched.size();
        std::string cond = r.condition(condition);
        for (std::size_t i = first; i < r.searched.size(); ++i)
            searched.push_back(r.searched[i]);
        return cond;
    }

    // A WHERE of `t`, rendered as `cond` with its searched columns from `firstSearched`,
    // that a key index can answer: the statement (`head`, which holds no subquery, which
    // could read the rows it writes) is then written row by row.
    void keyWhere(const TableInfo& t, const sql::Expr& where, std::size_t firstSearched,
                  const std::string& head, const std::string& cond) {
        const auto key = keyedEquality(where, r, firstSearched, t);
        if (!key) return;
        const int rowidBind = static_cast<int>(r.binds.size()) + 1;
        keyed = KeyedWhere{key->column, key->keyBind,
                           head + " WHERE rowid = ?" + std::to_string(rowidBind) + " AND " + cond,
                           rowidBind};
    }

    void operator()(const sql::SelectStmt& s) {
        if (s.into.empty())
            throw EngineError(err::CannotExecuteSelect, "Cannot execute a select query.");
        checkTableName(s.into);
        requireAbsent(c, s.into);
        auto out = r.select(s);
        checkParameters();
        // The new table takes the source fields' types and sizes.
        std::vector<ColumnInfo> cols;
        for (const auto& rc : out.columns)
            cols.push_back({rc.name, rc.type});
        const std::string defs = newTableColumns(cols);
        // A whole table copied as it is: in this literal form SQLite moves the stored
        // records without decoding them, where the columns' affinities agree.
        const bool whole =
            wholeTableCopy(s, out) && newTableColumns(out.baseTable->columns) == defs;
        const std::string source = whole ? "SELECT * FROM " + out.baseTable->sqlName() : out.sql;
        std::optional<SmallCache> smallCache;
        if (whole) smallCache.emplace(c);
        written = "main." + upperName(s.into);
        c.atomically([&] {
            c.exec("CREATE TABLE main." + quoteName(s.into) + " (" + defs + ")");
            run("INSERT INTO main." + quoteName(s.into) + " " + source);
        });
        c.schemaChanged();
    }

    void operator()(const sql::UpdateStmt& u) {
        const TableInfo& t = requireTable(c, u.table.name);
        r.pushScope({scopeFor(t, u.table.alias)});
        std::string sets;
        setColumns.emplace();
        for (const auto& [name, value] : u.sets) {
            const int i = t.columnIndex(name);
            if (i < 0)
                throw EngineError(err::UnknownName, "The engine does not recognize '" + name +
                                                        "' as a valid field name or expression.");
            const auto& col = t.columns[static_cast<std::size_t>(i)];
            requireChangeable(col);
            if (!sets.empty()) sets += ", ";
            sets += quoteName(col.name) + " = " + r.storeExpr(*value, col);
            setColumns->push_back(col.name);
        }
        written = "main." + upperName(t.name);
        const std::string head = "UPDATE " + t.sqlName() + " SET " + sets;
        std::string sqlText = head;
        if (u.where) {
            const std::size_t first = r.searched.size();
            const std::string cond = where(*u.where);
            sqlText += " WHERE " + cond;
            std::vector<const sql::Expr*> texts;
            if (updateTexts(u, texts)) keyWhere(t, *u.where, first, head, cond);
        }
        r.popScope();
        checkParameters();
        run(std::move(sqlText));
    }

    void operator()(const sql::DeleteStmt& d) {
        const TableInfo& t = requireTable(c, d.table.name);
        r.pushScope({scopeFor(t, d.table.alias)});
        const std::string head = "DELETE FROM " + t.sqlName();
        std::string sqlText = head;
        if (d.where) {
            const std::size_t first = r.searched.size();
            const std::string cond = where(*d.where);
            sqlText += " WHERE " + cond;
            keyWhere(t, *d.where, first, head, cond);
        }
        r.popScope();
        checkParameters();
        written = "main." + upperName(t.name);
        setColumns.emplace(); // a DELETE sets no column
        run(std::move(sqlText), true);
    }

    void operator()(const sql::InsertStmt& ins) {
        const TableInfo& t = requireTable(c, ins.table);
        std::vector<ColumnInfo> targets;
        if (ins.columns.empty()) {
            targets = t.columns;
        } else {
            for (const auto& name : ins.columns) {
                const int i = t.columnIndex(name);
                if (i < 0)
                    throw EngineError(err::UnknownName,
                                      "The INSERT INTO statement contains the following unknown "
                                      "field name: '" +
                                          name + "'.");
                targets.push_back(t.columns[static_cast<std::size_t>(i)]);
            }
        }
        std::string names;
        for (const auto& col : targets)
            names += (names.empty() ? "" : ", ") + quoteName(col.name);
        written = "main." + upperName(t.name);
        std::string sqlText = "INSERT INTO " + t.sqlName() + " (" + names + ") ";
        if (ins.select) {
            auto out = r.select(*ins.select, &targets);
            sqlText += out.sql;
        } else {
            if (ins.values.size() != targets.size())
                throw EngineError(
                    err::ValueCountMismatch,
                    "Number of query values and destination fields are not the same.");
            r.pushScope({});
            std::string values;
            for (std::size_t i = 0; i < targets.size(); ++i)
                values += (i ? ", " : "") + r.storeExpr(*ins.values[i], targets[i]);
            r.popScope();
            sqlText += "VALUES (" + values + ")";
        }
        checkParameters();
        run(std::move(sqlText));
    }

    void operator()(const sql::CreateTableStmt& ct) {
        checkTableName(ct.name);
        requireAbsent(c, ct.name);
        if (ct.columns.empty())
            throw EngineError(err::NoFields, "No field defined--cannot append TableDef or Index.");
        std::vector<ColumnInfo> cols;
        for (const auto& col : ct.columns)
            cols.push_back({col.name, col.type});
        newTableColumns(cols); // duplicate names
        std::string defs;
        for (const auto& col : ct.columns) {
            if (!defs.empty()) defs += ", ";
            if (col.autoIncrement) {
                defs += quoteName(col.name) + " INTEGER PRIMARY KEY AUTOINCREMENT";
                continue;
            }
            defs += quoteName(col.name) + " " + sql::declaredType(col.type);
            if (col.notNull) defs += " NOT NULL";
            if (col.primaryKey) defs += " PRIMARY KEY";
        }
        if (!ct.primaryKey.empty()) {
            std::string keys;
            for (const auto& k : ct.primaryKey)
                keys += (keys.empty() ? "" : ", ") + quoteName(k);
            defs += ", PRIMARY KEY (" + keys + ")";
        }
        c.exec("CREATE TABLE main." + quoteName(ct.name) + " (" + defs + ")");
        c.schemaChanged();
    }

    void operator()(const sql::DropTableStmt& d) {
        const TableInfo* t = c.table(d.name);
        if (!t) throw EngineError(err::TableDoesNotExist, "Table '" + d.name + "' does not exist.");
        c.exec("DROP TABLE " + t->sqlName());
        c.tableGone(*t);
        c.schemaChanged();
    }

    void operator()(const sql::CreateIndexStmt& ci) {
        const TableInfo& t = requireTable(c, ci.table);
        std::string cols;
        for (const auto& [name, desc] : ci.columns) {
            const int i = t.columnIndex(name);
            if (i < 0)
                throw EngineError(err::UnknownName, "Field '" + name + "' not found in the table.");
            cols +=
                (cols.empty() ? "" : ", ") + quoteName(t.columns[static_cast<std::size_t>(i)].name);
            if (stypeOf(t.columns[static_cast<std::size_t>(i)].type) == SType::Text)
                cols += kCaseBlind;
            if (desc) cols += " DESC";
        }
        c.exec(std::string("CREATE ") + (ci.unique ? "UNIQUE " : "") + "INDEX main." +
               quoteName(ci.name) + " ON " + quoteName(t.name) + " (" + cols + ")");
        c.schemaChanged();
    }

    void operator()(const sql::DropIndexStmt& di) {
        requireTable(c, di.table);
        c.exec("DROP INDEX main." + quoteName(di.name));
        c.schemaChanged();
    }
};

bool changesData(const sql::Statement& st) {
    return std::holds_alternative<sql::UpdateStmt>(st.body) ||
           std::holds_alternative<sql::DeleteStmt>(st.body) ||
           std::holds_alternative<sql::InsertStmt>(st.body);
}

// The text literals of a statement that may be kept: an UPDATE, a DELETE or an
// INSERT ... VALUES without a subquery.
bool statementTexts(const sql::Statement& st, std::vector<const sql::Expr*>& out) {
    if (const auto* u = std::get_if<sql::UpdateStmt>(&st.body)) return updateTexts(*u, out);
    if (const auto* d = std::get_if<sql::DeleteStmt>(&st.body))
        return !d->where || gatherTexts(*d->where, out);
    if (const auto* ins = std::get_if<sql::InsertStmt>(&st.body)) {
        if (ins->select) return false;
        for (const auto& v : ins->values)
            if (!gatherTexts(*v, out)) return false;
        return true;
    }
    return false;
}

// Keeps the statement just run by its shape when every text went into a bind of its
// own as written (a text stored into a field is checked against it again).
// Parameters are left out: their values are looked up as the statement renders.
void keepStatement(DatabaseState& db, const sql::Statement& st, const Parameters& params,
                   Runner& runner, FindShape& shape, std::uint64_t schemaVersion) {
    if (!runner.data || !st.parameters.empty() || !params.used.empty()) return;
    std::vector<const sql::Expr*> nodes;
    if (!statementTexts(st, nodes)) return;
    auto places = textBindsOf(nodes, runner.r.literalBinds, runner.data->binds, shape.texts);
    if (!places) return;
    KeptStatement kept;
    for (const int place : *places) {
        std::optional<ColumnInfo> field;
        for (const auto& [bind, column] : runner.r.storedLiterals)
            if (bind == place) field = column;
        kept.storedInto.push_back(std::move(field));
    }
    kept.textBinds = std::move(*places);
    kept.statement = std::move(*runner.data);
    db.statements.keep(std::move(shape.key), std::move(kept), schemaVersion);
}

// As runStatement; keeps the statement by its shape when one is given.
long runParsed(DatabaseState& db, const sql::Statement& st, Parameters params, FindShape* shape) {
    Connection& c = db.connection();
    const std::uint64_t schemaVersion = c.schemaVersion();
    db.checkWritable();
    params.declared = st.parameters;
    // Data statements join the gathered write transaction (Connection::writeRows).
    // Statements that change table definitions commit what was gathered and are durable
    // on return, as TableDefs changes are.
    if (!changesData(st)) c.commit();
    Runner runner{db, c, Renderer(c, &params)};
    std::visit(runner, st.body);
    db.recordsAffected = runner.affected;
    if (shape) keepStatement(db, st, params, runner, *shape, schemaVersion);
    return runner.affected;
}

// A kept statement with other texts: the same steps as running it parsed, from the
// write check to the affected count, without the parse and the rendering.
long runKept(DatabaseState& db, const KeptStatement& kept, std::vector<std::string> texts) {
    Connection& c = db.connection();
    db.checkWritable();
    const DataStatement& d = kept.statement;
    std::vector<Value> binds = d.binds;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Value v = Value::text(std::move(texts[i]));
        if (const auto& field = kept.storedInto[i]) v = storeValue(v, field->type, field->name);
        binds[static_cast<std::size_t>(kept.textBinds[i] - 1)] = std::move(v);
    }
    const long affected = runWrite(c, d, binds);
    db.recordsAffected = affected;
    return affected;
}

} // namespace

long runStatement(DatabaseState& db, const sql::Statement& st, Parameters params) {
    return runParsed(db, st, std::move(params), nullptr);
}

long executeText(DatabaseState& db, std::string_view sqlText) {
    std::optional<FindShape> shape = findShape(sqlText);
    if (shape) {
        const std::uint64_t schemaVersion = db.connection().schemaVersion();
        if (const KeptStatement* kept = db.statements.find(shape->key, schemaVersion))
            return runKept(db, *kept, std::move(shape->texts));
    }
    const auto st = sql::parseStatement(sqlText);
    return runParsed(db, st, {}, shape ? &*shape : nullptr);
}

std::vector<std::string> explainStatement(DatabaseState& db, const sql::Statement& st) {
    if (!changesData(st)) throw EngineError(err::InvalidOperation, "Invalid operation.");
    Connection& c = db.connection();
    Parameters params;
    params.declared = st.parameters;
    std::vector<std::string> plan;
    Runner runner{db, c, Renderer(c, &params), &plan};
    std::visit(runner, st.body);
    return plan;
}

} // namespace varnoke::detail
