// ctrl_c.c: Ctrl+C pressed in the console that oargala.exe was started from,
// for the Wine test (built there with mingw-w64). Usage: ctrl_c.exe EXE FILE.
// Starts EXE in a console of its own, waits for FILE to appear (the test makes
// it once the display has switched: under Wine this process does not see the
// other one's mode change), sends that console Ctrl+C and waits (up to 60 s)
// for EXE to end. Prints "ended with code X" (hexadecimal), or what went
// wrong; exits 0 only when EXE ended.
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    // The console's Ctrl+C reaches every program attached to it, this one too.
    FreeConsole();
    if (!AllocConsole()) return printf("no console\n"), 1;
    SetConsoleTitleA("pelmatox's console");   // a name the X tests leave alone, not a box to dismiss
    char command[1024];
    snprintf(command, sizeof command, "\"%s\"", argv[1]);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(argv[1], command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return printf("cannot start %s\n", argv[1]), 1;
    // Only now: a program started while Ctrl+C is ignored would ignore it too.
    SetConsoleCtrlHandler(NULL, TRUE);
    while (GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES)
        if (WaitForSingleObject(process.hProcess, 100) != WAIT_TIMEOUT) return printf("ended before Ctrl+C\n"), 1;
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
