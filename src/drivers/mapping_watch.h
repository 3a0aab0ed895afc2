#pragma once
// A file mapped into memory can be cut short by another program while a reader walks
// it; touching a page past its new end then raises SIGBUS, which would end the whole
// program. While a MappingWatch lives, such a fault inside its range reads zeros
// instead and is noted, so the reader can end in an error of its own. Faults
// anywhere else go on to the handler that was there before.
#include <cstddef>

namespace varnoke::drivers {

class MappingWatch {
public:
    // Watches [begin, begin + length); the process-wide handler is installed the
    // first time. An empty range is not watched.
    MappingWatch(const void* begin, std::size_t length);
    ~MappingWatch();
    MappingWatch(const MappingWatch&) = delete;
    MappingWatch& operator=(const MappingWatch&) = delete;

    // Whether a page of the range lay past the file's end when it was touched.
    bool faulted() const;

private:
    std::size_t slot_;
};

} // namespace varnoke::drivers
