#pragma once
// Text as a message can show it. A name or value taken from a file may hold control
// characters and bytes that are no character (a binary file read as text); a message
// box would show them as nothing, or cut its line there.
#include <cstddef>
#include <string>
#include <string_view>

namespace varnoke {

// text with every control character (line ends and tabs too unless keepLines) and every
// byte that begins no UTF-8 character written as \xNN, and the controls above 0x7F as
// \u00NN. Past limit characters (an escape counts its own length) the text is cut short
// with an ellipsis, never inside an escape or a character.
std::string printable(std::string_view text, std::size_t limit = std::string_view::npos,
                      bool keepLines = false);

} // namespace varnoke
