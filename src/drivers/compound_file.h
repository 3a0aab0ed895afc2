#pragma once
// Compound files, the container of Excel 5.0-8.0 workbooks: a small file system of
// sectors chained through an allocation table, with small streams packed into a
// mini stream of 64-byte sectors.
#include "drivers/reader_support.h"

#include <optional>

namespace varnoke::drivers {

// Whether the bytes begin with a compound file's signature.
bool isCompoundFile(ByteSpan file);

// The first stream of the root storage named by one of `names` (without regard to
// case), tried in the order given; nullopt when the file holds none of them. Raises
// 3274 for a file that is not a compound file or whose tables are damaged or cut short.
std::optional<Bytes> readCompoundStream(ByteSpan file, std::string_view fileName,
                                        std::initializer_list<std::string_view> names);

} // namespace varnoke::drivers
