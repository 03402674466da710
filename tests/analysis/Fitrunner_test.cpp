// SPDX-License-Identifier: GPL-3.0-or-later
// Fits off the window's thread: the request returns at once with a copy of the points, the result
// comes back on the runner's thread, and a newer request supersedes an older one, whose result is
// never delivered.
#include "analysis/Fitrunner.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>
#include <cmath>

#include "lesson/Run.h"
#include "tests/support/Wait.h"

namespace {

// Water cooling from 80 °C to 22 °C with τ = 30 s, sampled every `step` seconds.
tRun Cooling(qsizetype points, double step) {
    tRun run(step);
    run.Reserve(points);
    for (qsizetype i = 0; i < points; ++i)
        run.Append(22 + 58 * std::exp(-static_cast<double>(i) * step / 30) + 0.05 * std::sin(i * 12.9898));
    return run;
}

struct tDelivery {
    quint64 Request = 0;
    tFitResult Result;
    QThread* Thread = nullptr;
};

}  // namespace

TEST(FitRunner, ResultArrivesOnTheRunnersThreadFromACopyOfThePoints) {
    tFitRunner runner;
    std::vector<tDelivery> delivered;
    QObject::connect(&runner, &tFitRunner::Finished, &runner, [&](quint64 request, const tFitResult& result) {
        delivered.push_back({request, result, QThread::currentThread()});
    });
    tRun run = Cooling(600, 0.5);
    const quint64 request = runner.Request(run, 4, 0, 599, tFitModel::Approach);
    EXPECT_TRUE(runner.Busy());
    // The run may change at once: the fit works on the copy taken by Request.
    run.Clear();
    ASSERT_EVENTUALLY(!delivered.empty());
    EXPECT_FALSE(runner.Busy());
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].Request, request);
    EXPECT_EQ(delivered[0].Thread, QThread::currentThread());
    const tFitResult& result = delivered[0].Result;
    ASSERT_TRUE(result.Converged) << result.Problem.toStdString();
    EXPECT_EQ(result.Record.Run, 4);
    EXPECT_EQ(result.Record.Points, 600);
    EXPECT_NEAR(result.Record.Values[0], 22, 0.05);
    EXPECT_NEAR(result.Record.Values[2], 30, 0.1);
}

TEST(FitRunner, ANewerRequestSupersedesTheOneInProgress) {
    tFitRunner runner;
    QSignalSpy spy(&runner, &tFitRunner::Finished);
    // A long fit first (a million points), then at once a short one: only the short one's result
    // may come, however far the long one got.
    const tRun big = Cooling(1000000, 0.001);
    const tRun small = Cooling(100, 1);
    const quint64 first = runner.Request(big, 0, 0, big.Count() - 1, tFitModel::Sine);
    const quint64 second = runner.Request(small, 1, 0, 99, tFitModel::Approach);
    EXPECT_NE(first, second);
    ASSERT_EVENTUALLY(spy.count() == 1, 60000);
    rovelin_test::Pump(200);  // a late result of the first request would have arrived by now
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<quint64>(), second);
    EXPECT_EQ(spy.at(0).at(1).value<tFitResult>().Record.Run, 1);

    // Cancel drops the pending request: nothing is delivered for it.
    runner.Request(small, 2, 0, 99, tFitModel::Linear);
    runner.Cancel();
    EXPECT_FALSE(runner.Busy());
    rovelin_test::Pump(300);
    EXPECT_EQ(spy.count(), 1);
}

TEST(FitRunner, DestroyedWhileFittingEndsCleanly) {
    const tRun big = Cooling(1000000, 0.001);
    {
        tFitRunner runner;
        runner.Request(big, 0, 0, big.Count() - 1, tFitModel::Sine);
        QThread::msleep(20);
    }  // the destructor cancels the fit and joins the worker; a queued result must not outlive it
    rovelin_test::Pump(100);
    SUCCEED();
}
