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
        {{"--size", "0x0"}, "--size: '0x0' is not a size"},
        {{"--size", "640"}, "--size: '640' is not a size"},
        {{"--windowed", "--size", "640x"}, "--size: '640x' is not a size"},
        {{"--desktop", "--size", "800x600"}, "--size cannot be combined with --desktop"},
        {{"--desktop", "--windowed"}, "--desktop cannot be combined with --windowed"},
        {{"--vsync", "--capture", "show.mp4"}, "--vsync goes only with the show itself"},
        {{"--capture", "shots/", "--desktop"}, "--desktop goes only with the show itself"},
        {{"--check-data", "--size", "320x240"}, "--size goes with the show or with --capture"},
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
    RunSetup setup = {{"--capture", "show.mp4", "--fps", "10", "--size", "320x240"}, dir};
    setup.file_size_limit = 64 * 1024;
    r = run_oargala(setup);
    EXPECT_TRUE(r.exited(1)) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala: capture failed: ffmpeg")) << r.err;
    EXPECT_TRUE(contains(r.err, "nothing was kept")) << r.err;
    EXPECT_FALSE(contains(r.err, "oargala: captured")) << r.err;

    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"data", "empty-bin", "plain-file"}));
    EXPECT_FALSE(file_exists(dir + "/show.mp4.partial"));
    remove_tree(dir);
}

static std::string picture_name(unsigned n)
{
    char name[32];
    snprintf(name, sizeof name, "frame-%05u.png", n);
    return name;
}

struct Picture {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;   // top row first
    const uint8_t* at(unsigned x, unsigned y) const { return &rgb[((size_t)y * width + x) * 3]; }
};

static Picture load(const std::string& path)
{
    Picture p;
    EXPECT_TRUE(read_png_rgb(path, &p.width, &p.height, &p.rgb)) << path;
    return p;
}

static bool all_black(const Picture& p, unsigned x0, unsigned y0, unsigned x1, unsigned y1)
{
    for (unsigned y = y0; y < y1; y++)
        for (unsigned x = x0; x < x1; x++)
            if (p.at(x, y)[0] || p.at(x, y)[1] || p.at(x, y)[2]) return false;
    return true;
}

// The largest difference of any channel between the w x h picture a and the
// same-sized part of b at (bx, by).
static int largest_difference(const Picture& a, const Picture& b, unsigned bx, unsigned by)
{
    int worst = 0;
    for (unsigned y = 0; y < a.height; y++)
        for (unsigned x = 0; x < a.width; x++)
            for (int c = 0; c < 3; c++)
                worst = std::max(worst, std::abs((int)a.at(x, y)[c] - (int)b.at(bx + x, by + y)[c]));
    return worst;
}

// Every frame of the show at 5 fps, 160x120, then the same frames picked
// with --at: the same files, pixel for pixel, and only those. Then other sizes:
// the 4:3 picture scaled to fit and centred, the bars black.
TEST(CaptureCli, PicturesAtChosenTimesMatchTheFullRunAndLetterbox)
{
    std::string dir = make_temp_dir(true);
    RunResult full = run_oargala({{"--capture", "full/", "--fps", "5", "--size", "160x120"}, dir});
    ASSERT_TRUE(full.exited(0)) << full.err;
    EXPECT_EQ(full.out.find("oargala:"), std::string::npos);
    EXPECT_TRUE(contains(full.err, "oargala: captured 795 frames (159.00 s of show), 795 pictures in full/")) << full.err;
    std::vector<std::string> all = list_dir(dir + "/full");
    ASSERT_EQ(all.size(), 795u);
    EXPECT_EQ(all.front(), "frame-00001.png");
    EXPECT_EQ(all.back(), "frame-00795.png");

    // 0 is the first frame; 0.1 s falls on it too (0.5 frames); 27.2 s is
    // frame 136 exactly; 63.1 s is frame 315.5, so 316; 159 s the last.
    RunResult at = run_oargala({{"--capture", "picked", "--fps", "5", "--size", "160x120", "--at",
                                 "63.1,0,0.1,27.2,63,100.5,158.9,159"}, dir});
    EXPECT_TRUE(at.exited(2)) << "a folder name without / that does not exist yet is not a folder";
    mkdir((dir + "/picked").c_str(), 0755);
    at = run_oargala({{"--capture", "picked", "--fps", "5", "--size", "160x120", "--at",
                       "63.1,0,0.1,27.2,63,100.5,158.9,159"}, dir});
    ASSERT_TRUE(at.exited(0)) << at.err;
    const unsigned picked[] = {1, 136, 315, 316, 503, 795};
    std::vector<std::string> expected;
    for (unsigned n : picked) expected.push_back(picture_name(n));
    EXPECT_EQ(list_dir(dir + "/picked"), expected);
    EXPECT_TRUE(contains(at.err, "6 pictures in picked/")) << at.err;
    for (unsigned n : picked) {
        SCOPED_TRACE(picture_name(n));
        Picture a = load(dir + "/picked/" + picture_name(n));
        Picture b = load(dir + "/full/" + picture_name(n));
        EXPECT_EQ(a.width, 160u);
        EXPECT_EQ(a.height, 120u);
        EXPECT_TRUE(a.rgb == b.rgb);
    }

    // An early --at ends the run after its frame.
    RunResult early = run_oargala({{"--capture", "early/", "--fps", "5", "--size", "160x120", "--at", "2"}, dir});
    ASSERT_TRUE(early.exited(0)) << early.err;
    EXPECT_EQ(list_dir(dir + "/early"), std::vector<std::string>{"frame-00010.png"});
    EXPECT_TRUE(contains(early.err, "captured 10 frames (2.00 s of show), 1 pictures in early/")) << early.err;
    EXPECT_TRUE(load(dir + "/early/frame-00010.png").rgb == load(dir + "/full/frame-00010.png").rgb);

    // The crisis card at 73 s (frame 365) fills the picture. Wider: bars left
    // and right; taller: above and below. The picture itself is the 160x120
    // frame, as the viewport is the same size.
    Picture reference = load(dir + "/full/frame-00365.png");
    EXPECT_FALSE(all_black(reference, 0, 0, 160, 120));
    RunResult wide = run_oargala({{"--capture", "wide/", "--fps", "5", "--size", "320x120", "--at", "73"}, dir});
    ASSERT_TRUE(wide.exited(0)) << wide.err;
    Picture w = load(dir + "/wide/frame-00365.png");
    ASSERT_EQ(w.width, 320u);
    ASSERT_EQ(w.height, 120u);
    EXPECT_TRUE(all_black(w, 0, 0, 80, 120));
    EXPECT_TRUE(all_black(w, 240, 0, 320, 120));
    EXPECT_LE(largest_difference(reference, w, 80, 0), 2);

    RunResult tall = run_oargala({{"--capture", "tall/", "--fps", "5", "--size", "160x240", "--at", "73"}, dir});
    ASSERT_TRUE(tall.exited(0)) << tall.err;
    Picture t = load(dir + "/tall/frame-00365.png");
    ASSERT_EQ(t.width, 160u);
    ASSERT_EQ(t.height, 240u);
    EXPECT_TRUE(all_black(t, 0, 0, 160, 60));
    EXPECT_TRUE(all_black(t, 0, 180, 160, 240));
    EXPECT_LE(largest_difference(reference, t, 0, 60), 2);
    remove_tree(dir);
}

// ffprobe's key=value lines for one stream.
static std::map<std::string, std::string> probe_stream(const std::string& file, const char* stream)
{
    std::string text = run_tool({"ffprobe", "-v", "error", "-count_frames", "-select_streams", stream, "-show_entries",
                                 "stream=codec_name,width,height,pix_fmt,nb_read_frames,duration,sample_rate,channels",
                                 "-of", "default=noprint_wrappers=1", file});
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return values;
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

// The shift (in samples, within +-range of guess) at which b[i + shift] best
// matches a[i] over a window starting at from.
static long best_shift(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t window,
                       long guess, long range)
{
    long best = guess - range - 1;
    double best_score = -1e300;
    for (long shift = guess - range; shift <= guess + range; shift++) {
        double dot = 0, energy = 0;
        for (size_t i = from; i < from + window; i++) {
            double x = a[i], y = b[(size_t)((long)i + shift)];
            dot += x * y;
            energy += y * y;
        }
        double score = energy > 0 ? dot / std::sqrt(energy) : 0;
        if (score > best_score) {
            best_score = score;
            best = shift;
        }
    }
    return best;
}

// The whole show into an .mp4 at 4 fps: every frame, the size asked for, and
// the soundtrack in place: video time 0 shows the show at 1/4 s, so the
// soundtrack (started at show time 0) is heard from its 0.25 s on.
TEST(CaptureCli, WholeShowToMp4WithTheSoundtrackInPlace)
{
    std::string dir = make_temp_dir(true);
    RunResult r = run_oargala({{"--capture", "show.mp4", "--fps", "4", "--size", "320x240"}, dir});
    ASSERT_TRUE(r.exited(0)) << r.err;
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"data", "show.mp4"}));
    EXPECT_TRUE(contains(r.err, "oargala: capturing the show into show.mp4: 320x240 at 4 fps, 636 frames\n")) << r.err;
    // Not a terminal: one progress line every 10%.
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '%'), 10) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala:  10%  frame 64/636, show 16.00 s")) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala: 100%  frame 636/636, show 159.00 s")) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala: captured 636 frames (159.00 s of show) into show.mp4 in ")) << r.err;
    EXPECT_TRUE(contains(r.err, "x real time\n")) << r.err;

    auto video = probe_stream(dir + "/show.mp4", "v:0");
    EXPECT_EQ(video["codec_name"], "h264");
    EXPECT_EQ(video["width"], "320");
    EXPECT_EQ(video["height"], "240");
    EXPECT_EQ(video["pix_fmt"], "yuv420p");
    EXPECT_EQ(video["nb_read_frames"], "636");
    EXPECT_EQ(video["duration"], "159.000000");
    auto audio = probe_stream(dir + "/show.mp4", "a:0");
    EXPECT_EQ(audio["codec_name"], "aac");
    EXPECT_EQ(audio["sample_rate"], "44100");
    EXPECT_EQ(audio["channels"], "2");
    EXPECT_NEAR(atof(audio["duration"].c_str()), 159.0, 0.05);

    std::vector<int16_t> heard = decode_audio(dir + "/show.mp4");
    std::vector<int16_t> soundtrack = decode_audio(std::string(source_dir) + "/data/lall.mp3");
    EXPECT_NEAR((double)heard.size(), 159.0 * 44100, 0.05 * 44100);
    ASSERT_GT(soundtrack.size(), 100u * 44100);
    // Where the music plays: 30 s and 120 s into the video.
    for (size_t at : {30u * 44100, 120u * 44100}) {
        SCOPED_TRACE(at);
        EXPECT_NEAR(best_shift(heard, soundtrack, at, 22050, 11025, 2205), 11025, 22);
    }
    remove_tree(dir);
}

// Without data/lall.mp3 the show says so, and the video gets a silent track
// of the same length.
TEST(CaptureCli, MissingSoundtrackGivesASilentTrack)
{
    std::string dir = make_temp_dir(false);
    mkdir((dir + "/data").c_str(), 0755);
    for (const std::string& name : list_dir(std::string(source_dir) + "/data")) {
        if (name == "lall.mp3") continue;
        ASSERT_EQ(symlink((std::string(source_dir) + "/data/" + name).c_str(), (dir + "/data/" + name).c_str()), 0);
    }
    RunResult r = run_oargala({{"--capture", "quiet.mkv", "--fps", "2", "--size", "64x48"}, dir});
    ASSERT_TRUE(r.exited(0)) << r.err;
    EXPECT_TRUE(contains(r.err, "ZUZORE RO DODAZED: File not found\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala: the show played no soundtrack; the video gets a silent audio track\n")) << r.err;
    auto video = probe_stream(dir + "/quiet.mkv", "v:0");
    EXPECT_EQ(video["nb_read_frames"], "318");
    auto audio = probe_stream(dir + "/quiet.mkv", "a:0");
    EXPECT_EQ(audio["codec_name"], "aac");
    std::vector<int16_t> heard = decode_audio(dir + "/quiet.mkv");
    EXPECT_NEAR((double)heard.size(), 159.0 * 44100, 0.05 * 44100);
    int loudest = 0;
    for (int16_t s : heard) loudest = std::max(loudest, std::abs((int)s));
    EXPECT_EQ(loudest, 0);
    remove_tree(dir);
}

// Whether any process still has path on its command line (a stray ffmpeg).
static bool process_mentions(const std::string& path)
{
    DIR* proc = opendir("/proc");
    if (!proc) return false;
    bool found = false;
    while (dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::string cmdline = read_text(std::string("/proc/") + e->d_name + "/cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (contains(cmdline, path)) found = true;
    }
    closedir(proc);
    return found;
}

// Interrupted captures remove what they wrote and end by the signal: the
// temporary video (and its ffmpeg), or this run's pictures, keeping files
// that were there before.
TEST(CaptureCli, InterruptedCapturesLeaveNothingThatLooksFinished)
{
    std::string dir = make_temp_dir(true);
    std::string out = dir + "/stdout", err = dir + "/stderr";

    pid_t pid = start_oargala({{"--capture", "show.mp4"}, dir}, out, err);
    ASSERT_TRUE(wait_until([&] { return contains(read_text(err), "10%"); })) << read_text(err);
    kill(pid, SIGTERM);
    RunResult r = wait_oargala(pid, out, err);
    EXPECT_TRUE(r.killed_by(SIGTERM)) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala: capture interrupted by Terminated; removed what it had written\n")) << r.err;
    EXPECT_FALSE(file_exists(dir + "/show.mp4"));
    EXPECT_FALSE(file_exists(dir + "/show.mp4.partial"));
    EXPECT_FALSE(process_mentions(dir + "/show.mp4"));

    mkdir((dir + "/shots").c_str(), 0755);
    touch(dir + "/shots/notes.txt");
    pid = start_oargala({{"--capture", "shots/", "--size", "160x120"}, dir}, out, err);
    ASSERT_TRUE(wait_until([&] { return list_dir(dir + "/shots").size() >= 4; }));
    kill(pid, SIGINT);
    r = wait_oargala(pid, out, err);
    EXPECT_TRUE(r.killed_by(SIGINT)) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala: capture interrupted by Interrupt; removed what it had written\n")) << r.err;
    EXPECT_EQ(list_dir(dir + "/shots"), std::vector<std::string>{"notes.txt"});

    // A folder the capture made itself goes too.
    pid = start_oargala({{"--capture", "fresh/", "--size", "160x120"}, dir}, out, err);
    ASSERT_TRUE(wait_until([&] { return list_dir(dir + "/fresh").size() >= 2; }));
    kill(pid, SIGHUP);
    r = wait_oargala(pid, out, err);
    EXPECT_TRUE(r.killed_by(SIGHUP)) << r.err;
    EXPECT_FALSE(file_exists(dir + "/fresh"));

    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"data", "shots", "stderr", "stdout"}));
    remove_tree(dir);
}

// In a terminal the progress is one line redrawn in place, ended by the
// summary on a line of its own; no 10% lines.
TEST(CaptureCli, ProgressOnATerminalIsOneBar)
{
    std::string dir = make_temp_dir(true);
    RunResult r = run_oargala_on_terminal({{"--capture", "shots/", "--fps", "10", "--size", "64x48", "--at", "5"}, dir});
    EXPECT_TRUE(r.exited(0)) << r.out;
    // The terminal turns each \n into \r\n.
    EXPECT_TRUE(contains(r.out, "\r\033[Kframe 50/50  show   5.00 s  [########################]")) << r.out;
    EXPECT_TRUE(contains(r.out, " left\r\noargala: captured 50 frames (5.00 s of show), 1 pictures in shots/")) << r.out;
    EXPECT_FALSE(contains(r.out, "10%")) << r.out;
    EXPECT_EQ(list_dir(dir + "/shots"), std::vector<std::string>{"frame-00050.png"});
    remove_tree(dir);
}
