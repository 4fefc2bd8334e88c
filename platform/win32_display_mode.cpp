// win32_display_mode.cpp: see win32_display_mode.h. Depends on user32
// (ChangeDisplaySettingsA) and kernel32 (console control handler, processes).
//
// A process that is killed runs none of its own code, so after a change a
// guard watches it: the program's own exe started again with guard_flag and
// the program's process id. It waits for the program to end and, if the
// display still is not in the desktop's mode then, puts that back. It never
// reaches main: it is recognised and run before.
#include "win32_display_mode.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Set from the program's thread, read by the console handler's thread.
static volatile LONG changed;
static bool handlers_installed;
static LPTOP_LEVEL_EXCEPTION_FILTER previous_filter;

static BOOL WINAPI on_console_event(DWORD)
{
    win32_display_mode_restore();
    return FALSE;   // the default handler then ends the process as usual
}

static LONG WINAPI on_crash(EXCEPTION_POINTERS* info)
{
    win32_display_mode_restore();
    return previous_filter ? previous_filter(info) : EXCEPTION_CONTINUE_SEARCH;
}

static void restore_at_exit() { win32_display_mode_restore(); }

static const char guard_flag[] = "--display-mode-guard";
static bool guard_started;

static bool desktop_mode_differs()
{
    DEVMODEA now, desktop;
    ZeroMemory(&now, sizeof now);
    ZeroMemory(&desktop, sizeof desktop);
    now.dmSize = desktop.dmSize = sizeof now;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &now) ||
        !EnumDisplaySettingsA(nullptr, ENUM_REGISTRY_SETTINGS, &desktop))
        return true;
    return now.dmPelsWidth != desktop.dmPelsWidth || now.dmPelsHeight != desktop.dmPelsHeight ||
           now.dmBitsPerPel != desktop.dmBitsPerPel;
}

static void start_guard()
{
    char exe[MAX_PATH], command[MAX_PATH + 64];
    DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (length == 0 || length >= sizeof exe) return;
    snprintf(command, sizeof command, "\"%s\" %s %lu", exe, guard_flag, (unsigned long)GetCurrentProcessId());
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(exe, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    guard_started = true;
}

// The guard's whole life, when this process is one.
static bool run_guard_if_asked()
{
    const char* flag = strstr(GetCommandLineA(), guard_flag);
    if (!flag) return false;
    unsigned long id = strtoul(flag + sizeof guard_flag, nullptr, 10);
    HANDLE program = OpenProcess(SYNCHRONIZE, FALSE, (DWORD)id);
    if (program) {
        WaitForSingleObject(program, INFINITE);
        if (desktop_mode_differs()) ChangeDisplaySettingsA(nullptr, 0);
    }
    ExitProcess(0);
}

static const bool is_guard = run_guard_if_asked();

bool win32_display_mode_change(unsigned width, unsigned height, unsigned bits)
{
    DEVMODEA mode;
    ZeroMemory(&mode, sizeof mode);
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmBitsPerPel = bits;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    if (!handlers_installed) {
        // Before the change, so no way out is left uncovered once it is made.
        handlers_installed = true;
        atexit(restore_at_exit);
        SetConsoleCtrlHandler(on_console_event, TRUE);
        previous_filter = SetUnhandledExceptionFilter(on_crash);
    }
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return false;
    InterlockedExchange(&changed, 1);
    if (!guard_started) start_guard();
    return true;
}

void win32_display_mode_restore()
{
    if (InterlockedExchange(&changed, 0)) ChangeDisplaySettingsA(nullptr, 0);
}
