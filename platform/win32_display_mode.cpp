// win32_display_mode.cpp: see win32_display_mode.h. Depends on user32
// (ChangeDisplaySettingsA) and kernel32 (console control handler).
#include "win32_display_mode.h"

#include <windows.h>

#include <cstdlib>

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
    return true;
}

void win32_display_mode_restore()
{
    if (InterlockedExchange(&changed, 0)) ChangeDisplaySettingsA(nullptr, 0);
}
