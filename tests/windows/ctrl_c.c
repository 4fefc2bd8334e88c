// ctrl_c.c: Ctrl+C pressed in the console that oargala.exe was started from,
// for the Wine test (built there with mingw-w64). Usage: ctrl_c.exe EXE FILE.
// Starts EXE in a console of its own, waits until EXE says its display mode
// is changed (win32_display_mode.cpp sets a named event then: from the screen
// alone this process could not tell, and a mode left by another program would
// fool it) and FILE appears (the test makes it once it sees the mode), sends
// that console Ctrl+C and waits (up to 60 s) for EXE to end. Prints "ended
// with code X" (hexadecimal), or what went wrong; exits 0 only when EXE ended.
//
// The console has no window: Wine gives a console that AllocConsole makes a
// window, titled with this exe's path until SetConsoleTitle comes, which the
// X tests would take for a message box and press Return in. So the helper
// starts itself again with CREATE_NO_WINDOW, whose console is windowless, and
// does its work there.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define IN_OWN_CONSOLE "--in-own-console"

// Starts this exe again with the same arguments in a windowless console of
// its own, its output where this one's goes; returns its exit code.
static int again_without_window(char** argv)
{
    char self[MAX_PATH], command[3 * MAX_PATH + 64];
    DWORD length = GetModuleFileNameA(NULL, self, sizeof self);
    if (length == 0 || length >= sizeof self) return printf("cannot find itself\n"), 1;
    snprintf(command, sizeof command, "\"%s\" \"%s\" \"%s\" " IN_OWN_CONSOLE, self, argv[1], argv[2]);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    fflush(stdout);
    if (!CreateProcessA(self, command, NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &startup, &process))
        return printf("cannot start itself\n"), 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    return (int)code;
}

int main(int argc, char** argv)
{
    if (argc == 3) return again_without_window(argv);
    if (argc != 4 || strcmp(argv[3], IN_OWN_CONSOLE)) return 2;
    char command[1024];
    snprintf(command, sizeof command, "\"%s\"", argv[1]);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(argv[1], command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return printf("cannot start %s\n", argv[1]), 1;
    // The console's Ctrl+C reaches every program attached to it, this one
    // too. Ignored only now: a program started while Ctrl+C is ignored would
    // ignore it too.
    SetConsoleCtrlHandler(NULL, TRUE);
    char name[64];
    snprintf(name, sizeof name, "Local\\oargala-display-mode-changed-%lu", (unsigned long)process.dwProcessId);
    HANDLE changed = NULL;
    while (!changed || GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES) {
        if (!changed) changed = OpenEventA(SYNCHRONIZE, FALSE, name);
        if (WaitForSingleObject(process.hProcess, 100) != WAIT_TIMEOUT) return printf("ended before Ctrl+C\n"), 1;
    }
    if (WaitForSingleObject(changed, 0) != WAIT_OBJECT_0) return printf("the mode-changed event is not set\n"), 1;
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        return printf("still running 60 s after Ctrl+C\n"), 1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    printf("ended with code %lx\n", (unsigned long)code);
    return 0;
}
