#pragma once
// The values of every row of a row set in stored order, held compactly in memory: a run
// that reads the records its finds land on reads them in no order, one statement each,
// where one scan of the table serves them all.
#include "engine/connection.h"
#include "value/value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnoke::detail {

class RowStore {
public:
    // The rows `rows` (ascending rowids) of the result of `sql`, which selects the rowid
    // and then the columns of these types ordered by rowid; nothing when they would take
    // more than maxBytes.
    static std::optional<RowStore> scan(Connection& c, const std::string& sql,
                                        const std::vector<ColumnType>& types,
                                        const std::vector<std::int64_t>& rows,
                                        std::size_t maxBytes);

    // The row in that slot into `out`; false when the store does not hold it.
    bool values(std::size_t slot, std::vector<Value>& out) const;
    // The row was written or deleted: it is read from the table again.
    void drop(std::size_t slot);

private:
    static constexpr std::uint32_t kAbsent = UINT32_MAX;
    std::string bytes_;                // each row's values, one after another
    std::vector<std::uint32_t> start_; // where each slot's row begins, or kAbsent
    std::vector<ColumnType> types_;
};

} // namespace varnoke::detail
