// The splash's timing, driven by a clock the test controls.
#include "shell/splash.h"

#include "support/scripted_platform.h"

#include <gtest/gtest.h>

#include <map>

using namespace varnoke;

namespace {

class FakeSplash : public SplashView {
public:
    double size = 2.4;
    std::map<int, double> shownAt; // label number -> clock time
    bool isClosed = false;
    double closedAt = -1;
    test::ManualClock* clock = nullptr;
    double largestSet = 0;
    double firstAtLargest = -1;
    std::function<void()> onFrame;

    double productNameSize() const override { return size; }
    void setProductNameSize(double points) override {
        size = points;
        if (!ignoring) ++sizesSetWhileListening;
        largestSet = std::max(largestSet, points);
        if (points >= 54 && firstAtLargest < 0) firstAtLargest = points;
        if (onFrame) onFrame();
    }
    void showLabel(int number) override {
        if (!shownAt.count(number)) shownAt[number] = clock->now;
    }
    bool closed() const override { return isClosed; }
    bool ignoring = false;
    int sizesSetWhileListening = 0;
    void ignoreInput() override { ignoring = true; }
    void unload() override {
        isClosed = true;
        closedAt = clock->now;
    }
};

} // namespace

TEST(Splash, ZoomsShowsTheWordsOnTimeAndClosesAfterSevenSeconds) {
    test::ManualClock clock;
    clock.now = 1000;
    test::CountingEventPump events;
    FakeSplash view;
    view.clock = &clock;
    playSplash(view, clock, events);

    EXPECT_EQ(events.yields, 1);
    EXPECT_NEAR(view.shownAt.at(3) - 1000, 1.0, 0.05);
    EXPECT_NEAR(view.shownAt.at(4) - 1000, 2.0, 0.05);
    EXPECT_NEAR(view.shownAt.at(5) - 1000, 2.3, 0.05);
    EXPECT_TRUE(view.isClosed);
    EXPECT_NEAR(view.closedAt - 1000, 7.0, 1e-9);
    // The name stops at the first size that reaches 54 points.
    EXPECT_GE(view.size, 54);
    EXPECT_LT(view.size, 54.1);
    EXPECT_DOUBLE_EQ(view.largestSet, view.firstAtLargest);
}

TEST(Splash, OnlyTheFirstYieldListensAndAnEarlyCloseStillWaitsSevenSeconds) {
    test::ManualClock clock;
    test::CountingEventPump events;
    FakeSplash view;
    view.clock = &clock;
    bool listeningAtYield = false;
    events.onYield = [&](int) {
        listeningAtYield = !view.ignoring;
        view.isClosed = true; // a key pressed before the splash came up
    };
    playSplash(view, clock, events);
    EXPECT_TRUE(listeningAtYield);
    EXPECT_TRUE(view.ignoring);
    EXPECT_EQ(view.sizesSetWhileListening, 0);
    // The zoom and the pause run their full time all the same.
    EXPECT_NEAR(clock.now, 7.0, 1e-9);
    EXPECT_TRUE(view.shownAt.count(5));
    EXPECT_LT(view.closedAt, 0) << "a splash the user closed is not unloaded again";
}
