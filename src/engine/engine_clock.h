#pragma once
// The monotonic clock the engine times its commits and its waits for a busy file by.
// A test sets one it moves by hand, so what it checks holds however loaded the machine.
#include <chrono>
#include <functional>
#include <thread>

namespace varnoke {

struct EngineClock {
    using TimePoint = std::chrono::steady_clock::time_point;
    std::function<TimePoint()> now = [] { return std::chrono::steady_clock::now(); };
    // Lets time pass while another program holds the file.
    std::function<void(std::chrono::milliseconds)> sleep = [](std::chrono::milliseconds d) {
        std::this_thread::sleep_for(d);
    };
};

} // namespace varnoke
