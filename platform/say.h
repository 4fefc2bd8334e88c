// say.h: the program's one voice on the terminal. Every message of its own is
// a line "oargala: TEXT" on standard error (a few on standard output), written
// whole and flushed at once, so that lines from several threads never mix and
// nothing is lost when the process is ended by a signal right after. In a
// browser, standard error is the page's console. Depends on the C library.
// A message box's words where no box is shown: "CAPTION: TEXT" (no prefix).
// The loader's own log lines ((tolm), (png) ...) go through loader_log in
// imageloader/image_loader.h, beside this, with their own format.
#pragma once

#include <cstdio>

#if defined(__GNUC__)
#define SAY_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define SAY_PRINTF(fmt_index, first_arg)
#endif

// "oargala: " + the formatted text + a newline on standard error, flushed.
void say(const char* format, ...) SAY_PRINTF(1, 2);
// The same on another stream (standard output for a result the user asked
// for, such as a screenshot's name).
void say_to(FILE* stream, const char* format, ...) SAY_PRINTF(2, 3);
// A message box's words as one line "CAPTION: TEXT" on standard error, for
// where no box can be shown (null strings as empty).
void say_box(const char* caption, const char* text);
