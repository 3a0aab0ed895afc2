#pragma once
// Reading through a library we do not control, in a child process: a damaged file can
// make such a library loop, eat memory or crash, and none of that may reach the
// program. The child reads with a memory limit, its output silenced, and sends the
// table back through a pipe; past the time limit it is killed.
#include "drivers/foreign_reader.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string_view>

namespace varnoke::drivers {

struct ChildLimits {
    // Processor time the child may spend between two pieces of the table (time it
    // waits for a processor, and time the receiving sink spends storing, do not count).
    std::chrono::milliseconds time;
    // Memory the child may take beyond what it started with.
    std::size_t memory;
    // Time the whole read may take, storing included, and the child's processor time.
    std::chrono::milliseconds total{std::chrono::minutes(1)};
    // Rows the table may have: a library that repeats rows for good is stopped.
    std::size_t rows = 1'000'000;
};

// Limits that grow with the file's size: a larger file may take longer and more. A
// library that keeps every cell of a worksheet until it has read the last one needs
// room and time by the cell, however few bytes a cell takes in the file: cells counts
// them (or bounds them from above), and 0 leaves the limits to the size alone.
ChildLimits limitsForFile(std::size_t fileSize, std::size_t cells = 0);

// Runs read in a child process and sends what it sends to sink. An EngineError the
// child raises is raised here with its number and text; running out of time or
// memory, sending more rows than allowed or a damaged message, or the child's crash,
// raises 3274 naming fileName and which limit ended it. An error sink raises ends the
// child, and so does the end of this process. The child holds none of this process's
// descriptors but the ones in keep (a file the read walks).
void readInChild(std::string_view fileName, const ChildLimits& limits,
                 const std::function<void(ForeignTableSink&)>& read, ForeignTableSink& sink,
                 std::initializer_list<int> keep = {});

} // namespace varnoke::drivers
