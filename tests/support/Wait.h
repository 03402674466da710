// Waiting in GoogleTest tests that drive Qt: the condition is polled while the event loop runs, and
// a wait that runs out fails the test (Qt's QTRY_* macros only `return` inside a GoogleTest test,
// which GoogleTest counts as a pass). Time-outs are generous; the wait ends as soon as it can.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <functional>

#include <gtest/gtest.h>

namespace rovelin_test {

// Runs the event loop until `condition` holds or `timeoutMs` pass; true when it held.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (condition()) return true;
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(2);
    }
}

// Runs the event loop for `ms` milliseconds (no verdict).
inline void Pump(int ms) {
    WaitUntil([] { return false; }, ms);
}

}  // namespace rovelin_test

// The test fails (and goes on) when `condition` does not hold within the time-out.
#define EXPECT_EVENTUALLY(condition, ...) \
    EXPECT_TRUE(::rovelin_test::WaitUntil([&] { return static_cast<bool>(condition); }, ##__VA_ARGS__)) \
        << "still false after waiting: " #condition
// The test fails and stops when `condition` does not hold within the time-out.
#define ASSERT_EVENTUALLY(condition, ...) \
    ASSERT_TRUE(::rovelin_test::WaitUntil([&] { return static_cast<bool>(condition); }, ##__VA_ARGS__)) \
        << "still false after waiting: " #condition
