#pragma once
// 1-2-3 worksheets written record by record from the published layouts, for tests of
// sheets too large or too odd to keep as files: no program on this machine writes
// Lotus files. Release 2 (.wk1): format, column, row, content; Release 3 and 4 (.wk3,
// .wk4): row, sheet, column, content; numbers of the later releases as 80-bit reals.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

namespace varnoke::test {

enum class LotusRelease { Two, Three, Four };

class LotusSheet {
public:
    explicit LotusSheet(LotusRelease release) : release_(release) {
        if (release == LotusRelease::Two)
            record(0x00, u16(0x0406));
        else
            record(0x00,
                   u16(release == LotusRelease::Three ? 0x1000 : 0x1003) + std::string(24, '\0'));
    }

    // A label, with the prefix that aligns it on the left.
    void label(unsigned row, unsigned column, const std::string& text) {
        record(twoOr(0x0F, 0x16), cell(row, column) + "'" + text + '\0');
    }
    // A number; Release 2 keeps its display format in the cell (0xFF: the sheet's).
    void number(unsigned row, unsigned column, double value, std::uint8_t format = 0xFF) {
        if (two())
            record(0x0E, cell(row, column, format) + ieee(value));
        else
            record(0x17, cell(row, column) + extended(value));
    }
    // A whole number in the short form each release has for it.
    void integer(unsigned row, unsigned column, std::int16_t value) {
        if (two())
            record(0x0D, cell(row, column) + u16(static_cast<std::uint16_t>(value)));
        else
            record(0x18, cell(row, column) + u16(static_cast<std::uint16_t>(value * 2)));
    }
    // A formula of one number constant, with the result the file saved for it.
    void formula(unsigned row, unsigned column, double saved) {
        if (two()) {
            const std::string code = '\x00' + ieee(saved) + '\x03';
            record(0x10, cell(row, column) + ieee(saved) + u16(code.size()) + code);
        } else {
            record(0x19, cell(row, column) + extended(saved) + '\x03');
        }
    }
    // Release 2: the sheet's active range, from A1 to the given cell.
    void range(unsigned lastColumn, unsigned lastRow) {
        record(0x06, u16(0) + u16(0) + u16(lastColumn) + u16(lastRow));
    }
    void record(std::uint16_t type, const std::string& data) {
        out_ += u16(type) + u16(data.size()) + data;
    }
    // The file, ended by its end-of-file record.
    std::string bytes() const { return out_ + u16(0x01) + u16(0); }

    static std::string u16(std::size_t v) {
        return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
    }

private:
    bool two() const { return release_ == LotusRelease::Two; }
    std::uint16_t twoOr(std::uint16_t releaseTwo, std::uint16_t later) const {
        return two() ? releaseTwo : later;
    }
    std::string cell(unsigned row, unsigned column, std::uint8_t format = 0xFF) const {
        if (two()) return static_cast<char>(format) + u16(column) + u16(row);
        return u16(row) + '\0' + static_cast<char>(column);
    }
    static std::string le64(std::uint64_t v) {
        std::string out;
        for (int i = 0; i < 8; ++i)
            out += static_cast<char>(v >> (8 * i) & 0xFF);
        return out;
    }
    static std::string ieee(double v) { return le64(std::bit_cast<std::uint64_t>(v)); }
    // The 80-bit real: a 64-bit mantissa with its leading bit, a 15-bit exponent.
    static std::string extended(double v) {
        if (std::isnan(v)) return le64(0xC000000000000000) + u16(0x7FFF); // an error value
        if (v == 0) return std::string(10, '\0');
        int exponent = 0;
        const double fraction = std::frexp(std::fabs(v), &exponent); // in [0.5, 1)
        const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
        const unsigned word = static_cast<unsigned>(exponent - 1 + 16383) | (v < 0 ? 0x8000 : 0);
        return le64(mantissa) + u16(word);
    }

    LotusRelease release_;
    std::string out_;
};

} // namespace varnoke::test
