// executable_dir_linux.cpp: where the running program lives, on Linux: the
// kernel's /proc/self/exe link, which is absolute with every link resolved,
// so a program started through a symlink or a relative path still finds the
// files installed beside it. Depends on POSIX readlink.
#include "platform.h"

#include <unistd.h>

std::string platform_executable_dir()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    // A full buffer may be a cut-off path: better none than a wrong one.
    if (n <= 0 || (size_t)n >= sizeof buffer) return std::string();
    std::string path(buffer, (size_t)n);
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}
