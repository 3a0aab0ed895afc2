#pragma once
// Memo files beside a dBase or FoxPro table: FoxPro's (.fpt) are big-endian with a typed
// block header, dBase IV's start a block with FF FF 08 00 and a length, dBase III's run
// to a 0x1A mark. No memo reads past the file, and a dBase III memo whose mark is missing
// ends where the next memo the table names begins.
#include "drivers/reader_support.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::drivers {

class DbfMemoFile {
public:
    DbfMemoFile(std::optional<ByteSpan> data, bool fpt, std::string_view tableName,
                std::string_view memoName);

    // Whether memos end at a mark rather than at a length their block gives.
    bool endsAtMarks() const { return present_ && !fpt_; }
    // The blocks at which the table's memos begin, so that a memo without its end mark
    // ends at the next of them.
    void setStarts(std::vector<std::uint32_t> starts);

    // The memo stored from `block` on; binary memos come back as their bytes.
    std::string read(std::uint64_t block, bool* isText) const;

private:
    std::string_view tableName_;
    ByteView view_;
    bool present_;
    bool fpt_;
    std::uint32_t blockSize_ = 0;
    std::vector<std::uint32_t> starts_; // sorted, unique
};

} // namespace varnoke::drivers
