#pragma once
// A database file another program holds, and the clock the engine waits for it by.
//
// An engine clock that moves only when the test moves it, or by the engine's own waits
// for a file another program holds; the files the engine opens while it lives time by
// it. Declare it before the databases it times, so that it outlives them.
#include "engine/database.h"

#include <sqlite3.h>

#include <chrono>
#include <functional>

namespace varnoke::test {

class ManualEngineClock {
public:
    ManualEngineClock() { Engine::instance().setClock(clock()); }
    ~ManualEngineClock() { Engine::instance().setClock({}); }
    ManualEngineClock(const ManualEngineClock&) = delete;
    ManualEngineClock& operator=(const ManualEngineClock&) = delete;

    EngineClock clock() {
        return {[this] { return now_; },
                [this](std::chrono::milliseconds d) {
                    now_ += d;
                    ++waits_;
                    if (onWait) onWait();
                }};
    }
    void advance(std::chrono::steady_clock::duration d) { now_ += d; }
    // How often the engine waited for a busy file.
    int waits() const { return waits_; }
    // Runs at each of those waits.
    std::function<void()> onWait;

private:
    EngineClock::TimePoint now_{};
    int waits_ = 0;
};

// Another program's hold on a database file, through a connection of its own.
class FileHolder {
public:
    explicit FileHolder(const std::string& path);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    // A read in progress: others may write but not commit.
    void read();
    // A write in progress: others may neither read nor write.
    void lock();
    void release();

private:
    sqlite3* db_ = nullptr;
};

} // namespace varnoke::test
