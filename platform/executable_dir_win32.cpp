// executable_dir_win32.cpp: where the running program lives, on Windows: the
// module file name of the exe, so a shortcut or a start from another folder
// still finds the data unpacked beside oargala.exe. UTF-8, as the manifest
// sets the code page. Depends on kernel32.
#include "platform.h"

#include <windows.h>

std::string platform_executable_dir()
{
    // In UTF-8 a UTF-16 unit takes up to 3 bytes.
    char buffer[MAX_PATH * 3];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    // A full buffer may be a cut-off path: better none than a wrong one.
    if (n == 0 || n >= sizeof buffer) return std::string();
    std::string path(buffer, n);
    size_t separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return std::string();
    return path.substr(0, separator);
}
