// interactive_test.cpp: the real program in a window on its own Xvfb, with
// SDL's disk audio driver writing what would reach the sound card to a file:
// the soundtrack must really play while the loading scene shows, and Escape
// must end the show with exit code 0. Runs in a directory with a complete
// data/ folder (a missing picture would stop start-up at a modal box).
#include "show_support.h"

#include "tests/sound/child_process.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cstring>
#include <ctime>

static void pause_ms(long ms)
{
    timespec pause = {ms / 1000, (ms % 1000) * 1000000};
    nanosleep(&pause, nullptr);
}

// Starts argv in cwd with extra environment entries, stdout to log and stderr
// to log.err, and fd_3 (if any) as its descriptor 3.
static pid_t spawn(const std::vector<std::string>& argv, const std::string& cwd, const std::vector<std::string>& env,
                   const std::string& log, int fd_3 = -1)
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (chdir(cwd.c_str()) != 0 || !freopen(log.c_str(), "w", stdout) || !freopen((log + ".err").c_str(), "w", stderr))
        _exit(98);
    if (fd_3 >= 0 && dup2(fd_3, 3) < 0) _exit(98);
    for (const std::string& entry : env) putenv(strdup(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(97);
}

// A process this test started, ended on every way out of the test.
struct Process {
    pid_t pid;
    int status = -1;   // once it has ended
    // Waits up to about limit_ms for it to end; its status or -1.
    int wait(long limit_ms)
    {
        for (long waited = 0; status < 0 && waited <= limit_ms; waited += 50) {
            int s = 0;
            if (waitpid(pid, &s, WNOHANG) == pid)
                status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
            else if (waited < limit_ms)
                pause_ms(50);
        }
        return status;
    }
    ~Process()
    {
        if (pid <= 0 || status >= 0) return;
        kill(pid, SIGTERM);
        if (wait(10000) < 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
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

TEST(Interactive, SoundtrackPlaysDuringTheLoadingSceneAndEscapeEnds)
{
    TempDir dir;
    write_show_data(dir.path, true);

    // Xvfb picks a free display itself and writes its number once it accepts
    // clients (the whole line: it ends itself when it cannot).
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    Process xvfb{spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, dir.path, {},
                       dir / "xvfb.log", ready[1])};
    close(ready[1]);
    std::string display = ":";
    for (char c; read(ready[0], &c, 1) == 1 && c != '\n';) display += c;
    close(ready[0]);
    ASSERT_GT(display.size(), 1u) << read_text_file(dir / "xvfb.log.err");

    std::string raw = dir / "audio.raw";
    Process show{spawn({OARGALA_BINARY, "--windowed"}, dir.path,
                       {"DISPLAY=" + display, "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + raw,
                        "LSAN_OPTIONS=suppressions=" OARGALA_TEST_SOURCE "/lsan.supp:print_suppressions=0"},
                       dir / "show.log")};
    // The soundtrack starts when start-up ends; on a slow machine that may take
    // a while (this is not a speed test). An early end is a failure shown below.
    bool heard = false;
    for (int i = 0; i < 1200 && !heard && show.wait(0) < 0; i++) {
        pause_ms(100);
        heard = has_sound(raw);
    }
    EXPECT_TRUE(heard) << "the written audio is silent\n" << read_text_file(dir / "show.log.err");

    ChildResult key = run_program({"/usr/bin/xdotool", "search", "--name", "Oar Gala", "key", "Escape"}, dir.path,
                                  {{"DISPLAY", display}});
    EXPECT_EQ(show.wait(30000), 0) << "xdotool: " << key.err << "\nshow: " << read_text_file(dir / "show.log.err");
}
