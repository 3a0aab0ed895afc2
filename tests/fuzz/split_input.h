#pragma once
// Inputs that carry a table and its companion file (memo or blob file): a 4-byte
// little-endian length, the table, then the companion. An input whose first four
// bytes give no length that fits is a table alone, so a plain table file is a seed
// as it is; make_seeds.sh writes the seeds that carry a companion.
#include "drivers/reader_support.h"

#include <optional>

namespace varnoke::fuzz {

struct SplitInput {
    drivers::ByteSpan table;
    std::optional<drivers::ByteSpan> companion;
};

inline SplitInput splitInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 4) {
        const std::size_t length = std::size_t{data[0]} | std::size_t{data[1]} << 8 |
                                   std::size_t{data[2]} << 16 | std::size_t{data[3]} << 24;
        if (length <= size - 4)
            return {{data + 4, length}, drivers::ByteSpan(data + 4 + length, size - 4 - length)};
    }
    return {{data, size}, std::nullopt};
}

} // namespace varnoke::fuzz
