// cli_test.cpp: oargala --capture as a user runs it, in a folder with a data/
// link to the show's files; real Mesa, ffmpeg and ffprobe. Checked: exit codes,
// lines on stderr, the files left behind and their pixels, frames and streams.
#include "tests/capture/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

using Names = std::vector<std::string>;

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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
    EXPECT_TRUE(contains(full.err, "oargala: captured 795 frames (159.00 s of show), 795 pictures in full/"));
    // Not a terminal: one progress line every 10%.
    EXPECT_EQ(std::count(full.err.begin(), full.err.end(), '%'), 10) << full.err;
    EXPECT_TRUE(contains(full.err, "oargala:  10%  frame 80/795, show 16.00 s")) << full.err;
    EXPECT_TRUE(contains(full.err, "oargala: 100%  frame 795/795, show 159.00 s")) << full.err;
    EXPECT_EQ(list_dir(dir + "/full").size(), 795u);

    // 0 is frame 1; 27.2 s is frame 136 exactly; 63.1 s is frame 315.5, so
    // 316. The run ends after the last one. An existing folder needs no /.
    // On a terminal the progress is one line redrawn in place (the terminal
    // turns \n into \r\n), ended by the summary on a line of its own.
    mkdir((dir + "/picked").c_str(), 0755);
    std::string shown = run_tool({"script", "-qec", "cd '" + dir + "' && '" + oargala_binary + "' --capture picked "
                                  "--fps 5 --size 80x60 --at 63.1,0,27.2,63,100.5,63; echo exit=$?", "/dev/null"});
    EXPECT_TRUE(contains(shown, "\r\033[Kframe 503/503  show 100.60 s  [########################]")) << shown;
    EXPECT_TRUE(contains(shown, " left\r\noargala: captured 503 frames (100.60 s of show), 5 pictures in picked/"))
        << shown;
    EXPECT_TRUE(contains(shown, "\r\nexit=0\r\n")) << shown;
    EXPECT_FALSE(contains(shown, "10%")) << shown;
    EXPECT_EQ(list_dir(dir + "/picked"),
              (Names{"frame-00001.png", "frame-00136.png", "frame-00315.png", "frame-00316.png", "frame-00503.png"}));
    for (const std::string& name : list_dir(dir + "/picked"))
        EXPECT_TRUE(pixels(dir + "/picked/" + name) == pixels(dir + "/full/" + name)) << name;

    // The crisis card at 73 s (frame 365) fills the 80x60 picture: wider,
    // bars left and right; taller, above and below.
    std::vector<uint8_t> card = pixels(dir + "/full/frame-00365.png");
    EXPECT_GT(*std::max_element(card.begin(), card.end()), 100);
    // In the picture's own colours: red, green and blue each near their
    // mean in crisis.png (whose red and blue differ by 16 levels).
    std::vector<uint8_t> crisis = pixels(std::string(source_dir) + "/data/crisis.png");
    for (size_t channel = 0; channel < 3; channel++) {
        auto mean = [&](const std::vector<uint8_t>& rgb) {
            double sum = 0;
            for (size_t i = channel; i < rgb.size(); i += 3) sum += rgb[i];
            return sum * 3 / (double)rgb.size();
        };
        EXPECT_NEAR(mean(card), mean(crisis), 6) << "channel " << channel;
    }
    for (auto [w, h, x, y] : {std::array<unsigned, 4>{160, 60, 40, 0}, {80, 120, 0, 30}}) {
        std::string size = std::to_string(w) + "x" + std::to_string(h);
        RunResult r = run_oargala({{"--capture", size + "/", "--fps", "5", "--size", size, "--at", "73"}, dir});
        ASSERT_TRUE(r.exited(0)) << r.err;
        std::vector<uint8_t> seen = pixels(dir + "/" + size + "/frame-00365.png"), wanted((size_t)w * h * 3);
        for (unsigned row = 0; row < 60; row++) std::copy_n(&card[row * 240], 240, &wanted[((row + y) * w + x) * 3]);
        EXPECT_TRUE(std::equal(seen.begin(), seen.end(), wanted.begin(), wanted.end(),
                               [](int a, int b) { return std::abs(a - b) <= 2; })) << size;
    }
    // 159 s is in the show, but at 59.94 fps its last frame is drawn at 158.992 s.
    RunResult r = run_oargala({{"--capture", "late/", "--fps", "60000/1001", "--size", "16x16", "--at", "159"}, dir});
    EXPECT_TRUE(r.exited(2));
    EXPECT_EQ(r.err, "oargala: --at: 159.000000 s is after the show's last frame at 60000/1001 (59.940) fps "
                     "(frame 9530 at 158.992 s)\n");
    EXPECT_EQ(list_dir(dir), (Names{"160x60", "80x120", "data", "full", "picked"}));
    remove_tree(dir);
}

// The GLES 2 renderer (the browser's) against OpenGL 1.1 in every scene: the
// loading screen, title cards, world, both flicker flip-books, a card, the
// slideshow, the cube turning and the closing cards. Both run on llvmpipe,
// so edges and texture samples agree; what differs is the order of float
// operations in Mesa's fixed-function shader and ours (transform, colour
// times texel), which moves a linearly filtered sample by a fraction of a
// texel: a level or two at most where pictures have sharp detail. 3 levels
// allow for that and nothing more. The card at 130 s does not load: its
// empty texture draws plain white, as GL 1.1 draws it, not black.
TEST(CaptureCli, GLES2RendererDrawsTheFramesOfOpenGL11)
{
    std::string dir = make_temp_dir(false), data = std::string(source_dir) + "/data/";
    mkdir((dir + "/data").c_str(), 0755);
    for (const std::string& name : list_dir(data))
        if (name != "fendrask.png") {
            EXPECT_EQ(symlink((data + name).c_str(), (dir + "/data/" + name).c_str()), 0);
        }
    std::ofstream(dir + "/data/fendrask.png") << "not a picture";
    const std::string times = "2,20,30,45,60,68,74,85,97,102,108,113,130,155";
    pid_t runs[2];
    const char* const renderers[2] = {"gl11", "gles2"};
    for (int i = 0; i < 2; i++)
        runs[i] = start_oargala({{"--renderer", renderers[i], "--capture", std::string(renderers[i]) + "/", "--fps",
                                  "10", "--size", "160x120", "--at", times}, dir},
                                dir + "/" + renderers[i] + ".out", dir + "/" + renderers[i] + ".err");
    for (int i = 0; i < 2; i++) {
        std::string name = renderers[i];
        RunResult r = wait_oargala(runs[i], dir + "/" + name + ".out", dir + "/" + name + ".err");
        ASSERT_TRUE(r.exited(0)) << r.err;
        EXPECT_EQ(contains(r.err, "real time, drawn by the GLES 2 renderer\n"), i == 1) << r.err;
    }
    Names frames = list_dir(dir + "/gl11");
    ASSERT_EQ(frames.size(), 14u);
    ASSERT_EQ(list_dir(dir + "/gles2"), frames);
    for (const std::string& frame : frames) {
        std::vector<uint8_t> gl11 = pixels(dir + "/gl11/" + frame), gles2 = pixels(dir + "/gles2/" + frame);
        ASSERT_EQ(gl11.size(), gles2.size()) << frame;
        int worst = 0;
        for (size_t i = 0; i < gl11.size(); i++) worst = std::max(worst, std::abs(gl11[i] - gles2[i]));
        EXPECT_LE(worst, 3) << frame;
    }
    remove_tree(dir);
}

// ffprobe's values of some entries of one stream, comma-separated.
static std::string probe(const std::string& file, const char* stream, const char* entries)
{
    return run_tool({"ffprobe", "-v", "error", "-count_frames", "-select_streams", stream, "-show_entries", entries,
                     "-of", "csv=p=0", file});
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
    const int16_t *x = a.data() + from, *y = b.data() + from + shift;
    auto dot = [](const int16_t* p, const int16_t* q) { return std::inner_product(p, p + 22050, q, 0.0); };
    return dot(x, y) / std::sqrt(dot(x, x) * dot(y, y) + 1);
}

// The whole show into videos: every frame at the size and rate asked for,
// and an audio track as long as the show. At 4 fps video time 0 shows the
// show at 1/4 s, so the soundtrack (started at show time 0) is heard from
// its 0.25 s on. Without a soundtrack the track is silent.
TEST(CaptureCli, VideosHoldEveryFrameAndTheSoundtrackInPlace)
{
    const struct {
        const char *output, *fps, *size, *frames, *video;
    } cases[] = {
        {"show.mp4", "4", "320x240", "636", "h264,320,240,yuv420p,4/1,636\n\"mov,mp4,m4a,3gp,3g2,mj2\"\n"},
        {"quiet.MKV", "2", "64x48", "318", "h264,64,48,yuv420p,2/1,318\n\"matroska,webm\"\n"},
    };
    std::vector<int16_t> soundtrack = decode_audio(std::string(source_dir) + "/data/lall.mp3");
    ASSERT_GT(soundtrack.size(), 130u * 44100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        bool music = c.output == std::string("show.mp4");
        std::string dir = make_temp_dir(music);   // no data/: no pictures, no music
        RunResult r = run_oargala({{"--capture", c.output, "--fps", c.fps, "--size", c.size}, dir});
        ASSERT_TRUE(r.exited(0)) << r.err;
        EXPECT_EQ(list_dir(dir), (music ? Names{"data", c.output} : Names{c.output}));
        EXPECT_TRUE(contains(r.err, std::string("oargala: capturing the show into ") + c.output + ": " + c.size +
                                        " at " + c.fps + " fps, " + c.frames + " frames\n")) << r.err;
        EXPECT_TRUE(contains(r.err, std::string("oargala: captured ") + c.frames + " frames (159.00 s of show) into " +
                                        c.output + " in ")) << r.err;
        std::string file = dir + "/" + c.output;
        EXPECT_EQ(probe(file, "v:0", "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames:"
                                     "format=format_name"), c.video);
        EXPECT_EQ(probe(file, "a:0", "stream=codec_name,sample_rate,channels"), "aac,44100,2\n");
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
    return contains(run_tool({"sh", "-c", "cat /proc/[0-9]*/cmdline 2>/dev/null"}), text);
}

// Interrupted captures remove what they wrote and end by the signal: the
// temporary video and its ffmpeg, this run's pictures (keeping files that
// were there before), the folder the capture made. A failed one too.
TEST(CaptureCli, StoppedCapturesLeaveNothingThatLooksFinished)
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
        siginfo_t info = {};   // WNOWAIT: the child stays for wait_oargala to collect
        while (!c.started() && waitid(P_PID, (id_t)pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != pid)
            usleep(20000);
        ASSERT_TRUE(c.started()) << read_text(err);
        kill(pid, c.sig);
        RunResult r = wait_oargala(pid, out, err);
        EXPECT_TRUE(r.killed_by(c.sig)) << r.err;
        EXPECT_TRUE(contains(r.err, std::string("oargala: capture interrupted by ") + strsignal(c.sig) +
                                        "; removed what it had written\n")) << r.err;
        EXPECT_FALSE(process_mentions(dir + "/show.mp4"));
        EXPECT_EQ(list_dir(dir), (Names{"data", "shots"}));
        EXPECT_EQ(list_dir(dir + "/shots"), Names{"notes.txt"});
    }
    // ffmpeg may write only 64 KiB (the limit is inherited): the system stops
    // it half-way, and oargala's next frame meets a broken pipe.
    RunSetup limited({"--capture", "show.mp4", "--fps", "10", "--size", "320x240"}, dir);
    limited.file_size_limit = 64 * 1024;
    RunResult r = run_oargala(limited);
    EXPECT_TRUE(r.exited(1));
    EXPECT_TRUE(contains(r.err, "oargala: capture failed: ffmpeg was ended by signal File size limit exceeded and "
                                "stopped reading frames; nothing was kept\n")) << r.err;
    EXPECT_EQ(list_dir(dir), (Names{"data", "shots"}));
    remove_tree(dir);
}
