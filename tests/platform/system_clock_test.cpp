// system_clock_test.cpp: the interactive millisecond clock, which seeds the
// star field once per run: it counts from the system's start, as
// /proc/uptime does, so each run reads another value, not the few
// milliseconds since its own start.
#include "platform/system_clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

TEST(SystemClock, ReadsTheTimeSinceTheSystemStarted)
{
    double uptime = 0;
    FILE* file = fopen("/proc/uptime", "r");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fscanf(file, "%lf", &uptime), 1);
    fclose(file);
    uint32_t read = system_milliseconds();
    // Within five seconds either way (a 32-bit clock compared across its wrap).
    int32_t apart = (int32_t)(read - (uint32_t)(uint64_t)(uptime * 1000.0));
    EXPECT_LT(std::abs((int64_t)apart), 5000) << "read " << read << " ms, uptime " << uptime << " s";
}
