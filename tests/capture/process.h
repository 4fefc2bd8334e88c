// process.h: runs the real oargala in a folder of the test's own and hands back
// what a user would see: exit status, stdout and stderr. Plus file helpers.
#pragma once

#include <cstdint>
#include <string>
#include <sys/wait.h>
#include <vector>

struct RunResult {
    int status = -1;   // as waitpid gives it
    std::string out, err;
    bool exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
    bool killed_by(int sig) const { return WIFSIGNALED(status) && WTERMSIG(status) == sig; }
};

struct RunSetup {
    std::vector<std::string> args;   // after the program name
    std::string cwd;
    std::vector<std::string> env;    // "NAME=value" set, "NAME" unset, on top of ours
    long file_size_limit = -1;       // RLIMIT_FSIZE in bytes, -1: unchanged
    long memory_limit = -1;          // RLIMIT_AS in bytes, -1: unchanged
    RunSetup(std::vector<std::string> args_, std::string cwd_, std::vector<std::string> env_ = {})
        : args(std::move(args_)), cwd(std::move(cwd_)), env(std::move(env_)) {}
};

// Starts oargala with stdout and stderr going to files; wait_oargala collects it.
pid_t start_oargala(const RunSetup& setup, const std::string& out_path, const std::string& err_path);
RunResult wait_oargala(pid_t pid, const std::string& out_path, const std::string& err_path);
RunResult run_oargala(const RunSetup& setup);   // output in cwd's .out and .err
// A fresh folder under the temporary folder; with_data: holding a data/ link to the program's data.
std::string make_temp_dir(bool with_data);
void remove_tree(const std::string& path);
std::vector<std::string> list_dir(const std::string& path);   // sorted names, no dot files
std::string read_text(const std::string& path);
std::string run_tool(const std::vector<std::string>& argv);   // each word quoted for /bin/sh; its stdout
// A folder holding an ffmpeg that lists only the H.264, AAC and Opus encoders
// and otherwise runs the shell commands body; by default it reads its input,
// says "Error writing trailer: No space left on device" and exits with 1: a
// full disk, or a build without VP9.
std::string make_fake_ffmpeg(const std::string& body = "cat >/dev/null; echo 'Error writing trailer: No space left on "
                                                       "device' >&2; exit 1");
// Decodes a PNG file into RGB rows, top row first. False when it cannot.
bool read_png_rgb(const std::string& path, unsigned* width, unsigned* height, std::vector<uint8_t>* rgb);

extern const char* const oargala_binary;
extern const char* const source_dir;
