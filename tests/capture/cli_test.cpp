// cli_test.cpp: oargala --capture as a user runs it: the real binary in a
// folder of the test's own with a data/ link to the show's pictures and
// soundtrack, real Mesa, real ffmpeg and ffprobe. What is checked is what a
// user gets: exit codes, the lines on stderr, the files left behind and their
// pixels, frames and streams.
#include "tests/capture/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

using Names = std::vector<std::string>;

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CaptureCli, FailuresGiveTheirLineAndLeaveNothing)
{
    std::string dir = make_temp_dir(true);
    std::ofstream(dir + "/plain-file") << "x";
    mkdir((dir + "/empty-bin").c_str(), 0755);
    const struct {
        std::vector<std::string> args, env;
        long limit;
        int code;
        const char* says;   // the last line
    } cases[] = {
        {{"--capture", "plain-file/show.mp4"}, {}, -1, 1, "oargala: cannot write plain-file/show.mp4: Not a directory\n"},
        {{"--capture", "plain-file/"}, {}, -1, 1, "oargala: cannot make the folder plain-file/: Not a directory\n"},
        {{"--capture", "no/such/"}, {}, -1, 1, "oargala: cannot make the folder no/such/: No such file or directory\n"},
        {{"--capture", "show.mp4"}, {"PATH=" + dir + "/empty-bin"}, -1, 1,
         "oargala: ffmpeg not found on PATH; a video capture needs it (Debian package ffmpeg), pictures do not "
         "(--capture DIR/)\n"},
        // 159 s is in the show, but at 59.94 fps its last frame is drawn at 158.992 s.
        {{"--capture", "shots/", "--fps", "60000/1001", "--at", "1,159"}, {}, -1, 2,
         "oargala: --at: 159.000000 s is after the show's last frame at 60000/1001 (59.940) fps "
         "(frame 9530 at 158.992 s)\n"},
        // ffmpeg may write only 64 KiB (the limit is inherited): the system
        // stops it, and oargala's next frame meets a broken pipe.
        {{"--capture", "show.mp4", "--fps", "10", "--size", "320x240"}, {}, 64 * 1024, 1,
         "oargala: capture failed: ffmpeg was ended by signal File size limit exceeded and stopped reading frames; "
         "nothing was kept\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        RunSetup setup(c.args, dir, c.env);
        setup.file_size_limit = c.limit;
        RunResult r = run_oargala(setup);
        EXPECT_TRUE(r.exited(c.code)) << r.err;
        EXPECT_EQ(r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1), c.says) << r.err;
        if (c.limit < 0) {   // refused before the show started
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
        EXPECT_EQ(list_dir(dir), (Names{"data", "empty-bin", "plain-file"}));
    }
    remove_tree(dir);
}

// RGB, top row first.
static std::vector<uint8_t> pixels(const std::string& path)
{
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(read_png_rgb(path, &width, &height, &rgb)) << path;
    return rgb;
}

// Every frame of the show at 5 fps, then frames picked with --at: the same
// files, pixel for pixel, and only those. Then other sizes: the 4:3 picture
// scaled to fit and centred between black bars.
TEST(CaptureCli, PicturesAtChosenTimesMatchTheFullRunAndLetterbox)
{
    std::string dir = make_temp_dir(true);
    RunResult full = run_oargala({{"--capture", "full/", "--fps", "5", "--size", "80x60"}, dir});
    ASSERT_TRUE(full.exited(0)) << full.err;
    EXPECT_TRUE(contains(full.err, "oargala: captured 795 frames (159.00 s of show), 795 pictures in full/")) << full.err;
    // Not a terminal: one progress line every 10%.
    EXPECT_EQ(std::count(full.err.begin(), full.err.end(), '%'), 10) << full.err;
    EXPECT_TRUE(contains(full.err, "oargala:  10%  frame 80/795, show 16.00 s")) << full.err;
    EXPECT_TRUE(contains(full.err, "oargala: 100%  frame 795/795, show 159.00 s")) << full.err;
    Names all = list_dir(dir + "/full");
    ASSERT_EQ(all.size(), 795u);
    EXPECT_EQ(all.back(), "frame-00795.png");

    // 0 is frame 1; 27.2 s is frame 136 exactly; 63.1 s is frame 315.5, so
    // 316. The run ends after the last one. An existing folder needs no /.
    mkdir((dir + "/picked").c_str(), 0755);
    RunResult at = run_oargala({{"--capture", "picked", "--fps", "5", "--size", "80x60", "--at",
                                 "63.1,0,27.2,63,100.5,63"}, dir});
    ASSERT_TRUE(at.exited(0)) << at.err;
    EXPECT_TRUE(contains(at.err, "captured 503 frames (100.60 s of show), 5 pictures in picked/")) << at.err;
    Names expected;
    for (const char* n : {"00001", "00136", "00315", "00316", "00503"}) {
        expected.push_back(std::string("frame-") + n + ".png");
        EXPECT_TRUE(pixels(dir + "/picked/" + expected.back()) == pixels(dir + "/full/" + expected.back())) << n;
    }
    EXPECT_EQ(list_dir(dir + "/picked"), expected);

    // The crisis card at 73 s (frame 365) fills the 80x60 picture: wider,
    // bars left and right; taller, above and below.
    std::vector<uint8_t> card = pixels(dir + "/full/frame-00365.png");
    EXPECT_GT(*std::max_element(card.begin(), card.end()), 100);
    for (auto [w, h, x, y] : {std::array<unsigned, 4>{160, 60, 40, 0}, {80, 120, 0, 30}}) {
        std::string size = std::to_string(w) + "x" + std::to_string(h);
        ASSERT_TRUE(run_oargala({{"--capture", size + "/", "--fps", "5", "--size", size, "--at", "73"}, dir}).exited(0));
        std::vector<uint8_t> seen = pixels(dir + "/" + size + "/frame-00365.png"), wanted((size_t)w * h * 3);
        for (unsigned row = 0; row < 60; row++) std::copy_n(&card[row * 240], 240, &wanted[((row + y) * w + x) * 3]);
        ASSERT_EQ(seen.size(), wanted.size()) << size;
        int worst = 0;
        for (size_t i = 0; i < seen.size(); i++) worst = std::max(worst, std::abs(seen[i] - wanted[i]));
        EXPECT_LE(worst, 2) << size;
    }
    remove_tree(dir);
}

// ffprobe's key=value lines of some entries of one stream.
static std::string probe(const std::string& file, const char* stream, const char* entries)
{
    return run_tool({"ffprobe", "-v", "error", "-count_frames", "-select_streams", stream, "-show_entries", entries,
                     "-of", "default=noprint_wrappers=1", file});
}

// Mono 16-bit samples at 44.1 kHz of the first audio stream of a file.
static std::vector<int16_t> decode_audio(const std::string& file)
{
    std::string raw = run_tool({"ffmpeg", "-v", "quiet", "-i", file, "-map", "0:a:0", "-ac", "1", "-ar", "44100",
                                "-f", "s16le", "-"});
    std::vector<int16_t> samples(raw.size() / 2);
    memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

// How alike a[i] and b[i + shift] are over half a second from `from`: 1 when
// the same; below 0.6 already 5 samples off.
static double likeness(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t shift)
{
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = from; i < from + 22050; i++) {
        ab += (double)a[i] * b[i + shift];
        aa += (double)a[i] * a[i];
        bb += (double)b[i + shift] * b[i + shift];
    }
    return ab / std::sqrt(aa * bb + 1);
}

// The whole show into videos: every frame at the size and rate asked for,
// and an audio track as long as the show. At 4 fps video time 0 shows the
// show at 1/4 s, so the soundtrack (started at show time 0) is heard from
// its 0.25 s on. Without data/lall.mp3 the track is silent.
TEST(CaptureCli, VideosHoldEveryFrameAndTheSoundtrackInPlace)
{
    const struct {
        const char *output, *fps, *size, *frames, *video;
    } cases[] = {
        {"show.mp4", "4", "320x240", "636",
         "codec_name=h264\nwidth=320\nheight=240\npix_fmt=yuv420p\nr_frame_rate=4/1\nnb_read_frames=636\n"
         "format_name=mov,mp4,m4a,3gp,3g2,mj2\n"},
        {"quiet.mkv", "2", "64x48", "318",
         "codec_name=h264\nwidth=64\nheight=48\npix_fmt=yuv420p\nr_frame_rate=2/1\nnb_read_frames=318\n"
         "format_name=matroska,webm\n"},
    };
    std::string data = std::string(source_dir) + "/data/";
    std::vector<int16_t> soundtrack = decode_audio(data + "lall.mp3");
    ASSERT_GT(soundtrack.size(), 130u * 44100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        bool music = c.output == std::string("show.mp4");
        std::string dir = make_temp_dir(music);
        if (!music) std::filesystem::create_directory(dir + "/data");
        for (const std::string& name : music ? Names{} : list_dir(data))
            if (name != "lall.mp3") std::filesystem::create_symlink(data + name, dir + "/data/" + name);
        RunResult r = run_oargala({{"--capture", c.output, "--fps", c.fps, "--size", c.size}, dir});
        ASSERT_TRUE(r.exited(0)) << r.err;
        EXPECT_EQ(list_dir(dir), (Names{"data", c.output}));
        EXPECT_EQ(r.err.rfind(std::string("oargala: capturing the show into ") + c.output + ": " + c.size + " at " +
                                  c.fps + " fps, " + c.frames + " frames\n", 0), 0u) << r.err;
        EXPECT_TRUE(contains(r.err, std::string("oargala: captured ") + c.frames + " frames (159.00 s of show) into " +
                                        c.output + " in ")) << r.err;
        EXPECT_TRUE(contains(r.err, "x real time\n")) << r.err;
        std::string file = dir + "/" + c.output;
        EXPECT_EQ(probe(file, "v:0", "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames:"
                                     "format=format_name"), c.video);
        EXPECT_EQ(probe(file, "a:0", "stream=codec_name,sample_rate,channels"),
                  "codec_name=aac\nsample_rate=44100\nchannels=2\n");
        std::vector<int16_t> heard = decode_audio(file);
        ASSERT_NEAR((double)heard.size(), 159.0 * 44100, 0.05 * 44100);
        auto [quietest, loudest] = std::minmax_element(heard.begin(), heard.end());
        EXPECT_EQ(*loudest - *quietest == 0, !music);
        EXPECT_EQ(contains(r.err, "oargala: the show played no soundtrack; the video gets a silent audio track\n"),
                  !music) << r.err;
        if (music) {   // where the music plays: 30 s and 120 s into the video
            for (size_t at : {30u * 44100, 120u * 44100}) EXPECT_GT(likeness(heard, soundtrack, at, 11025), 0.9) << at;
        }
        remove_tree(dir);
    }
}

// Whether any process has text on its command line (a stray ffmpeg).
static bool process_mentions(const std::string& text)
{
    for (const std::string& pid : list_dir("/proc")) {
        std::string cmdline = read_text("/proc/" + pid + "/cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (isdigit((unsigned char)pid[0]) && contains(cmdline, text)) return true;
    }
    return false;
}

// Interrupted captures remove what they wrote and end by the signal: the
// temporary video and its ffmpeg, this run's pictures (keeping files that
// were there before), the folder the capture made.
TEST(CaptureCli, InterruptedCapturesLeaveNothingThatLooksFinished)
{
    std::string dir = make_temp_dir(true);
    std::string out = dir + "/.out", err = dir + "/.err";
    mkdir((dir + "/shots").c_str(), 0755);
    std::ofstream(dir + "/shots/notes.txt") << "x";
    const struct {
        const char* output;
        int sig;
        std::function<bool()> started;
    } cases[] = {
        {"show.mp4", SIGTERM, [&] { return process_mentions(dir + "/show.mp4.partial"); }},
        {"shots/", SIGINT, [&] { return list_dir(dir + "/shots").size() >= 3; }},
        {"fresh/", SIGHUP, [&] { return list_dir(dir + "/fresh").size() >= 2; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        pid_t pid = start_oargala({{"--capture", dir + "/" + c.output, "--size", "64x48"}, dir}, out, err);
        ASSERT_TRUE(wait_until(pid, c.started)) << read_text(err);
        kill(pid, c.sig);
        RunResult r = wait_oargala(pid, out, err);
        EXPECT_TRUE(r.killed_by(c.sig)) << r.err;
        EXPECT_TRUE(contains(r.err, std::string("oargala: capture interrupted by ") + strsignal(c.sig) +
                                        "; removed what it had written\n")) << r.err;
        EXPECT_FALSE(process_mentions(dir + "/show.mp4"));
        EXPECT_EQ(list_dir(dir), (Names{"data", "shots"}));
        EXPECT_EQ(list_dir(dir + "/shots"), Names{"notes.txt"});
    }
    remove_tree(dir);
}

// In a terminal the progress is one line redrawn in place, ended by the
// summary on a line of its own; no 10% lines.
TEST(CaptureCli, ProgressOnATerminalIsOneBar)
{
    std::string dir = make_temp_dir(true);
    std::string shown = run_tool({"script", "-qec", "cd '" + dir + "' && '" + oargala_binary +
                                  "' --capture shots/ --fps 10 --size 16x16 --at 5; echo exit=$?", "/dev/null"});
    // The terminal turns each \n into \r\n.
    EXPECT_TRUE(contains(shown, "\r\033[Kframe 50/50  show   5.00 s  [########################]")) << shown;
    EXPECT_TRUE(contains(shown, " left\r\noargala: captured 50 frames (5.00 s of show), 1 pictures in shots/")) << shown;
    EXPECT_TRUE(contains(shown, "\r\nexit=0\r\n")) << shown;
    EXPECT_FALSE(contains(shown, "10%")) << shown;
    EXPECT_EQ(list_dir(dir + "/shots"), Names{"frame-00050.png"});
    remove_tree(dir);
}
