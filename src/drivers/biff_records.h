#pragma once
// The record layer of Excel 5.0-8.0 workbook streams: records one after another, the
// CONTINUE records that carry a long record on, and the texts inside them.
#include "drivers/reader_support.h"

#include <optional>

namespace varnoke::drivers {

struct BiffRecord {
    std::uint16_t type = 0;
    ByteSpan data;
    std::size_t next = 0; // offset of the record after this one
};

class BiffRecordStream {
public:
    BiffRecordStream(ByteSpan stream, std::string_view fileName, std::size_t at = 0)
        : view_(stream, fileName), at_(at) {}

    // The next record; nullopt at the end of the stream. A record that runs past the
    // end raises 3274.
    std::optional<BiffRecord> next();
    // The CONTINUE records right after `record`, its own data first.
    std::vector<ByteSpan> withContinues(const BiffRecord& record) const;
    const ByteView& view() const { return view_; }

private:
    ByteView view_;
    std::size_t at_;
};

// Where each substream (the globals, a sheet, a chart) of a workbook stream begins,
// found by walking every record: an EOF closing a substream must be followed by the next
// substream's BOF or by zero bytes to the end, and the stream must end on a record
// boundary. A walk that breaks either raises 3274, so that no damage reads as the end.
std::vector<std::size_t> substreamStarts(ByteSpan stream, std::string_view fileName);

// Reads across a record and its CONTINUE records as one run of bytes, except that a
// text split between two of them starts its second part with a fresh flags byte.
class BiffReader {
public:
    BiffReader(std::vector<ByteSpan> parts, std::string_view fileName)
        : parts_(std::move(parts)), fileName_(fileName) {}

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    void skip(std::size_t count);
    bool atEnd();

    // A Unicode text of `count` characters: its flags byte, the characters (one byte or
    // two each), then its formatting runs and extra data, which are skipped.
    std::string unicodeText(std::size_t count);
    // `count` bytes in the workbook's code page.
    std::string codePageText(std::size_t count, const CodePage& codePage);

private:
    // The rest of the current part, moving to the next part when this one is used up.
    ByteSpan rest();
    [[noreturn]] void cutShort() const;

    std::vector<ByteSpan> parts_;
    std::string_view fileName_;
    std::size_t part_ = 0;
    std::size_t at_ = 0;
};

} // namespace varnoke::drivers
