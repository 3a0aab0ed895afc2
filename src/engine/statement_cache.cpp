#include "engine/statement_cache.h"

#include <algorithm>

namespace varnoke::detail {

void StatementCache::forgetIfStale(std::uint64_t schemaVersion) {
    if (schemaVersion == schemaVersion_) return;
    entries_.clear();
    schemaVersion_ = schemaVersion;
}

const KeptStatement* StatementCache::find(const std::string& key, std::uint64_t schemaVersion) {
    forgetIfStale(schemaVersion);
    auto it = entries_.find(key);
    if (it == entries_.end()) return nullptr;
    it->second.lastUse = ++clock_;
    return &it->second.kept;
}

void StatementCache::keep(std::string key, KeptStatement kept, std::uint64_t schemaVersion) {
    forgetIfStale(schemaVersion);
    if (entries_.size() >= kCapacity && !entries_.contains(key)) {
        // Only when full, so the scan costs nothing on the path of a kept statement.
        auto oldest =
            std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            });
        entries_.erase(oldest);
    }
    entries_.insert_or_assign(std::move(key), Entry{std::move(kept), ++clock_});
}

} // namespace varnoke::detail
