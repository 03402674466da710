// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Runsummary.h"

#include <gtest/gtest.h>

#include "Decimalcomma.h"
#include "lesson/Run.h"

namespace {
using RunSummary_ = DecimalComma;

const tSummaryAxes kWarmth{QStringLiteral("Время, с"), QStringLiteral("Температура, °C"), QStringLiteral("0"),
                           QStringLiteral("0.0")};
}  // namespace

TEST_F(RunSummary_, NamesTimeValueRangeAndLabelsInWords) {
    // A palm warming the sensor: 22,3 °C rising to 29,5 °C over a minute, labelled at 14 s.
    tRun run(1.0);
    for (int i = 0; i <= 60; ++i)
        run.Append(i == 0 ? 22.3 : 22.3 + 7.2 * i / 60.0,
                   i == 14 ? QStringLiteral("Зажали в ладони") : QString());
    EXPECT_EQ(RunSummary(run, 1, kWarmth),
              QStringLiteral("Опыт 1: время от 0 до 60 с, температура от 22,3 до 29,5 °C, "
                             "метка «Зажали в ладони» на 14 с"));
}

TEST_F(RunSummary_, RangeIsTheRunsWholeMinimumAndMaximumNotItsEnds) {
    // Cooling after a peak in the middle: the range names the peak, not the first and last values.
    tRun run(0.5);
    for (double y : {20.0, 35.5, 31.0, 18.25}) run.Append(y);
    const tSummaryAxes axes{QStringLiteral("Время, с"), QStringLiteral("Пульсовая волна"),
                            QStringLiteral("0.0"), QStringLiteral("0.00")};
    // A caption without a unit gives bare numbers.
    EXPECT_EQ(RunSummary(run, 2, axes),
              QStringLiteral("Опыт 2: время от 0,0 до 1,5 с, пульсовая волна от 18,25 до 35,50"));
}

TEST_F(RunSummary_, EmptyRunSinglePointAndManyLabels) {
    EXPECT_EQ(RunSummary(tRun(), 3, kWarmth), QStringLiteral("Опыт 3: точек нет"));

    tRun one;
    one.Append(21.0);
    EXPECT_EQ(RunSummary(one, 1, kWarmth),
              QStringLiteral("Опыт 1: время 0 с, температура от 21,0 до 21,0 °C"));

    // Five labels: three are named, the other two counted, so the sentence stays short.
    tRun labelled(1.0);
    for (int i = 0; i < 10; ++i) labelled.Append(20 + i, i % 2 ? QStringLiteral("м%1").arg(i) : QString());
    const QString text = RunSummary(labelled, 1, kWarmth);
    EXPECT_TRUE(text.contains(QStringLiteral("метка «м1» на 1 с, метка «м3» на 3 с, метка «м5» на 5 с")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("м7")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("ещё меток: 2"))) << text.toStdString();

    // An abbreviation keeps its capitals inside the sentence.
    const tSummaryAxes voltage{QStringLiteral("Время, с"), QStringLiteral("ЭДС, В"), QStringLiteral("0"),
                               QStringLiteral("0.0")};
    EXPECT_TRUE(RunSummary(one, 1, voltage).contains(QStringLiteral("ЭДС от 21,0 до 21,0 В")));
}
