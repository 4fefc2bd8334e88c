// glwindow_test.cpp: GlWindow on the headless backend: the frame timer on a
// counter stepped by hand, the titles the window carries, which events end
// the main loop and that waiting events come before any frame; the
// screenshot writer's names and its failures.
#include "framework/glwindow.h"
#include "framework/screenshot.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "tests/sound/child_process.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <csignal>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

const char* const decorated = "(pelmatox - Oar Gala (BUY V1@GRA)) -- [640x480^32^16]";

std::vector<std::string> titles;   // the window's title at each frame
void (*hook)(int frame);           // called with 0 by the init callback, then with each frame's number

// Runs a GlWindow until the events pushed by hook end it; a loop that ignores
// them is stopped at 100 frames, so the test fails at once. Returns the frames.
size_t run_window(int32_t full)
{
    const char* why = nullptr;
    EXPECT_TRUE(platform_select(PLATFORM_BACKEND_OFFSCREEN, &why));
    titles.clear();
    running = 1;
    GlWindow window(640, 480, 32, 16, full, "pelmatox - Oar Gala (BUY V1@GRA)", "");
    window.init_callback = [](const char*) { hook(0); };
    window.frame_callback = [](const char*) {
        titles.push_back(platform_headless_window_title());
        hook((int)titles.size());
        if (titles.size() == 100) running = 0;
    };
    window.run();
    return titles.size();
}

void push(PlatformEventKind kind, unsigned key = 0) { platform_headless_push_event({kind, key}); }

}  // namespace

TEST(FrameTimer, DeltaStaysWithinZeroAndOneAndTheRateIsTrue)
{
    const char* why = nullptr;
    ASSERT_TRUE(platform_select(PLATFORM_BACKEND_OFFSCREEN, &why));
    int64_t now = 987654321000;
    platform_headless_set_clocks(0, now, 1000000);
    GlWindow window(640, 480, 32, 16, 0, "timer", "");
    window.start_timer();
    const struct { int64_t ticks; double delta, fps; } steps[] = {   // ticks of a 1 MHz counter
        {250000, 0.25, 4.0},                 // the first interval: since start_timer, not since boot
        {1000000, 1.0, 1.0},                 // exactly one second is still an interval of its own
        {1000001, 1e-7, 1.0 / 1.000001},     // a longer stall counts 0.1 us; the rate stays true
        {-5, 1e-8, -200000.0},               // backwards: 0.01 us
        {0, 1e-8, -200000.0},                // no tick: the last interval and rate again
    };
    for (const auto& step : steps) {
        platform_headless_set_clocks(0, now += step.ticks, 1000000);
        double fps = window.update_timer(&window.FrameDelta);
        EXPECT_DOUBLE_EQ(window.FrameDelta, step.delta) << "step of " << step.ticks;
        EXPECT_DOUBLE_EQ(fps, step.fps) << "step of " << step.ticks;
    }
    // No counter at all: nothing moves, nothing is divided by zero.
    platform_headless_set_clocks(0, now, 0);
    window.start_timer();
    platform_headless_set_clocks(0, now + 1000, 0);
    EXPECT_DOUBLE_EQ(window.update_timer(&window.FrameDelta), -200000.0);
    EXPECT_EQ(window.FrameDelta, 1e-8);
}

TEST(GlWindow, WindowedTitleShowsTheRateFullScreenTitleNeverChanges)
{
    for (int32_t full : {0, 1}) {
        SCOPED_TRACE(full ? "full screen" : "windowed");
        // 15 ticks per second, 2 ticks a frame: 7.5 frames per second.
        hook = [](int frame) {
            platform_headless_set_clocks(0, 1000 + 2 * frame, 15);
            if (frame == 3) push(PLATFORM_EVENT_CLOSE);
        };
        platform_headless_set_clocks(0, 1000, 15);
        ASSERT_EQ(run_window(full), 3u);
        std::string shown = full ? decorated : std::string(decorated) + " [fps:  7.50]";
        EXPECT_EQ(titles[2], shown);
    }
}

TEST(GlWindow, EscapeAndCloseEndTheLoopOtherEventsAreSwallowed)
{
    // at_frame: when the ending event comes, and so the frames drawn; 0: before any frame, behind the others.
    static const struct { const char* what; PlatformEvent end; int at_frame; } rows[] = {
        {"Escape down", {PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_ESCAPE}, 2},
        {"Escape up alone", {PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_ESCAPE}, 3},
        {"the close request", {PLATFORM_EVENT_CLOSE, 0}, 1},
        {"a waiting close request", {PLATFORM_EVENT_CLOSE, 0}, 0}};
    static const auto* row = rows;
    for (row = rows; row != std::end(rows); row++) {
        hook = [](int frame) {
            if (frame == 0) {
                push(PLATFORM_EVENT_KEY_DOWN, 'A');
                push(PLATFORM_EVENT_KEY_UP, 'A');
                push(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_ESCAPE + 256);
                push(PLATFORM_EVENT_OTHER, PLATFORM_KEY_ESCAPE);
            }
            if (frame == row->at_frame) platform_headless_push_event(row->end);
        };
        EXPECT_EQ(run_window(0), (size_t)row->at_frame) << row->what;
    }
}

// Two pictures at the same show time get two names; one that cannot be
// written (the disk full: here the process may write no more than 256 bytes a
// file) says why on one line and leaves no file.
TEST(Screenshot, SameTimeTakesTheNextNameAndAFailedWriteLeavesNothing)
{
    ChildResult r = run_in_child([] {
        TempDir dir;
        ASSERT_EQ(chdir(dir.path.c_str()), 0);
        run_in_window([] {
            glClear(GL_COLOR_BUFFER_BIT);
            screenshot_take(63250, 640, 480);
            screenshot_take(63250, 640, 480);
            screenshot_finish();
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {256, 256};
            setrlimit(RLIMIT_FSIZE, &limit);
            screenshot_take(1000, 640, 480);
            screenshot_finish();
        });
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"oargala-063.250-2.png", "oargala-063.250.png"}));
    });
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "oargala: screenshot oargala-063.250.png (640x480)\n"
                     "oargala: screenshot oargala-063.250-2.png (640x480)\n");
    EXPECT_EQ(r.err, "oargala: screenshot failed: cannot write oargala-001.000.png.partial: File too large\n");
}
