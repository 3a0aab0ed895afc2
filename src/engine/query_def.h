#pragma once
// Query definitions, their parameters, and the collection of a database's saved queries.
#include "engine/recordset.h"
#include "value/value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

namespace detail {
class DatabaseState;
struct QueryDefState;
} // namespace detail

struct Parameter {
    std::string name;
    int type = fieldtype::Text; // declared type; Text when undeclared
    Value value;                // Empty until set
};

// A query definition. A named one is stored in the database when created and its
// SQL and Connect are written through when set; one with an empty name is temporary
// and lives only in this object. Copies share the definition.
class QueryDef {
public:
    QueryDef() = default;

    std::string name() const;
    std::string sql() const;
    void setSql(std::string sql); // 3129/3131 when the text is not a statement
    std::string connect() const;
    void setConnect(std::string connect);
    // Whether the query returns rows; a SELECT without INTO does unless set otherwise.
    bool returnsRecords() const;
    void setReturnsRecords(bool returns);

    // The PARAMETERS the text declares, then the names it uses that are no field of
    // its tables, in order of appearance. Values set here are used by execute and
    // openRecordset.
    std::vector<Parameter> parameters() const;
    void setParameter(std::string_view name, const Value& value); // 3265 unknown

    // Runs an action query (a SELECT without INTO raises 3065). 3061 when a parameter
    // has no value.
    void execute(int options = 0);
    // Opens the rows of a SELECT (anything else raises 3219).
    Recordset openRecordset(std::optional<RecordsetType> type = {}, int options = 0);

private:
    friend class Database;
    friend class QueryDefs;
    explicit QueryDef(std::shared_ptr<detail::QueryDefState> state);
    std::shared_ptr<detail::QueryDefState> state_;
};

// The saved query definitions, in name order without regard to case.
class QueryDefs {
public:
    void refresh();
    int count() const { return static_cast<int>(items_.size()); }
    QueryDef item(int index) const;             // 3265 out of range
    QueryDef item(std::string_view name) const; // 3265 when missing
    void remove(std::string_view name);         // 3265 when missing

    std::vector<QueryDef>::const_iterator begin() const { return items_.begin(); }
    std::vector<QueryDef>::const_iterator end() const { return items_.end(); }

private:
    friend class Database;
    explicit QueryDefs(std::shared_ptr<detail::DatabaseState> db);
    std::shared_ptr<detail::DatabaseState> db_;
    std::vector<QueryDef> items_;
};

} // namespace varnoke
