// cli_test.cpp: oargala --capture as a user runs it: the real binary in a
// folder of the test's own with a data/ link to the show's pictures and
// soundtrack, real Mesa, real ffmpeg and ffprobe. What is checked is what a
// user gets: exit codes, the lines on stderr, the files left behind and their
// pixels, frames and streams.
#include "tests/capture/process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

static void touch(const std::string& path, const char* text = "x")
{
    std::ofstream(path) << text;
}

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }


TEST(CaptureCli, BadArgumentsGiveOneLineAndExitCode2)
{
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"--capture"}, "--capture needs a value"},
        {{"--capture", "show.avi"}, "neither a .mp4 or .mkv file nor a folder"},
        {{"--capture", "show"}, "neither a .mp4 or .mkv file nor a folder"},
        {{"--capture", "show.mp4", "--fps"}, "--fps needs a value"},
        {{"--capture", "show.mp4", "--fps", "0"}, "--fps: '0' is not a frame rate"},
        {{"--capture", "show.mp4", "--fps", "abc"}, "--fps: 'abc'"},
        {{"--capture", "show.mp4", "--fps", "60/0"}, "--fps: '60/0'"},
        {{"--capture", "show.mp4", "--fps", "1/2"}, "--fps: '1/2'"},
        {{"--capture", "show.mp4", "--fps", "1001"}, "--fps: '1001'"},
        {{"--capture", "show.mp4", "--fps", "30/"}, "--fps: '30/'"},
        {{"--capture", "show.mp4", "--fps", "/2"}, "--fps: '/2'"},
        {{"--capture", "show.mp4", "--fps", "-30"}, "--fps: '-30'"},
        {{"--capture", "show.mp4", "--fps", "29.97"}, "--fps: '29.97'"},
        {{"--capture", "show.mp4", "--fps", ""}, "--fps: ''"},
        {{"--capture", "show.mp4", "--fps", "99999999999"}, "--fps: '99999999999'"},
        {{"--capture", "show.mp4", "--size", "640"}, "--size: '640' is not a size"},
        {{"--capture", "show.mp4", "--size", "640x"}, "--size: '640x'"},
        {{"--capture", "show.mp4", "--size", "x480"}, "--size: 'x480'"},
        {{"--capture", "show.mp4", "--size", "0x0"}, "--size: '0x0'"},
        {{"--capture", "show.mp4", "--size", "15x480"}, "--size: '15x480'"},
        {{"--capture", "show.mp4", "--size", "8193x480"}, "--size: '8193x480'"},
        {{"--capture", "show.mp4", "--size", "640X480"}, "--size: '640X480'"},
        {{"--capture", "show.mp4", "--size", "-640x480"}, "--size: '-640x480'"},
        {{"--capture", "show.mp4", "--size", "641x480"}, "a video needs an even width and height"},
        {{"--capture", "show.mkv", "--size", "640x481"}, "a video needs an even width and height"},
        {{"--capture", "show.mp4", "--at", "10"}, "--at goes with a folder of pictures"},
        {{"--capture", "shots/", "--at", "abc"}, "--at: 'abc' is not a show time"},
        {{"--capture", "shots/", "--at", "1,,2"}, "--at: '' is not a show time"},
        {{"--capture", "shots/", "--at", "1,"}, "--at: '' is not a show time"},
        {{"--capture", "shots/", "--at", ""}, "--at: '' is not a show time"},
        {{"--capture", "shots/", "--at", "-1"}, "--at: '-1' is not a show time"},
        {{"--capture", "shots/", "--at", "1.2345678"}, "--at: '1.2345678' is not a show time"},
        {{"--capture", "shots/", "--at", "1."}, "--at: '1.' is not a show time"},
        {{"--capture", "shots/", "--at", "160"}, "--at: 160 is past the end of the show"},
        {{"--capture", "shots/", "--at", "159.000001"}, "--at: 159.000001 is past the end of the show"},
        // 159 s is in the show, but at 59.94 fps its last frame is drawn at 158.992 s.
        {{"--capture", "shots/", "--fps", "60000/1001", "--at", "1,159"},
         "--at: 159.000000 s is after the show's last frame at 60000/1001 (59.940) fps (frame 9530 at 158.992 s)"},
        {{"--fps", "30"}, "--fps goes with --capture"},
        {{"--size", "320x240"}, "--size goes with --capture"},
        {{"--at", "3"}, "--at goes with --capture"},
        {{"--windowed", "--capture", "show.mp4"}, "--windowed goes only with the show itself"},
        {{"--capture", "show.mp4", "--decode", "a.png", "b.pam"}, "cannot be combined with another mode"},
        {{"--capture", "show.mp4", "--speed", "2"}, "unknown option '--speed'"},
    };
    std::string dir = make_temp_dir(true);
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) shown += "[" + a + "] ";
        SCOPED_TRACE(shown);
        RunResult r = run_oargala({c.args, dir});
        EXPECT_TRUE(r.exited(2)) << r.err;
        EXPECT_EQ(r.first_err_line().rfind("oargala: ", 0), 0u) << r.err;
        EXPECT_TRUE(contains(r.first_err_line(), c.says)) << r.err;
        EXPECT_EQ(r.out, "");
        // Nothing was rendered or written.
        EXPECT_EQ(list_dir(dir), std::vector<std::string>{"data"});
    }
    remove_tree(dir);
}

TEST(CaptureCli, RunTimeFailuresGiveOneLineExitCode1AndLeaveNothing)
{
    std::string dir = make_temp_dir(true);
    touch(dir + "/plain-file");

    // An output folder that is a file.
    RunResult r = run_oargala({{"--capture", "plain-file/show.mp4"}, dir});
    EXPECT_TRUE(r.exited(1)) << r.err;
    EXPECT_EQ(r.first_err_line(), "oargala: cannot write plain-file/show.mp4: Not a directory");
    r = run_oargala({{"--capture", "plain-file/"}, dir});
    EXPECT_TRUE(r.exited(1)) << r.err;
    EXPECT_EQ(r.first_err_line(), "oargala: cannot make the folder plain-file/: Not a directory");
    r = run_oargala({{"--capture", "no/such/folder/"}, dir});
    EXPECT_TRUE(r.exited(1)) << r.err;
    EXPECT_EQ(r.first_err_line(), "oargala: cannot make the folder no/such/folder/: No such file or directory");

    // No ffmpeg on PATH: a video cannot be made, and nothing is started.
    std::string empty_bin = dir + "/empty-bin";
    mkdir(empty_bin.c_str(), 0755);
    r = run_oargala({{"--capture", "show.mp4", "--fps", "1"}, dir, {"PATH=" + empty_bin}});
    EXPECT_TRUE(r.exited(1)) << r.err;
    EXPECT_EQ(r.first_err_line().rfind("oargala: ffmpeg not found on PATH", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;

    // ffmpeg failing half-way: it may write only 64 KiB (the limit is
    // inherited), so the system stops it and oargala's next frame meets a
    // broken pipe.
    RunSpec spec = {{"--capture", "show.mp4", "--fps", "10", "--size", "320x240"}, dir};
    spec.file_size_limit = 64 * 1024;
    r = run_oargala(spec);
    EXPECT_TRUE(r.exited(1)) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala: capture failed: ffmpeg")) << r.err;
    EXPECT_TRUE(contains(r.err, "nothing was kept")) << r.err;
    EXPECT_FALSE(contains(r.err, "oargala: captured")) << r.err;

    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"data", "empty-bin", "plain-file"}));
    EXPECT_FALSE(file_exists(dir + "/show.mp4.partial"));
    remove_tree(dir);
}
