// Runs the dialect's statements on SQLite.
#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/recordset_state.h"
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

std::string columnDefs(const std::vector<ColumnInfo>& cols) {
    std::string defs;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j)
            if (sameName(cols[i].name, cols[j].name))
                throw EngineError(err::DuplicateFieldName,
                                  "Field '" + cols[i].name + "' is defined more than once.");
        if (!defs.empty()) defs += ", ";
        defs += quoteName(cols[i].name) + " " + sql::declaredType(cols[i].type);
    }
    return defs;
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

struct Runner {
    DatabaseState& db;
    Connection& c;
    Renderer r;
    // Set to collect the query plan of a data statement instead of running it.
    std::vector<std::string>* plan = nullptr;
    long affected = 0;
    // The table a data statement writes: only its rows go stale.
    std::optional<std::string> written = std::nullopt;

    void checkParameters() {
        if (r.missingParameters > 0) tooFewParameters(r.missingParameters);
    }

    // In its own savepoint, so a failing statement undoes its own effects and nothing
    // gathered before it; only explained when a plan is wanted.
    void run(const std::string& sqlText) {
        if (plan) {
            auto st = c.prepare("EXPLAIN QUERY PLAN " + sqlText);
            st.bindAll(r.binds);
            while (st.step())
                plan->emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 3)));
            return;
        }
        c.atomically([&] {
            auto st = c.prepare(sqlText);
            st.bindAll(r.binds);
            st.run();
            affected = sqlite3_changes(c.handle());
        });
    }

    // The columns a WHERE compares get the index a find would make, in the collation
    // the comparison uses, so one statement per record stays a search, not a scan.
    std::string where(const sql::Expr& condition) {
        const std::size_t first = r.searched.size();
        std::string sqlText = " WHERE " + r.condition(condition);
        for (std::size_t i = first; i < r.searched.size(); ++i)
            c.ensureFindIndex(r.searched[i].table, r.searched[i].column, r.searched[i].kind);
        return sqlText;
    }

    void operator()(const sql::SelectStmt& s) {
        if (s.into.empty())
            throw EngineError(err::CannotExecuteSelect, "Cannot execute a select query.");
        requireAbsent(c, s.into);
        auto out = r.select(s);
        checkParameters();
        // The new table takes the source fields' types and sizes.
        std::vector<ColumnInfo> cols;
        for (const auto& rc : out.columns)
            cols.push_back({rc.name, rc.type});
        const std::string defs = columnDefs(cols);
        // A whole table copied as it is: in this literal form SQLite moves the stored
        // records without decoding them, where the columns' affinities agree.
        const bool whole = wholeTableCopy(s, out) && columnDefs(out.baseTable->columns) == defs;
        const std::string source = whole ? "SELECT * FROM " + out.baseTable->sqlName() : out.sql;
        std::optional<SmallCache> smallCache;
        if (whole) smallCache.emplace(c);
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
        for (const auto& [name, value] : u.sets) {
            const int i = t.columnIndex(name);
            if (i < 0)
                throw EngineError(err::UnknownName, "The engine does not recognize '" + name +
                                                        "' as a valid field name or expression.");
            const auto& col = t.columns[static_cast<std::size_t>(i)];
            if (!sets.empty()) sets += ", ";
            sets += quoteName(col.name) + " = " + r.storeExpr(*value, col);
        }
        written = "main." + upperName(t.name);
        std::string sqlText = "UPDATE " + t.sqlName() + " SET " + sets;
        if (u.where) sqlText += where(*u.where);
        r.popScope();
        checkParameters();
        run(sqlText);
    }

    void operator()(const sql::DeleteStmt& d) {
        const TableInfo& t = requireTable(c, d.table.name);
        r.pushScope({scopeFor(t, d.table.alias)});
        std::string sqlText = "DELETE FROM " + t.sqlName();
        if (d.where) sqlText += where(*d.where);
        r.popScope();
        checkParameters();
        const std::string key = "main." + upperName(t.name);
        written = key;
        if (plan || !c.hasRecordsets(key)) {
            run(sqlText);
            return;
        }
        // Open recordsets on the table must drop the deleted rows.
        std::vector<std::int64_t> gone;
        c.atomically([&] {
            auto st = c.prepare(sqlText + " RETURNING rowid");
            st.bindAll(r.binds);
            while (st.step())
                gone.push_back(sqlite3_column_int64(st.get(), 0));
        });
        affected = static_cast<long>(gone.size());
        c.rowsDeleted(key, gone);
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
        run(sqlText);
    }

    void operator()(const sql::CreateTableStmt& ct) {
        requireAbsent(c, ct.name);
        if (ct.columns.empty())
            throw EngineError(err::NoFields, "No field defined--cannot append TableDef or Index.");
        std::vector<ColumnInfo> cols;
        for (const auto& col : ct.columns)
            cols.push_back({col.name, col.type});
        columnDefs(cols); // duplicate names
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
                cols += " COLLATE NOCASE";
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

} // namespace

long runStatement(DatabaseState& db, const sql::Statement& st, Parameters params) {
    Connection& c = db.connection();
    db.checkWritable();
    params.declared = st.parameters;
    // Data statements join the gathered write transaction. Statements that change table
    // definitions commit what was gathered and are durable on return, as TableDefs
    // changes are.
    const bool gathered = changesData(st);
    if (gathered)
        c.noteWrite();
    else
        c.commit();
    Runner runner{db, c, Renderer(c, &params)};
    std::visit(runner, st.body);
    if (runner.written)
        c.bumpTable(*runner.written);
    else
        c.bumpData();
    db.recordsAffected = runner.affected;
    return runner.affected;
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
