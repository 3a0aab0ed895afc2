#include "drivers/steady_file.h"

#include "drivers/reader_support.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace varnoke::drivers {

namespace {

[[noreturn]] void cannotRead(const std::string& file) {
    throw EngineError(err::CannotOpen, "Varnoke cannot read the file '" + file + "'.");
}

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

SteadyFile::SteadyFile(const std::filesystem::path& path) : path_(path), name_(fileNameOf(path)) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw EngineError(err::CannotOpen, "Varnoke cannot open the file '" + path.string() +
                                               "'. It may be in use or you may lack permission.");
    if (::fstat(fd_, &noted_) != 0 || !S_ISREG(noted_.st_mode)) {
        ::close(fd_);
        cannotRead(path.string());
    }
}

SteadyFile::~SteadyFile() {
    ::close(fd_);
}

void SteadyFile::startPass() {
    check();
    if (::lseek(fd_, 0, SEEK_SET) != 0) cannotRead(name_);
    passBytes_ = 0;
}

std::size_t SteadyFile::read(char* into, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd_, into + got, size - got);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            cannotRead(name_);
        }
        got += static_cast<std::size_t>(n);
    }
    passBytes_ += got;
    if (passBytes_ > static_cast<std::uint64_t>(noted_.st_size))
        throwChangedWhileRead(name_, "it grew");
    return got;
}

void SteadyFile::endPass() const {
    check();
    // The size may be back to what it was after a cut; the bytes read still tell.
    if (passBytes_ != static_cast<std::uint64_t>(noted_.st_size))
        throwChangedWhileRead(name_, "it was cut short");
}

// The path is looked at first: a save that puts a new file in place of the old one
// also changes the old one's change time, and the user must learn of the new file.
void SteadyFile::check() const {
    struct stat now {};
    if (::stat(path_.c_str(), &now) != 0) throwChangedWhileRead(name_, "it was removed");
    if (now.st_dev != noted_.st_dev || now.st_ino != noted_.st_ino)
        throwChangedWhileRead(name_, "another file took its place");
    if (::fstat(fd_, &now) != 0) cannotRead(name_);
    if (now.st_size < noted_.st_size) throwChangedWhileRead(name_, "it was cut short");
    if (now.st_size > noted_.st_size) throwChangedWhileRead(name_, "it grew");
    // Any write, even one that leaves the size alone, moves the change time; a save
    // that sets the modification time back still moves it.
    if (!sameTime(now.st_mtim, noted_.st_mtim) || !sameTime(now.st_ctim, noted_.st_ctim))
        throwChangedWhileRead(name_, "it was written again");
}

} // namespace varnoke::drivers
