#include "engine/live_index.h"

namespace varnoke::detail {

void LiveIndex::reset(std::size_t n) {
    size_ = n;
    count_ = static_cast<long>(n);
    tree_.assign(n + 1, 0);
    for (std::size_t i = 1; i <= n; ++i) {
        tree_[i] += 1;
        const std::size_t parent = i + (i & (~i + 1));
        if (parent <= n) tree_[parent] += tree_[i];
    }
}

void LiveIndex::push() {
    ++size_;
    tree_.push_back(0);
    // The new node covers (size_ - lowbit, size_]; sum the children it covers.
    const std::size_t i = size_;
    long sum = 1;
    const std::size_t low = i & (~i + 1);
    for (std::size_t j = 1; j < low; j <<= 1)
        sum += tree_[i - j];
    tree_[i] = sum;
    ++count_;
}

void LiveIndex::kill(std::size_t slot) {
    add(slot, -1);
}

void LiveIndex::revive(std::size_t slot) {
    add(slot, 1);
}

void LiveIndex::add(std::size_t slot, long delta) {
    for (std::size_t i = slot + 1; i <= size_; i += i & (~i + 1))
        tree_[i] += delta;
    count_ += delta;
}

long LiveIndex::before(std::size_t slot) const {
    long sum = 0;
    for (std::size_t i = slot; i > 0; i -= i & (~i + 1))
        sum += tree_[i];
    return sum;
}

std::size_t LiveIndex::kth(long k) const {
    std::size_t pos = 0;
    std::size_t step = 1;
    while (step * 2 <= size_)
        step *= 2;
    for (; step > 0; step /= 2) {
        if (pos + step <= size_ && tree_[pos + step] <= k) {
            pos += step;
            k -= tree_[pos];
        }
    }
    return pos; // 0-based slot
}

} // namespace varnoke::detail
