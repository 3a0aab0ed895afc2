#pragma once
// The one way a field or table name enters a find, filter, sort or statement text:
// bracketed, with every "]" inside doubled, so no name can end its brackets early and
// add words of its own. The parser reads "]]" inside brackets back as one "]".
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace varnoke {

// "Price [USD]" -> "[Price [USD]]]".
void appendBracketName(std::string& out, std::string_view name);
std::string bracketName(std::string_view name);

// The name of the bracketed name that opens text at `at` (text[at] is "["), and in
// `end` the index past its closing bracket; nothing when the brackets never close.
std::optional<std::string> readBracketedName(std::string_view text, std::size_t at,
                                             std::size_t& end);

// The index past the bracketed name that opens text at `at`, without reading the name;
// nothing when the brackets never close.
std::optional<std::size_t> bracketedNameEnd(std::string_view text, std::size_t at);

// The text of the string that opens text at `at` (text[at] is its quote, doubled inside
// it), and in `end` the index past its closing quote; nothing when it never closes.
std::optional<std::string> readQuotedText(std::string_view text, std::size_t at, std::size_t& end);

} // namespace varnoke
