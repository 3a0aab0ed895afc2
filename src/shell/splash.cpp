#include "shell/splash.h"

#include <algorithm>

namespace varnoke {

namespace {

// Growth steps of the zoom per second: the name reaches its full size after about
// three seconds and then holds.
constexpr double kStepsPerSecond = 1200;
constexpr double kFrameSeconds = 0.02;

} // namespace

void playSplash(SplashView& view, Clock& clock, EventPump& events) {
    events.yieldToEvents();
    view.ignoreInput();
    double scale = 1;
    long stepsDone = 0;
    double start = clock.seconds();
    while (clock.seconds() < start + kSplashZoomSeconds) {
        const double elapsed = clock.seconds() - start;
        const long stepsDue = static_cast<long>(elapsed * kStepsPerSecond);
        // Each step reads the size back, so the name stops at the first size that
        // reaches the largest one.
        for (; stepsDone < stepsDue && view.productNameSize() < kSplashLargestSize; ++stepsDone) {
            view.setProductNameSize(scale * 0.3);
            scale += 0.05;
        }
        if (elapsed > 1) view.showLabel(3);
        if (elapsed > 2) view.showLabel(4);
        if (elapsed > 2.3) view.showLabel(5);
        clock.sleep(std::min(kFrameSeconds, start + kSplashZoomSeconds - clock.seconds()));
    }
    view.showLabel(5);
    start = clock.seconds();
    while (clock.seconds() < start + kSplashPauseSeconds)
        clock.sleep(std::min(kFrameSeconds, start + kSplashPauseSeconds - clock.seconds()));
    if (!view.closed()) view.unload();
}

} // namespace varnoke
