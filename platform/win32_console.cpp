// win32_console.cpp: oargala.exe is a window program, so a double-click opens
// no console window. Started from a console, such a program has no standard
// output of its own; this attaches it to that console before main runs, so
// --help, --version and the log lines still show there. Output that was
// redirected (to a file or a pipe) is left as it is. Depends on kernel32.
#include <windows.h>

#include <cstdio>

static bool has_handle(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

static bool attach_to_parent_console()
{
    bool out = has_handle(STD_OUTPUT_HANDLE), err = has_handle(STD_ERROR_HANDLE);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    if (!out) freopen("CONOUT$", "w", stdout);
    if (!err) freopen("CONOUT$", "w", stderr);
    return true;
}

static const bool attached = attach_to_parent_console();
