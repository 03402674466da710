// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Nearestpoint.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
int Nearest(const std::vector<double>& x, double v) {
    return NearestPointIndex(
        int(x.size()), [&](int i) { return x[i]; }, v);
}
// The plain definition the binary search must agree with.
int Linear(const std::vector<double>& x, double v) {
    int best = -1;
    double bestD = 0;
    for (int i = 0; i < int(x.size()); ++i) {
        const double d = (x[i] - v) * (x[i] - v);
        if (best < 0 || d < bestD) best = i, bestD = d;
    }
    return best;
}
}  // namespace

TEST(NearestPoint, EmptyAndEnds) {
    EXPECT_EQ(Nearest({}, 1), -1);
    EXPECT_EQ(Nearest({5}, -100), 0);
    EXPECT_EQ(Nearest({1, 2, 3}, -1), 0);
    EXPECT_EQ(Nearest({1, 2, 3}, 99), 2);
}

TEST(NearestPoint, TiesGoToTheLowestIndex) {
    EXPECT_EQ(Nearest({1, 3}, 2), 0);
    EXPECT_EQ(Nearest({0, 1, 1, 1, 4}, 1.2), 1);  // equal X: the first of the run
    EXPECT_EQ(Nearest({0, 1, 1, 3, 3}, 2), 1);    // tie between two runs: the earlier run's first
    EXPECT_EQ(Nearest({2, 2, 2}, 5), 0);
}

TEST(NearestPoint, AgreesWithLinearScan) {
    std::vector<double> x;
    for (int i = 0; i < 200; ++i) x.push_back((i / 3) * 0.5);  // runs of three equal values
    for (double v = -1; v < 40; v += 0.05) ASSERT_EQ(Nearest(x, v), Linear(x, v)) << v;
}
