// Table definitions: TableDef and the TableDefs collection, which creates tables (empty
// or copied from a foreign file) and drops them.
//
// Invariant: every change of a definition here commits the gathered writes first and
// ends with schemaChanged(), so no catalogue entry or cached row outlives it.
#include "engine/database.h"

#include "engine/database_state.h"
#include "engine/engine_error.h"
#include "engine/new_table.h"
#include "engine/table_import.h"

#include <algorithm>

namespace varnoke {
namespace detail {
namespace {

// The path runs to the end of the connect string: a folder or file name may hold ";".
std::string databasePart(std::string_view connect) {
    const std::string upper = upperName(connect);
    const auto at = upper.find("DATABASE=");
    if (at == std::string::npos) return {};
    return std::string(connect.substr(at + 9));
}

} // namespace
} // namespace detail

using detail::sameName;

// ---- TableDef

void TableDef::appendField(const Field& field) {
    for (const auto& f : fields_)
        if (sameName(f.name(), field.name()))
            throw EngineError(err::DuplicateFieldName,
                              "Field '" + field.name() + "' is defined more than once.");
    fields_.push_back(Field(field.name(), field.type(), field.size()));
}

const Field& TableDef::field(std::string_view name) const {
    for (const auto& f : fields_)
        if (sameName(f.name(), name)) return f;
    throw EngineError(err::NotInCollection, "Item not found in this collection.");
}

// ---- TableDefs

TableDefs::TableDefs(std::shared_ptr<detail::DatabaseState> db) : db_(std::move(db)) {
    refresh();
}

void TableDefs::refresh() {
    auto& c = db_->connection();
    c.schemaChanged();
    items_.clear();
    for (const auto& name : c.tableNames()) {
        const auto* info = c.table(name);
        if (!info) continue;
        TableDef def(info->name);
        for (const auto& col : info->columns)
            def.fields_.push_back(Field(col.name, col.type.code, col.type.size));
        def.indexes_ = info->indexes;
        items_.push_back(std::move(def));
    }
}

const TableDef& TableDefs::item(int index) const {
    if (index < 0 || index >= count())
        throw EngineError(err::NotInCollection, "Item not found in this collection.");
    return items_[static_cast<std::size_t>(index)];
}

const TableDef& TableDefs::item(std::string_view name) const {
    for (const auto& t : items_)
        if (sameName(t.name(), name)) return t;
    throw EngineError(err::NotInCollection, "Item not found in this collection.");
}

bool TableDefs::contains(std::string_view name) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const TableDef& t) { return sameName(t.name(), name); });
}

std::string TableDefs::append(const TableDef& def, const std::function<void()>& whileWaiting) {
    auto& c = db_->connection();
    db_->checkWritable();
    if (def.name().empty()) throw EngineError(err::InvalidArgument, "Invalid argument.");
    detail::checkTableName(def.name());
    if (c.table(def.name()))
        throw EngineError(err::TableExists, "Table '" + def.name() + "' already exists.");
    c.commit();
    std::string chosen;
    if (!def.connect().empty()) {
        const ForeignReader* reader = Engine::instance().readerFor(def.connect());
        if (!reader) throw EngineError(err::NoInstallableIsam, "Could not find installable ISAM.");
        const LinkSource source{def.connect(), detail::databasePart(def.connect()),
                                def.sourceTableName()};
        const detail::SmallCache smallCache(c);
        try {
            c.atomically([&] {
                chosen = detail::importForeignTable(c, def.name(), *reader, source, whileWaiting);
            });
        } catch (...) {
            c.schemaChanged();
            throw;
        }
    } else {
        if (def.fields().empty())
            throw EngineError(err::NoFields, "No field defined--cannot append TableDef or Index.");
        std::vector<detail::ColumnInfo> cols;
        for (const auto& f : def.fields())
            cols.push_back({f.name(), f.columnType()});
        c.exec("CREATE TABLE main." + detail::quoteName(def.name()) + " (" +
               detail::newTableColumns(cols) + ")");
    }
    c.schemaChanged();
    refresh();
    return chosen;
}

void TableDefs::remove(std::string_view name) {
    auto& c = db_->connection();
    db_->checkWritable();
    const auto* t = c.table(name);
    if (!t) throw EngineError(err::NotInCollection, "Item not found in this collection.");
    c.commit();
    {
        // A drop reads every page of the table once; through the connection's large
        // cache its memory would grow with the table.
        const detail::SmallCache smallCache(c);
        c.exec("DROP TABLE " + t->sqlName());
    }
    c.tableGone(*t);
    c.schemaChanged();
    refresh();
}

TableDefs Database::tableDefs() const {
    state();
    return TableDefs(state_);
}

TableDef Database::createTableDef(std::string name, std::string connect, std::string source) const {
    state();
    TableDef def(std::move(name));
    def.setConnect(std::move(connect));
    def.setSourceTableName(std::move(source));
    return def;
}

} // namespace varnoke
