#pragma once
// Whole files as byte strings, for tests that damage copies of real files.
#include <fstream>
#include <iterator>
#include <string>

namespace varnoke::test {

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace varnoke::test
