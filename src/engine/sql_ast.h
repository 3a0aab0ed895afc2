#pragma once
// The syntax tree of the program's SQL dialect: one tree for criteria expressions and
// for whole statements, so finds, filters and statements share one parser and one
// renderer.
#include "engine/field.h"
#include "value/value.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace varnoke::sql {

struct SelectStmt;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        Literal,  // value
        Column,   // qualifier.name (qualifier may be empty)
        Star,     // qualifier.* or *, only in select lists and Count(*)
        Negate,   // -args[0]
        Not,      // Not args[0]
        Binary,   // args[0] op args[1]: + - * / \ mod ^ & and or xor
        Compare,  // args[0] op args[1]: = <> < <= > >=
        Like,     // args[0] [Not] Like args[1]
        Between,  // args[0] [Not] Between args[1] And args[2]
        In,       // args[0] [Not] In (args[1..]) or (select)
        IsNull,   // args[0] Is [Not] Null
        Call,     // name(args)
        Subquery, // (select)
    };
    Kind kind = Kind::Literal;
    Value value;
    std::string qualifier;
    std::string name; // column or function name, as written
    std::string op;   // lower case
    bool negated = false;
    std::vector<ExprPtr> args;
    std::unique_ptr<SelectStmt> select;
    int depth = 1; // levels of operands below and including this one
};

struct TableRef {
    std::string name;
    std::string alias;
};

struct FromItem {
    enum class Kind { Table, Join };
    Kind kind = Kind::Table;
    TableRef table;
    std::string joinType; // "inner", "left", "right"
    std::unique_ptr<FromItem> left, right;
    ExprPtr on;
};

struct SelectItem {
    ExprPtr expr;
    std::string alias;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct SelectStmt {
    bool distinct = false;
    std::optional<long> top;
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::string into;
    std::vector<std::unique_ptr<FromItem>> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<OrderItem> orderBy;
};

struct UpdateStmt {
    TableRef table;
    std::vector<std::pair<std::string, ExprPtr>> sets;
    ExprPtr where;
};

struct DeleteStmt {
    TableRef table;
    ExprPtr where;
};

struct InsertStmt {
    std::string table;
    std::vector<std::string> columns;
    std::vector<ExprPtr> values;
    std::unique_ptr<SelectStmt> select;
};

struct ColumnDef {
    std::string name;
    ColumnType type;
    bool notNull = false;
    bool primaryKey = false;
    bool autoIncrement = false;
};

struct CreateTableStmt {
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<std::string> primaryKey;
};

struct DropTableStmt {
    std::string name;
};

struct CreateIndexStmt {
    std::string name;
    std::string table;
    std::vector<std::pair<std::string, bool>> columns; // name, descending
    bool unique = false;
};

struct DropIndexStmt {
    std::string name;
    std::string table;
};

struct ParamDecl {
    std::string name;
    int type = fieldtype::Text;
};

using StatementBody = std::variant<SelectStmt, UpdateStmt, DeleteStmt, InsertStmt, CreateTableStmt,
                                   DropTableStmt, CreateIndexStmt, DropIndexStmt>;

struct Statement {
    std::vector<ParamDecl> parameters;
    StatementBody body;
};

// The type code and size of a type name as CREATE TABLE and PARAMETERS write it
// ("TEXT", "DOUBLE", "LONG", "DATETIME", "MEMO", ...), also of a column's declared
// type as the working database stores it ("TEXT(64)", "LONGTEXT", ...). Unknown names
// fall back on SQLite's affinity rules.
std::optional<ColumnType> typeFromName(std::string_view name, int size = 0);
// The declared type that stores a type code and size: "TEXT(64)", "DOUBLE", ...
std::string declaredType(ColumnType type);

} // namespace varnoke::sql
