// process.cpp: spawning the real oargala for the capture tests, and the file
// helpers they share. Depends on POSIX and libpng (simplified API).
#include "process.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

const char* const oargala_binary = OARGALA_BINARY;
const char* const source_dir = OARGALA_SOURCE_DIR;

// Only a guard against a hung program; no test depends on how fast it is.
static const int hang_guard_seconds = 1800;

bool RunResult::exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
bool RunResult::killed_by(int sig) const { return WIFSIGNALED(status) && WTERMSIG(status) == sig; }

std::string RunResult::first_err_line() const
{
    size_t end = err.find('\n');
    return err.substr(0, end);
}

pid_t start_oargala(const RunSetup& setup, const std::string& out_path, const std::string& err_path)
{
    std::vector<std::string> args = setup.args;
    args.insert(args.begin(), oargala_binary);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    // Prepared before fork: the child only makes async-signal-safe calls.
    std::vector<std::string> env_strings;
    for (char** e = environ; *e; e++) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& s : setup.env)
            if (s.substr(0, s.find('=')) == name) replaced = true;
        if (!replaced) env_strings.push_back(entry);
    }
    for (const std::string& s : setup.env) env_strings.push_back(s);
    // A picture cache on disk is not what these tests look at.
    env_strings.push_back("MESA_SHADER_CACHE_DISABLE=true");
    std::vector<char*> envp;
    for (std::string& s : env_strings) envp.push_back(&s[0]);
    envp.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (!setup.cwd.empty() && chdir(setup.cwd.c_str()) != 0) _exit(126);
        if (setup.file_size_limit >= 0) {
            rlimit limit = {(rlim_t)setup.file_size_limit, (rlim_t)setup.file_size_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
            rlimit no_core = {0, 0};
            setrlimit(RLIMIT_CORE, &no_core);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

RunResult wait_oargala(pid_t pid, const std::string& out_path, const std::string& err_path)
{
    RunResult result;
    int waited = 0;
    for (;;) {
        pid_t r = waitpid(pid, &result.status, WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) break;
        if (waited++ > hang_guard_seconds * 20) {
            kill(pid, SIGKILL);
            waitpid(pid, &result.status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    result.out = read_text(out_path);
    result.err = read_text(err_path);
    return result;
}

RunResult run_oargala(const RunSetup& setup)
{
    std::string dir = make_temp_dir(false);
    std::string out = dir + "/stdout", err = dir + "/stderr";
    RunResult result = wait_oargala(start_oargala(setup, out, err), out, err);
    remove_tree(dir);
    return result;
}

RunResult run_oargala_on_terminal(const RunSetup& setup)
{
    std::vector<std::string> args = setup.args;
    args.insert(args.begin(), oargala_binary);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    RunResult result;
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return result;
    if (pid == 0) {
        if (!setup.cwd.empty() && chdir(setup.cwd.c_str()) != 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    char buf[4096];
    for (;;) {
        ssize_t n = read(master, buf, sizeof buf);
        if (n > 0) {
            result.out.append(buf, (size_t)n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;   // EIO once the program has gone
    }
    close(master);
    waitpid(pid, &result.status, 0);
    return result;
}

bool wait_until(const std::function<bool()>& condition)
{
    for (int i = 0; i < hang_guard_seconds * 50; i++) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string make_temp_dir(bool with_data)
{
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/oargala-capture-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) abort();
    std::string dir = buf.data();
    if (with_data && symlink((std::string(source_dir) + "/data").c_str(), (dir + "/data").c_str()) != 0) abort();
    return dir;
}

void remove_tree(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        DIR* d = opendir(path.c_str());
        if (d) {
            while (dirent* e = readdir(d)) {
                if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
                remove_tree(path + "/" + e->d_name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

bool file_exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& path)
{
    std::vector<std::string> names;
    DIR* d = opendir(path.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string run_tool(const std::vector<std::string>& argv_in)
{
    std::vector<std::string> args = argv_in;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return "";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) text.append(buf, (size_t)n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return text;
}

bool read_png_rgb(const std::string& path, unsigned* width, unsigned* height, std::vector<uint8_t>* rgb)
{
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = image.width;
    *height = image.height;
    return true;
}
