#include "queries/reply_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace varnoke {

namespace {
constexpr std::size_t kFirstCapacity = std::size_t{64} << 10;
} // namespace

bool ReplyBuffer::append(std::string_view bytes) {
    if (bytes.size() > cap_ - size_) return false;
    const std::size_t needed = size_ + bytes.size();
    if (needed > capacity_) {
        // Doubling, but never past the cap. realloc rather than a new block and a copy:
        // a large block grows in place or by moving its pages, so the reply never lies
        // in memory twice.
        const std::size_t grown = std::min(cap_, std::max({needed, capacity_ * 2, kFirstCapacity}));
        char* moved = static_cast<char*>(std::realloc(data_.get(), grown));
        if (!moved) throw std::bad_alloc();
        data_.release();
        data_.reset(moved);
        capacity_ = grown;
    }
    std::memcpy(data_.get() + size_, bytes.data(), bytes.size());
    size_ = needed;
    return true;
}

void wipeBytes(char* bytes, std::size_t size) {
    volatile char* kept = bytes;
    for (std::size_t i = 0; i < size; ++i)
        kept[i] = 0;
}

void ReplyBuffer::release() {
    if (data_) wipeBytes(data_.get(), size_);
    data_.reset();
    size_ = 0;
    capacity_ = 0;
}

} // namespace varnoke
