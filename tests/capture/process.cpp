// process.cpp: the real oargala started through /bin/sh (which execs it: the
// pid is oargala's own), and file helpers. Depends on POSIX and libpng.
#include "process.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

const char* const oargala_binary = OARGALA_BINARY;
const char* const source_dir = OARGALA_SOURCE_DIR;

static std::string quote(const std::string& word)
{
    std::string q = "'";
    for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

pid_t start_oargala(const RunSetup& setup, const std::string& out_path, const std::string& err_path)
{
    std::string command = "cd " + quote(setup.cwd);
    if (setup.file_size_limit >= 0)
        command += " && ulimit -c 0 && ulimit -f " + std::to_string(setup.file_size_limit / 512);
    if (setup.memory_limit >= 0) command += " && ulimit -v " + std::to_string(setup.memory_limit / 1024);
    for (const std::string& e : setup.env)
        command += (e.find('=') == std::string::npos ? " && unset " : " && export ") + quote(e);
    // A shader cache on disk is not what these tests look at.
    command += " && exec /usr/bin/env MESA_SHADER_CACHE_DISABLE=true " + quote(oargala_binary);
    for (const std::string& a : setup.args) command += " " + quote(a);
    command += " >" + quote(out_path) + " 2>" + quote(err_path) + " </dev/null";
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), (char*)nullptr);
        _exit(127);
    }
    return pid;
}

RunResult wait_oargala(pid_t pid, const std::string& out_path, const std::string& err_path)
{
    int status = -1;
    waitpid(pid, &status, 0);
    return {status, read_text(out_path), read_text(err_path)};
}

RunResult run_oargala(const RunSetup& setup)
{
    std::string out = setup.cwd + "/.out", err = setup.cwd + "/.err";
    return wait_oargala(start_oargala(setup, out, err), out, err);
}

std::string make_temp_dir(bool with_data)
{
    std::string dir = (fs::temp_directory_path() / "oargala-capture-XXXXXX").string();
    if (!mkdtemp(dir.data())) abort();
    if (with_data) fs::create_directory_symlink(std::string(source_dir) + "/data", dir + "/data");
    return dir;
}

void remove_tree(const std::string& path) { std::error_code gone_already; fs::remove_all(path, gone_already); }

std::string make_fake_ffmpeg(const std::string& body)
{
    std::string dir = make_temp_dir(false), path = dir + "/ffmpeg";
    std::ofstream(path) << "#!/bin/sh\n"
                           "case \"$*\" in *-encoders*) printf ' V....D libx264 x\\n A....D aac x\\n A..... libopus x\\n'; exit 0;; esac\n"
                        << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return dir;
}

std::vector<std::string> list_dir(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const fs::directory_entry& e : fs::directory_iterator(path, ignored))
        if (e.path().filename().string()[0] != '.') names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string run_tool(const std::vector<std::string>& argv)
{
    std::string command, text;
    for (const std::string& a : argv) command += quote(a) + " ";
    FILE* p = popen((command + "</dev/null").c_str(), "r");
    char buf[65536];
    for (size_t n; p && (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    if (p) pclose(p);
    return text;
}

bool read_png_rgb(const std::string& path, unsigned* width, unsigned* height, std::vector<uint8_t>* rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) return false;
    *width = image.width;
    *height = image.height;
    return true;
}
