#include "drivers/biff_records.h"

#include <algorithm>

namespace varnoke::drivers {

namespace {
constexpr std::uint16_t kContinue = 0x003C;
}

std::optional<BiffRecord> BiffRecordStream::next() {
    if (at_ + 4 > view_.size()) return std::nullopt;
    BiffRecord record;
    record.type = view_.u16le(at_);
    const std::size_t length = view_.u16le(at_ + 2);
    record.data = view_.slice(at_ + 4, length);
    record.next = at_ + 4 + length;
    at_ = record.next;
    return record;
}

std::vector<ByteSpan> BiffRecordStream::withContinues(const BiffRecord& record) const {
    std::vector<ByteSpan> parts{record.data};
    BiffRecordStream rest(view_.slice(0, view_.size()), view_.fileName(), record.next);
    while (auto more = rest.next()) {
        if (more->type != kContinue) break;
        parts.push_back(more->data);
    }
    return parts;
}

void BiffReader::cutShort() const {
    throwBadFormat(fileName_, "a record in it ends too soon (it may have been cut short)");
}

ByteSpan BiffReader::rest() {
    while (part_ < parts_.size() && at_ == parts_[part_].size()) {
        ++part_;
        at_ = 0;
    }
    if (part_ == parts_.size()) return {};
    return parts_[part_].subspan(at_);
}

bool BiffReader::atEnd() {
    return rest().empty();
}

std::uint8_t BiffReader::u8() {
    const auto bytes = rest();
    if (bytes.empty()) cutShort();
    ++at_;
    return bytes[0];
}

std::uint16_t BiffReader::u16() {
    const std::uint16_t low = u8();
    return static_cast<std::uint16_t>(low | u8() << 8);
}

std::uint32_t BiffReader::u32() {
    const std::uint32_t low = u16();
    return low | std::uint32_t{u16()} << 16;
}

void BiffReader::skip(std::size_t count) {
    while (count > 0) {
        const auto bytes = rest();
        if (bytes.empty()) cutShort();
        const std::size_t step = std::min(count, bytes.size());
        at_ += step;
        count -= step;
    }
}

std::string BiffReader::unicodeText(std::size_t count) {
    const std::uint8_t flags = u8();
    const std::size_t runs = flags & 0x08 ? u16() : 0;
    const std::size_t extra = flags & 0x04 ? u32() : 0;
    bool wide = flags & 0x01;
    std::string text;
    bool first = true;
    while (count > 0) {
        if (!first || at_ == parts_[part_].size()) {
            // The characters go on in the next CONTINUE record, which says afresh
            // whether they are one byte or two.
            if (at_ != parts_[part_].size() || part_ + 1 >= parts_.size()) cutShort();
            ++part_;
            at_ = 0;
            if (parts_[part_].empty()) cutShort();
            wide = parts_[part_][at_++] & 0x01;
        }
        first = false;
        const auto bytes = parts_[part_].subspan(at_);
        const std::size_t width = wide ? 2 : 1;
        const std::size_t take = std::min(count, bytes.size() / width);
        if (take == 0 && !bytes.empty()) cutShort();
        const auto chars = bytes.first(take * width);
        text += wide ? utf16leToUtf8(chars) : latin1ToUtf8(chars);
        at_ += chars.size();
        count -= take;
    }
    skip(4 * runs + extra);
    return text;
}

std::string BiffReader::codePageText(std::size_t count, const CodePage& codePage) {
    std::string bytes;
    bytes.reserve(std::min<std::size_t>(count, 1 << 16));
    while (bytes.size() < count) {
        const auto part = rest();
        if (part.empty()) cutShort();
        const std::size_t take = std::min(count - bytes.size(), part.size());
        bytes.append(reinterpret_cast<const char*>(part.data()), take);
        at_ += take;
    }
    return codePage.toUtf8(bytes);
}

} // namespace varnoke::drivers
