// entry_test.cpp: the oargala program's command line as a user meets it:
// what each run prints on which stream, and its exit code. No X server: the
// show itself is refused with one line when there is no display.
#include "app/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct ProgramRun {
    int code = -1;
    std::string out, err;
};

std::string read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs oargala with args (already shell-quoted) and env settings prefixed,
// in a scratch directory, with no display.
ProgramRun run_oargala(const std::string& args, const std::string& env = "")
{
    char dir[] = "/tmp/oargala-entry.XXXXXX";
    EXPECT_NE(mkdtemp(dir), nullptr);
    std::string d = dir;
    std::string command = "cd '" + d + "' && env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy " + env + " '" +
                          OARGALA_PATH + "' " + args + " >out 2>err </dev/null";
    int status = system(command.c_str());
    ProgramRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = read_all(d + "/out");
    run.err = read_all(d + "/err");
    system(("rm -rf '" + d + "'").c_str());
    return run;
}

int count_lines(const std::string& s)
{
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

}  // namespace

TEST(Entry, HelpAndVersionGoToStandardOutput)
{
    ProgramRun help = run_oargala("--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out, usage_text);
    EXPECT_EQ(help.err, "");

    ProgramRun version = run_oargala("--version");
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "oargala 1.0.0\n");
    EXPECT_EQ(version.err, "");
}

TEST(Entry, UnknownOptionIsOneLineAndTheUsage)
{
    ProgramRun run = run_oargala("--fullscreen");
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, std::string("oargala: unknown option '--fullscreen'\n") + usage_text);

    // The help box's own options are not options of the program.
    run = run_oargala("-windowed");
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "oargala: unknown option '-windowed'");
}

TEST(Entry, DataFolderNeedsAFolderAndAModeThatReadsIt)
{
    struct Case {
        const char* args;
        const char* line;
    } cases[] = {
        {"--data", "oargala: --data needs a value"},
        {"--check-data --data ''", "oargala: --data needs a folder"},
        {"--decode a.png a.pam --data d", "oargala: --data goes with the show, --capture or --check-data"},
    };
    for (const Case& c : cases) {
        ProgramRun run = run_oargala(c.args);
        EXPECT_EQ(run.code, 2) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.line) << c.args;
    }
}

TEST(Entry, NoDisplayRefusesTheShowInOneLine)
{
    for (const char* args : {"", "--windowed"}) {
        ProgramRun run = run_oargala(args);
        EXPECT_EQ(run.code, 1) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(count_lines(run.err), 1) << run.err;
        EXPECT_EQ(run.err,
                  "oargala: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset); "
                  "try --capture show.mp4\n");
    }
    // A display that cannot be opened.
    ProgramRun run = run_oargala("", "DISPLAY=:7919");
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(count_lines(run.err), 1) << run.err;
    EXPECT_EQ(run.err.rfind("oargala: no display to show the window on (cannot open display \":7919\"", 0), 0u)
        << run.err;
    // SDL's invisible drivers count as no display either.
    for (const char* driver : {"offscreen", "dummy"}) {
        ProgramRun run = run_oargala("--windowed", std::string("DISPLAY=:0 SDL_VIDEODRIVER=") + driver);
        EXPECT_EQ(run.code, 1) << driver;
        EXPECT_EQ(count_lines(run.err), 1) << run.err;
        EXPECT_EQ(run.err.rfind("oargala: no display to show the window on (", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(driver), std::string::npos) << run.err;
    }
}
