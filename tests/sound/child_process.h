// child_process.h: runs a piece of a test in a fresh process, for code whose
// state is static (the sound layer, the scenes) or that ends the process (the
// end of the show). Used by tests/sound and tests/demo.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

struct ChildResult {
    int status = -1;      // exit code, or 128 + signal number
    std::string out, err; // what the child wrote to stdout and stderr
};

inline std::string read_text_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh directory under $TMPDIR (or /tmp), removed by the destructor.
struct TempDir {
    std::string path;
    TempDir()
    {
        const char* base = getenv("TMPDIR");
        path = std::string(base && *base ? base : "/tmp") + "/oargala-test-XXXXXX";
        if (!mkdtemp(path.data())) abort();
    }
    ~TempDir() { std::error_code ignored; std::filesystem::remove_all(path, ignored); }
    TempDir(const TempDir&) = delete;   // one owner removes it
    TempDir& operator=(const TempDir&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// Runs body in a forked child with stdout and stderr captured (failures inside
// it go to its stdout). The child ends with 1 after a failed expectation, else
// 0, unless body ends the process itself.
inline ChildResult run_in_child(const std::function<void()>& body)
{
    TempDir dir;
    std::string out_path = dir / "stdout", err_path = dir / "stderr";
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) abort();
    if (pid == 0) {
        if (!freopen(out_path.c_str(), "w", stdout) || !freopen(err_path.c_str(), "w", stderr)) _exit(99);
        body();
        bool failed = ::testing::Test::HasFailure();
        fflush(nullptr);
        _exit(failed ? 1 : 0);
    }
    int wait_status = 0;
    while (waitpid(pid, &wait_status, 0) < 0) {}
    return {WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status),
            read_text_file(out_path), read_text_file(err_path)};
}

// Runs a program (argv[0] is its path) in cwd with extra environment variables.
inline ChildResult run_program(const std::vector<std::string>& argv, const std::string& cwd,
                               const std::vector<std::pair<std::string, std::string>>& env = {})
{
    return run_in_child([&] {
        if (chdir(cwd.c_str()) != 0) _exit(98);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(97);
    });
}

#define EXPECT_CHILD_STATUS(result, expected) \
    EXPECT_EQ((result).status, (expected)) << "child stdout:\n" << (result).out << "child stderr:\n" << (result).err

// Runs body in a fresh process and expects it to pass.
#define EXPECT_IN_CHILD(...) \
    do { ChildResult child_result_ = run_in_child(__VA_ARGS__); EXPECT_CHILD_STATUS(child_result_, 0); } while (0)
