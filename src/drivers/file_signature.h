#pragma once
// Whether a file begins as the files of a data type begin. A link that failed tells the
// user to pick a file of a listed type only when the file is not of the type chosen; a
// file of that type that cannot be read is told of by its reader's own message alone.
#include "drivers/reader_support.h"

#include <filesystem>
#include <string_view>

namespace varnoke {

enum class TypeMatch {
    Matches, // the file begins as the type's files do
    Differs, // it does not: it is some other kind of file
    Unknown, // the file cannot be read, or any file may be of the type (text, pages)
};

// connect is the link's connect string ("dBase IV;DATABASE=..."); only its prefix counts.
// The data types' table (registry.cpp) tells how each type's files begin.
TypeMatch fileMatchesType(std::string_view connect, const std::filesystem::path& file);

namespace drivers {

// How the files of a type begin, given at least their first 128 bytes where they have
// them.
using Signature = bool (*)(ByteSpan head);

bool isDbfTable(ByteSpan head);
bool isLotusWorksheet(ByteSpan head);
bool isJetDatabase(ByteSpan head);

// Whether the file's first bytes match; Unknown when it cannot be read.
TypeMatch headMatches(Signature signature, const std::filesystem::path& file);

} // namespace drivers

} // namespace varnoke
