#pragma once
// One command of a benchmark under /usr/bin/time, and the median of the runs.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

} // namespace bench
