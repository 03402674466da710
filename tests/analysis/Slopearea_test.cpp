// SPDX-License-Identifier: GPL-3.0-or-later
// The slope at a point from a straight line over a window, the area between two points by
// trapezoids, and their read-outs with units per second and units times seconds.
#include "analysis/Slopearea.h"

#include <gtest/gtest.h>

#include <cmath>

#include "Decimalcomma.h"
#include "Printers.h"
#include "analysis/Statistics.h"
#include "foundation/Functions.h"
#include "lesson/Run.h"

namespace {
// y = t² sampled every 0,5 s from 0 to 10 s: the slope at t is 2t, the area from a to b is
// (b³ − a³)/3 plus the trapezoids' excess (b − a)·h²/6.
tRun Parabola() {
    tRun run(0.5);
    for (int i = 0; i <= 20; ++i) run.Append(0.25 * i * i);
    return run;
}

struct SlopeArea : DecimalComma {
    tReadoutNames Names() const {
        return {1,
                Qt::red,
                QStringLiteral("Время, с"),
                QStringLiteral("Температура, °C"),
                QStringLiteral("0.0"),
                QStringLiteral("0.0")};
    }
};
}  // namespace

TEST_F(SlopeArea, SlopeIsTheLineThroughTheWindowAroundThePoint) {
    const tRun run = Parabola();
    // At t = 4 s over ±1 s: five points of a parabola symmetric about t, whose line has slope 2t.
    const tSlope slope = ComputeSlope(run, {0, 8, 2.0});
    ASSERT_TRUE(slope.Valid) << slope.Problem.toStdString();
    EXPECT_NEAR(slope.Slope, 8, 1e-12);
    EXPECT_EQ(slope.Points, 5);
    EXPECT_DOUBLE_EQ(slope.T, 4);
    EXPECT_DOUBLE_EQ(slope.From, 3);
    EXPECT_DOUBLE_EQ(slope.To, 5);
    // The line's own value at the point (16,5 on the chord-like line, not the curve's 16).
    EXPECT_NEAR(slope.Y, 16 + 0.5, 1e-12);
    EXPECT_GT(slope.Sigma, 0);
    EXPECT_EQ(SlopeText(slope, Names()),
              QStringLiteral("Наклон при t = 4,0 с: 8,0 °C/с ± 0,3 (прямая по 5 точкам за 2,0 с)"));

    // At the run's start the window is cut at the first point.
    const tSlope start = ComputeSlope(run, {0, 0, 2.0});
    ASSERT_TRUE(start.Valid);
    EXPECT_EQ(start.Points, 3);
    EXPECT_DOUBLE_EQ(start.From, 0);
    // A window narrower than the sampling step holds one point: no slope, and why.
    const tSlope narrow = ComputeSlope(run, {0, 8, 0.2});
    EXPECT_FALSE(narrow.Valid);
    EXPECT_EQ(
        SlopeText(narrow, Names()),
        QStringLiteral("Наклон не найден: в окне меньше двух точек с разным временем — сделайте окно шире"));
    EXPECT_FALSE(ComputeSlope(run, {0, 21, 2.0}).Valid);
    EXPECT_DOUBLE_EQ(DefaultSlopeWindow(run), 2.0)
        << "four sampling steps, more than a tenth of this short run";
}

TEST_F(SlopeArea, AreaByTrapezoidsInEitherOrderBridgingGaps) {
    const tRun run = Parabola();
    // From 2 to 6 s: 208/3 + 4·0,25/6 = 69,5.
    for (const tAreaRecord& record : {tAreaRecord{0, 4, 12}, tAreaRecord{0, 12, 4}}) {
        const tArea area = ComputeArea(run, record);
        ASSERT_TRUE(area.Valid);
        EXPECT_NEAR(area.Area, 69.5, 1e-12);
        EXPECT_DOUBLE_EQ(area.From, 2);
        EXPECT_DOUBLE_EQ(area.To, 6);
    }
    EXPECT_EQ(AreaText(ComputeArea(run, {0, 4, 12}), Names()),
              QStringLiteral("Площадь под кривой от 2,0 до 6,0 с: 69,5 °C·с"));

    // A missing value is bridged by one trapezoid over its neighbours.
    tRun gap(1);
    for (double y : {2.0, std::nan(""), 2.0, -4.0}) gap.Append(y);
    const tArea bridged = ComputeArea(gap, {0, 0, 3});
    ASSERT_TRUE(bridged.Valid);
    EXPECT_DOUBLE_EQ(bridged.Area, 2 * 2 + (2 - 4) / 2.0) << "below zero counts negative";
    EXPECT_EQ(bridged.Skipped, 1);

    EXPECT_FALSE(ComputeArea(run, {0, 5, 5}).Valid);
    tRun holes(1);
    for (double y : {std::nan(""), 3.0, std::nan("")}) holes.Append(y);
    EXPECT_EQ(AreaText(ComputeArea(holes, {0, 0, 2}), Names()),
              QStringLiteral("Площадь не найдена: на участке меньше двух измеренных значений"));
}
