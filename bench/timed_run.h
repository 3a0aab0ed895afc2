#pragma once
// One command of a benchmark under /usr/bin/time, and the median of the runs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace bench {

struct Run {
    double seconds = 0;
    double megabytes = 0;
    std::string said; // the command's first line of output
};

// One command under /usr/bin/time; its elapsed time and peak memory.
inline Run timed(const std::string& command) {
    // Named by process, so that benchmarks run side by side keep their reports apart.
    const auto tmp = std::filesystem::temp_directory_path();
    const std::string pid = std::to_string(::getpid());
    const auto report = tmp / ("bench_time_" + pid + ".txt");
    const auto output = tmp / ("bench_output_" + pid + ".txt");
    const std::string line = "/usr/bin/time -f '%e %M' -o " + report.string() + " " + command +
                             " >" + output.string() + " 2>/dev/null";
    if (std::system(line.c_str()) != 0) std::cerr << "failed: " << command << "\n";
    std::ifstream in(report);
    Run run;
    std::ifstream said(output);
    std::getline(said, run.said);
    double kilobytes = 0;
    in >> run.seconds >> kilobytes;
    run.megabytes = kilobytes / 1024;
    return run;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Our command and another that does the same work, run in turn, pair after pair (tidy
// runs before each); prints the medians of their times, of the ratios and of their peak
// memory under the label.
inline void comparePairs(
    const std::string& label, const std::string& ourCommand, const std::string& theirName,
    const std::string& theirCommand, int pairs, const std::function<void()>& tidy = [] {}) {
    std::vector<double> ours, theirs, ourMemory, theirMemory, ratios;
    std::string said;
    for (int p = 0; p < pairs; ++p) {
        tidy();
        const Run a = timed(ourCommand);
        tidy();
        const Run b = timed(theirCommand);
        said = a.said;
        ours.push_back(a.seconds);
        theirs.push_back(b.seconds);
        ourMemory.push_back(a.megabytes);
        theirMemory.push_back(b.megabytes);
        ratios.push_back(b.seconds > 0 ? a.seconds / b.seconds : 0);
    }
    tidy();
    std::printf("%s (%s): link %.2f s, %s %.2f s, ratio %.2f (pairs %.2f-%.2f); "
                "peak memory %.0f MB against %.0f MB\n",
                label.c_str(), said.c_str(), median(ours), theirName.c_str(), median(theirs),
                median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()), median(ourMemory),
                median(theirMemory));
}

// The link and ssconvert to CSV of one file.
inline void compareWithSsconvert(const std::string& linkCommand, const std::filesystem::path& file,
                                 int pairs) {
    char size[32];
    std::snprintf(size, sizeof size, "%.1f MB",
                  static_cast<double>(std::filesystem::file_size(file)) / 1e6);
    comparePairs(file.filename().string() + ", " + size, linkCommand, "ssconvert",
                 "ssconvert " + file.string() + " " + file.string() + ".csv", pairs);
}

} // namespace bench
