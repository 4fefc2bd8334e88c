// entry_test.cpp: the oargala program's command line as a user meets it:
// what each run prints on which stream, and its exit code. No X server: the
// show itself is refused with one line when there is no display.
#include "app/options.h"
#include "tests/capture/process.h"

#include <gtest/gtest.h>

TEST(Entry, HelpAndVersionGoToStandardOutput)
{
    std::string dir = make_temp_dir(false);
    using Case = std::pair<const char*, const char*>;
    for (auto [arg, text] : {Case{"--help", usage_text}, Case{"--version", version_text}}) {
        RunResult r = run_oargala({{arg}, dir});
        EXPECT_TRUE(r.exited(0)) << arg;
        EXPECT_EQ(r.out, text);
        EXPECT_EQ(r.err, "");
    }
    remove_tree(dir);
}

// Each refusal is "oargala: " and the reason on one line of stderr; nothing is written. A bad command line
// ends with exit code 2 and the usage after that line; an output that cannot be written, a missing ffmpeg
// or a show without a display with exit code 1.
TEST(Entry, RefusalsAreOneLine)
{
    std::string dir = make_temp_dir(true), fake = make_fake_ffmpeg();
    const std::string no_display = "no display to show the window on (", path_to_fake = "PATH=" + fake + ":/usr/bin:/bin";
    const struct {
        std::vector<std::string> args;
        std::string says;
        int code = 2;
        std::vector<std::string> env = {};
    } cases[] = {
        {{"--fullscreen"}, "unknown option '--fullscreen'\n"},
        {{"--data"}, "--data needs a value\n"},
        {{"--decode", "a.png"}, "--decode needs a picture and an output file\n"},
        {{"--check-data", "--data", ""}, "--data needs a folder\n"},
        {{"--decode", "a.png", "a.pam", "--data", "d"}, "--data goes with the show, --capture or --check-data\n"},
        {{"--capture", "show.avi"}, "--capture: 'show.avi' is neither a .mp4, .mkv, .webm or .mov file nor a folder"},
        {{"--capture", "show"}, "--capture: 'show' is neither"},
        {{"--capture", "show.mp4", "--fps", "0"}, "--fps: '0' is not a frame rate from 1 to 1000 (N or N/D)\n"},
        {{"--capture", "show.mp4", "--fps", "1/2"}, "--fps: '1/2' is not"},
        {{"--capture", "show.mp4", "--fps", "1001"}, "--fps: '1001' is not"},
        {{"--capture", "show.mp4", "--fps", "abc"}, "--fps: 'abc' is not"},
        {{"--capture", "show.mp4", "--fps", "30/"}, "--fps: '30/' is not"},
        {{"--capture", "show.mp4", "--fps", "18446744073709551617"}, "--fps: '18446744073709551617' is not"},
        {{"--capture", "show.mp4", "--size", "640"}, "--size: '640' is not a size WxH from 16x16 to 8192x8192\n"},
        {{"--capture", "show.mp4", "--size", "15x16"}, "--size: '15x16' is not"},
        {{"--capture", "show.mp4", "--size", "16x15"}, "--size: '16x15' is not"},
        {{"--capture", "show.mp4", "--size", "8193x16"}, "--size: '8193x16' is not"},
        {{"--capture", "show.mp4", "--size", "16x8193"}, "--size: '16x8193' is not"},
        {{"--capture", "show.mp4", "--size", "641x480"}, "--size: a video needs an even width and height\n"},
        {{"--capture", "show.mkv", "--size", "640x481"}, "--size: a video needs an even width and height\n"},
        {{"--capture", "show.mp4", "--at", "10"}, "--at goes with a folder of pictures (DIR/), not with a video"},
        {{"--capture", "shots/", "--at", "abc"}, "--at: 'abc' is not a show time in seconds\n"},
        {{"--capture", "shots/", "--at", "1,,2"}, "--at: '' is not"},
        {{"--capture", "shots/", "--at", "1."}, "--at: '1.' is not"},
        {{"--capture", "shots/", "--at", "1.1234567"}, "--at: '1.1234567' is not"},
        {{"--capture", "shots/", "--at", "159.000001"}, "--at: 159.000001 is past the end of the show (159 s)\n"},
        {{"--capture", "show.mp4", "--crf", "99"}, "--crf: '99' is not a quality from 0 to 63\n"},
        {{"--capture", "show.mp4", "--crf", "52"}, "--crf: 52 is not from 0 to 51 for H.264\n"},
        {{"--capture", "show.mov", "--crf", "10"}, "--crf goes with H.264 (.mp4, .mkv) and VP9 (.webm), not with ProRes\n"},
        {{"--capture", "show.mkv", "--lossless", "--crf", "0"}, "--crf goes with H.264 (.mp4, .mkv) and VP9"},
        {{"--capture", "show.mp4", "--preset", "fastest"}, "--preset: 'fastest' is not one of ultrafast, superfast,"},
        {{"--capture", "show.webm", "--preset", "slow"}, "--preset goes with H.264 (.mp4, .mkv), not with VP9\n"},
        {{"--capture", "show.webm", "--lossless"}, "--lossless goes with a .mkv file (FFV1 and FLAC), not with 'show.webm'\n"},
        {{"--capture", "shots/", "--lossless"}, "--lossless goes with a video file, not with a folder of pictures\n"},
        {{"--capture", "show.mp4", "--blur", "0"}, "--blur: '0' is not a number of sub-frames from 1 (none) to 64\n"},
        {{"--capture", "show.mp4", "--blur", "65"}, "--blur: '65' is not"},
        {{"--capture", "show.mp4", "--fps", "999999999/10000000", "--blur", "64"}, "--blur: 64 sub-frames are too many"},
        {{"--capture", "show.mp4", "--from", "12", "--to", "10.5"}, "--from 12 is not before --to 10.5\n"},
        {{"--capture", "show.mp4", "--from", "10", "--to", "10"}, "--from 10 is not before --to 10\n"},
        {{"--capture", "show.mp4", "--to", "159.5"}, "--to: 159.5 is past the end of the show (159 s)\n"},
        {{"--capture", "show.mp4", "--to", "0"}, "--to: 0 leaves nothing to capture\n"},
        {{"--capture", "show.mp4", "--from", "159"}, "--from: 159 s leaves nothing: the video at 60 fps ends at 159 s (9540 frames)\n"},
        // 159 s is in the show, but at 59.94 fps its last frame is drawn at 158.992 s.
        {{"--capture", "s/", "--fps", "60000/1001", "--at", "159"}, "--at: 159 s is after the show's last frame at "
                                                                     "60000/1001 (59.940) fps (frame 9530 at 158.992 s)\n"},
        {{"--capture", "s/", "--fps", "60000/1001", "--to", "159"}, "--to: 159 s is after the show's last frame at "},
        {{"--capture", "data"}, "--capture: 'data' is a folder: write pictures into it as 'data/', or name a file\n"},
        {{"--capture", "show.mp4", "--from", "1,5"}, "--from: '1,5' is not a time in seconds\n"},
        {{"--capture", "shots/", "--at", "1", "--to", "2"}, "--at cannot be combined with --from or --to\n"},
        // Every value before the unknown option is accepted: the edges of each range.
        {{"--capture", "shots/", "--fps", "1000", "--size", "16x16", "--at", "0,1.123456,159", "-x"}, "unknown"},
        {{"--capture", "show.mp4", "--fps", "1", "--size", "8192x8192", "-x"}, "unknown option '-x'\n"},
        // And those checked after the whole line (a later check refuses): the edges of the video options.
        {{"--capture", "a.webm", "--crf", "63", "--blur", "64", "--from", "158.999999", "--to", "159", "--size",
          "641x16"}, "--size: a video needs"},
        {{"--capture", "a.mp4", "--crf", "0", "--preset", "veryslow", "--blur", "1", "--to", "0.000001", "--size",
          "641x16"}, "--size: a video needs"},
        {{"--capture", "a.mov", "--preset", "ultrafast"}, "--preset goes with H.264 (.mp4, .mkv), not with ProRes\n"},
        {{"--fps", "30"}, "--fps goes with --capture\n"},
        {{"--at", "3"}, "--at goes with --capture\n"},
        {{"--blur", "2"}, "--blur goes with --capture\n"},
        {{"--windowed", "--from", "2"}, "--from and --to go with --capture\n"},
        {{"--lossless"}, "--lossless goes with --capture\n"},
        {{"--check-data", "--size", "320x240"}, "--size goes with the show or with --capture\n"},
        {{"--capture", "shots/", "--renderer", "gles3"}, "--renderer: 'gles3' is not a renderer (gl11 or gles2)\n"},
        {{"--check-data", "--renderer", "gles2"}, "--renderer goes with the show or with --capture\n"},
        {{"--desktop", "--size", "800x600"}, "--size cannot be combined with --desktop, which keeps"},
        {{"--desktop", "--windowed"}, "--desktop cannot be combined with --windowed\n"},
        {{"--windowed", "--capture", "show.mp4"}, "--windowed goes only with the show itself\n"},
        {{"--capture", "shots/", "--desktop"}, "--desktop goes only with the show itself\n"},
        {{"--vsync", "--capture", "show.mp4"}, "--vsync goes only with the show itself\n"},
        {{"--capture", "show.mp4", "--decode", "a.png", "b.pam"}, "--decode cannot be combined with another mode\n"},
        {{"--capture", "/dev/null/show.mp4"}, "cannot write /dev/null/show.mp4: Not a directory\n", 1},
        {{"--capture", "no/such/"}, "cannot make the folder no/such/: No such file or directory\n", 1},
        {{"--capture", "show.mp4"}, "ffmpeg not found on PATH; a video capture needs it (Debian", 1, {"PATH=/none"}},
        {{"--capture", "show.webm"}, "this ffmpeg has no libvpx-vp9 encoder, which .webm needs\n", 1, {path_to_fake}},
        {{}, no_display + "DISPLAY and WAYLAND_DISPLAY are unset); try --capture show.mp4\n", 1},
        {{"--windowed", "--size", "16x16"}, no_display + "cannot open display \":7919\"", 1, {"DISPLAY=:7919"}},
        // SDL's invisible drivers count as no display either.
        {{"--windowed"}, no_display + "SDL chose its \"offscreen\"", 1, {"DISPLAY=:0", "SDL_VIDEODRIVER=offscreen"}},
        {{}, no_display + "SDL chose its \"dummy\" video driver)", 1, {"DISPLAY=:0", "SDL_VIDEODRIVER=dummy"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        std::vector<std::string> env = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_AUDIODRIVER=dummy"};   // none, whatever ours
        env.insert(env.end(), c.env.begin(), c.env.end());
        RunResult r = run_oargala({c.args, dir, env});
        EXPECT_TRUE(r.exited(c.code)) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("oargala: " + c.says, 0), 0u) << r.err;
        EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), c.code == 2 ? usage_text : "");
        EXPECT_EQ(list_dir(dir), std::vector<std::string>{"data"});
    }
    remove_tree(dir);
    remove_tree(fake);
}
