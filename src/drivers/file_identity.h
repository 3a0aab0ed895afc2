#pragma once
// What makes a file open for reading still the file it was when it was opened: the same
// file at its path (where that still names one), not removed, of the same size and
// modification time. A change of its metadata alone (its mode, its links, its access
// time, the name of its folder) is no change of the file. Shared by the readers that
// stream a file and those that map it.
#include <filesystem>
#include <string_view>

#include <sys/stat.h>

namespace varnoke::drivers {

// Raises 3274 "changed while it was being read" when the file at `path`, or the one open
// as `fd`, differs from `noted` (fstat at the opening); 3051 when it cannot be looked at.
void checkSameFile(const std::filesystem::path& path, int fd, const struct stat& noted,
                   std::string_view name);

} // namespace varnoke::drivers
