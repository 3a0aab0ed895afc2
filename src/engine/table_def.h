#pragma once
// Table definitions and the collection of a database's tables.
#include "engine/field.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

namespace detail {
class DatabaseState;
} // namespace detail

// A table definition. One made by Database::createTableDef is only a description
// until TableDefs::append creates it; one listed by TableDefs describes the table as
// it is (name, fields; Connect and SourceTableName are empty, as linked tables are
// imported when appended).
class TableDef {
public:
    TableDef() = default;
    explicit TableDef(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // "dBase IV;DATABASE=/data": set before append to link a foreign table.
    const std::string& connect() const { return connect_; }
    void setConnect(std::string connect) { connect_ = std::move(connect); }
    const std::string& sourceTableName() const { return sourceTableName_; }
    void setSourceTableName(std::string name) { sourceTableName_ = std::move(name); }

    // A field definition (type code and size, size 0 = the type's default).
    Field createField(std::string name, int typeCode, int size = 0) const {
        return Field(std::move(name), typeCode, size);
    }
    // Adds a field to a definition not yet appended. A second field of the same name
    // raises 3191.
    void appendField(const Field& field);
    const std::vector<Field>& fields() const { return fields_; }
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    // 3265 when there is no such field.
    const Field& field(std::string_view name) const;

    // Index names of the table, as setIndex takes them (listed tables only).
    const std::vector<std::string>& indexes() const { return indexes_; }

private:
    friend class TableDefs;
    std::string name_;
    std::string connect_;
    std::string sourceTableName_;
    std::vector<Field> fields_;
    std::vector<std::string> indexes_;
};

// The tables of a database, in name order without regard to case. The list is read
// when the collection is made and again by refresh(), append() and remove().
class TableDefs {
public:
    void refresh();
    int count() const { return static_cast<int>(items_.size()); }
    const TableDef& item(int index) const;             // 3265 out of range
    const TableDef& item(std::string_view name) const; // 3265 when missing
    bool contains(std::string_view name) const;

    // Creates the table. With Connect set, the reader for the connect prefix reads the
    // table named by SourceTableName and its fields and rows are copied into a new local
    // table of the definition's name (3170 when no reader serves the prefix, the
    // reader's own error when the file cannot be read; nothing is left behind then).
    // Otherwise the definition's fields make an empty table (3010 when the name is
    // taken, 3264 without fields). whileWaiting runs now and then while the reader waits
    // on its reading child; it must not touch this database. Returns the name of the
    // table read where SourceTableName named none of the file's tables and the reader
    // read one of its own choosing (a database's first), else "".
    std::string append(const TableDef& def, const std::function<void()>& whileWaiting = {});
    // Drops the table (3265 when there is none).
    void remove(std::string_view name);

    std::vector<TableDef>::const_iterator begin() const { return items_.begin(); }
    std::vector<TableDef>::const_iterator end() const { return items_.end(); }

private:
    friend class Database;
    explicit TableDefs(std::shared_ptr<detail::DatabaseState> db);
    std::shared_ptr<detail::DatabaseState> db_;
    std::vector<TableDef> items_;
};

} // namespace varnoke
