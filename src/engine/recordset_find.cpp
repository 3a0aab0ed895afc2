// Finds and seeks: a criteria text rendered to one SQLite query over the row set,
// restricted to the rows after (or before) the current one, kept by its shape so a run's
// repeated finds are not parsed again; the key index answers a keyed find first, once
// the terms that hold on no row or on every row are folded away (condition_fold.h).
//
// Invariant: a find lands only on an alive slot of this row set, and a failed find leaves
// the current record where it was.
#include "engine/condition_fold.h"
#include "engine/engine_error.h"
#include "engine/find_shape.h"
#include "engine/keyed_equality.h"
#include "engine/recordset_state.h"
#include "engine/sql_parser.h"

#include <algorithm>
#include <limits>

namespace varnoke::detail {

void RecordsetState::ensureKeysetTable() {
    if (keysetTable_) return;
    Connection& c = conn();
    keysetTable_ = makeTempTable(conn_, "vk_keys", "pos INTEGER PRIMARY KEY, rid INTEGER");
    const std::string& name = keysetTable_->name;
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
    for (auto& shapes : findShapes_)
        shapes.clear();
    cache_.dropKeys();
    keysScanned_ = false;
    findsSinceScan_ = 0;
}

namespace {

// The terms of a condition's top Or chain, in order; none unless there are two or more
// and none can raise an error (cannotFail), so searching each on its own raises nothing
// the whole condition would not.
std::vector<const sql::Expr*> branchesOf(const sql::Expr& condition) {
    std::vector<const sql::Expr*> out;
    std::vector<const sql::Expr*> todo{&condition};
    while (!todo.empty()) {
        const sql::Expr* e = todo.back();
        todo.pop_back();
        if (e->kind == sql::Expr::Kind::Binary && e->op == "or" && e->args.size() == 2) {
            todo.push_back(e->args[1].get());
            todo.push_back(e->args[0].get());
        } else {
            if (!cannotFail(*e)) return {};
            out.push_back(e);
        }
    }
    if (out.size() < 2) return {};
    return out;
}

// The last name of a quoted reference (main."T", "vk_t"), as a query plan shows it.
std::string planNameOf(std::string_view ref) {
    if (!ref.ends_with('"')) return std::string(ref.substr(ref.rfind('.') + 1));
    std::string name;
    for (std::size_t i = ref.size() - 1; i-- > 0;) {
        if (ref[i] != '"') {
            name.insert(name.begin(), ref[i]);
        } else if (i > 0 && ref[i - 1] == '"') {
            name.insert(name.begin(), '"');
            --i;
        } else {
            break;
        }
    }
    return name;
}

} // namespace

RecordsetState::FindQuery RecordsetState::findQuery(sql::ExprPtr& criteria, bool backwards,
                                                    const std::vector<std::string>* texts,
                                                    std::optional<std::vector<int>>* textBinds) {
    std::optional<Renderer> rendered;
    std::string cond;
    std::vector<std::string> branches;
    bool eachSeeks = true;
    auto render = [&] {
        rendered.emplace(conn());
        rendered->criteriaMode = true;
        rendered->pushScope({scope()});
        branches.clear();
        eachSeeks = true;
        // The terms are rendered in the order the whole would render them, so their
        // binds are the same.
        if (natural_) {
            for (const sql::Expr* b : branchesOf(*criteria)) {
                const std::size_t indexed = rendered->searched.size();
                branches.push_back(rendered->condition(*b));
                eachSeeks = eachSeeks && seeksNearestRow(*b) && rendered->searched.size() > indexed;
            }
        }
        if (branches.empty()) {
            cond = rendered->condition(*criteria);
        } else {
            cond.clear();
            for (const auto& b : branches)
                cond += (cond.empty() ? "(" : " OR ") + b;
            cond += ")";
        }
        rendered->popScope();
    };
    // Names and literals are checked as written, also in the terms folded away: a text
    // that goes to a template must pass as written, where another text would be checked.
    render();
    const auto taken = [&] {
        std::vector<int> binds;
        for (const auto& t : rendered->takenTexts)
            binds.push_back(t.first);
        return binds;
    };
    std::optional<std::vector<int>> places;
    // The types each text took as written, also a text whose term is folded away.
    std::vector<std::vector<SType>> textTypes;
    if (texts)
        places = textBindsOf(*criteria, rendered->literalBinds, rendered->binds, *texts, taken());
    if (places) {
        textTypes.resize(places->size());
        for (std::size_t i = 0; i < places->size(); ++i)
            for (const auto& [bind, type] : rendered->takenTexts)
                if (bind == (*places)[i]) textTypes[i].push_back(type);
    }
    if (foldFixedTerms(criteria)) {
        render();
        if (places)
            places = foldedTextBindsOf(*criteria, rendered->literalBinds, rendered->binds, *texts,
                                       taken());
    }
    if (textBinds) *textBinds = std::move(places);
    Renderer& r = *rendered;
    FindQuery q;
    q.backwards = backwards;
    q.meetsNone = criteria->kind == sql::Expr::Kind::Literal &&
                  criteria->value.kind() == Value::Kind::Boolean && !criteria->value.asBoolean();
    // The key index answers a find in stored order as SQLite would.
    if (auto keyed = natural_ ? keyedEquality(*criteria, r, 0, base_) : std::nullopt) {
        q.keyColumn = columnOfBase(keyed->column);
        q.keyBind = keyed->keyBind;
    }
    q.textTypes = std::move(textTypes);
    q.boundParam = r.bind(Value::number(0));
    q.endParam = r.bind(Value::number(0));
    q.binds = std::move(r.binds);
    std::vector<SearchedColumn> indexes;
    for (const auto& s : r.searched) {
        // A column the find also tests exactly is searched through its exact index,
        // which holds the case-blind order too.
        const bool exactToo =
            s.kind == IndexKind::NoCase &&
            std::any_of(r.searched.begin(), r.searched.end(), [&](const SearchedColumn& o) {
                return o.kind == IndexKind::Exact && sameName(o.column, s.column) &&
                       sameName(o.table.name, s.table.name);
            });
        if (!exactToo) indexes.push_back(s);
    }
    q.indexes = std::make_shared<const std::vector<SearchedColumn>>(std::move(indexes));
    // A keyed find's column is indexed in SQLite only if a find of it goes there.
    if (q.keyColumn < 0) ensureIndexes(q);
    const std::string cmp = backwards ? " < " : " > ";
    const std::string dir = backwards ? " DESC" : "";
    const std::string bound = "?" + std::to_string(q.boundParam);
    // The found row's values come with it, so reading the record found costs nothing more.
    std::string values;
    for (const auto& c : columns)
        values += ", " + alias_ + "." +
                  quoteName(base_.columns[static_cast<std::size_t>(c.baseColumn)].name);
    const std::string from = " FROM " + base_.sqlName() + " AS " + alias_;
    const std::string rowid = alias_ + ".rowid";
    const std::string nearest =
        " AND " + rowid + cmp + bound + " ORDER BY " + rowid + dir + " LIMIT 1";
    if (natural_ && !branches.empty() && eachSeeks) {
        // SQLite answers an Or of indexed terms by gathering every row each selects and
        // sorting them, a cost that grows with the rows found; the nearest row of each
        // term is a search of its index. A term no index takes to its nearest row would
        // be a scan to the table's end at every find: then the walk in stored order
        // stops at the first row the whole meets.
        std::string each;
        for (const auto& b : branches)
            each += std::string(each.empty() ? "" : " UNION ALL ") + "SELECT (SELECT " + rowid +
                    from + " WHERE " + b + nearest + ") AS r";
        q.sql = "SELECT " + rowid + values + from + " WHERE " + rowid + " = (SELECT " +
                (backwards ? "max" : "min") + "(r) FROM (" + each + ")) AND " + cond;
    } else if (natural_) {
        // The rows just past the current one first, in stored order; a unary plus keeps
        // SQLite from walking the rows in that order for the wide search.
        const std::string end = "?" + std::to_string(q.endParam);
        q.sql = "SELECT " + rowid + values + from + " WHERE " + cond + " AND " + rowid +
                (backwards ? " >= " : " <= ") + end + nearest;
        q.wideSql = "SELECT " + rowid + values + from + " WHERE " + cond + " AND +" + rowid + cmp +
                    bound + " ORDER BY +" + rowid + dir + " LIMIT 1";
    } else {
        ensureKeysetTable();
        q.sql = "SELECT k.pos" + values + " FROM temp." + quoteName(keysetTable_->name) +
                " AS k JOIN " + base_.sqlName() + " AS " + alias_ + " ON " + alias_ +
                ".rowid = k.rid WHERE " + cond + " AND k.pos" + cmp + bound + " ORDER BY k.pos" +
                dir + " LIMIT 1";
    }
    return q;
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

void RecordsetState::ensureIndexes(FindQuery& q) {
    const std::uint64_t now = conn().schemaVersion();
    if (q.indexedAt == now) return;
    for (const auto& s : *q.indexes)
        conn().ensureFindIndex(s.table, s.column, s.kind);
    q.indexedAt = now;
}

bool RecordsetState::wideSeeks(FindQuery& q) {
    if (!natural_ || q.wideSql.empty() || rows_.empty()) return false;
    if (q.wideCheckedAt == q.indexedAt) return q.wideSeeks;
    // A plan's lines: whether it walks the table (in stored order or not), and whether it
    // gathers the rows it selects to sort them.
    struct Plan {
        bool walks = false, gathers = false;
    };
    // The plan names the row set by its alias as written, without its quotes.
    const std::string name = planNameOf(alias_);
    const auto planOf = [&](const std::string& sql) {
        auto st = conn().prepare("EXPLAIN QUERY PLAN " + sql);
        st.bindAll(q.binds);
        Plan plan;
        while (st.step()) {
            const std::string_view line =
                reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 3));
            plan.walks = plan.walks || line.starts_with("SCAN " + name) ||
                         line.starts_with("SEARCH " + name + " USING INTEGER PRIMARY KEY");
            plan.gathers = plan.gathers || line.find("TEMP B-TREE") != line.npos ||
                           line.starts_with("MULTI-INDEX OR");
        }
        return plan;
    };
    // An index that gives the selected rows in stored order finds the nearest at once; a
    // search that walks or gathers them goes wide where an index leads to every row.
    const Plan near = planOf(q.sql);
    q.wideSeeks = (near.walks || near.gathers) && !planOf(q.wideSql).walks;
    q.wideCheckedAt = q.indexedAt;
    return q.wideSeeks;
}

std::optional<std::size_t> RecordsetState::runFind(FindQuery& q, std::optional<std::size_t> after) {
    ensureIndexes(q);
    const bool backwards = q.backwards;
    constexpr double kFar = std::numeric_limits<double>::max();
    // The bound is a rowid for a row set in stored order, else a slot number.
    double bound;
    if (after) {
        bound = natural_ ? static_cast<double>(rows_[*after]) : static_cast<double>(*after);
    } else {
        bound = backwards ? kFar : -kFar;
    }
    // The nearest rows are searched first: those of the next rowids, then the next rows
    // of the table, past rowids its deletes left unused. A find whose row is near costs
    // what a walk in stored order costs, one whose row is far, or missing, no walk of
    // every row between when an index leads to it.
    constexpr double kWindow = 64;
    enum class Reach { Rowids, Rows, Rest };
    Reach reach = wideSeeks(q) ? Reach::Rowids : Reach::Rest;
    const double far = backwards ? -kFar : kFar;
    double end = far;
    const auto reachEnd = [&] {
        if (reach == Reach::Rowids) {
            const double from =
                after ? bound : static_cast<double>(backwards ? rows_.back() : rows_.front());
            return backwards ? from - kWindow : from + kWindow;
        }
        if (reach == Reach::Rest) return far;
        auto st =
            conn().prepare("SELECT rowid FROM " + base_.sqlName() + " WHERE rowid" +
                           (backwards ? " < ?1 ORDER BY rowid DESC" : " > ?1 ORDER BY rowid") +
                           " LIMIT 1 OFFSET ?2");
        st.bind(1, Value::number(bound));
        st.bind(2, Value::number(kWindow - 1));
        return st.step() ? static_cast<double>(sqlite3_column_int64(st.get(), 0)) : far;
    };
    end = reachEnd();
    auto st = conn().prepare(q.sql);
    std::optional<Stmt> wide;
    while (true) {
        Stmt& search = wide ? *wide : st;
        q.binds[static_cast<std::size_t>(q.boundParam - 1)] = Value::number(bound);
        if (q.endParam != 0) q.binds[static_cast<std::size_t>(q.endParam - 1)] = Value::number(end);
        search.bindAllKept(q.binds); // q outlives search
        if (!search.step()) {
            if (reach == Reach::Rest || end == far) return std::nullopt;
            // The rows up to the end were searched.
            sqlite3_reset(search.get());
            bound = end;
            reach = reach == Reach::Rowids ? Reach::Rows : Reach::Rest;
            if (reach == Reach::Rest) wide.emplace(conn().prepare(q.wideSql));
            end = reachEnd();
            continue;
        }
        const std::int64_t hit = sqlite3_column_int64(search.get(), 0);
        std::optional<std::size_t> slot =
            natural_ ? slotOf(hit) : std::optional<std::size_t>(static_cast<std::size_t>(hit));
        if (slot && *slot < alive_.size() && alive_[*slot]) {
            keepRow(search.get(), 1, *slot);
            return slot;
        }
        sqlite3_reset(search.get());
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
    if (!known) {
        expr = sql::parseExpression(criteria);
        conn().noteFindParsed();
    }
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
        for (std::size_t i = 0; i < shape->texts.size(); ++i) {
            Value text = Value::text(std::move(shape->texts[i]));
            // Converted as the render converted the text it was made with, with its error,
            // also where its term is folded away.
            for (const SType type : q.textTypes[i])
                takeType(text, type);
            if (const int place = known->textBinds[i]; place != 0)
                q.binds[static_cast<std::size_t>(place - 1)] = std::move(text);
        }
    } else {
        std::optional<std::vector<int>> places;
        fresh = findQuery(expr, backwards, shape ? &shape->texts : nullptr, &places);
        if (places) templates.emplace(std::move(shape->key), FindTemplate{q, std::move(*places)});
    }
    std::optional<std::size_t> slot;
    if (!q.meetsNone) {
        auto keyed = keyedFind(q, after);
        slot = keyed ? *keyed : runFind(q, after);
    }
    noMatch = !slot.has_value();
    if (slot) {
        leaveEdit();
        landOn(*slot);
    }
}

std::vector<std::string> RecordsetState::explainFind(std::string_view criteria) {
    checkOpen();
    auto expr = sql::parseExpression(criteria);
    FindQuery q = findQuery(expr, false);
    // The path a find takes: the key index may answer, as it does for the find itself.
    if (q.keyColumn >= 0 && keysServe(q.keyColumn))
        return {"SEARCH KEY INDEX ON " + baseName(q.keyColumn)};
    ensureIndexes(q);
    std::vector<std::string> lines;
    const auto explain = [&](const std::string& sql) {
        auto st = conn().prepare("EXPLAIN QUERY PLAN " + sql);
        st.bindAll(q.binds);
        while (st.step())
            lines.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 3)));
    };
    explain(q.sql);
    // A find that searches the nearest rows first goes on through its wide search.
    if (wideSeeks(q)) {
        lines.emplace_back("THEN PAST THE NEAREST ROWS");
        explain(q.wideSql);
    }
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
    auto q = findQuery(cond, backwards);
    auto slot = runFind(q, std::nullopt);
    noMatch = !slot.has_value();
    if (slot) {
        leaveEdit();
        landOn(*slot);
    }
}

} // namespace varnoke::detail
