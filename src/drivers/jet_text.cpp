#include "drivers/jet_text.h"

namespace varnoke::drivers::jet {

std::optional<std::string> jet4Text(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
        if (bytes.size() % 2 != 0) return std::nullopt;
        return utf16leToUtf8({bytes.data(), bytes.size()});
    }
    std::vector<std::uint8_t> units;
    units.reserve(2 * bytes.size());
    bool compressed = true;
    for (std::size_t at = 2; at < bytes.size();) {
        if (bytes[at] == 0) {
            compressed = !compressed;
            ++at;
        } else if (compressed) {
            units.push_back(bytes[at++]);
            units.push_back(0);
        } else if (at + 1 < bytes.size()) {
            units.push_back(bytes[at]);
            units.push_back(bytes[at + 1]);
            at += 2;
        } else {
            return std::nullopt;
        }
    }
    return utf16leToUtf8({units.data(), units.size()});
}

} // namespace varnoke::drivers::jet
