// frame_timer_test.cpp: FrameDelta and the frame rate from a counter that we
// step by hand (the headless backend's manual clocks), including steps a real
// counter seldom makes: backwards, none at all, no counter at all.
#include "framework/glwindow.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

namespace {

struct FakeCounter {
    GlWindow window{640, 480, 32, 16, 0, "timer", ""};
    int64_t frequency;
    int64_t now = 0;

    explicit FakeCounter(int64_t ticks_per_second, int64_t start = 0) : frequency(ticks_per_second), now(start)
    {
        const char* why = nullptr;
        EXPECT_TRUE(platform_select(PLATFORM_BACKEND_HEADLESS, &why));
        last_fps = 0.0;
        platform_headless_set_clocks(0, now, frequency);
        window.start_timer();
    }
    // Moves the counter on by ticks and takes one frame's reading.
    double step(int64_t ticks)
    {
        now += ticks;
        platform_headless_set_clocks(0, now, frequency);
        window.fps = window.update_timer(&window.FrameDelta);
        return window.fps;
    }
};

}  // namespace

TEST(FrameTimer, OrdinaryIntervalsAtOneMegahertz)
{
    FakeCounter c(1000000);
    EXPECT_DOUBLE_EQ(c.window.counter_frequency, 1e6);
    EXPECT_EQ(c.window.FrameDelta, 0.0);

    double fps = c.step(16667);
    EXPECT_DOUBLE_EQ(c.window.FrameDelta, 0.016667);
    EXPECT_NEAR(fps, 60.0, 0.01);
    EXPECT_DOUBLE_EQ(fps, 1.0 / 0.016667);

    // Exactly one second is still an interval of its own.
    fps = c.step(1000000);
    EXPECT_DOUBLE_EQ(c.window.FrameDelta, 1.0);
    EXPECT_DOUBLE_EQ(fps, 1.0);
}

TEST(FrameTimer, LongStallCountsATenthOfAMicrosecond)
{
    FakeCounter c(1000000);
    double fps = c.step(1000001);
    EXPECT_EQ(c.window.FrameDelta, 1e-7);
    // The rate comes from the true interval.
    EXPECT_DOUBLE_EQ(fps, 1.0 / 1.000001);
    EXPECT_LT(fps, 1.0);

    fps = c.step(5 * 1000000);
    EXPECT_EQ(c.window.FrameDelta, 1e-7);
    EXPECT_DOUBLE_EQ(fps, 0.2);
}

TEST(FrameTimer, BackwardStepCountsAHundredthOfAMicrosecond)
{
    FakeCounter c(1000000, 123456789);
    double fps = c.step(-5);
    EXPECT_EQ(c.window.FrameDelta, 1e-8);
    EXPECT_DOUBLE_EQ(fps, -200000.0);
    EXPECT_EQ(c.window.counter_prev, 123456789);
    EXPECT_EQ(c.window.counter_now, 123456784);
}

TEST(FrameTimer, SameTickKeepsThePreviousIntervalAndRate)
{
    FakeCounter c(1000000);
    double first = c.step(20000);
    EXPECT_DOUBLE_EQ(c.window.FrameDelta, 0.02);
    double again = c.step(0);
    EXPECT_DOUBLE_EQ(c.window.FrameDelta, 0.02);
    EXPECT_EQ(again, first);
    EXPECT_EQ(c.window.counter_prev, c.window.counter_now);
}

TEST(FrameTimer, NoCounterLeavesEverythingAtZero)
{
    FakeCounter c(0);
    EXPECT_EQ(c.window.counter_frequency, 0.0);
    for (int i = 1; i <= 5; i++) {
        double fps = c.step(i == 3 ? -7 : 1000 * i);
        EXPECT_EQ(fps, 0.0);
        EXPECT_EQ(c.window.FrameDelta, 0.0);
        // The readings still move on every update.
        EXPECT_EQ(c.window.counter_now, c.now);
    }
    EXPECT_NE(c.window.counter_prev, 0);
}

TEST(FrameTimer, FirstIntervalIsTheTimeSinceTheTimerStarted)
{
    // start_timer takes a reading, so the first frame measures how long the
    // init callback took, not the counter's whole count since boot.
    FakeCounter c(1000000, 987654321000);
    double fps = c.step(250000);
    EXPECT_DOUBLE_EQ(c.window.FrameDelta, 0.25);
    EXPECT_DOUBLE_EQ(fps, 4.0);
}

TEST(FrameTimer, DeltaStaysWithinZeroAndOne)
{
    FakeCounter c(1000);
    const int64_t steps[] = {1, -1, 999, 1000, 1001, -100000, 7, 0, 123456789, 2, -3};
    for (int64_t ticks : steps) {
        c.step(ticks);
        EXPECT_GT(c.window.FrameDelta, 0.0) << ticks;
        EXPECT_LE(c.window.FrameDelta, 1.0) << ticks;
    }
}
