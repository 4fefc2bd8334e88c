// sdl_x11_test.cpp: the SDL backend's display mode on a real X server (Xorg
// with the dummy video driver at 1024x768, started by
// tests/x11/with_server.sh): switched and put back, again for a later show,
// and put back however the process ends (platform_exit, exit() or a fatal
// signal), also the ways the show itself never takes. Skipped without that
// server.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

namespace {

const char* const desktop = "1024x768 1024x768";
const char* const show = "640x480 640x480";

// The screen's size and the mode of the output at its origin, as
// tests/x11/lib.sh's screen_mode reads them from xrandr.
std::string screen_mode()
{
    std::string text;
    FILE* pipe = popen("xrandr 2>/dev/null | awk '/^Screen 0:/ { s = $8 \"x\" $10; sub(\",\", \"\", s) }"
                       " / connected/ { for (i = 3; i <= NF; i++) if ($i ~ /\\+0\\+0$/) { split($i, m, \"+\");"
                       " o = m[1] } } END { printf \"%s %s\", s, o }'",
                       "r");
    char buffer[256];
    if (pipe && fgets(buffer, sizeof buffer, pipe)) text = buffer;
    if (pipe) pclose(pipe);
    return text;
}

bool switch_to_show()
{
    const char* why = "";
    return platform_select(PLATFORM_BACKEND_SDL, &why) && platform_change_display_mode(640, 480, 32) &&
           screen_mode() == show;
}

}  // namespace

#define NEEDS_TEST_SERVER()                                                                        \
    if (!getenv("OARGALA_TEST_X_SERVER") || std::string(getenv("OARGALA_TEST_X_SERVER")) != "xorg") \
    GTEST_SKIP() << "needs the Xorg dummy server of with_server.sh"

TEST(SdlDisplayMode, SwitchesTo640x480AndBackAndRefusesWhatTheServerCannotShow)
{
    NEEDS_TEST_SERVER();
    ASSERT_EQ(screen_mode(), desktop);
    for (int show_number = 1; show_number <= 2; show_number++) {
        SCOPED_TRACE(show_number);
        EXPECT_TRUE(switch_to_show());
        platform_restore_display_mode();
        EXPECT_EQ(screen_mode(), desktop);
        platform_restore_display_mode();   // twice changes nothing
        EXPECT_EQ(screen_mode(), desktop);
    }
    EXPECT_FALSE(platform_change_display_mode(641, 480, 32));   // no such mode
    EXPECT_FALSE(platform_change_display_mode(640, 480, 16));   // X cannot change depth
    EXPECT_EQ(screen_mode(), desktop);
}

TEST(SdlDisplayModeDeathTest, PutBackHoweverTheProcessEnds)
{
    NEEDS_TEST_SERVER();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* how;
        std::function<bool(int)> ended;
    } endings[] = {{"platform_exit", testing::ExitedWithCode(0)},
                   {"exit", testing::ExitedWithCode(3)},
                   {"a fatal signal, by which it still dies", testing::KilledBySignal(SIGABRT)}};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(endings[i].how);
        EXPECT_EXIT(
            {
                if (!switch_to_show()) _exit(50);
                if (i == 0) platform_exit(0);
                if (i == 1) exit(3);
                abort();
            },
            endings[i].ended, "");
        EXPECT_EQ(screen_mode(), desktop);
    }
}
