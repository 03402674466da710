// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Statistics.h"

#include <gtest/gtest.h>

#include "Decimalcomma.h"
#include "Printers.h"
#include "foundation/Functions.h"
#include "lesson/Run.h"

namespace {
// A curve worked out by hand: X = 0 0,5 1 1,5 2 2,5 s.
tRun KnownCurve() {
    tRun run(0.5);
    for (double y : {10.0, 12.0, 15.0, 11.0, 20.0, 18.0}) run.Append(y);
    return run;
}

using StatisticsText_ = DecimalComma;
}  // namespace

TEST(Statistics, BetweenTwoPointsInEitherOrder) {
    const tRun run = KnownCurve();
    for (auto [first, second] : {std::pair<qsizetype, qsizetype>{1, 4}, {4, 1}}) {
        const tRunStatistics stats = ComputeStatistics(run, first, second);
        ASSERT_TRUE(stats.Valid);
        EXPECT_DOUBLE_EQ(stats.YFirst, run.Y(first));
        EXPECT_DOUBLE_EQ(stats.YSecond, run.Y(second));
        EXPECT_DOUBLE_EQ(stats.DeltaX, 1.5);  // later minus earlier, never negative
        EXPECT_DOUBLE_EQ(stats.DeltaY, 8.0);  // 20 at 2 s minus 12 at 0,5 s
        EXPECT_DOUBLE_EQ(stats.Minimum, 11.0);
        EXPECT_DOUBLE_EQ(stats.Maximum, 20.0);
        EXPECT_DOUBLE_EQ(stats.Mean, 14.5);  // (12 + 15 + 11 + 20) / 4
        EXPECT_NEAR(stats.RatePerSecond, 8.0 / 1.5, 1e-12);
        EXPECT_FALSE(stats.Minutes);
    }
}

TEST(Statistics, FallingCurveSameMarkerAndOutsideIndexes) {
    const tRun run = KnownCurve();
    const tRunStatistics falling = ComputeStatistics(run, 5, 3);
    EXPECT_DOUBLE_EQ(falling.DeltaY, 7.0);  // 18 at 2,5 s minus 11 at 1,5 s
    const tRunStatistics one = ComputeStatistics(run, 2, 2);
    EXPECT_DOUBLE_EQ(one.DeltaX, 0);
    EXPECT_DOUBLE_EQ(one.RatePerSecond, 0);
    EXPECT_DOUBLE_EQ(one.Mean, 15.0);
    EXPECT_FALSE(ComputeStatistics(run, -1, 2).Valid);
    EXPECT_FALSE(ComputeStatistics(run, 0, 6).Valid);
    EXPECT_FALSE(ComputeStatistics(tRun(), 0, 0).Valid);
}

TEST_F(StatisticsText_, NamesTheRunValuesAndUnits) {
    const tRun run = KnownCurve();
    tReadoutNames names{2,
                        Qt::blue,
                        QStringLiteral("Время, с"),
                        QStringLiteral("Температура, °C"),
                        QStringLiteral("0.0"),
                        QStringLiteral("0.0")};
    const QString text = StatisticsText(ComputeStatistics(run, 4, 1), names);
    EXPECT_EQ(text, QStringLiteral("Опыт 2 (синий): Температура: маркер 1 — 20,0 °C, маркер 2 — 12,0 °C; "
                                   "Δt = 1,5 с; Δ = +8,0 °C; мин. 11,0 °C, макс. 20,0 °C, среднее 14,5 °C; "
                                   "скорость 5,33 °C/с"));
    names.SecondIsRunEnd = true;
    EXPECT_TRUE(StatisticsText(ComputeStatistics(run, 1, 5), names)
                    .contains(QStringLiteral("конец опыта — 18,0 °C")));
    EXPECT_TRUE(StatisticsText(tRunStatistics{}, names).isEmpty());
}

TEST_F(StatisticsText_, RatePerMinuteOnlyForRunsOfMinutes) {
    tRun cooling(1.0);
    for (int i = 0; i <= 120; ++i) cooling.Append(80.0 - 0.1 * i);
    tReadoutNames names{1,
                        Qt::red,
                        QStringLiteral("Время, с"),
                        QStringLiteral("Температура, °C"),
                        QStringLiteral("0"),
                        QStringLiteral("0.0")};
    const QString text = StatisticsText(ComputeStatistics(cooling, 0, 120), names);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Опыт 1 (красный): "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Δ = -12,0 °C"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("скорость -0,100 °C/с (-6,00 °C/мин)"))) << text.toStdString();
}

TEST(Statistics, UnitsFromCaptions) {
    EXPECT_EQ(CaptionUnit(QStringLiteral("Температура, °C")), QStringLiteral("°C"));
    EXPECT_EQ(CaptionName(QStringLiteral("Температура, °C")), QStringLiteral("Температура"));
    EXPECT_EQ(CaptionUnit(QStringLiteral("Освещённость (лк)")), QStringLiteral("лк"));
    EXPECT_EQ(CaptionName(QStringLiteral("Освещённость (лк)")), QStringLiteral("Освещённость"));
    EXPECT_EQ(CaptionUnit(QStringLiteral("Номер ученика")), QString());
    EXPECT_EQ(CaptionName(QStringLiteral("Номер ученика")), QStringLiteral("Номер ученика"));
}
