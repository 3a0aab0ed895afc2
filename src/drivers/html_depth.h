#pragma once
// How deep the elements of an HTML page nest, found by a quick look at its tags before
// the page is parsed: a page nested thousands deep would take the parser minutes and
// gigabytes, so it is refused first.
#include <cstddef>
#include <string_view>

namespace varnoke::drivers {

// The deepest nesting of elements, counted as a browser would close them (an end tag
// closes what was opened inside its element; a new cell, row, list item or paragraph
// closes the one before; void elements hold nothing). Stops counting past limit, so
// the result is at most limit + 1.
std::size_t htmlNestingDepth(std::string_view html, std::size_t limit);

} // namespace varnoke::drivers
