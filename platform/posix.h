// posix.h: the few POSIX file and signal calls the program uses, where the
// system lacks them (Windows' C runtime): flags it does not know become
// no-ops, sigaction is plain signal(), and the signals Windows never raises
// (SIGHUP, SIGPIPE) are numbers that signal() simply refuses. On POSIX
// systems it adds nothing. Include it after the system headers.
#pragma once

#ifdef _WIN32
#include <csignal>
#include <cstring>
#include <direct.h>
#include <io.h>

#ifndef O_CLOEXEC
#define O_CLOEXEC 0   // nothing is spawned that could inherit the file
#endif
#ifndef SIGHUP
#define SIGHUP 1
#endif
#ifndef SIGPIPE
#define SIGPIPE 13
#endif

struct sigaction {
    void (*sa_handler)(int);
    int sa_mask;
    int sa_flags;
};

static inline void sigemptyset(int* set) { *set = 0; }

static inline int sigaction(int sig, const struct sigaction* action, struct sigaction*)
{
    return signal(sig, action->sa_handler) == SIG_ERR ? -1 : 0;
}

static inline const char* strsignal(int sig)
{
    switch (sig) {
    case SIGINT: return "Interrupt";
    case SIGTERM: return "Terminated";
    case SIGBREAK: return "Ctrl-Break";
    default: return "a signal";
    }
}

// Windows folders have no permission bits to set.
static inline int posix_mkdir(const char* path, int) { return _mkdir(path); }
#define mkdir posix_mkdir
#endif
