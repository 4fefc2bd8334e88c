// frame_clock_test.cpp: the clocks a captured show sees, frame by frame, at
// 30, 60 and 60000/1001 frames per second. A stand-in show records the
// millisecond clock and FrameDelta on every frame of a real capture (headless
// GlWindow on Mesa, pictures mode with the last frame asked for); the capture
// ends the process, so each rate runs in a child process of its own.
#include "capture/capture.h"
#include "framework/glwindow.h"
#include "platform/platform.h"
#include "tests/capture/process.h"

#include <gtest/gtest.h>

#include <cstdio>

// What the stand-in show saw. Static: the capture's callbacks are plain functions.
static struct {
    uint32_t fps_num = 1, fps_den = 1;
    uint64_t frames = 0;
    uint64_t wrong_ms = 0, wrong_delta = 0;
    uint64_t first_wrong = 0;
    uint32_t init_ms = 12345;
    uint32_t last_ms = 0;
} seen;

static void record_init(const char*)
{
    seen.init_ms = platform_milliseconds();
}

static void record_frame(const char*)
{
    uint64_t n = ++seen.frames;
    uint32_t ms = platform_milliseconds();
    // The frame's time as integers give it, independent of the capture's own arithmetic.
    unsigned __int128 exact = (unsigned __int128)n * 1000u * seen.fps_den / seen.fps_num;
    if (ms != (uint32_t)exact) {
        seen.wrong_ms++;
        if (!seen.first_wrong) seen.first_wrong = n;
    }
    if (demo_window->FrameDelta != (double)seen.fps_den / (double)seen.fps_num) {
        seen.wrong_delta++;
        if (!seen.first_wrong) seen.first_wrong = n;
    }
    seen.last_ms = ms;
}

static void report(int)
{
    fprintf(stderr, "init_ms=%u frames=%llu last_ms=%u wrong_ms=%llu wrong_delta=%llu first_wrong=%llu\n",
            seen.init_ms, (unsigned long long)seen.frames, seen.last_ms, (unsigned long long)seen.wrong_ms,
            (unsigned long long)seen.wrong_delta, (unsigned long long)seen.first_wrong);
}

static void record_init_and_report(const char* title)
{
    record_init(title);
    // Registered after the capture's own hook, so it reports once the capture is done.
    platform_on_exit(report);
}

static void capture_with_stand_in(const std::string& dir, uint32_t num, uint32_t den, uint64_t last_frame_us)
{
    seen.fps_num = num;
    seen.fps_den = den;
    CaptureSettings settings;
    settings.kind = CAPTURE_FRAMES;
    settings.output = dir + "/";
    settings.fps_num = num;
    settings.fps_den = den;
    settings.width = 16;
    settings.height = 16;
    settings.at_microseconds = {last_frame_us};
    exit(capture_run_with(settings, record_init_and_report, record_frame) + 100);
}

struct Rate {
    uint32_t num, den;
    uint64_t last_us;               // show time of the last frame, as --at
    const char* expected;           // what the stand-in show reports
    const char* last_picture;
};

TEST(CaptureFrameClock, EveryFrameAtItsIntegerTimeWithAnExactDelta)
{
    // The "fast" style: the child goes on from the fork with this test's
    // folder; the parent itself never starts OpenGL, so it has no threads.
    GTEST_FLAG_SET(death_test_style, "fast");
    // 30 fps: 4770 frames, the last at 159000 ms. 60 fps: 9540, at 159000 ms.
    // 60000/1001: frame 9530 at 158992.17 ms (floor 158992); frame 9531 would
    // be at 159008.85 ms, past the end. Start-up reads 0 on the clock.
    const Rate rates[] = {
        {30, 1, 159000000, "init_ms=0 frames=4770 last_ms=159000 wrong_ms=0 wrong_delta=0 first_wrong=0",
         "frame-04770.png"},
        {60, 1, 159000000, "init_ms=0 frames=9540 last_ms=159000 wrong_ms=0 wrong_delta=0 first_wrong=0",
         "frame-09540.png"},
        {60000, 1001, 158992000, "init_ms=0 frames=9530 last_ms=158992 wrong_ms=0 wrong_delta=0 first_wrong=0",
         "frame-09530.png"},
    };
    for (const Rate& rate : rates) {
        SCOPED_TRACE(std::to_string(rate.num) + "/" + std::to_string(rate.den));
        std::string dir = make_temp_dir(false);
        EXPECT_EXIT(capture_with_stand_in(dir, rate.num, rate.den, rate.last_us), testing::ExitedWithCode(0),
                    rate.expected);
        EXPECT_EQ(list_dir(dir), std::vector<std::string>{rate.last_picture});
        remove_tree(dir);
    }
}

TEST(CaptureFrameClock, FrameNumbersAndTimes)
{
    EXPECT_EQ(capture_frame_count(30, 1), 4770u);
    EXPECT_EQ(capture_frame_count(60, 1), 9540u);
    EXPECT_EQ(capture_frame_count(60000, 1001), 9530u);
    EXPECT_EQ(capture_frame_ms(9530, 60000, 1001), 158992u);
    EXPECT_EQ(capture_frame_ms(9531, 60000, 1001), 159008u);
    // --at: the first frame at or after the time; 0 is the first frame.
    EXPECT_EQ(capture_frame_at(0, 60, 1), 1u);
    EXPECT_EQ(capture_frame_at(1, 60, 1), 1u);
    EXPECT_EQ(capture_frame_at(1000000, 60, 1), 60u);
    EXPECT_EQ(capture_frame_at(1000001, 60, 1), 61u);
    EXPECT_EQ(capture_frame_at(159000000, 60, 1), 9540u);
    EXPECT_EQ(capture_frame_at(1001000, 60000, 1001), 60u);
    EXPECT_EQ(capture_frame_at(159000000, 60000, 1001), 9531u);   // past the show: refused by --at
}
