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
#include <filesystem>
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
    // 316; 100.4 s is a card the frame before showed too. The run ends after the
    // last one. An existing folder needs no /.
    // On a terminal the progress is one line redrawn in place (the terminal
    // turns \n into \r\n), ended by the summary on a line of its own.
    mkdir((dir + "/picked").c_str(), 0755);
    std::string shown = run_tool({"script", "-qec", "cd '" + dir + "' && '" + oargala_binary + "' --capture picked/ "
                                  "--fps 5 --size 80x60 --at 63.1,0,27.2,63,100.4,100.5,63; echo exit=$?", "/dev/null"});
    EXPECT_TRUE(contains(shown, "\r\033[Kframe 503/503  show 100.60 s  [########################]")) << shown;
    EXPECT_TRUE(contains(shown, " left\r\noargala: captured 503 frames (100.60 s of show), 6 pictures in picked/"))
        << shown;
    EXPECT_TRUE(contains(shown, "\r\nexit=0\r\n")) << shown;
    EXPECT_FALSE(contains(shown, "10%")) << shown;
    EXPECT_EQ(list_dir(dir + "/picked"),
              (Names{"frame-00001.png", "frame-00136.png", "frame-00315.png", "frame-00316.png", "frame-00502.png", "frame-00503.png"}));
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
// its 0.25 s on. Without a soundtrack the track is silent. At 11/7 fps the
// show's end falls between frames: 249 frames, the last at 158.454 s.
TEST(CaptureCli, VideosHoldEveryFrameAndTheSoundtrackInPlace)
{
    const struct {
        const char *output, *fps, *fps_shown, *size, *frames, *seconds, *video;
    } cases[] = {
        {"show.mp4", "4", "4", "320x240", "636", "159.00", "h264,320,240,yuv420p,4/1,636\n\"mov,mp4,m4a,3gp,3g2,mj2\"\n"},
        {"quiet.MP4", "11/7", "11/7 (1.571)", "64x48", "249", "158.45", "h264,64,48,yuv420p,11/7,249\n\"mov,mp4,m4a,3gp,3g2,mj2\"\n"},
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
                                        " at " + c.fps_shown + " fps, " + c.frames +
                                        " frames, H.264 crf 18 preset veryfast, AAC 192 kb/s\n")) << r.err;
        EXPECT_TRUE(contains(r.err, std::string("oargala: captured ") + c.frames + " frames (" + c.seconds +
                                        " s of show) into " + c.output + " in ")) << r.err;
        std::string file = dir + "/" + c.output;
        EXPECT_EQ(probe(file, "v:0", "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames:"
                                     "format=format_name"), c.video);
        EXPECT_EQ(probe(file, "a:0", "stream=codec_name,sample_rate,channels"), "aac,44100,2\n");
        std::vector<int16_t> heard = decode_audio(file);
        ASSERT_NEAR((double)heard.size(), atof(c.seconds) * 44100, 0.05 * 44100);
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

// The pictures a capture has written so far, in its own folder inside dir.
static size_t pictures_under(const std::string& dir)
{
    std::error_code none_yet;
    size_t n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir, none_yet))
        n += e.path().extension() == ".png";
    return n;
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
        {"show.mp4", SIGTERM, [&] { return process_mentions(dir + "/show.mp4."); }},
        {"shots/", SIGINT, [&] { return pictures_under(dir + "/shots") >= 3; }},
        {"fresh/", SIGHUP, [&] { return pictures_under(dir + "/fresh") >= 2; }},
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
    // An ffmpeg that takes every frame and then fails: its exit code and last line.
    std::string fake = make_fake_ffmpeg();
    r = run_oargala({{"--capture", "show.mp4", "--to", "0.1", "--size", "16x16"}, dir, {"PATH=" + fake + ":/usr/bin:/bin"}});
    EXPECT_TRUE(r.exited(1));
    EXPECT_TRUE(contains(r.err, "oargala: capture failed: ffmpeg failed (exit code 1): Error writing trailer: No space "
                                "left on device; nothing was kept\n")) << r.err;
    EXPECT_EQ(list_dir(dir), (Names{"data", "shots"}));
    remove_tree(fake);
    remove_tree(dir);
}

// The frames of a video, decoded to RGB rows, top row first.
static std::vector<std::vector<uint8_t>> decode_frames(const std::string& file, size_t frame_size)
{
    std::string raw = run_tool({"ffmpeg", "-v", "quiet", "-i", file, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; at + frame_size <= raw.size(); at += frame_size)
        frames.emplace_back(raw.begin() + (long)at, raw.begin() + (long)(at + frame_size));
    return frames;
}

// A stretch of the video, 105 to 107 s at 10 fps: frames 1051 to 1070, the
// still card 20 for ten frames, then the turning cube. In every format with
// its sound; the lossless one decodes to the very pixels of the pictures of
// the same stretch (with and without the detection of repeated frames), and
// its ends are the pictures --at writes at their show times. The stretch's
// sound is the soundtrack from 105.1 s (video time 0 shows the show at 1/fps).
TEST(CaptureCli, EachFormatHoldsTheStretchWithItsSound)
{
    std::string dir = make_temp_dir(true);
    const Names stretch = {"--fps", "10", "--size", "64x48", "--from", "105", "--to", "107"};
    auto run = [&](Names args, const Names& more, std::vector<std::string> env = {}) {
        args.insert(args.end(), more.begin(), more.end());
        RunResult r = run_oargala({args, dir, env});
        EXPECT_TRUE(r.exited(0)) << r.err;
        return r;
    };
    std::vector<int16_t> soundtrack = decode_audio(std::string(source_dir) + "/data/lall.mp3");
    const struct {
        const char *output, *video, *audio, *settings;
    } cases[] = {
        {"clip.mp4", "h264,64,48,yuv420p,10/1,20\n", "aac,44100,2\n", "H.264 crf 18 preset veryfast, AAC 192 kb/s"},
        {"fast.mp4", "h264,64,48,yuv420p,10/1,20\n", "aac,44100,2\n", "H.264 crf 30 preset ultrafast, AAC 192 kb/s"},
        {"clip.webm", "vp9,64,48,yuv420p,10/1,20\n", "opus,48000,2\n", "VP9 crf 24, Opus 192 kb/s"},
        {"clip.mov", "prores,64,48,yuv422p10le,10/1,20\n", "pcm_s16le,44100,2\n", "ProRes 422 HQ 10-bit, PCM 16-bit"},
        {"clip.mkv", "ffv1,64,48,bgr0,10/1,20\n", "flac,44100,2\n", "FFV1 lossless RGB, FLAC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        bool lossless = c.output == std::string("clip.mkv"), fast = c.output == std::string("fast.mp4");
        RunResult r = run({"--capture", c.output}, stretch);
        if (lossless) r = run({"--capture", c.output, "--lossless"}, stretch);
        if (fast) r = run({"--capture", c.output, "--crf", "30", "--preset", "ultrafast"}, stretch);
        EXPECT_TRUE(contains(r.err, std::string(": 64x48 at 10 fps, 20 frames (1051 to 1070 of 1590), ") + c.settings +
                                        "\n")) << r.err;
        EXPECT_TRUE(contains(r.err, std::string("oargala: captured 20 frames (105.000 to 107.000 s of the video) into ") +
                                        c.output)) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '%'), 10) << r.err;
        std::string file = dir + "/" + c.output;
        EXPECT_EQ(probe(file, "v:0", "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames"), c.video);
        EXPECT_EQ(probe(file, "a:0", "stream=codec_name,sample_rate,channels"), c.audio);
        std::vector<int16_t> heard = decode_audio(file);
        EXPECT_NEAR((double)heard.size(), 2.0 * 44100, 1024);   // one audio frame
        ASSERT_GT(heard.size(), 22050u);
        EXPECT_GT(likeness(heard, soundtrack, 0, 1051 * 4410), lossless ? 0.99 : 0.9);
    }
    run({"--capture", "pictures/"}, stretch);
    run({"--capture", "plain/"}, stretch, {"OARGALA_CAPTURE_REPEATS=off"});
    run({"--capture", "ends/"}, {"--fps", "10", "--size", "64x48", "--at", "105.1,107"});
    std::vector<std::vector<uint8_t>> frames = decode_frames(dir + "/clip.mkv", 64 * 48 * 3);
    Names names = list_dir(dir + "/pictures");
    ASSERT_EQ(names.size(), 20u);
    ASSERT_EQ(frames.size(), 20u);
    EXPECT_EQ(names.front(), "frame-01051.png");
    EXPECT_EQ(list_dir(dir + "/plain"), names);
    for (size_t i = 0; i < names.size(); i++) {
        EXPECT_TRUE(frames[i] == pixels(dir + "/pictures/" + names[i])) << names[i];
        EXPECT_TRUE(frames[i] == pixels(dir + "/plain/" + names[i])) << names[i];
    }
    EXPECT_TRUE(frames[9] == frames[0] && frames[10] != frames[9] && frames[11] != frames[10]);
    EXPECT_TRUE(frames.front() == pixels(dir + "/ends/frame-01051.png"));
    EXPECT_TRUE(frames.back() == pixels(dir + "/ends/frame-01070.png"));
    remove_tree(dir);
}

// At 10 fps frame 1051 shows the still card 20 and frame 1065 the turning
// cube. --blur 1 is no blur, byte for byte; --blur 4 leaves the card as it
// is and makes the cube the rounded mean of the four sub-frames a 40 fps
// capture draws in that frame's tenth of a second.
TEST(CaptureCli, MotionBlurIsTheMeanOfTheSubFrames)
{
    std::string dir = make_temp_dir(true);
    for (auto [folder, fps, blur, at] : {std::array<const char*, 4>{"plain/", "10", "1", "105.1,106.5"},
                                         {"one/", "10", "1", "105.1,106.5"},
                                         {"four/", "10", "4", "105.1,106.5"},
                                         {"sub/", "40", "1", "106.425,106.45,106.475,106.5"}}) {
        Names args = {"--capture", folder, "--fps", fps, "--size", "64x48", "--at", at};
        if (folder != std::string("plain/")) args.insert(args.end(), {"--blur", blur});
        RunResult r = run_oargala({args, dir});
        ASSERT_TRUE(r.exited(0)) << r.err;
    }
    for (const char* name : {"frame-01051.png", "frame-01065.png"})
        EXPECT_EQ(read_text(dir + "/one/" + name), read_text(dir + "/plain/" + name)) << name;
    EXPECT_TRUE(pixels(dir + "/four/frame-01051.png") == pixels(dir + "/plain/frame-01051.png"));
    std::vector<uint8_t> blurred = pixels(dir + "/four/frame-01065.png"), mean(blurred.size());
    EXPECT_FALSE(blurred == pixels(dir + "/plain/frame-01065.png"));
    std::vector<unsigned> sum(blurred.size(), 2);
    for (const std::string& name : list_dir(dir + "/sub")) {
        std::vector<uint8_t> sub = pixels(dir + "/sub/" + name);
        for (size_t i = 0; i < sub.size(); i++) sum[i] += sub[i];
    }
    EXPECT_EQ(list_dir(dir + "/sub").front(), "frame-04257.png");
    std::transform(sum.begin(), sum.end(), mean.begin(), [](unsigned s) { return (uint8_t)(s / 4); });
    EXPECT_TRUE(blurred == mean);
    remove_tree(dir);
}
