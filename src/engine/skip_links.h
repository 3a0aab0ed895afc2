#pragma once
// Positions a walk passes over for good, linked past: once a walk has met one, later
// walks jump the whole stretch of them at once. A key index walks its candidates so,
// and the slots that left the row set cost nothing after their first meeting, however
// often the same key is asked for.
//
// Invariant: links_ is empty, or holds one entry per position and one past the last;
// links_[p] == p while p is not known to be passed over, and otherwise every position
// in [p, links_[p]) is passed over for good (the caller's promise: what it once says
// is passed over it never wants again).
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

namespace varnoke::detail {

class SkipLinks {
public:
    // `size` positions, fewer than UINT32_MAX.
    explicit SkipLinks(std::size_t size) : size_(size) { assert(size < UINT32_MAX); }

    // The first position in [from, end) that `passedOver(p)` does not pass over; `end`
    // when there is none. Asks only about positions no walk has passed over yet.
    template <typename PassedOver>
    std::size_t firstKept(std::size_t from, std::size_t end, PassedOver passedOver) {
        assert(from <= end && end <= size_);
        std::size_t p = from;
        while (p < end) {
            std::size_t next = links_.empty() ? p : links_[p];
            if (next == p) {
                if (!passedOver(p)) break;
                if (links_.empty()) start();
                next = links_[p] = static_cast<std::uint32_t>(p + 1);
            }
            p = next;
            ++steps_;
        }
        // Every position the walk met before p is passed over: each links to p now, so
        // the next walk from any of them takes one step.
        for (std::size_t q = from; q < p;)
            q = std::exchange(links_[q], static_cast<std::uint32_t>(p));
        return p < end ? p : end;
    }

    // The links all walks followed: with the links made short as they go, near one per
    // position passed over plus a few per walk, however often a stretch is walked.
    std::uint64_t steps() const { return steps_; }

private:
    void start() {
        links_.resize(size_ + 1);
        std::iota(links_.begin(), links_.end(), std::uint32_t{0});
    }

    std::size_t size_;
    std::vector<std::uint32_t> links_; // made when a position is first passed over
    std::uint64_t steps_ = 0;
};

} // namespace varnoke::detail
