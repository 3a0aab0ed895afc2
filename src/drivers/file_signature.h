#pragma once
// Whether a file begins as the files of a data type begin. A link that failed tells the
// user to pick a file of a listed type only when the file is not of the type chosen; a
// file of that type that cannot be read is told of by its reader's own message alone.
#include "drivers/reader_support.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace varnoke {

enum class TypeMatch {
    Matches, // the file begins as the type's files do
    Differs, // it does not: it is some other kind of file
    Unknown, // the file cannot be read, or any file may be of the type (text, pages)
};

// connect is the link's connect string ("dBase IV;DATABASE=..."); only its prefix counts.
// The data types' table (registry.cpp) tells how each type's files begin. A file that is no
// text differs from the types that read text (CSV, pages).
TypeMatch fileMatchesType(std::string_view connect, const std::filesystem::path& file);

// The data type whose files begin as file does, by the name the File Type box knows it
// ("dBase IV", "Excel 8.0", "Jet table"); nothing where the file begins as no type's files
// do, or cannot be read.
std::optional<std::string_view> typeBySignature(const std::filesystem::path& file);

namespace drivers {

// How the files of a type begin, given at least their first 128 bytes where they have
// them.
using Signature = bool (*)(ByteSpan head);

bool isDbfTable(ByteSpan head);
bool isLotusWorksheet(ByteSpan head);
bool isJetDatabase(ByteSpan head);

// Whether the bytes begin as no text does: a control character that text never holds.
bool isBinaryHead(ByteSpan head);

// Whether the file's first bytes match; Unknown when it cannot be read.
TypeMatch headMatches(Signature signature, const std::filesystem::path& file);

} // namespace drivers

} // namespace varnoke
