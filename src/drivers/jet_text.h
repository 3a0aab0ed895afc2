#pragma once
// Text as Jet keeps it: Jet 4 in UTF-16, whole or in its compressed form, Jet 3 in the
// file's code page.
#include "drivers/reader_support.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace varnoke::drivers::jet {

// A Jet 4 text or memo value as UTF-8. Behind the mark FF FE, runs of one byte a
// character (U+0000 to U+00FF) take turns with runs of UTF-16 units, each 00 byte ending
// a run; without it the value is UTF-16 throughout. Surrogate pairs give one character,
// a lone surrogate U+FFFD. Absent where the bytes cannot be UTF-16: an odd count of them,
// or a run of units that ends in half of one. Jet writes neither.
std::optional<std::string> jet4Text(std::span<const std::uint8_t> bytes);

} // namespace varnoke::drivers::jet
