#pragma once
// The encoding of an HTML page, found as browsers find it, and its text in UTF-8.
#include "drivers/reader_support.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnoke::drivers {

// The iconv converter that reads the encoding a charset label names ("UTF-8" for a
// label of UTF-16 or UTF-8, "HZ" for HZ, which iconv does not read), or nothing for a
// label browsers do not know. Blanks around the label and letter case do not count.
std::optional<std::string_view> converterOfLabel(std::string_view label);

// The page's text in UTF-8: by its byte-order mark, else by the first meta tag outside
// comments in its first kilobyte that names a charset browsers know, else UTF-8 where
// it is valid, else Windows-1252. Returns a view of bytes when they need no
// conversion, else of converted.
std::string_view htmlPageText(ByteSpan bytes, std::string& converted);

} // namespace varnoke::drivers
