#pragma once
// The sound 1-2-3 sheets of the corpus: every sheet that has an expected table, read
// once by an independent reader, in the folders of tests/data that hold them.
#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace varnoke::test {

inline const std::filesystem::path kLotusData = VARNOKE_TEST_DATA;
inline constexpr std::array kLotusFolders{"lotus", "lotus-public", "lotus-made"};

struct LotusCorpusSheet {
    std::string folder; // in tests/data
    std::string file;
};

inline void PrintTo(const LotusCorpusSheet& s, std::ostream* out) {
    *out << s.folder << "/" << s.file;
}

// The sheets of the given folders (the 1-2-3 ones unless told otherwise).
template <std::size_t N = kLotusFolders.size()>
std::vector<LotusCorpusSheet>
lotusCorpusSheets(const std::array<const char*, N>& folders = kLotusFolders) {
    std::vector<LotusCorpusSheet> found;
    for (const char* folder : folders)
        for (const auto& csv :
             std::filesystem::directory_iterator(kLotusData / folder / "expected"))
            // A folder shared with the workbook corpus keeps that corpus's tables in
            // folders of their own.
            if (csv.is_regular_file() && csv.path().extension() == ".csv")
                found.push_back({folder, csv.path().stem().string()});
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::tie(a.folder, a.file) < std::tie(b.folder, b.file);
    });
    return found;
}

// A test's name for the sheet: its folder and file, letters and digits only.
inline std::string lotusCaseName(const LotusCorpusSheet& s) {
    std::string name = s.folder + "_" + s.file;
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

} // namespace varnoke::test
