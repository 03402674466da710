// SPDX-License-Identifier: GPL-3.0-or-later
// The test harness's own wait: a condition that never comes true fails the test, one that comes
// true through the event loop passes, and a wait lets the loop go idle as the program's loop does.
#include "tests/support/Wait.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QTimer>

TEST(TestWait, AWaitThatRunsOutFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(EXPECT_EVENTUALLY(false, 50), "still false after waiting: false");
    EXPECT_FATAL_FAILURE(ASSERT_EVENTUALLY(1 + 1 == 3, 50), "still false after waiting: 1 + 1 == 3");
}

TEST(TestWait, AConditionReachedThroughTheLoopEndsTheWaitEarly) {
    bool fired = false;
    QTimer::singleShot(30, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EVENTUALLY(fired, 60000);
    EXPECT_LT(clock.elapsed(), 30000);  // far below the time-out: the wait did not run it out
}

TEST(TestWait, TheLoopGoesIdleDuringAWait) {
    int idle = 0;
    QObject context;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &context,
                     [&] { ++idle; });
    EXPECT_EVENTUALLY(idle >= 3);
}
