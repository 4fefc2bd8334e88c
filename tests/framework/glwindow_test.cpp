// glwindow_test.cpp: GlWindow on the headless backend: the titles the window
// carries, the help box, which events end the main loop, and the order of
// events and frames.
#include "framework/glwindow.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const show_title = "pelmatox - Oar Gala (BUY V1@GRA)";
const char* const decorated = "(pelmatox - Oar Gala (BUY V1@GRA)) -- [640x480^32^16]";

// What the callbacks of one run saw.
struct Seen {
    int inits = 0;
    int frames = 0;
    std::string init_title;
    std::vector<std::string> window_titles;   // the window's title at each frame
};
Seen seen;
void (*on_frame)(int frame) = nullptr;

void record_init(const char* title)
{
    seen.inits++;
    seen.init_title = title;
}

void record_frame(const char*)
{
    seen.frames++;
    seen.window_titles.push_back(platform_headless_window_title());
    if (on_frame) on_frame(seen.frames);
}

void select_headless()
{
    const char* why = nullptr;
    ASSERT_TRUE(platform_select(PLATFORM_BACKEND_HEADLESS, &why));
}

// Runs a GlWindow until the events pushed by init or on_frame end it.
void run_window(int32_t full, const char* cmd_line, void (*init)(const char*))
{
    seen = Seen();
    running = 1;
    GlWindow window(640, 480, 32, 16, full, show_title, cmd_line);
    demo_window = &window;
    window.init_callback = init;
    window.frame_callback = record_frame;
    window.run();
    demo_window = nullptr;
    on_frame = nullptr;
}

void push(PlatformEventKind kind, unsigned key = 0) { platform_headless_push_event({kind, key}); }

}  // namespace

TEST(GlWindowTitle, WindowedTitleCarriesTheFrameRate)
{
    select_headless();
    // A counter of 15 ticks per second stepping 2 ticks a frame: 7.5 frames
    // per second, which the title shows with one leading blank.
    platform_headless_set_clocks(0, 1000, 15);
    last_fps = 0.0;
    on_frame = [](int frame) {
        platform_headless_set_clocks(0, 1000 + 2 * (frame + 1), 15);
        if (frame == 3) push(PLATFORM_EVENT_CLOSE);
    };
    run_window(0, "", [](const char* title) {
        record_init(title);
        platform_headless_set_clocks(0, 1002, 15);
    });
    EXPECT_EQ(seen.inits, 1);
    EXPECT_EQ(seen.init_title, decorated);
    EXPECT_EQ(strlen(decorated), 53u);
    EXPECT_EQ(seen.frames, 3);
    // At the first frame the window still has the decorated title; each
    // frame then writes its rate after the frame callback.
    ASSERT_EQ(seen.window_titles.size(), 3u);
    EXPECT_EQ(seen.window_titles[0], decorated);
    EXPECT_EQ(seen.window_titles[1], std::string(decorated) + " [fps:  7.50]");
    EXPECT_EQ(std::string(platform_headless_window_title()), std::string(decorated) + " [fps:  7.50]");
}

TEST(GlWindowTitle, RateFormatFillsFiveCharacters)
{
    select_headless();
    char text[128];
    const struct {
        double fps;
        const char* shown;
    } cases[] = {{7.5, " 7.50"}, {60.0, "60.00"}, {0.0, " 0.00"}, {1234.567, "1234.57"}, {-200000.0, "-200000.00"}};
    for (const auto& c : cases) {
        platform_headless_set_clocks(0, 0, 1000);
        last_fps = c.fps;
        // Two updates within the same tick return the last rate unchanged,
        // so the window shows exactly last_fps.
        on_frame = [](int) { push(PLATFORM_EVENT_CLOSE); };
        run_window(0, "", record_init);
        snprintf(text, sizeof text, "%s [fps: %s]", decorated, c.shown);
        EXPECT_EQ(std::string(platform_headless_window_title()), text);
    }
}

TEST(GlWindowTitle, FullScreenTitleNeverChanges)
{
    select_headless();
    platform_headless_set_clocks(0, 0, 1000);
    on_frame = [](int frame) {
        platform_headless_set_clocks(0, frame * 16, 1000);
        if (frame == 5) push(PLATFORM_EVENT_CLOSE);
    };
    run_window(1, "", record_init);
    EXPECT_EQ(seen.init_title, decorated);
    ASSERT_EQ(seen.frames, 5);
    for (const std::string& title : seen.window_titles) EXPECT_EQ(title, decorated);
    EXPECT_EQ(std::string(platform_headless_window_title()), decorated);
}

TEST(GlWindowHelp, CommandLineGivesOnlyTheHelpBox)
{
    const std::string expected_help =
        "Demo parameters (*NOT* IMPLEMENTED)\n\n"
        "[-windowed] run windowed                 \n"
        "[-fullscreen] run fullscreen             \n"
        "[-z16] 16bits zbuffer                    \n"
        "[-z32] 32bits zbuffer                    \n"
        "[-16] 16bits graphics mode               \n"
        "[-32] 32bits graphics mode               \n"
        "[-640x480] graphics mode 640x480         \n"
        "[-800x600] graphics mode 800x600         \n"
        "[-1024x768] graphics mode 1024x768       \n"
        "[-1280x1024] graphics mode 1280x1024     \n";
    EXPECT_EQ(std::string(help_text), expected_help);
    // A heading, an empty line, ten option lines of 41 characters each.
    size_t start = expected_help.find("\n\n") + 2;
    int option_lines = 0;
    for (size_t end; (end = expected_help.find('\n', start)) != std::string::npos; start = end + 1) {
        EXPECT_EQ(end - start, 41u) << expected_help.substr(start, end - start);
        option_lines++;
    }
    EXPECT_EQ(option_lines, 10);

    select_headless();
    testing::internal::CaptureStderr();
    seen = Seen();
    running = 1;
    GlWindow window(640, 480, 32, 16, 1, show_title, "-windowed");
    window.init_callback = record_init;
    window.frame_callback = record_frame;
    window.run();
    std::string box = testing::internal::GetCapturedStderr();
    // The headless backend writes a box as "CAPTION: TEXT".
    EXPECT_EQ(box, "commandline help: " + expected_help + "\n");
    EXPECT_EQ(seen.inits, 0);
    EXPECT_EQ(seen.frames, 0);
    EXPECT_FALSE(window.has_window);
    EXPECT_FALSE(window.has_context);
    EXPECT_EQ(std::string(window_title), show_title);   // not even decorated
}

TEST(GlWindowEvents, WindowProcEndsOnEscapeAndCloseOnly)
{
    EXPECT_TRUE(GlWindow::window_proc({PLATFORM_EVENT_CLOSE, 0}));
    EXPECT_TRUE(GlWindow::window_proc({PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_ESCAPE}));
    EXPECT_TRUE(GlWindow::window_proc({PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_ESCAPE}));
    const unsigned other_keys[] = {0, 'A', 'Q', '0', 0x0D, 0x20, 0x25, 0x70, 26, 28, 27 + 256};
    for (unsigned key : other_keys) {
        EXPECT_FALSE(GlWindow::window_proc({PLATFORM_EVENT_KEY_DOWN, key})) << key;
        EXPECT_FALSE(GlWindow::window_proc({PLATFORM_EVENT_KEY_UP, key})) << key;
    }
    EXPECT_FALSE(GlWindow::window_proc({PLATFORM_EVENT_OTHER, PLATFORM_KEY_ESCAPE}));
}

TEST(GlWindowEvents, OtherKeysAreSwallowedAndEscapeUpAloneEnds)
{
    select_headless();
    on_frame = [](int frame) {
        if (frame == 3) push(PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_ESCAPE);
    };
    run_window(0, "", [](const char* title) {
        record_init(title);
        push(PLATFORM_EVENT_KEY_DOWN, 'A');
        push(PLATFORM_EVENT_KEY_UP, 'A');
        push(PLATFORM_EVENT_OTHER);
        push(PLATFORM_EVENT_KEY_DOWN, 0x20);
    });
    EXPECT_EQ(seen.frames, 3);
    EXPECT_EQ(running, 0);
}

TEST(GlWindowEvents, EscapeDownEnds)
{
    select_headless();
    on_frame = [](int frame) {
        if (frame == 2) push(PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_ESCAPE);
    };
    run_window(1, "", record_init);
    EXPECT_EQ(seen.frames, 2);
}

TEST(GlWindowEvents, WaitingEventsComeBeforeAnyFrame)
{
    select_headless();
    // Every waiting event is taken, one per loop iteration, before a frame is
    // drawn: the close request queued behind them ends the loop frameless.
    run_window(0, "", [](const char* title) {
        record_init(title);
        for (int i = 0; i < 5; i++) push(PLATFORM_EVENT_OTHER);
        push(PLATFORM_EVENT_KEY_DOWN, 'B');
        push(PLATFORM_EVENT_CLOSE);
        push(PLATFORM_EVENT_OTHER);
    });
    EXPECT_EQ(seen.inits, 1);
    EXPECT_EQ(seen.frames, 0);
    // The event left behind the close request is still waiting: drain it.
    PlatformEvent e;
    EXPECT_TRUE(platform_poll_event(&e));
    EXPECT_EQ(e.kind, PLATFORM_EVENT_OTHER);
}
