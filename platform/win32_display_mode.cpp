// win32_display_mode.cpp: see win32_display_mode.h. Depends on user32
// (ChangeDisplaySettingsA), kernel32 (console control handler, processes) and
// shell32 (CommandLineToArgvW).
//
// The console handler runs on a thread of its own, which the system starts
// whenever Ctrl+C comes: even while the change is being made. The change and
// the restore therefore take turns (one lock), so a Ctrl+C pressed then puts
// the desktop back once the change is done instead of before it.
//
// Once the mode is changed and every way out covered, the program says so to
// anyone who asks: the named event CHANGED_EVENT with its process id is set.
// A console that presses Ctrl+C for a test waits for it instead of guessing
// from the screen, which another program may have changed.
//
// A process that is killed runs none of its own code, so after a change a
// guard watches it: the program's own exe started again with GUARD_FLAG and
// the program's process id. It waits for the program to end and, if the
// display still is not in the desktop's mode then, puts that back. It never
// reaches main: it is recognised and run before.
#include "win32_display_mode.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

// Set from the program's thread, read by the console handler's thread, both
// holding turn.
static volatile LONG changed;
// A critical section, not a slim lock: a crash on the program's thread while
// it holds it still gets in (the exception filter restores too).
static CRITICAL_SECTION turn;
static const bool turn_ready = (InitializeCriticalSection(&turn), true);
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

#define GUARD_FLAG "--display-mode-guard"
#define CHANGED_EVENT "Local\\oargala-display-mode-changed-%lu"
static bool guard_started;
static HANDLE changed_event;   // kept open for the process's life: the name lives as long as a handle does

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
    // UTF-8 (the manifest's code page), where a UTF-16 unit takes up to 3 bytes.
    char exe[MAX_PATH * 3], command[sizeof exe + 64];
    DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (length == 0 || length >= sizeof exe) return;
    snprintf(command, sizeof command, "\"%s\" " GUARD_FLAG " %lu", exe, (unsigned long)GetCurrentProcessId());
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

// The guard's whole life, when this process is one: the flag is exactly its
// first argument and the program's process id the second. Anywhere else
// (inside a --data folder's name, say) the flag makes no guard.
static bool run_guard_if_asked()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool asked = argv && argc == 3 && !wcscmp(argv[1], L"" GUARD_FLAG);
    unsigned long id = asked ? wcstoul(argv[2], nullptr, 10) : 0;
    LocalFree(argv);
    if (!asked) return false;
    // Off the program's console, whose Ctrl+C or closing would end the guard
    // along with the program.
    FreeConsole();
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
    EnterCriticalSection(&turn);
    bool switched = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    if (switched) {
        InterlockedExchange(&changed, 1);
        if (!guard_started) start_guard();
        if (!changed_event) {
            char name[64];
            snprintf(name, sizeof name, CHANGED_EVENT, (unsigned long)GetCurrentProcessId());
            changed_event = CreateEventA(nullptr, TRUE, TRUE, name);
        }
    }
    LeaveCriticalSection(&turn);
    return switched;
}

void win32_display_mode_restore()
{
    EnterCriticalSection(&turn);
    if (InterlockedExchange(&changed, 0)) ChangeDisplaySettingsA(nullptr, 0);
    LeaveCriticalSection(&turn);
}
