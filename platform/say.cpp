// say.cpp: the program's message lines (see say.h). Depends on the C library.
#include "platform/say.h"

#include <cstdarg>
#include <string>

static void say_v(FILE* stream, const char* format, va_list args)
{
    // One fputs of the whole line: stdio locks the stream per call, so a line
    // never interleaves with another thread's.
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    std::string line = "oargala: ";
    if (n < 0) {
        line += format;
    } else if ((size_t)n < sizeof small) {
        line += small;
    } else {
        std::string big((size_t)n + 1, '\0');
        vsnprintf(&big[0], big.size(), format, args);
        big.resize((size_t)n);
        line += big;
    }
    line += '\n';
    fputs(line.c_str(), stream);
    fflush(stream);
}

void say_box(const char* caption, const char* text)
{
    std::string line = std::string(caption ? caption : "") + ": " + (text ? text : "") + "\n";
    fputs(line.c_str(), stderr);
    fflush(stderr);
}

void say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    say_v(stderr, format, args);
    va_end(args);
}

void say_to(FILE* stream, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    say_v(stream, format, args);
    va_end(args);
}
