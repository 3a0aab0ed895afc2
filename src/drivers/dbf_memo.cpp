#include "drivers/dbf_memo.h"

#include <algorithm>

namespace varnoke::drivers {

namespace {

std::string_view asChars(ByteSpan bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

} // namespace

DbfMemoFile::DbfMemoFile(std::optional<ByteSpan> data, bool fpt, std::string_view tableName,
                         std::string_view memoName)
    : tableName_(tableName), view_(data.value_or(ByteSpan{}), memoName), present_(data.has_value()),
      fpt_(fpt) {
    if (!present_) return;
    if (fpt_) {
        blockSize_ = view_.u16be(6);
    } else {
        blockSize_ = view_.size() >= 22 ? view_.u16le(20) : 0;
        if (blockSize_ == 0) blockSize_ = 512;
    }
}

void DbfMemoFile::setStarts(std::vector<std::uint32_t> starts) {
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    starts_ = std::move(starts);
}

std::string DbfMemoFile::read(std::uint64_t block, bool* isText) const {
    if (!present_)
        throw EngineError(err::FileNotFound, "The memo file of '" + std::string(tableName_) +
                                                 "' is missing; its memo fields cannot be read.");
    if (blockSize_ == 0) view_.fail("the memo file gives a block size of 0");
    const std::uint64_t offset = block * blockSize_;
    if (offset >= view_.size()) view_.fail("a memo lies beyond the end of the memo file");
    const auto at = static_cast<std::size_t>(offset);
    if (fpt_) {
        const std::uint32_t type = view_.u32be(at);
        const std::uint32_t length = view_.u32be(at + 4);
        *isText = type == 1;
        return std::string(asChars(view_.slice(at + 8, length)));
    }
    *isText = true;
    if (view_.u16le(at) == 0xFFFF && view_.u16le(at + 2) == 0x0008) {
        const std::uint32_t length = view_.u32le(at + 4);
        if (length < 8) view_.fail("a memo block gives a length shorter than its header");
        return std::string(asChars(view_.slice(at + 8, length - 8)));
    }
    // A dBase III memo ends at its mark; where the mark is missing, at the next memo's
    // first block, so that no memo holds another's text or runs to the end of the file.
    std::size_t end = view_.size();
    const auto next = std::upper_bound(starts_.begin(), starts_.end(), block);
    if (next != starts_.end())
        end = std::min<std::uint64_t>(end, std::uint64_t{*next} * blockSize_);
    const auto rest = view_.slice(at, end - at);
    const auto mark = std::find(rest.begin(), rest.end(), std::uint8_t{0x1A});
    return std::string(asChars(rest.first(static_cast<std::size_t>(mark - rest.begin()))));
}

} // namespace varnoke::drivers
