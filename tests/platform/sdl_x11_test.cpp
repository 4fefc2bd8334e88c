// sdl_x11_test.cpp: the SDL backend on a real X server (Xorg with the dummy
// video driver, started by tests/x11/with_server.sh): the display mode
// switched and put back, also when the process ends through platform_exit,
// exit() or a fatal signal; real key presses and a window manager's close
// request as the window framework sees them; a modal message box.
// Skipped when no test server was started for it.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const desktop = "1024x768 1024x768";
const char* const show = "640x480 640x480";

std::string command_output(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
    return text;
}

// The screen's size and the mode of the output at its origin, as xrandr
// reports them: "1024x768 1024x768".
std::string screen_mode()
{
    std::istringstream lines(command_output("xrandr 2>/dev/null"));
    std::string line, size, mode;
    while (std::getline(lines, line)) {
        int w = 0, h = 0;
        size_t at = line.find(" current ");
        if (line.rfind("Screen 0:", 0) == 0 && at != std::string::npos &&
            sscanf(line.c_str() + at, " current %d x %d", &w, &h) == 2)
            size = std::to_string(w) + "x" + std::to_string(h);
        if (line.find(" connected") != std::string::npos) {
            std::istringstream words(line);
            std::string word;
            while (words >> word)
                if (word.size() > 4 && word.compare(word.size() - 4, 4, "+0+0") == 0) mode = word.substr(0, word.size() - 4);
        }
    }
    return size + " " + mode;
}

bool on_test_server()
{
    const char* server = getenv("OARGALA_TEST_X_SERVER");
    return server && std::string(server) == "xorg";
}

void select_sdl()
{
    const char* why = "";
    ASSERT_TRUE(platform_select(PLATFORM_BACKEND_SDL, &why)) << why;
}

// Polls the window's events until one of the given kind and key arrives,
// giving up after a generous limit (the machine may be slow and busy).
bool wait_for_event(PlatformEventKind kind, unsigned key, std::vector<PlatformEvent>* seen)
{
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < give_up) {
        PlatformEvent e;
        if (!platform_poll_event(&e)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (e.kind == PLATFORM_EVENT_OTHER) continue;
        seen->push_back(e);
        if (e.kind == kind && (kind == PLATFORM_EVENT_CLOSE || e.key == key)) return true;
    }
    return false;
}

}  // namespace

#define NEEDS_TEST_SERVER()                                                                   \
    do {                                                                                      \
        if (!on_test_server()) GTEST_SKIP() << "needs the Xorg dummy server of with_server.sh"; \
    } while (0)

TEST(SdlDisplayMode, SwitchesTo640x480AndBack)
{
    NEEDS_TEST_SERVER();
    select_sdl();
    ASSERT_EQ(screen_mode(), desktop);
    EXPECT_TRUE(platform_change_display_mode(640, 480, 32));
    EXPECT_EQ(screen_mode(), show);
    platform_restore_display_mode();
    EXPECT_EQ(screen_mode(), desktop);
    // Putting it back twice changes nothing.
    platform_restore_display_mode();
    EXPECT_EQ(screen_mode(), desktop);
    // And a later show switches again.
    EXPECT_TRUE(platform_change_display_mode(640, 480, 32));
    EXPECT_EQ(screen_mode(), show);
    platform_restore_display_mode();
    EXPECT_EQ(screen_mode(), desktop);
}

TEST(SdlDisplayMode, RefusesModesTheServerCannotShow)
{
    NEEDS_TEST_SERVER();
    select_sdl();
    EXPECT_FALSE(platform_change_display_mode(641, 480, 32));   // no such mode
    EXPECT_FALSE(platform_change_display_mode(640, 480, 16));   // X cannot change depth
    EXPECT_EQ(screen_mode(), desktop);
    platform_restore_display_mode();
    EXPECT_EQ(screen_mode(), desktop);
}

TEST(SdlDisplayModeDeathTest, PutBackHoweverTheProcessEnds)
{
    NEEDS_TEST_SERVER();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The end of the show: platform_exit, which runs no teardown.
    EXPECT_EXIT(
        {
            select_sdl();
            if (!platform_change_display_mode(640, 480, 32) || screen_mode() != show) _exit(50);
            platform_exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(screen_mode(), desktop);
    // Any exit() or return from main.
    EXPECT_EXIT(
        {
            select_sdl();
            if (!platform_change_display_mode(640, 480, 32) || screen_mode() != show) _exit(50);
            exit(3);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_EQ(screen_mode(), desktop);
    // A fatal signal: put back, then the process still dies by it.
    EXPECT_EXIT(
        {
            select_sdl();
            if (!platform_change_display_mode(640, 480, 32) || screen_mode() != show) _exit(50);
            abort();
        },
        testing::KilledBySignal(SIGABRT), "");
    EXPECT_EQ(screen_mode(), desktop);
}

TEST(SdlWindow, RealKeysAndTheCloseRequest)
{
    NEEDS_TEST_SERVER();
    select_sdl();
    const char* title = "sdl_x11_test window";
    PlatformWindowDesc desc = {title, 640, 480, 32, 16, false};
    ASSERT_TRUE(platform_create_window(&desc));
    ASSERT_TRUE(platform_create_context());
    ASSERT_TRUE(platform_make_current(true));
    platform_show_window();
    int x = -1, y = -1, w = 0, h = 0;
    platform_viewport(640, 480, &x, &y, &w, &h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);

    std::string id = command_output(std::string("xdotool search --name '^") + title + "$' | head -n 1");
    while (!id.empty() && id.back() == '\n') id.pop_back();
    ASSERT_FALSE(id.empty());

    std::vector<PlatformEvent> seen;
    ASSERT_EQ(system(("xdotool windowfocus " + id + " key a Escape").c_str()), 0);
    ASSERT_TRUE(wait_for_event(PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_ESCAPE, &seen));
    // a down, a up, Escape down, Escape up: raw keys with Windows' numbers.
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].kind, PLATFORM_EVENT_KEY_DOWN);
    EXPECT_EQ(seen[0].key, (unsigned)'A');
    EXPECT_EQ(seen[1].kind, PLATFORM_EVENT_KEY_UP);
    EXPECT_EQ(seen[1].key, (unsigned)'A');
    EXPECT_EQ(seen[2].kind, PLATFORM_EVENT_KEY_DOWN);
    EXPECT_EQ(seen[2].key, 27u);
    EXPECT_EQ(seen[3].kind, PLATFORM_EVENT_KEY_UP);
    EXPECT_EQ(seen[3].key, 27u);

    const char* tool = getenv("X11_TOOL");
    ASSERT_NE(tool, nullptr);
    ASSERT_EQ(system((std::string(tool) + " close " + id).c_str()), 0);
    seen.clear();
    EXPECT_TRUE(wait_for_event(PLATFORM_EVENT_CLOSE, 0, &seen));

    platform_set_window_title("sdl_x11_test renamed");
    platform_swap_buffers();
    EXPECT_EQ(command_output("xdotool getwindowname " + id), "sdl_x11_test renamed\n");

    platform_make_current(false);
    platform_destroy_context();
    platform_destroy_window();
}

TEST(SdlMessageBox, ModalBoxWithTheCaptionAsTitle)
{
    NEEDS_TEST_SERVER();
    select_sdl();
    char dir[] = "/tmp/oargala-box.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string seen_file = std::string(dir) + "/seen";
    std::string dismisser = std::string("bash '") + X11_TEST_DIR + "/dismiss_box.sh' 'Box caption' '" + seen_file + "' &";
    ASSERT_EQ(system(dismisser.c_str()), 0);

    // Returns only once the box was dismissed.
    platform_message_box("Box caption", "Could not open file: data/none.png", PLATFORM_ICON_EXCLAMATION);

    std::string seen;
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    while (seen.empty() && std::chrono::steady_clock::now() < give_up) {
        std::ifstream in(seen_file);
        std::getline(in, seen);
        if (seen.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(seen.rfind("0x", 0), 0u) << "no box titled 'Box caption' was shown: " << seen;
    system(("rm -rf '" + std::string(dir) + "'").c_str());
}
