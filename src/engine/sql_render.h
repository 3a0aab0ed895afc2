#pragma once
// Turns the dialect's syntax tree into SQLite text. Every literal becomes a numbered
// parameter (?N) whose value sits in binds; names are resolved against the tables in
// scope and always quoted, so no text of the caller reaches SQLite unparsed.
#include "engine/connection.h"
#include "engine/sql_ast.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varnoke::detail {

// The static kind of an expression, as far as the renderer can tell.
enum class SType { Unknown, Text, Number, Date, Boolean, Null };

SType stypeOf(ColumnType type);

struct ScopeTable {
    std::string matchName; // alias, or the table name
    TableInfo info;
    std::string sqlRef; // what qualifies its columns in the SQL text
    // Extra names of columns (the fields of a recordset opened with aliases).
    std::map<std::string, int> fieldAliases; // upper name -> column index
};

struct RExpr {
    std::string sql;
    SType type = SType::Unknown;
    std::optional<ColumnType> column; // set for a plain column reference
    std::string columnName;
    int scopeTable = -1; // index into the innermost scope, for a column
    int bind = 0;        // 1-based parameter of a literal, 0 otherwise
    bool aggregate = false;
};

struct ResultColumn {
    std::string name;
    ColumnType type;
    SType stype = SType::Unknown;
    bool direct = false; // a plain column of a table
    int baseColumn = -1; // its index in that table
    std::string sql;
};

struct Parameters {
    std::vector<sql::ParamDecl> declared;
    std::map<std::string, Value> values; // upper name -> value
    std::vector<std::string> used;       // names met, in order, once each
};

struct SearchedColumn {
    TableInfo table;
    std::string column;
    IndexKind kind = IndexKind::Plain;
};

// A literal compared with a value of the target type takes that type: a date text or a
// number a date, a number text a number; a text that cannot is the criteria mismatch.
void takeType(Value& v, SType target);

class Renderer {
public:
    explicit Renderer(Connection& conn, Parameters* params = nullptr)
        : conn_(conn), params_(params) {}

    std::vector<Value> binds;
    std::vector<SearchedColumn> searched;
    // Each literal rendered as a bound value, with its place among the binds.
    std::vector<std::pair<const sql::Expr*, int>> literalBinds;
    // Each text literal a comparison read as a number, date or yes/no, with its place
    // among the binds and the type it took: takeType gives another text the same.
    std::vector<std::pair<int, SType>> takenTexts;
    // Each literal stored into a field (by storeExpr), with its place among the binds.
    std::vector<std::pair<int, ColumnInfo>> storedLiterals;
    // Unknown names in a find or filter are errors (3070), not parameters.
    bool criteriaMode = false;
    // Parameters without a value; the caller decides whether that is an error.
    int missingParameters = 0;

    void pushScope(std::vector<ScopeTable> tables) { scopes_.push_back(std::move(tables)); }
    void popScope() { scopes_.pop_back(); }

    RExpr expr(const sql::Expr& e);
    std::string condition(const sql::Expr& e) { return expr(e).sql; }
    std::string orderBy(const std::vector<sql::OrderItem>& items);
    int bind(Value v);

    struct SelectOut {
        std::string sql;
        std::vector<ResultColumn> columns;
        // A one-table select of plain columns: a dynaset can be built on its table.
        bool simple = false;
        const TableInfo* baseTable = nullptr;
        std::string alias, whereSql, orderSql;
        std::optional<long> top;
    };
    // targetTypes: convert each result column to these column types (INSERT...SELECT).
    SelectOut select(const sql::SelectStmt& s, const std::vector<ColumnInfo>* targets = nullptr);

    // The SQL of a value stored into a column: literals are converted here and now
    // (3421/3163), other expressions by the engine's store function as rows go in.
    std::string storeExpr(const sql::Expr& e, const ColumnInfo& target);

    // An expression as text, as the dialect's & and text functions see it.
    std::string asText(const RExpr& r);

private:
    RExpr column(const sql::Expr& e);
    RExpr call(const sql::Expr& e);
    RExpr compare(const sql::Expr& e);
    std::optional<RExpr> exactTest(const sql::Expr& e);
    std::string strComp(const RExpr& a, const RExpr& b, bool text);
    void coerce(RExpr& literal, const RExpr& other);
    void noteSearched(const RExpr& r);
    const TableInfo& resolveTable(const std::string& name);
    void fromItem(const sql::FromItem& item, std::vector<ScopeTable>& scope);
    std::string fromSql(const sql::FromItem& item, const std::vector<ScopeTable>& scope,
                        std::size_t& next);

    Connection& conn_;
    Parameters* params_;
    std::vector<std::vector<ScopeTable>> scopes_;
    std::vector<std::string> selectAliases_;
};

// Registers the dialect's functions (vk_left, vk_like, vk_store, ...) on a connection.
void registerFunctions(sqlite3* db);

} // namespace varnoke::detail
