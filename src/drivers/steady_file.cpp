#include "drivers/steady_file.h"

#include "drivers/file_identity.h"
#include "drivers/reader_support.h"

#include <bit>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace varnoke::drivers {

namespace {

[[noreturn]] void cannotRead(const std::string& file) {
    throw EngineError(err::CannotOpen, "Varnoke cannot read the file '" + file + "'.");
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

std::string SteadyFile::head(std::size_t size) const {
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd_, bytes.data() + got, size - got, static_cast<off_t>(got));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            cannotRead(name_);
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

void SteadyFile::startPass() {
    check();
    if (::lseek(fd_, 0, SEEK_SET) != 0) cannotRead(name_);
    passBytes_ = 0;
    passDigest_ = 0xCBF29CE484222325u;
    word_ = 0;
    wordBytes_ = 0;
}

// A digest of a pass's bytes, a word at a time: each pass of a file that another
// program rewrote while keeping its size and modification time gives another.
void SteadyFile::digest(const char* bytes, std::size_t size) {
    const auto mix = [this](std::uint64_t word) {
        passDigest_ = (passDigest_ ^ word) * 0x100000001B3u;
        passDigest_ ^= passDigest_ >> 29;
    };
    std::size_t i = 0;
    // Whole words straight from the buffer where a pass's word begins on one: the same
    // words as byte by byte, however the reads cut the pass.
    if (wordBytes_ == 0)
        for (; i + 8 <= size; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes + i, 8);
            if constexpr (std::endian::native == std::endian::little)
                word = __builtin_bswap64(word);
            mix(word);
        }
    for (; i < size; ++i) {
        word_ = word_ << 8 | static_cast<unsigned char>(bytes[i]);
        if (++wordBytes_ == 8) {
            mix(word_);
            word_ = 0;
            wordBytes_ = 0;
        }
    }
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
    digest(into, got);
    if (passBytes_ > static_cast<std::uint64_t>(noted_.st_size))
        throwChangedWhileRead(name_, "it grew");
    return got;
}

void SteadyFile::endPass() {
    check();
    // The size may be back to what it was after a cut; the bytes read still tell.
    if (passBytes_ != static_cast<std::uint64_t>(noted_.st_size))
        throwChangedWhileRead(name_, "it was cut short");
    const std::uint64_t digest = passDigest_ ^ (word_ << 8 | wordBytes_);
    if (firstDigest_ && *firstDigest_ != digest)
        throwChangedWhileRead(name_, "it was written again");
    firstDigest_ = digest;
}

// A save that keeps the modification time is found by the digest of the passes' bytes.
void SteadyFile::check() const {
    checkSameFile(path_, fd_, noted_, name_);
}

} // namespace varnoke::drivers
