#include "drivers/biff_records.h"

#include <algorithm>
#include <array>

namespace varnoke::drivers {

namespace {
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
} // namespace

std::optional<BiffRecord> BiffRecordStream::next() {
    if (at_ == view_.size()) return std::nullopt;
    if (at_ + 4 > view_.size())
        view_.fail("its workbook stream ends inside a record (it may have been cut short)");
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

namespace {

struct FixedSize {
    std::uint16_t type;
    std::array<std::uint16_t, 3> sizes; // the sizes sound writers write, repeated to fill
};

// Records of a fixed size, with the other sizes public workbooks of sound writers hold
// (a 4-byte PROTECT, a 16-byte DELTA, a 9-byte BOOLERR, a 16-byte DIMENSIONS, a 10-byte
// WINDOW1, a short
// BIFF8 BOF, a chart's short WINDOW2).
constexpr FixedSize kFixedSizes[]{
    {0x000A, {0, 0, 0}}, {0x000C, {2, 2, 2}},    {0x000D, {2, 2, 2}},    {0x000E, {2, 2, 2}},
    {0x000F, {2, 2, 2}}, {0x0010, {8, 16, 16}},  {0x0011, {2, 2, 2}},    {0x0012, {2, 4, 4}},
    {0x0013, {2, 2, 2}}, {0x0019, {2, 2, 2}},    {0x0022, {2, 2, 2}},    {0x0026, {8, 8, 8}},
    {0x0027, {8, 8, 8}}, {0x0028, {8, 8, 8}},    {0x0029, {8, 8, 8}},    {0x002A, {2, 2, 2}},
    {0x002B, {2, 2, 2}}, {0x003D, {10, 18, 18}}, {0x0040, {2, 2, 2}},    {0x0042, {2, 2, 2}},
    {0x0055, {2, 2, 2}}, {0x005F, {2, 2, 2}},    {0x0080, {8, 8, 8}},    {0x0081, {2, 2, 2}},
    {0x0082, {2, 2, 2}}, {0x0083, {2, 2, 2}},    {0x0084, {2, 2, 2}},    {0x008C, {4, 4, 4}},
    {0x008D, {2, 2, 2}}, {0x009C, {2, 2, 2}},    {0x00A1, {34, 34, 34}}, {0x00C1, {2, 2, 2}},
    {0x00DA, {2, 2, 2}}, {0x00FD, {10, 10, 10}}, {0x0160, {2, 2, 2}},    {0x0161, {2, 2, 2}},
    {0x01AF, {2, 2, 2}}, {0x01B7, {2, 2, 2}},    {0x01BC, {2, 2, 2}},    {0x0200, {10, 14, 16}},
    {0x0201, {6, 6, 6}}, {0x0203, {14, 14, 14}}, {0x0205, {8, 9, 9}},    {0x0208, {16, 16, 16}},
    {0x0225, {4, 4, 4}}, {0x023E, {10, 18, 18}}, {0x027E, {10, 10, 10}}, {0x0809, {8, 16, 16}},
};

bool hasItsSize(const BiffRecord& record) {
    for (const auto& fixed : kFixedSizes)
        if (fixed.type == record.type)
            return std::find(fixed.sizes.begin(), fixed.sizes.end(), record.data.size()) !=
                   fixed.sizes.end();
    return true;
}

// Record numbers run below 0x0900, a chart's from 0x1000 to 0x10FF: a walk that meets
// another has left the records.
bool isRecordNumber(std::uint16_t type) {
    return type < 0x0900 || (type >= 0x1000 && type < 0x1100);
}

} // namespace

std::vector<std::size_t> substreamStarts(ByteSpan stream, std::string_view fileName) {
    BiffRecordStream records(stream, fileName);
    const ByteView& view = records.view();
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    int depth = 0; // charts placed on a sheet bring their own BOF ... EOF
    while (auto record = records.next()) {
        if (!isRecordNumber(record->type) || !hasItsSize(*record))
            view.fail("a record in its workbook stream has the wrong number or length (the "
                      "file may be damaged)");
        if (record->type == kBof) {
            if (depth++ == 0) starts.push_back(at);
        } else if (depth == 0) {
            view.fail("a record in its workbook stream stands outside any sheet (the stream "
                      "may be damaged)");
        } else if (record->type == kEof && --depth == 0) {
            const auto rest = stream.subspan(record->next);
            if (std::all_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b == 0; }))
                return starts;
        }
        at = record->next;
    }
    view.fail("its workbook stream ends too soon (it may have been cut short)");
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
    // Some writers leave out the flags byte of an empty text at a record's end.
    if (count == 0 && atEnd()) return {};
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
            if (at_ != parts_[part_].size()) cutShort();
            // An empty CONTINUE carries nothing, not even the flags byte.
            do {
                if (part_ + 1 >= parts_.size()) cutShort();
                ++part_;
                at_ = 0;
            } while (parts_[part_].empty());
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
