// system_clock_win32.cpp: the system clocks on Windows. The millisecond clock
// is the multimedia timer's timeGetTime (milliseconds since Windows started,
// 32 bits), the counter QueryPerformanceCounter. Depends on winmm and kernel32.
#include "system_clock.h"

#include <windows.h>
#include <mmsystem.h>

uint32_t system_milliseconds() { return (uint32_t)timeGetTime(); }

int64_t system_counter()
{
    LARGE_INTEGER now;
    return QueryPerformanceCounter(&now) ? (int64_t)now.QuadPart : 0;
}

int64_t system_counter_frequency()
{
    LARGE_INTEGER frequency;
    return QueryPerformanceFrequency(&frequency) ? (int64_t)frequency.QuadPart : 0;
}
