#pragma once
// A fresh directory for one test, removed with everything in it at the end; and a copy
// of the built working database inside it, so no test touches the shipped file.
#include <filesystem>
#include <string>

namespace varnoke::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Copies the built working database here as "varnoker.mdb"; returns its path.
    std::string copyWorkDb(const std::string& name = "varnoker.mdb") const;
    // Writes a text file here; returns its path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

// Absolute path of a file in tests/data.
std::string testData(const std::string& name);

} // namespace varnoke::test
