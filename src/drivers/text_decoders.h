#pragma once
// Bytes of a page's encoding to UTF-8 as browsers decode them: the Encoding Standard's
// decoders over its own index tables. A byte sequence no character has gives one
// U+FFFD, and a byte below 0x80 is never taken into such a sequence, so a '<' or a
// line end after a broken character still stands.
#include <string>
#include <string_view>

namespace varnoke::drivers {

// Whether decodeText reads encoding (a name the label table gives, lower case).
bool decodesEncoding(std::string_view encoding);

// Appends bytes, in encoding, to out as UTF-8. An encoding it does not read is read as
// windows-1252.
void decodeText(std::string_view encoding, std::string_view bytes, std::string& out);

} // namespace varnoke::drivers
