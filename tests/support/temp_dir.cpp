#include "support/temp_dir.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace varnoke::test {

TempDir::TempDir() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("varnoke-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::copyWorkDb(const std::string& name) const {
    const auto target = path_ / name;
    std::filesystem::copy_file(VARNOKE_WORKDB, target,
                               std::filesystem::copy_options::overwrite_existing);
    return target.string();
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const auto target = path_ / name;
    std::ofstream out(target, std::ios::binary);
    out << content;
    return target.string();
}

std::string testData(const std::string& name) {
    return std::string(VARNOKE_TEST_DATA) + "/" + name;
}

} // namespace varnoke::test
