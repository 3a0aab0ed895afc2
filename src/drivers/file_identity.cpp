#include "drivers/file_identity.h"

#include "drivers/reader_support.h"

#include <cerrno>

namespace varnoke::drivers {

namespace {

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

[[noreturn]] void cannotRead(std::string_view name) {
    throw EngineError(err::CannotOpen, "Varnoke cannot read the file '" + std::string(name) + "'.");
}

} // namespace

// The path is looked at first: a save that puts a new file in place of the old one
// changes nothing of the old one, and the user must learn of the new file. A path that
// names nothing any more, while the file open still has a name, was moved with its folder
// (or renamed): the bytes are still the file's.
void checkSameFile(const std::filesystem::path& path, int fd, const struct stat& noted,
                   std::string_view name) {
    struct stat now {};
    if (::stat(path.c_str(), &now) == 0) {
        if (now.st_dev != noted.st_dev || now.st_ino != noted.st_ino)
            throwChangedWhileRead(name, "another file took its place");
    } else if (errno != ENOENT && errno != ENOTDIR) {
        cannotRead(name);
    }
    if (::fstat(fd, &now) != 0) cannotRead(name);
    if (now.st_nlink == 0) throwChangedWhileRead(name, "it was removed");
    if (now.st_size < noted.st_size) throwChangedWhileRead(name, "it was cut short");
    if (now.st_size > noted.st_size) throwChangedWhileRead(name, "it grew");
    // Any write moves the modification time. The change time moves with metadata too
    // (a mode, a link, the access time), so it decides nothing.
    if (!sameTime(now.st_mtim, noted.st_mtim)) throwChangedWhileRead(name, "it was written again");
}

} // namespace varnoke::drivers
