// The program's clock at midnight. The test moves the time of day this process sees to
// two seconds before midnight by standing in for the C library's wall-clock readings
// (Qt's time of day comes from them); the steady clock is left alone.
#include "platform/qt/qt_platform.h"
#include "shell/splash.h"

#include <QDateTime>
#include <atomic>
#include <chrono>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/time.h>
#include <time.h>

namespace {

// Nanoseconds added to every wall-clock reading; 0 outside the test that sets it.
std::atomic<long long> wallShiftNs{0};

int realClockGettime(clockid_t id, timespec* ts) {
    using Fn = int (*)(clockid_t, timespec*);
    static const Fn real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "clock_gettime"));
    return real(id, ts);
}

void shift(timespec& ts) {
    const long long ns = ts.tv_sec * 1'000'000'000LL + ts.tv_nsec + wallShiftNs.load();
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000LL);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000LL);
}

} // namespace

extern "C" int clock_gettime(clockid_t id, timespec* ts) noexcept {
    const int rc = realClockGettime(id, ts);
    if (rc == 0 && (id == CLOCK_REALTIME || id == CLOCK_REALTIME_COARSE)) shift(*ts);
    return rc;
}

extern "C" int gettimeofday(timeval* tv, void*) noexcept {
    timespec ts{};
    const int rc = clock_gettime(CLOCK_REALTIME, &ts);
    *tv = {ts.tv_sec, static_cast<suseconds_t>(ts.tv_nsec / 1000)};
    return rc;
}

extern "C" time_t time(time_t* out) noexcept {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    if (out) *out = ts.tv_sec;
    return ts.tv_sec;
}

using namespace varnoke;

namespace {

// Sets the time of day this process sees for as long as it lives.
class TimeOfDay {
public:
    explicit TimeOfDay(QTime at) {
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime target(now.date(), at);
        wallShiftNs = (target.toMSecsSinceEpoch() - now.toMSecsSinceEpoch()) * 1'000'000LL;
    }
    ~TimeOfDay() { wallShiftNs = 0; }
    TimeOfDay(const TimeOfDay&) = delete;
    TimeOfDay& operator=(const TimeOfDay&) = delete;
};

// Ends a wait that would never end with an exception instead of a hung test.
class BoundedClock : public Clock {
public:
    BoundedClock(Clock& inner, std::chrono::seconds bound)
        : inner_(inner), deadline_(std::chrono::steady_clock::now() + bound) {}
    double seconds() override {
        if (std::chrono::steady_clock::now() > deadline_)
            throw std::runtime_error("still waiting long past the wait's end");
        return inner_.seconds();
    }
    void sleep(double seconds) override { inner_.sleep(seconds); }

private:
    Clock& inner_;
    std::chrono::steady_clock::time_point deadline_;
};

class PlainSplash : public SplashView {
public:
    double size = 2.4;
    bool unloaded = false;
    double productNameSize() const override { return size; }
    void setProductNameSize(double points) override { size = points; }
    void showLabel(int) override {}
    bool closed() const override { return unloaded; }
    void ignoreInput() override {}
    void unload() override { unloaded = true; }
};

TEST(QtClockAtMidnight, ASplashStartedTwoSecondsBeforeMidnightEndsAfterItsSevenSeconds) {
    TimeOfDay late(QTime(23, 59, 58));
    ASSERT_GE(QTime::currentTime(), QTime(23, 59, 57)) << "the time of day was not moved";
    QtClock qtClock;
    BoundedClock clock(qtClock, std::chrono::seconds(60));
    QtEventPump events;
    PlainSplash splash;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(playSplash(splash, clock, events));
    EXPECT_TRUE(splash.unloaded);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(6900));
    EXPECT_LT(QTime::currentTime(), QTime(1, 0)) << "midnight passed during the splash";
}

} // namespace
