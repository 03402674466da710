// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting in GoogleTest tests that drive Qt: the condition is polled while the event loop runs, and
// a wait that runs out fails the test (Qt's QTRY_* macros only `return` inside a GoogleTest test,
// which GoogleTest counts as a pass). Time-outs are generous; the wait ends as soon as it can.
//
// The wait runs a real event loop that blocks when there is nothing to do, as the program's own
// loop does: whatever the program hangs on the loop going idle (the actions' enabling rules) runs
// during a wait just as it does for a user.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace rovelin_test {

// Runs the event loop until `condition` holds or `timeoutMs` pass; true when it held.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    if (condition()) return true;
    const QDeadlineTimer deadline(timeoutMs);
    bool held = false;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        held = condition();
        if (held || deadline.hasExpired()) loop.quit();
    });
    poll.start();
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return held;
}

// Runs the event loop for `ms` milliseconds (no verdict).
inline void Pump(int ms) {
    WaitUntil([] { return false; }, ms);
}

}  // namespace rovelin_test

// The test fails (and goes on) when `condition` does not hold within the time-out.
#define EXPECT_EVENTUALLY(condition, ...)                                                               \
    EXPECT_TRUE(::rovelin_test::WaitUntil([&] { return static_cast<bool>(condition); }, ##__VA_ARGS__)) \
        << "still false after waiting: " #condition
// The test fails and stops when `condition` does not hold within the time-out.
#define ASSERT_EVENTUALLY(condition, ...)                                                               \
    ASSERT_TRUE(::rovelin_test::WaitUntil([&] { return static_cast<bool>(condition); }, ##__VA_ARGS__)) \
        << "still false after waiting: " #condition
