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

TEST(SdlDisplayModeDeathTest, PutBackHoweverTheProcessEnds)
{
    const char* server = getenv("OARGALA_TEST_X_SERVER");
    if (!server || std::string(server) != "xorg") GTEST_SKIP() << "needs the Xorg dummy server of with_server.sh";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ASSERT_EQ(screen_mode(), "1024x768 1024x768");
    const std::function<bool(int)> ended[] = {testing::ExitedWithCode(0), testing::ExitedWithCode(3),
                                              testing::KilledBySignal(SIGABRT)};   // still by the signal
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i == 0 ? "platform_exit" : i == 1 ? "exit" : "a fatal signal");
        EXPECT_EXIT(
            {
                const char* why = "";
                if (!platform_select(PLATFORM_BACKEND_SDL, &why) || !platform_change_display_mode(640, 480, 32) ||
                    screen_mode() != "640x480 640x480")
                    _exit(50);
                if (i == 0) platform_exit(0);
                if (i == 1) exit(3);
                abort();
            },
            ended[i], "");
        EXPECT_EQ(screen_mode(), "1024x768 1024x768");
    }
}
