// posix.h: the few POSIX file and signal calls the program uses, where the
// system lacks them (Windows' C runtime): flags it does not know become
// no-ops, sigaction is plain signal(), and the signals Windows never raises
// (SIGHUP, SIGPIPE) are numbers that signal() simply refuses, and rename
// replaces an existing file as POSIX's does. On POSIX systems it adds
// nothing. Include it after the system headers.
#pragma once

#ifdef _WIN32
#include <cerrno>
#include <csignal>
#include <cstdio>
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

// POSIX's rename replaces an existing file; the C runtime's refuses to (EACCES,
// or EEXIST under Wine), so a second capture into a folder could not write its
// frames again. Not atomic here: the old file goes first.
static inline int posix_rename(const char* from, const char* to)
{
    if (rename(from, to) == 0) return 0;
    int refused = errno;
    if ((refused != EACCES && refused != EEXIST) || remove(to) != 0) {
        errno = refused;
        return -1;
    }
    return rename(from, to);
}
#define rename posix_rename
#endif
