#pragma once
// A file read from its start to its end in passes, through one descriptor, and held to
// be the file it was when it was opened: the same file (at its path, where that still
// names one), of the same size and modification time, giving exactly that size in bytes
// each pass and the same bytes as the first pass. The bytes of a file another program
// saves during a read can be half old and half new with nothing in them to show it; a
// difference in any of these ends the read in the error the mapped readers raise for a
// file cut short under them. A change of the file's metadata alone (its mode, its
// links, its access time, the name of its folder) is no change of the file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace varnoke::drivers {

class SteadyFile {
public:
    // Opens the file and notes what it is. Raises 3051 when it cannot be opened or is no
    // regular file.
    explicit SteadyFile(const std::filesystem::path& path);
    ~SteadyFile();
    SteadyFile(const SteadyFile&) = delete;
    SteadyFile& operator=(const SteadyFile&) = delete;

    // Up to `size` bytes from the file's start, read without moving the passes' place.
    std::string head(std::size_t size = 1024) const;
    // Back to the start for a pass, once the file is checked to be as noted.
    void startPass();
    // Up to `size` bytes, fewer only at the end; 0 there. Raises 3274 as soon as a pass
    // reads past the noted size, so a file that grows is never read for long.
    std::size_t read(char* into, std::size_t size);
    // Raises 3274 unless the pass read exactly the noted size, the same bytes as the first
    // pass, and the file is as noted.
    void endPass();
    // Raises 3274 when the file at the path, or the one open, differs from what was
    // noted at the opening.
    void check() const;

private:
    std::filesystem::path path_;
    std::string name_;
    int fd_ = -1;
    struct stat noted_ {};
    std::uint64_t passBytes_ = 0;
    std::uint64_t passDigest_ = 0;
    std::optional<std::uint64_t> firstDigest_; // of the first pass's bytes
    // A whole word of the digest waits for the bytes of the next read.
    std::uint64_t word_ = 0;
    unsigned wordBytes_ = 0;
    void digest(const char* bytes, std::size_t size);
};

} // namespace varnoke::drivers
