#include "drivers/paradox_blobs.h"

namespace varnoke::drivers {

namespace {

// Blocks are counted in chunks of 4 KB; their first byte gives their kind.
constexpr std::size_t kChunk = 4096;
constexpr std::uint8_t kSingleBlob = 2;
constexpr std::uint8_t kSharedBlobs = 3;
constexpr std::uint8_t kWholeBlock = 0xFF;
// A block of shared blobs: a 12-byte head, then 64 entries of 5 bytes (the value's
// start in 16-byte units, its length in 16-byte units rounded up, a modification
// number, and the length's last 1 to 16 bytes), then the values.
constexpr std::size_t kEntries = 64;
constexpr std::size_t kEntriesAt = 12;
constexpr std::size_t kEntrySize = 5;
constexpr std::size_t kSharedDataAt = kEntriesAt + kEntries * kEntrySize;
// A single blob's block: kind, chunk count, the value's length, a modification number.
constexpr std::size_t kSingleDataAt = 9;

} // namespace

void ParadoxBlobs::fail(std::string_view what) const {
    view_.fail(std::string(what) + " (a value of the table '" + std::string(tableName_) + "')");
}

std::string ParadoxBlobs::read(std::uint32_t pointer, std::uint32_t length) const {
    if (!present_)
        throw EngineError(err::FileNotFound, "The blob file (.mb) of '" + std::string(tableName_) +
                                                 "' is missing; its memo fields cannot be read.");
    const std::size_t index = pointer & 0xFF;
    const std::size_t block = pointer & ~std::uint32_t{0xFF};
    if (block == 0 || block + kSharedDataAt > view_.size())
        fail("a value points at a block that is not in the blob file");
    const std::uint8_t kind = view_.u8(block);
    std::size_t start = 0;
    std::size_t end = 0;
    if (index == kWholeBlock) {
        if (kind != kSingleBlob) fail("a value points at a block that holds no single value");
        if (view_.u32le(block + 3) != length)
            fail("a value's length disagrees with its block in the blob file");
        start = block + kSingleDataAt;
        end = block + view_.u16le(block + 1) * kChunk;
    } else {
        if (kind != kSharedBlobs) fail("a value points at a block that holds no shared values");
        if (index >= kEntries) fail("a value points at an entry its block does not have");
        const std::size_t entry = block + kEntriesAt + index * kEntrySize;
        const std::size_t units = view_.u8(entry + 1);
        const std::size_t last = view_.u8(entry + 4);
        if (units == 0 || last == 0 || last > 16 || (units - 1) * 16 + last != length)
            fail("a value's length disagrees with its entry in the blob file");
        start = block + std::size_t{view_.u8(entry)} * 16;
        if (start < block + kSharedDataAt) fail("a value's entry points inside its block's head");
        end = block + kChunk;
    }
    if (start + length > std::min(end, view_.size()))
        fail("a value runs past the end of its block in the blob file");
    const auto bytes = view_.slice(start, length);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

} // namespace varnoke::drivers
