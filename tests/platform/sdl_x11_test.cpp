// sdl_x11_test.cpp: the SDL backend's guard of the display mode on a real X server (Xorg with the
// dummy video driver at 1024x768, from tests/x11/with_server.sh): the desktop's mode is put back
// however the process ends, also by exit() or abort(), which the show itself never takes.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

// The screen's size and the mode of the output at its origin, as
// tests/x11/lib.sh's screen_mode reads them from xrandr.
static std::string screen_mode()
{
    char text[256] = "";
    FILE* pipe = popen(R"(xrandr | awk '/^Screen 0:/ { s = $8 "x" $10; sub(",", "", s) }
        / connected/ { for (i = 3; i <= NF; i++) if ($i ~ /\+0\+0$/) { split($i, m, "+"); o = m[1] } }
        END { printf "%s %s", s, o }')", "r");
    if (pipe && !fgets(text, sizeof text, pipe)) text[0] = 0;
    return pipe && pclose(pipe) == 0 ? text : "";
}

static bool switch_to_show()
{
    const char* why = "";
    return platform_select(PLATFORM_BACKEND_INTERACTIVE, &why) && platform_change_display_mode(640, 480, 32) &&
           screen_mode() == "640x480 640x480";
}

TEST(SdlDisplayModeDeathTest, PutBackHoweverTheProcessEnds)
{
    const char* server = getenv("OARGALA_TEST_X_SERVER");
    if (!server || std::string(server) != "xorg") GTEST_SKIP() << "needs the Xorg dummy server of with_server.sh";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int show = 1; show <= 2; show++) {   // a later show switches again
        EXPECT_TRUE(switch_to_show()) << show;
        platform_restore_display_mode();
        EXPECT_EQ(screen_mode(), "1024x768 1024x768");
    }
    EXPECT_FALSE(platform_change_display_mode(640, 480, 16));   // X cannot change the depth
    const std::function<bool(int)> ended[] = {testing::ExitedWithCode(0), testing::ExitedWithCode(3),
                                              testing::KilledBySignal(SIGABRT), testing::KilledBySignal(SIGTERM)};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i == 0 ? "platform_exit" : i == 1 ? "exit" : "a fatal signal, which still ends it");
        EXPECT_EXIT(
            {
                if (!switch_to_show()) _exit(50);
                if (i == 0) platform_exit(0);
                if (i == 1) exit(3);
                if (i == 2) abort();
                raise(SIGTERM);
                _exit(51);
            },
            ended[i], "");
        EXPECT_EQ(screen_mode(), "1024x768 1024x768");
    }
}
