// SPDX-License-Identifier: GPL-3.0-or-later
// The high-resolution counter and the processor pinning of the measuring threads.
#include <gtest/gtest.h>
#include <sched.h>

#include <thread>

#include "platform/Affinity.h"
#include "platform/Clock.h"

namespace {
// ---- counter -------------------------------------------------------------------------------

TEST(Clock, CountsNanosecondsMonotonically) {
    EXPECT_EQ(HighResFrequency(), 1000000000);
    const int64_t a = HighResCounter();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const int64_t b = HighResCounter();
    EXPECT_GE(b - a, 2000000);  // at least the 2 ms slept; no upper bound (the machine may be busy)
}

TEST(Clock, TestCounterReplacesAndRestores) {
    int64_t now = 42;
    SetCounterForTests([&now] { return now; });
    EXPECT_EQ(HighResCounter(), 42);
    now = 1500000000;
    EXPECT_EQ(HighResCounter(), 1500000000);
    SetCounterForTests({});
    const int64_t real = HighResCounter();
    EXPECT_NE(real, 1500000000);
    EXPECT_GE(HighResCounter(), real);
}

// ---- affinity ------------------------------------------------------------------------------

int LowestAllowedCpu() {
    cpu_set_t set;
    CPU_ZERO(&set);
    sched_getaffinity(0, sizeof set, &set);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set)) return cpu;
    return -1;
}

TEST(Affinity, PinsOnlyTheCallingThreadToTheFirstProcessor) {
    const int expected = LowestAllowedCpu();
    ASSERT_GE(expected, 0);
    cpu_set_t before;
    CPU_ZERO(&before);
    sched_getaffinity(0, sizeof before, &before);

    bool pinned = false;
    int count = 0;
    bool hasFirst = false;
    int runningOn = -1;
    std::thread worker([&] {
        pinned = PinCurrentThreadToFirstProcessor();
        cpu_set_t after;
        CPU_ZERO(&after);
        sched_getaffinity(0, sizeof after, &after);
        count = CPU_COUNT(&after);
        hasFirst = CPU_ISSET(expected, &after);
        runningOn = sched_getcpu();
    });
    worker.join();
    EXPECT_TRUE(pinned);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(hasFirst);
    EXPECT_EQ(runningOn, expected);

    cpu_set_t still;
    CPU_ZERO(&still);
    sched_getaffinity(0, sizeof still, &still);
    EXPECT_TRUE(CPU_EQUAL(&before, &still)) << "other threads keep their processors";
}
}  // namespace
