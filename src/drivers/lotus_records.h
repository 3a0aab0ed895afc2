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
    std::uint16_t length; // of the record's data, as the walk found it
    std::uint32_t record; // offset of the cell's record in the file
};

class LotusWorksheet {
public:
    // Raises 3274 for a file that is no worksheet, that ends before its end-of-file
    // record (it may have been cut short), whose records a sound file cannot hold (a
    // length of the wrong size, bytes after the end that no writer puts there), or with
    // a Release 2 cell beyond the 256th column; 3051 for one protected by a password.
    LotusWorksheet(ByteSpan image, std::string_view fileName);
    ~LotusWorksheet();
    LotusWorksheet(const LotusWorksheet&) = delete;
    LotusWorksheet& operator=(const LotusWorksheet&) = delete;

    // The cells of the first sheet by row, then column, each once: where the file names
    // a cell twice, its later record stands, as it would in 1-2-3.
    const std::vector<LotusCellAt>& cells() const { return cells_; }

    // The cell's value: Empty for one that shows nothing, Null for an error value.
    // Raises 3274 ("changed while it was being read") where the cell's record no longer
    // has the length the walk found.
    Value value(const LotusCellAt& cell) const;

    // Whether sheets after the first hold cells (a first sheet without data is then no
    // empty file).
    bool laterSheetsHoldCells() const { return laterSheetsHoldCells_; }

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
    bool laterSheetsHoldCells_ = false;
    // The later releases keep display formats by row, each row's shared by the rows
    // that copy it: the first sheet's, by row.
    std::map<std::uint16_t, RowFormats> rowFormats_;
};

// What to say of a sheet whose first sheet holds no data: that the first sheet is empty
// where later sheets hold cells (only the first is linked), else that the file is.
std::string lotusEmptyMessage(const LotusWorksheet& sheet, std::string_view fileName);

} // namespace varnoke::drivers
