#pragma once
// The Encoding Standard's index tables, generated into encoding_indexes.cpp by
// make_encoding_indexes.py. An entry of 0 is a pointer with no code point.
#include <cstdint>
#include <span>
#include <string_view>

namespace varnoke::drivers::indexes {

// The code points of bytes 0x80-0xFF of a single-byte encoding.
struct SingleByte {
    std::string_view name; // the encoding's name, lower case
    const char16_t* codes;
};

// Where a run of GB18030's four-byte codes begins: its pointer and first code point.
struct GbRange {
    std::uint32_t pointer;
    std::uint32_t code;
};

// Sorted by name.
std::span<const SingleByte> singleByte();
std::span<const char32_t> big5();
std::span<const char16_t> eucKr();
std::span<const char16_t> gb18030();
std::span<const char16_t> jis0208();
std::span<const char16_t> jis0212();
// Sorted by pointer.
std::span<const GbRange> gb18030Ranges();

} // namespace varnoke::drivers::indexes
