#pragma once
// dBase III/IV/V and FoxPro 2.x/3.0 tables (.dbf) with their memo files (.dbt/.fpt),
// read from memory so the same code serves files and fuzzing.
#include "drivers/reader_support.h"

#include <functional>
#include <optional>
#include <string>

namespace varnoke::drivers {

struct DbfImage {
    ByteSpan table;
    std::optional<ByteSpan> memo; // none when the table has no memo file beside it
    std::string_view fileName;    // for messages
    std::string_view memoFileName;
    // Called now and then as the records are walked, so that mapped files can give
    // back the pages read so far.
    std::function<void()> release;
    // The text of the .cpg file beside the table, which names its code page.
    std::optional<std::string> codePageLabel;
};

// Sends the table's fields and its records that are not marked deleted. Raises 3274
// for a damaged or cut-short file, naming the file (and the record and field where one
// value cannot be read), 3051 for one protected by a password.
void readDbfImage(const DbfImage& image, ForeignTableSink& sink);

// Whether a file's first byte is the version byte of a dBase or FoxPro table.
bool isDbfVersion(std::uint8_t version);

// Whether the table's version byte says its memos are FoxPro's (.fpt) rather than dBase's.
bool dbfUsesFptMemo(ByteSpan table);

// The tables a FoxPro database container lists, with the file each is stored in (as
// the container gives it; may be relative to the container's folder).
struct DbcTable {
    std::string name;
    std::string path;
};
std::vector<DbcTable> readDbcImage(const DbfImage& image);

} // namespace varnoke::drivers
