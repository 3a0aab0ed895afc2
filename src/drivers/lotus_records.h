#pragma once
// A 1-2-3 worksheet's records (Release 1A and 2: .wks, .wk1; Release 3 and later:
// .wk3, .wk4, .123), walked once: where each cell of the first sheet lies, and the
// display formats its numbers take. Values are decoded from the cell's record when
// asked for, so a sheet costs a few bytes a cell beyond its file.
#include "drivers/lotus_values.h"
#include "drivers/reader_support.h"
#include "value/value.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke::drivers {

struct LotusCellAt {
    std::uint16_t row;
    std::uint16_t column;
    std::uint32_t record; // offset of the cell's record in the file
};

class LotusWorksheet {
public:
    // Raises 3274 for a file that is no worksheet, that ends before its end-of-file
    // record (it may have been cut short), or with a Release 2 cell beyond the 256th
    // column; 3051 for one protected by a password.
    LotusWorksheet(ByteSpan image, std::string_view fileName);
    ~LotusWorksheet();
    LotusWorksheet(const LotusWorksheet&) = delete;
    LotusWorksheet& operator=(const LotusWorksheet&) = delete;

    // The cells of the first sheet by row, then column, each once: where the file names
    // a cell twice, its later record stands, as it would in 1-2-3.
    const std::vector<LotusCellAt>& cells() const { return cells_; }

    // The cell's value: Empty for one that shows nothing, Null for an error value.
    Value value(const LotusCellAt& cell) const;

private:
    struct FormatRun {
        std::uint16_t firstColumn;
        std::uint16_t columns;
        std::uint8_t format;
    };
    using RowFormats = std::shared_ptr<const std::vector<FormatRun>>;

    void walk();
    void readRowFormats(ByteSpan data);
    std::uint8_t laterFormat(std::uint16_t row, std::uint16_t column) const;
    Value releaseTwoValue(std::uint16_t type, const ByteView& data, std::size_t next) const;
    Value laterValue(const LotusCellAt& cell, std::uint16_t type, const ByteView& data) const;

    ByteSpan image_;
    std::string fileName_;
    bool releaseTwo_ = true;
    std::unique_ptr<LotusText> text_;
    std::vector<LotusCellAt> cells_;
    // The later releases keep display formats by row, each row's shared by the rows
    // that copy it: by sheet and row.
    std::map<std::uint32_t, RowFormats> rowFormats_;
};

} // namespace varnoke::drivers
