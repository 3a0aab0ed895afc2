#pragma once
// Which slots of a row set are alive.
#include <cstddef>
#include <vector>

namespace varnoke::detail {

// Counts live rows before a slot and finds the slot of the k-th live row, both in
// O(log n), so positions stay cheap while rows leave a large row set.
class LiveIndex {
public:
    void reset(std::size_t n);
    void push(); // a new live slot at the end
    void kill(std::size_t slot);
    void revive(std::size_t slot);       // a killed slot lives again
    long before(std::size_t slot) const; // live slots in [0, slot)
    std::size_t kth(long k) const;       // slot of the k-th (0-based) live slot
    long count() const { return count_; }

private:
    void add(std::size_t slot, long delta);

    std::vector<long> tree_; // 1-based Fenwick tree
    std::size_t size_ = 0;
    long count_ = 0;
};

} // namespace varnoke::detail
