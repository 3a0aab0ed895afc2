#pragma once
// A temp table owned by the recordsets that share it.
#include <memory>
#include <string>

namespace varnoke::detail {

class Connection;

// A temp table that is dropped with its last owner.
struct TempTable {
    TempTable(std::shared_ptr<Connection> c, std::string n)
        : conn(std::move(c)), name(std::move(n)) {}
    TempTable(const TempTable&) = delete;
    TempTable& operator=(const TempTable&) = delete;
    ~TempTable();
    std::shared_ptr<Connection> conn;
    std::string name;
};

} // namespace varnoke::detail
