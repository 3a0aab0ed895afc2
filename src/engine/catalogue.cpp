// The table catalogue of a connection: the tables of the main schema with their
// columns and indexes, read once and kept until schemaChanged().
//
// Invariant: table() answers from tables_ only while tablesLoaded_; every change of a
// definition calls schemaChanged(), which also counts schemaVersion() and makes every
// cached row stale (bumpData), so no definition change need tell a cache itself.
#include "engine/connection.h"
#include "engine/engine_error.h"
#include "engine/sql_ast.h"

#include <optional>

namespace varnoke::detail {

int TableInfo::columnIndex(std::string_view column) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (sameName(columns[i].name, column)) return static_cast<int>(i);
    return -1;
}

std::string TableInfo::sqlName() const {
    return schema + "." + quoteName(name);
}

void requireChangeable(const ColumnInfo& column) {
    if (column.counter) throw EngineError(err::FieldNotUpdatable, "Field cannot be updated.");
}

// The columns of a table of `schema` ("main" or "temp") with their declared types; a
// type the engine does not know reads as memo. SQLite makes the one column of a primary
// key declared exactly INTEGER the rowid, as a COUNTER is made.
std::vector<ColumnInfo> Connection::columnsOf(const std::string& schema, const std::string& name) {
    std::vector<ColumnInfo> columns;
    auto st = prepare("SELECT name, type, pk FROM pragma_table_info(?1, ?2)");
    st.bind(1, Value::text(name));
    st.bind(2, Value::text(schema));
    int keyColumns = 0;
    std::optional<std::size_t> rowidAlias;
    while (st.step()) {
        ColumnInfo col;
        col.name = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
        const auto* decl = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1));
        std::string declared = decl ? decl : "";
        if (sqlite3_column_int(st.get(), 2) > 0) {
            ++keyColumns;
            if (sameName(declared, "INTEGER")) rowidAlias = columns.size();
        }
        int size = 0;
        if (auto open = declared.find('('); open != std::string::npos) {
            size = std::atoi(declared.c_str() + open + 1);
            declared = declared.substr(0, open);
        }
        while (!declared.empty() && declared.back() == ' ')
            declared.pop_back();
        col.type = sql::typeFromName(declared, size).value_or(ColumnType{fieldtype::Memo, 0});
        columns.push_back(std::move(col));
    }
    if (keyColumns == 1 && rowidAlias) columns[*rowidAlias].counter = true;
    return columns;
}

const TableInfo* Connection::table(std::string_view name) {
    if (!tablesLoaded_) {
        tables_.clear();
        for (const auto& n : tableNames()) {
            TableInfo info;
            info.name = n;
            info.schema = "main";
            info.columns = columnsOf(info.schema, n);
            auto st = prepare("SELECT name FROM pragma_index_list(?1, 'main') ORDER BY name");
            st.bind(1, Value::text(n));
            while (st.step())
                info.indexes.emplace_back(
                    reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
            tables_[upperName(n)] = std::move(info);
        }
        tablesLoaded_ = true;
    }
    auto it = tables_.find(upperName(name));
    return it == tables_.end() ? nullptr : &it->second;
}

TableInfo Connection::tempTable(const std::string& name) {
    TableInfo info;
    info.name = name;
    info.schema = "temp";
    info.columns = columnsOf(info.schema, name);
    return info;
}

std::vector<std::string> Connection::tableNames() {
    std::vector<std::string> names;
    auto st = prepare("SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT "
                      "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name" +
                      std::string(kCaseBlind));
    while (st.step())
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
    return names;
}

void Connection::schemaChanged() {
    tablesLoaded_ = false;
    ++schemaVersion_;
    indexed_.clear();
    bumpData();
}

} // namespace varnoke::detail
