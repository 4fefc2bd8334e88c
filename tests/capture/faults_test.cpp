// faults_test.cpp: captures off the happy path, as a user meets them: a full
// disk (a small tmpfs mounted here), an ffmpeg that fails or lies, memory
// that runs out, two captures at once, signals while ffmpeg hangs. Each must
// end with one line and a non-zero exit, keep every file that was there
// before and leave nothing that looks finished. Real ffmpeg and ffprobe where
// they can show the fault, stand-ins where only a broken one can. Also the
// colours each format keeps, decoded back (a stand-in show of pure colours).
#include "capture/capture.h"
#include "platform/gl.h"
#include "tests/capture/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using Names = std::vector<std::string>;

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every name in a folder, dot files too (the temporary ones are).
static Names all_names(const std::string& dir)
{
    Names names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A tmpfs of the given size on dir/small; "" when this machine refuses the mount.
static std::string mount_small(const std::string& dir, const char* size)
{
    std::string at = dir + "/small";
    mkdir(at.c_str(), 0755);
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) != 0) return "";
    return at;
}

// Waits for oargala at most a minute: a capture that hangs fails the test.
static RunResult wait_bounded(pid_t pid, const std::string& out, const std::string& err)
{
    for (int i = 0; i < 6000; i++) {
        siginfo_t info = {};
        if (waitid(P_PID, (id_t)pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) break;
        usleep(10000);
    }
    siginfo_t info = {};
    if (waitid(P_PID, (id_t)pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != pid) {
        kill(pid, SIGKILL);
        ADD_FAILURE() << "oargala did not end within a minute";
    }
    return wait_oargala(pid, out, err);
}

static bool process_mentions(const std::string& text)
{
    return contains(run_tool({"sh", "-c", "cat /proc/[0-9]*/cmdline 2>/dev/null | tr '\\0' ' '"}), text);
}

// A full disk in every format, and pictures over an earlier run's: exit 1
// with ffmpeg's (or the system's) own cause, nothing of this run left, the
// earlier pictures exactly as they were.
TEST(CaptureFaults, AFullDiskIsAFailureThatKeepsWhatWasThere)
{
    std::string dir = make_temp_dir(true);
    std::string small = mount_small(dir, "700k");
    if (small.empty()) {
        remove_tree(dir);
        GTEST_SKIP() << "SKIPPED: this machine refuses to mount a tmpfs, so a full disk cannot be made";
    }
    ASSERT_TRUE(run_oargala({{"--capture", small + "/shots/", "--size", "320x240", "--at", "1,2,3"}, dir}).exited(0));
    std::string before = run_tool({"sh", "-c", "cat '" + small + "'/shots/*"});
    for (const char* output : {"x.mp4", "x.mkv", "x.webm", "x.mov", "shots/"}) {
        SCOPED_TRACE(output);
        RunResult r = run_oargala({{"--capture", small + "/" + output, "--to", "20", "--size", "320x240"}, dir});
        EXPECT_TRUE(r.exited(1)) << r.err;
        EXPECT_TRUE(contains(r.err, "No space left on device; nothing was kept\n")) << r.err;
        EXPECT_FALSE(contains(r.err, "oargala: captured")) << r.err;
        EXPECT_EQ(all_names(small), Names{"shots"});
        EXPECT_EQ(all_names(small + "/shots"), (Names{"frame-00060.png", "frame-00120.png", "frame-00180.png"}));
        EXPECT_EQ(run_tool({"sh", "-c", "cat '" + small + "'/shots/*"}), before);
    }
    umount2(small.c_str(), MNT_DETACH);
    remove_tree(dir);
}

// ffmpegs that fail in ways the exit code does not tell, or tells with a
// generic last line: never "captured", always the cause.
TEST(CaptureFaults, AnFfmpegThatFailsOrLiesIsNeverCalledDone)
{
    std::string dir = make_temp_dir(true);
    const struct {
        const char *body, *says;
    } cases[] = {
        {"cat >/dev/null; exit 0", "capture failed: ffmpeg ended without writing the file; nothing was kept\n"},
        {"cat >/dev/null; echo 'Error writing trailer of x: No space left on device' >&2; exit 0",
         "capture failed: ffmpeg could not finish the file: Error writing trailer of x: No space left on device;"},
        {"for a; do out=${a#file:}; done; cat >/dev/null; echo junk >\"$out\"; exit 0",
         "capture failed: the finished file cannot be read back (ffprobe fails on it); nothing was kept\n"},
        {"cat >/dev/null; printf 'Incompatible pixel format\\nError initializing output stream 0:0 -- \\n"
         "Conversion failed!\\n' >&2; exit 1",
         "capture failed: ffmpeg failed (exit code 1): Incompatible pixel format; nothing was kept\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        std::string fake = make_fake_ffmpeg(c.body);
        RunResult r = run_oargala({{"--capture", "show.mp4", "--to", "0.1", "--size", "16x16"}, dir,
                                   {"PATH=" + fake + ":/usr/bin:/bin"}});
        EXPECT_TRUE(r.exited(1)) << r.err;
        EXPECT_TRUE(contains(r.err, c.says)) << r.err;
        EXPECT_EQ(all_names(dir), (Names{".err", ".out", "data"}));
        remove_tree(fake);
    }
    remove_tree(dir);
}

// Two captures into the same video and the same folder, started together,
// with a symbolic link to /dev/full where the old fixed temporary name was:
// each completes on its own temporary name, the link is never followed.
TEST(CaptureFaults, CapturesStartedTogetherEachCompleteOnTheirOwnNames)
{
    std::string dir = make_temp_dir(true);
    ASSERT_EQ(symlink("/dev/full", (dir + "/show.mp4.partial").c_str()), 0);
    const Names outputs = {"show.mp4", "show.mp4", "shots/", "shots/"};
    std::vector<pid_t> runs;
    for (size_t i = 0; i < outputs.size(); i++)
        runs.push_back(start_oargala({{"--capture", outputs[i], "--fps", "10", "--to", "2", "--size", "64x48"}, dir},
                                     dir + "/" + std::to_string(i) + ".out", dir + "/" + std::to_string(i) + ".err"));
    for (size_t i = 0; i < runs.size(); i++) {
        RunResult r = wait_bounded(runs[i], dir + "/" + std::to_string(i) + ".out", dir + "/" + std::to_string(i) + ".err");
        EXPECT_TRUE(r.exited(0)) << r.err;
        EXPECT_TRUE(contains(r.err, "oargala: captured 20 frames")) << r.err;
        unlink((dir + "/" + std::to_string(i) + ".out").c_str());
        unlink((dir + "/" + std::to_string(i) + ".err").c_str());
    }
    EXPECT_EQ(all_names(dir), (Names{"data", "shots", "show.mp4", "show.mp4.partial"}));
    EXPECT_EQ(all_names(dir + "/shots").size(), 20u);
    struct stat st;
    EXPECT_TRUE(lstat((dir + "/show.mp4").c_str(), &st) == 0 && S_ISREG(st.st_mode));
    EXPECT_EQ(run_tool({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type,nb_frames", "-of", "csv=p=0",
                        dir + "/show.mp4"}).substr(0, 15),
              "video,20\naudio,");
    remove_tree(dir);
}

// Memory that runs out at 8192x8192 under a limited address space: in
// oargala, in ffmpeg, or for a thread: one line and exit 1, no abort,
// nothing left.
TEST(CaptureFaults, MemoryThatRunsOutEndsWithOneLine)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "SKIPPED: AddressSanitizer cannot run under a limited address space";
#endif
    std::string dir = make_temp_dir(true);
    const struct {
        const char* output;
        long megabytes;
        const char* says;
    } cases[] = {
        {"x.mp4", 1800, "oargala: capture failed: "},
        {"d/", 1200, "oargala: capture failed: out of memory; nothing was kept\n"},
        {"d/", 800, "oargala: capture failed: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.megabytes);
        RunSetup setup({"--capture", c.output, "--to", "0.02", "--size", "8192x8192"}, dir);
        setup.memory_limit = c.megabytes * 1000 * 1024;
        RunResult r = run_oargala(setup);
        EXPECT_TRUE(r.exited(1)) << r.err;
        EXPECT_TRUE(contains(r.err, c.says) && contains(r.err, "; nothing was kept\n")) << r.err;
        EXPECT_EQ(all_names(dir), (Names{".err", ".out", "data"}));
    }
    remove_tree(dir);
}

// An ffmpeg that stops reading and never ends: SIGTERM still ends the capture
// by that signal, and when oargala is killed outright its ffmpeg dies with it.
TEST(CaptureFaults, AHangingFfmpegNeitherHoldsAStopNorOutlivesOargala)
{
    std::string dir = make_temp_dir(true);
    for (int sig : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(strsignal(sig));
        // A duration of this run's own: an ffmpeg left by another run is not this one's.
        const std::string hang = "sleep " + std::to_string(3000000 + getpid() % 1000000 * 10 + sig);
        std::string fake = make_fake_ffmpeg("exec 0<&-; exec " + hang);
        pid_t pid = start_oargala({{"--capture", "show.mp4", "--size", "64x48"}, dir, {"PATH=" + fake + ":/usr/bin:/bin"}},
                                  dir + "/.out", dir + "/.err");
        for (int i = 0; i < 3000 && !process_mentions(hang); i++) usleep(20000);
        ASSERT_TRUE(process_mentions(hang)) << read_text(dir + "/.err");
        kill(pid, sig);
        RunResult r = wait_bounded(pid, dir + "/.out", dir + "/.err");
        EXPECT_TRUE(r.killed_by(sig)) << r.err;
        for (int i = 0; i < 3000 && process_mentions(hang); i++) usleep(20000);
        EXPECT_FALSE(process_mentions(hang));
        if (sig == SIGTERM) {
            EXPECT_EQ(all_names(dir), (Names{".err", ".out", "data"}));
        }
        remove_tree(fake);
    }
    remove_tree(dir);
}

// Without an OpenGL context the window says so in its own words, and the
// capture adds why it failed; one picture is "1 picture".
TEST(CaptureFaults, NoContextIsNamedAndOneIsOne)
{
    std::string dir = make_temp_dir(true);
    RunResult r = run_oargala({{"--capture", "one/", "--at", "1", "--size", "16x16"}, dir,
                               {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json"}});
    EXPECT_TRUE(r.exited(1)) << r.err;
    EXPECT_TRUE(contains(r.err, "ERROR!: Creation of OpenGL context failed!\noargala: capture failed: no OpenGL "
                                "context could be made for the offscreen show; nothing was kept\n")) << r.err;
    EXPECT_EQ(all_names(dir), (Names{".err", ".out", "data"}));
    r = run_oargala({{"--capture", "one/", "--at", "1", "--size", "16x16"}, dir});
    EXPECT_TRUE(contains(r.err, "oargala: capturing 1 picture into one/: 16x16 at 60 fps, frames 1 to 60\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "oargala: captured 60 frames (1.00 s of show), 1 picture in one/, in ")) << r.err;
    remove_tree(dir);
}

// ---- colours ---------------------------------------------------------------

static const uint8_t pure[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
static int drawn;

static void pure_colour(const char*)
{
    const uint8_t* c = pure[drawn++ % 3];
    glClearColor(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Pure red, green and blue, captured in each format and decoded back by
// ffmpeg as any player would, by the file's colour tags: within 2 levels.
TEST(CaptureFaults, EveryFormatDecodesToTheColoursDrawn)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    std::string dir = make_temp_dir(false);
    for (auto [name, lossless] : {std::pair<const char*, bool>{"c.mp4", false}, {"c.webm", false}, {"c.mov", false},
                                  {"c.mkv", false}, {"l.mkv", true}}) {
        SCOPED_TRACE(name);
        CaptureSettings settings;
        settings.output = dir + "/" + name;
        settings.format = capture_video_format(settings.output, lossless);
        settings.fps_num = 10;
        settings.width = 64, settings.height = 48;
        settings.to_us = 300000;
        EXPECT_EXIT(exit(capture_run_with(settings, [](const char*) {}, pure_colour) + 100), testing::ExitedWithCode(0),
                    "captured 3 frames");
        std::string rgb = run_tool({"ffmpeg", "-v", "error", "-i", settings.output, "-f", "rawvideo", "-pix_fmt",
                                    "rgb24", "-"});
        ASSERT_EQ(rgb.size(), 3u * 64 * 48 * 3);
        for (size_t frame = 0; frame < 3; frame++) {
            int worst = 0;
            for (size_t i = 0; i < 64 * 48 * 3; i++)
                worst = std::max(worst, std::abs((uint8_t)rgb[frame * 64 * 48 * 3 + i] - pure[frame][i % 3]));
            EXPECT_LE(worst, 2) << "frame " << frame;
        }
    }
    remove_tree(dir);
}
