#pragma once
// The state behind a Database handle and a QueryDef, and the statement runner's entry
// points that the handles call.
#include "engine/connection.h"
#include "engine/sql_ast.h"
#include "engine/sql_render.h"
#include "engine/statement_cache.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::detail {

class RecordsetState;

class DatabaseState {
public:
    std::shared_ptr<Connection> conn;
    std::string path;
    bool readOnly = false;
    bool open = true;
    long recordsAffected = 0;
    StatementCache statements; // kept by executeText

    Connection& connection() const; // 3420 when closed
    void checkWritable() const;     // 3027 through a read-only handle
};

struct QueryDefState {
    std::shared_ptr<DatabaseState> db;
    std::string name;
    std::string sql;
    std::string connect;
    std::optional<bool> returnsRecords;
    std::map<std::string, Value> parameterValues; // upper name -> value
};

// Runs a parsed statement; returns the rows affected.
long runStatement(DatabaseState& db, const sql::Statement& st, Parameters params);
// Runs a statement's text through the kept statement of its shape, or parses and runs
// it and keeps it when its texts may be replaced.
long executeText(DatabaseState& db, std::string_view sqlText);
// The plan of an UPDATE, DELETE or INSERT, with the indexes running it would make.
std::vector<std::string> explainStatement(DatabaseState& db, const sql::Statement& st);

// The saved query of that name, without regard to case; nullptr when there is none.
std::shared_ptr<QueryDefState> loadQueryDef(const std::shared_ptr<DatabaseState>& db,
                                            std::string_view name);

} // namespace varnoke::detail
