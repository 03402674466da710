// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Run.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// The extremes of from..to-1 by looking at every point.
bool Scan(const tRun& run, qsizetype from, qsizetype to, double& lo, double& hi) {
    bool any = false;
    for (qsizetype i = from; i < to; ++i) {
        const double y = run.Y(i);
        if (std::isnan(y)) continue;
        lo = any ? std::min(lo, y) : y;
        hi = any ? std::max(hi, y) : y;
        any = true;
    }
    return any;
}
}  // namespace

TEST(tRunPoints, ExtremesOfAnyRangeMatchAFullScan) {
    // Three chunks and a bit, so ranges cross chunk, group and block borders.
    tRun run(0.01);
    QRandomGenerator random(7);
    const qsizetype n = 3 * 65536 + 1234;
    double walk = 0;
    for (qsizetype i = 0; i < n; ++i) {
        walk += random.generateDouble() - 0.5;
        run.Append(i == 100'000 ? 1e6 : walk);  // one spike
    }
    ASSERT_EQ(run.Count(), n);
    EXPECT_DOUBLE_EQ(run.X(n - 1), (n - 1) * 0.01);
    const qsizetype edges[] = {0,     1,     63,     64,      65,      4095,   4096,  4097, 65535,
                               65536, 65537, 99'999, 100'000, 100'001, 131072, n - 1, n};
    for (qsizetype from : edges)
        for (qsizetype to : edges) {
            double lo = 0, hi = 0, slo = 0, shi = 0;
            const bool found = run.MinMax(from, to, lo, hi);
            ASSERT_EQ(found, Scan(run, from, to, slo, shi)) << from << ".." << to;
            if (!found) continue;
            EXPECT_EQ(lo, slo) << from << ".." << to;
            EXPECT_EQ(hi, shi) << from << ".." << to;
        }
    for (int k = 0; k < 200; ++k) {
        const qsizetype a = random.bounded(static_cast<qint64>(n)),
                        b = random.bounded(static_cast<qint64>(n));
        double lo = 0, hi = 0, slo = 0, shi = 0;
        ASSERT_TRUE(run.MinMax(std::min(a, b), std::max(a, b) + 1, lo, hi));
        Scan(run, std::min(a, b), std::max(a, b) + 1, slo, shi);
        EXPECT_EQ(lo, slo);
        EXPECT_EQ(hi, shi);
    }
}

TEST(tRunPoints, EditsKeepTheExtremesRightAndCountAsChanges) {
    tRun run(1);
    for (int i = 0; i < 10'000; ++i) run.Append(i % 7);
    double lo = 0, hi = 0;
    const auto before = run.Revision();
    run.SetPoint(5000, 0, -3);  // a new minimum
    run.SetPoint(6, 0, 0);      // the old maxima stay elsewhere
    ASSERT_TRUE(run.MinMax(0, run.Count(), lo, hi));
    EXPECT_EQ(lo, -3);
    EXPECT_EQ(hi, 6);
    run.SetPoint(5000, 0, 2);  // and gone again
    ASSERT_TRUE(run.MinMax(4096, 8192, lo, hi));
    EXPECT_EQ(lo, 0);
    EXPECT_GT(run.Revision(), before);

    // NaN values are no extremes; a range of NaN only has none.
    run.Append(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(run.MinMax(run.Count() - 1, run.Count(), lo, hi));
    ASSERT_TRUE(run.MinMax(run.Count() - 3, run.Count(), lo, hi));
    EXPECT_FALSE(std::isnan(lo) || std::isnan(hi));

    run.Clear();
    EXPECT_EQ(run.Count(), 0);
    EXPECT_FALSE(run.MinMax(0, 10, lo, hi));
    run.Append(4);
    EXPECT_EQ(run.Y(0), 4);
}

TEST(tRunPoints, AnEvenlySpacedRunCostsAboutEightBytesAPoint) {
    tRun run(0.001);
    const qsizetype n = 2'000'000;
    for (qsizetype i = 0; i < n; ++i) run.Append(std::sin(i * 0.001));
    EXPECT_LE(double(run.MemoryBytes()) / n, 8.5);
    // Short runs do not hold a whole chunk.
    tRun small(1);
    for (int i = 0; i < 10; ++i) small.Append(i);
    EXPECT_LT(small.MemoryBytes(), 1024u);
}

TEST(tRunPoints, SharedValuesStayAsTakenWhileTheRunGoesOn) {
    tRun run(0.001);
    for (int i = 0; i < 100000; ++i) run.Append(i);
    const tRun::tSharedValues taken = run.ShareValues(60000, 40000);  // across a chunk boundary
    // The run goes on: appended into the shared last chunk, an old point edited, then all cleared.
    for (int i = 0; i < 1000; ++i) run.Append(-1);
    run.SetPoint(65000, 0, -5);
    double lo = 0, hi = 0;
    ASSERT_TRUE(run.MinMax(64000, 66000, lo, hi));
    EXPECT_EQ(lo, -5);  // the run's summaries follow its own copy
    run.Clear();
    ASSERT_EQ(taken.Count(), 40000);
    std::vector<double> values(40000);
    taken.Copy(0, 40000, values.data());
    for (int i = 0; i < 40000; ++i) ASSERT_EQ(values[std::size_t(i)], 60000 + i) << i;
    taken.Copy(39999, 1, values.data());
    EXPECT_EQ(values[0], 99999);
}

TEST(tRunPoints, SharingEverySecondKeepsTheRunAtAboutEightBytesAPoint) {
    // The autosave shares the growing last chunk every second; the run's own copy of it must not
    // end up larger than a chunk.
    tRun run(0.001);
    const qsizetype n = 16 * 65536;  // whole chunks: a last chunk's room for what is to come aside
    tRun::tSharedValues held;        // the write in flight holds it until the next one
    for (qsizetype i = 0; i < n; ++i) {
        run.Append(std::sin(i * 0.001));
        if (i % 1000 == 999) held = run.ShareValues(run.Count() - 1000, 1000);
    }
    EXPECT_LE(double(run.MemoryBytes()) / n, 8.5);
}

TEST(tRunPoints, IrregularRunsKeepTheirX) {
    tRun run(0.5);
    run.Append(1);
    run.Append(2, "b");
    run.AppendXY(3.25, 3);
    EXPECT_FALSE(run.Evenly());
    EXPECT_EQ(run.X(1), 0.5);
    EXPECT_EQ(run.X(2), 3.25);
    EXPECT_EQ(run.Label(1), QStringLiteral("b"));
    EXPECT_EQ(run.LowerBound(1.0), 2);
}
