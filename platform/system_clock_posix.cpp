// system_clock_posix.cpp: the system clocks on Linux. The millisecond clock is
// CLOCK_BOOTTIME (since boot, suspend included), the counter CLOCK_MONOTONIC in
// nanoseconds. Depends on POSIX clock_gettime.
#include "system_clock.h"

#include <ctime>

static int64_t read_ns(clockid_t id)
{
    timespec ts;
    if (clock_gettime(id, &ts) != 0) return 0;
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

uint32_t system_milliseconds() { return (uint32_t)(uint64_t)(read_ns(CLOCK_BOOTTIME) / 1000000); }
int64_t system_counter() { return read_ns(CLOCK_MONOTONIC); }
int64_t system_counter_frequency() { return 1000000000; }
