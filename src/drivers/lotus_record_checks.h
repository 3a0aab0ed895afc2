#pragma once
// What a 1-2-3 record walk may meet in a sound file. A length that was damaged shifts
// the walk onto bytes that only look like records; these checks hold every record to
// what the writers of the sound sheets at hand write, so that such a walk is refused
// instead of ending early, or passing over cells, in silence.
#include "drivers/reader_support.h"

#include <cstdint>
#include <string_view>

namespace varnoke::drivers {

// Why a record before the end-of-file record cannot be a sound file's, or an empty
// text. first: it is the file's first record.
std::string_view lotusRecordFault(bool releaseTwo, std::uint16_t type, ByteSpan data, bool first);

// Whether the bytes after the end-of-file record are what sound files hold there:
// nothing, padding, or a part the later releases append (the format part of a
// Release 4 file, the records of 1-2-3 97 and later); Release 1A files may carry the
// program's graph settings.
bool lotusTrailerSound(std::uint16_t version, ByteSpan trailer);

} // namespace varnoke::drivers
