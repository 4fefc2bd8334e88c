// interactive_test.cpp: the real program in a window on a real (virtual) X
// server, with SDL's disk audio driver writing what would reach the sound
// card to a file: the soundtrack must really play while the loading scene
// shows. Starts its own Xvfb on a free display, runs `oargala --windowed` in
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

    // Our own Xvfb on a display of our own: tried from a number that differs
    // between runs, so that tests running at the same time (which may also
    // start servers) do not meet; a taken display makes Xvfb exit at once.
    // Xvfb writes the display number to the pipe once it accepts clients.
    std::string name;
    pid_t xvfb_pid = -1;
    for (int display = 100 + getpid() % 300, tries = 0; tries < 50 && name.empty(); display++, tries++) {
        if (exists("/tmp/.X" + std::to_string(display) + "-lock") ||
            exists("/tmp/.X11-unix/X" + std::to_string(display)))
            continue;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        fflush(nullptr);
        xvfb_pid = fork();
        if (xvfb_pid == 0) {
            close(ready[0]);
            if (dup2(ready[1], 3) < 0) _exit(98);
            if (!freopen((dir / "xvfb.log").c_str(), "w", stderr)) _exit(99);
            std::string arg = ":" + std::to_string(display);
            execlp("Xvfb", "Xvfb", arg.c_str(), "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   (char*)nullptr);
            _exit(97);
        }
        close(ready[1]);
        // The whole line: Xvfb ends itself when it cannot finish writing it.
        std::string number;
        char c;
        while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (!number.empty()) {
            name = ":" + number;
        } else {
            waitpid(xvfb_pid, nullptr, 0);
            xvfb_pid = -1;
        }
    }
    ASSERT_FALSE(name.empty()) << read_text_file(dir / "xvfb.log");
    ProcessGuard xvfb(xvfb_pid);

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
    EXPECT_TRUE(heard) << "the written audio is silent (display " << name << ")\n"
                       << read_text_file(dir / "xvfb.log")
                       << read_text_file(dir / "show.log.err");

    // Escape ends the show with exit code 0.
    ChildResult key = run_program({"/usr/bin/xdotool", "search", "--name", "Oar Gala", "key", "Escape"}, dir.path,
                                  {{"DISPLAY", name}});
    int status = show.wait(30000);
    EXPECT_EQ(status, 0) << "xdotool: " << key.err << "\nshow: " << read_text_file(dir / "show.log.err");
}
