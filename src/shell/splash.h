#pragma once
// The start-up splash: the product name zooms in over five seconds while "Packed...",
// "with" and "possibilities!" appear, then the splash holds for two seconds and goes.
#include "platform/services.h"

namespace varnoke {

// The splash window as the animation drives it.
class SplashView {
public:
    virtual ~SplashView() = default;
    virtual double productNameSize() const = 0; // lblProductName's font size, points
    virtual void setProductNameSize(double points) = 0;
    // Label3, Label4, Label5 by their number.
    virtual void showLabel(int number) = 0;
    // The user closed it early (a key or a click on the frame).
    virtual bool closed() const = 0;
    // From now on keys and clicks no longer close it.
    virtual void ignoreInput() = 0;
    // Frame1_Click: unloads the splash.
    virtual void unload() = 0;
};

inline constexpr double kSplashZoomSeconds = 5;
inline constexpr double kSplashPauseSeconds = 2;
inline constexpr double kSplashLargestSize = 54;

// Plays the splash for its seven seconds, then unloads it. Only during the one yield
// before the zoom can a key or a click close it; after that input is ignored until the
// end. Time comes from clock; the zoom advances by elapsed time, not by loop passes, so
// it looks the same on any machine, and the clock's sleeps keep the window painting.
void playSplash(SplashView& view, Clock& clock, EventPump& events);

} // namespace varnoke
