// entry_test.cpp: the oargala program's command line as a user meets it:
// what each run prints on which stream, and its exit code. No X server: the
// show itself is refused with one line when there is no display.
#include "app/options.h"
#include "tests/capture/process.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Entry : testing::Test {
    std::string dir = make_temp_dir(false);
    ~Entry() override { remove_tree(dir); }
    RunResult run(const std::vector<std::string>& args, std::vector<std::string> env = {})
    {
        env.insert(env.begin(), {"DISPLAY", "WAYLAND_DISPLAY", "SDL_AUDIODRIVER=dummy"});
        return run_oargala({args, dir, env});
    }
};

}  // namespace

TEST_F(Entry, HelpAndVersionGoToStandardOutput)
{
    for (auto [arg, text] : {std::pair<const char*, const char*>{"--help", usage_text}, {"--version", "oargala 1.0.0\n"}}) {
        RunResult r = run({arg});
        EXPECT_TRUE(r.exited(0)) << arg;
        EXPECT_EQ(r.out, text);
        EXPECT_EQ(r.err, "");
    }
}

// Each refusal: exit code 2, nothing on stdout, "oargala: " and the reason
// on one line, then the usage; nothing is written.
TEST_F(Entry, BadArgumentsGiveOneLineAndTheUsage)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--fullscreen"}, "unknown option '--fullscreen'"},
        {{"-windowed"}, "unknown option '-windowed'"},   // the help box's spelling
        {{"--data"}, "--data needs a value"},
        {{"--check-data", "--data", ""}, "--data needs a folder"},
        {{"--decode", "a.png", "a.pam", "--data", "d"}, "--data goes with the show, --capture or --check-data"},
        {{"--capture", "show.mp4", "--fps"}, "--fps needs a value"},
        {{"--capture", "show.avi"}, "--capture: 'show.avi' is neither a .mp4 or .mkv file nor a folder ending in /"},
        {{"--capture", "show"}, "--capture: 'show' is neither"},
        {{"--capture", "show.mp4", "--fps", "0"}, "--fps: '0' is not a frame rate from 1 to 1000 (N or N/D)"},
        {{"--capture", "show.mp4", "--fps", "60/0"}, "--fps: '60/0' is not"},
        {{"--capture", "show.mp4", "--fps", "1/2"}, "--fps: '1/2' is not"},
        {{"--capture", "show.mp4", "--fps", "1001"}, "--fps: '1001' is not"},
        {{"--capture", "show.mp4", "--fps", "abc"}, "--fps: 'abc' is not"},
        {{"--capture", "show.mp4", "--fps", ""}, "--fps: '' is not"},
        {{"--capture", "show.mp4", "--fps", "30/"}, "--fps: '30/' is not"},
        {{"--capture", "show.mp4", "--fps", "99999999999"}, "--fps: '99999999999' is not"},
        {{"--capture", "show.mp4", "--size", "640"}, "--size: '640' is not a size WxH from 16x16 to 8192x8192"},
        {{"--capture", "show.mp4", "--size", "640x"}, "--size: '640x' is not"},
        {{"--capture", "show.mp4", "--size", "x480"}, "--size: 'x480' is not"},
        {{"--capture", "show.mp4", "--size", "15x16"}, "--size: '15x16' is not"},
        {{"--capture", "show.mp4", "--size", "16x15"}, "--size: '16x15' is not"},
        {{"--capture", "show.mp4", "--size", "8193x16"}, "--size: '8193x16' is not"},
        {{"--capture", "show.mp4", "--size", "16x8193"}, "--size: '16x8193' is not"},
        {{"--capture", "show.mp4", "--size", "641x480"}, "--size: a video needs an even width and height"},
        {{"--capture", "show.mkv", "--size", "640x481"}, "--size: a video needs an even width and height"},
        {{"--capture", "show.mp4", "--at", "10"}, "--at goes with a folder of pictures (DIR/), not with a video file"},
        {{"--capture", "shots/", "--at", "abc"}, "--at: 'abc' is not a show time in seconds"},
        {{"--capture", "shots/", "--at", "1,,2"}, "--at: '' is not a show time"},
        {{"--capture", "shots/", "--at", "1."}, "--at: '1.' is not a show time"},
        {{"--capture", "shots/", "--at", "1.1234567"}, "--at: '1.1234567' is not a show time"},
        {{"--capture", "shots/", "--at", "159.000001"}, "--at: 159.000001 is past the end of the show (159 s)"},
        // Every value before the unknown option is accepted: the edges of each range.
        {{"--capture", "shots/", "--fps", "1000", "--size", "16x16", "--at", "0,1.123456,159", "-x"}, "unknown option"},
        {{"--capture", "show.mp4", "--fps", "1", "--size", "8192x8192", "-x"}, "unknown option '-x'"},
        {{"--fps", "30"}, "--fps goes with --capture"},
        {{"--at", "3"}, "--at goes with --capture"},
        {{"--check-data", "--size", "320x240"}, "--size goes with the show or with --capture"},
        {{"--desktop", "--size", "800x600"}, "--size cannot be combined with --desktop"},
        {{"--desktop", "--windowed"}, "--desktop cannot be combined with --windowed"},
        {{"--windowed", "--capture", "show.mp4"}, "--windowed goes only with the show itself"},
        {{"--capture", "shots/", "--desktop"}, "--desktop goes only with the show itself"},
        {{"--vsync", "--capture", "show.mp4"}, "--vsync goes only with the show itself"},
        {{"--capture", "show.mp4", "--decode", "a.png", "b.pam"}, "--decode cannot be combined with another mode"},
    };
    for (const auto& [args, says] : cases) {
        std::string shown;
        for (const std::string& a : args) shown += "[" + a + "] ";
        SCOPED_TRACE(shown);
        RunResult r = run(args);
        EXPECT_TRUE(r.exited(2)) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind(std::string("oargala: ") + says, 0), 0u) << r.err;
        EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), usage_text);
        EXPECT_EQ(list_dir(dir), std::vector<std::string>{});
    }
}

TEST_F(Entry, NoDisplayRefusesTheShowInOneLine)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "(DISPLAY and WAYLAND_DISPLAY are unset); try --capture show.mp4\n"},
        {{"DISPLAY=:7919"}, "(cannot open display \":7919\""},
        // SDL's invisible drivers count as no display either.
        {{"DISPLAY=:0", "SDL_VIDEODRIVER=offscreen"}, "offscreen"},
        {{"DISPLAY=:0", "SDL_VIDEODRIVER=dummy"}, "dummy"},
    };
    for (const auto& [env, says] : cases) {
        for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--windowed", "--size", "16x16"}}) {
            SCOPED_TRACE(says + (args.empty() ? "" : " --windowed"));
            RunResult r = run(args, env);
            EXPECT_TRUE(r.exited(1));
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_EQ(r.err.rfind("oargala: no display to show the window on (", 0), 0u) << r.err;
            EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        }
    }
}
