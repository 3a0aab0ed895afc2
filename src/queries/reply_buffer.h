#pragma once
// The reply of a remote query as it arrives: never more than its cap in memory, grown
// without a second copy of what it holds, and wiped and given back when let go.
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace varnoke {

// Overwrites bytes through a volatile pointer, so the compiler keeps the stores: what
// they held (a password, a reply) is gone before the memory is let go.
void wipeBytes(char* bytes, std::size_t size);

class ReplyBuffer {
public:
    explicit ReplyBuffer(std::size_t cap) : cap_(cap) {}
    ReplyBuffer(const ReplyBuffer&) = delete;
    ReplyBuffer& operator=(const ReplyBuffer&) = delete;
    ~ReplyBuffer() { release(); }

    // Adds bytes; false, with nothing added, when they would take the reply past its cap.
    bool append(std::string_view bytes);
    std::string_view text() const { return {data_.get(), size_}; }
    bool empty() const { return size_ == 0; }
    // The memory held, whatever part of it is filled.
    std::size_t capacity() const { return capacity_; }
    std::size_t cap() const { return cap_; }
    // Overwrites the bytes and gives the memory back.
    void release();

private:
    struct Free {
        void operator()(char* bytes) const { std::free(bytes); }
    };
    std::size_t cap_;
    std::unique_ptr<char, Free> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace varnoke
