#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

// A find's text with its text literals taken out: finds that differ only in those
// texts share a key, and so can share one parsed and rendered query.
struct FindShape {
    std::string key;
    std::vector<std::string> texts; // the literals' values, in the order written
};

// Nothing when a quote, bracket or date never closes: such text goes to the parser,
// which reports it.
std::optional<FindShape> findShape(std::string_view criteria);

} // namespace varnoke
