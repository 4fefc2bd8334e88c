// system_clock.h: the machine's own clocks, as the interactive backend reads
// them. One file per system implements them (system_clock_posix.cpp, and the
// Windows one). Private to platform/.
#pragma once

#include <cstdint>

// Milliseconds since the system started, truncated to 32 bits: it wraps after
// about 49.7 days of uptime, and differs from run to run (the star field is
// seeded from one reading).
uint32_t system_milliseconds();
// A monotonic high-resolution counter and its ticks per second.
int64_t system_counter();
int64_t system_counter_frequency();
