// frame_clock_test.cpp: the clocks a captured show sees at 30, 60 and 60000/1001 fps: a stand-in show
// checks the millisecond clock and FrameDelta of every frame of a real capture (headless GlWindow on
// Mesa, the last frame's picture only); the capture ends the process, so each rate runs in a child.
#include "capture/capture.h"
#include "framework/glwindow.h"
#include "platform/platform.h"
#include "tests/capture/process.h"

#include <gtest/gtest.h>

#include <cstdio>

// Static: the capture's callbacks are plain functions.
static uint32_t fps_num, fps_den;
static uint64_t frames;

static void stand_in_init(const char*)
{
    if (platform_milliseconds() != 0) _exit(4);   // start-up takes no time
    // After the capture's own exit hook: reports once the capture is done.
    platform_on_exit([](int) { fprintf(stderr, "frames=%llu\n", (unsigned long long)frames); });
}

static void stand_in_frame(const char*)
{
    uint64_t n = ++frames;
    uint32_t ms = platform_milliseconds();
    // The frame's time as integers give it, independent of the capture's own arithmetic.
    if (ms != (uint32_t)((unsigned __int128)n * 1000u * fps_den / fps_num) ||
        demo_window->FrameDelta != (double)fps_den / fps_num) {
        fprintf(stderr, "frame %llu at %u ms, delta %.17g\n", (unsigned long long)n, ms, demo_window->FrameDelta);
        _exit(3);
    }
}

TEST(CaptureFrameClock, EveryFrameAtItsIntegerTimeWithAnExactDelta)
{
    // "fast": the child goes on from the fork with this test's folder; the
    // parent never starts OpenGL, so it has no threads.
    GTEST_FLAG_SET(death_test_style, "fast");
    // 60000/1001: frame 9530 at 158992.17 ms; frame 9531 would be past 159 s.
    const struct {
        uint32_t num, den;
        uint64_t last_us;   // show time of the last frame, as --at
        const char* expected;
    } rates[] = {
        {30, 1, 159000000, "frames=4770\n"},
        {60, 1, 159000000, "frames=9540\n"},
        {60000, 1001, 158992000, "frames=9530\n"},
    };
    for (const auto& rate : rates) {
        SCOPED_TRACE(rate.expected);
        std::string dir = make_temp_dir(false);
        CaptureSettings settings;
        settings.output = dir + "/";
        settings.kind = CAPTURE_FRAMES;
        settings.fps_num = rate.num;
        settings.fps_den = rate.den;
        settings.width = settings.height = 16;
        settings.at_microseconds = {rate.last_us};
        fps_num = rate.num;
        fps_den = rate.den;
        EXPECT_EXIT(exit(capture_run_with(settings, stand_in_init, stand_in_frame) + 100), testing::ExitedWithCode(0),
                    rate.expected);
        remove_tree(dir);
    }
}
