#pragma once
// A temp table owned by the recordsets that share it.
#include <memory>
#include <string>
#include <string_view>

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

// A new temp table of the connection, named from `prefix`, with the column definitions
// `columns`, made outside the gathered writes (see temp_table.cpp).
std::shared_ptr<TempTable> makeTempTable(const std::shared_ptr<Connection>& conn,
                                         std::string_view prefix, const std::string& columns);

} // namespace varnoke::detail
