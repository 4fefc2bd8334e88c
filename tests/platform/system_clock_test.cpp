// system_clock_test.cpp: the interactive millisecond clock, which seeds the
// star field once per run: it counts from the system's start (/proc/uptime,
// to the hundredth of a second), so two runs read values as far apart as the
// runs are, not the same few milliseconds since their own start.
#include "platform/system_clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

// The clock as a fresh process reads it first thing (as a run's start-up does).
static uint32_t reading_of_a_new_process()
{
    int fds[2];
    uint32_t ms = 0;
    if (pipe(fds) != 0) return 0;
    pid_t pid = fork();
    if (pid == 0) {
        ms = system_milliseconds();
        _exit(write(fds[1], &ms, sizeof ms) == (ssize_t)sizeof ms ? 0 : 1);
    }
    close(fds[1]);
    if (read(fds[0], &ms, sizeof ms) != (ssize_t)sizeof ms) ms = 0;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return ms;
}

TEST(SystemClock, EachRunReadsTheTimeSinceTheSystemStarted)
{
    uint32_t first = reading_of_a_new_process();
    timespec pause = {0, 200 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    uint32_t second = reading_of_a_new_process();
    EXPECT_GE(second - first, 200u);
    EXPECT_LT(second - first, 60000u);

    double uptime = 0;
    FILE* file = fopen("/proc/uptime", "r");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fscanf(file, "%lf", &uptime), 1);
    fclose(file);
    // Within a minute either way (a 32-bit clock compared across its wrap).
    int32_t apart = (int32_t)((uint32_t)(uint64_t)(uptime * 1000.0) - second);
    EXPECT_LT(apart < 0 ? -(int64_t)apart : apart, 60000) << "read " << second << " ms, uptime " << uptime << " s";
}
