// interactive_test.cpp: the real program in a window on a real (virtual) X
// server, with SDL's disk audio driver writing what would reach the sound
// card to a file: the soundtrack must really play while the loading scene
// shows. Starts its own Xvfb on a display it picks, runs `oargala --windowed` in
// a directory with a complete data/ folder (a missing picture would stop
// start-up at a modal box), waits for sound in the file, then presses Escape.
#include "show_support.h"

#include "tests/sound/child_process.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>

static void pause_ms(long ms)
{
    timespec pause = {ms / 1000, (ms % 1000) * 1000000};
    nanosleep(&pause, nullptr);
}

static bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

static pid_t spawn(const std::vector<std::string>& argv, const std::string& cwd,
                   const std::vector<std::pair<std::string, std::string>>& env, const std::string& log)
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(98);
        if (!freopen(log.c_str(), "w", stdout) || !freopen((log + ".err").c_str(), "w", stderr)) _exit(99);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(97);
    }
    return pid;
}

// Waits up to about limit_ms for pid to end; returns its status or -1.
static int wait_for(pid_t pid, long limit_ms)
{
    for (long waited = 0; waited <= limit_ms; waited += 50) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pause_ms(50);
    }
    return -1;
}

// Ends a process this test started, on every way out of the test.
struct ProcessGuard {
    pid_t pid;
    int status = -1;   // once it has ended
    explicit ProcessGuard(pid_t started) : pid(started) {}
    ~ProcessGuard()
    {
        if (pid <= 0 || status >= 0) return;
        kill(pid, SIGTERM);
        if (wait(10000) < 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // Waits up to about limit_ms for it to end; returns its status or -1.
    int wait(long limit_ms)
    {
        if (status < 0) status = wait_for(pid, limit_ms);
        return status;
    }
};

static bool has_sound(const std::string& raw)
{
    std::string bytes = read_text_file(raw);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        int16_t sample;
        memcpy(&sample, bytes.data() + i, 2);
        if (abs(sample) > 256) return true;
    }
    return false;
}

TEST(Interactive, SoundtrackPlaysDuringTheLoadingScene)
{
    TempDir dir;
    write_show_data(dir.path, true);

    // Without a display the program refuses at once, and says why; in a build
    // without the interactive window it says that instead.
    ChildResult probe = run_in_child([&] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        execl(OARGALA_BINARY, OARGALA_BINARY, "--windowed", (char*)nullptr);
        _exit(97);
    });
    if (probe.err.find("not built yet") != std::string::npos) GTEST_SKIP() << probe.err;
    EXPECT_EQ(probe.status, 1) << probe.err;

    // Xvfb picks a free display itself and writes its number to the pipe
    // once it accepts clients.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    fflush(nullptr);
    pid_t xvfb_pid = fork();
    if (xvfb_pid == 0) {
        close(ready[0]);
        if (dup2(ready[1], 3) < 0) _exit(98);
        if (!freopen((dir / "xvfb.log").c_str(), "w", stderr)) _exit(99);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               (char*)nullptr);
        _exit(97);
    }
    ProcessGuard xvfb(xvfb_pid);
    close(ready[1]);
    char number[16] = {};
    ssize_t got = read(ready[0], number, sizeof number - 1);
    close(ready[0]);
    ASSERT_GT(got, 0) << read_text_file(dir / "xvfb.log");
    std::string name = ":" + std::to_string(atoi(number));

    std::string raw = dir / "audio.raw";
    ProcessGuard show(spawn({OARGALA_BINARY, "--windowed"}, dir.path,
                            {{"DISPLAY", name},
                             {"SDL_AUDIODRIVER", "disk"},
                             {"SDL_DISKAUDIOFILE", raw},
                             {"LSAN_OPTIONS", "suppressions=" OARGALA_TEST_SOURCE "/lsan.supp:print_suppressions=0"}},
                            dir / "show.log"));
    // The soundtrack starts when start-up ends; on a slow machine that may take
    // a while, so wait generously (this is not a speed test).
    bool heard = false;
    for (int i = 0; i < 1200 && !heard; i++) {
        pause_ms(100);
        heard = exists(raw) && has_sound(raw);
        if (show.wait(0) >= 0) break;   // ended early: a failure, shown below
    }
    EXPECT_TRUE(heard) << "the written audio is silent\n" << read_text_file(dir / "show.log.err");

    // Escape ends the show with exit code 0.
    ChildResult key = run_program({"/usr/bin/xdotool", "search", "--name", "Oar Gala", "key", "Escape"}, dir.path,
                                  {{"DISPLAY", name}});
    int status = show.wait(30000);
    EXPECT_EQ(status, 0) << "xdotool: " << key.err << "\nshow: " << read_text_file(dir / "show.log.err");
}
