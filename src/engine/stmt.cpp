// A statement lent by the connection's cache, and the binding of values to it.
#include "engine/column_value.h"
#include "engine/connection.h"

namespace varnoke::detail {

Stmt::Stmt(Connection& conn, sqlite3_stmt* stmt, StmtPtr owned, bool* busyFlag)
    : conn_(&conn), stmt_(stmt), owned_(std::move(owned)), busy_(busyFlag) {}

Stmt::Stmt(Stmt&& other) noexcept
    : conn_(other.conn_), stmt_(other.stmt_), owned_(std::move(other.owned_)), busy_(other.busy_) {
    other.stmt_ = nullptr;
    other.busy_ = nullptr;
}

Stmt::~Stmt() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    if (busy_) *busy_ = false;
}

void Stmt::bind(int index, const Value& v) {
    bindValue(stmt_, index, v);
}

void Stmt::bindKept(int index, const Value& v) {
    bindValue(stmt_, index, v, true);
}

void Stmt::bindAll(const std::vector<Value>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        bindValue(stmt_, static_cast<int>(i + 1), values[i]);
}

void Stmt::bindAllKept(const std::vector<Value>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        bindValue(stmt_, static_cast<int>(i + 1), values[i], true);
}

bool Stmt::step() {
    if (!sqlite3_stmt_busy(stmt_)) ++conn_->statementsRun_;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    conn_->raise(rc);
}

void Stmt::run() {
    while (step()) {
    }
}

} // namespace varnoke::detail
