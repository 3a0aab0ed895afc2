#pragma once
// The blob file (.mb) of a Paradox table: memos, binary, OLE and graphic values too
// long for their record, found by the pointer the record holds.
#include "drivers/reader_support.h"

#include <optional>
#include <string>

namespace varnoke::drivers {

class ParadoxBlobs {
public:
    ParadoxBlobs(std::optional<ByteSpan> data, std::string_view tableName,
                 std::string_view fileName)
        : tableName_(tableName), view_(data.value_or(ByteSpan{}), fileName), present_(data) {}

    // The value's bytes, `length` of them, at `pointer` (a block's offset in the file with
    // an entry's index in its low byte). Raises 3024 when there is no blob file and 3274
    // when the blob file does not hold that value as the record describes it.
    std::string read(std::uint32_t pointer, std::uint32_t length) const;

private:
    [[noreturn]] void fail(std::string_view what) const;

    std::string_view tableName_;
    ByteView view_;
    bool present_;
};

} // namespace varnoke::drivers
