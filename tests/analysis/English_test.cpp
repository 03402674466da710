// SPDX-License-Identifier: GPL-3.0-or-later
// With the English interface the pupil reads fits, failures, slopes, areas, statistics, the table's
// headers and the screen reader's run summary in English, with not one Russian letter; numbers keep
// the program's own formatting. Russian comes back when it is installed again.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "Decimalcomma.h"
#include "Printers.h"
#include "analysis/Csv.h"
#include "analysis/Fit.h"
#include "analysis/Fitwords.h"
#include "analysis/Runsummary.h"
#include "analysis/Slopearea.h"
#include "analysis/Statistics.h"
#include "analysis/Tablemodel.h"
#include "foundation/Language.h"
#include "lesson/Lesson.h"
#include "tests/support/Language.h"

namespace {

using rovelin_test::HasCyrillic;

struct InEnglish : DecimalComma {
    void SetUp() override {
        DecimalComma::SetUp();
        ASSERT_TRUE(InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::English));
    }
    void TearDown() override {
        InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);
        DecimalComma::TearDown();
    }
    // The English catalogue's captions.
    static tReadoutNames Temperature(QColor colour = Qt::red, int run = 1) {
        return {run,
                colour,
                QStringLiteral("Time, s"),
                QStringLiteral("Temperature, °C"),
                QStringLiteral("0.0"),
                QStringLiteral("0.0")};
    }
};

// Hot water cooling towards a 22 °C room, with a little sensor noise.
tRun Cooling() {
    tRun run(1.0);
    for (int i = 0; i <= 180; ++i) run.Append(22 + 58 * std::exp(-i / 40.0) + (i % 2 ? 0.05 : -0.05));
    return run;
}

}  // namespace

TEST_F(InEnglish, ACoolingCurvesFitReadsAsAnEnglishSentenceWithEnglishDetails) {
    const tRun run = Cooling();
    const tFitResult fit = Fit(tFitModel::Approach, QString(), CopyFitData(run, 0, 0, 180));
    ASSERT_TRUE(fit.Converged) << fit.Problem.toStdString();

    const QString sentence = FitSentence(fit.Record, Temperature());
    EXPECT_TRUE(sentence.startsWith(QStringLiteral("Temperature approaches 22,0 °C ± 0,0")))
        << sentence.toStdString();
    // τ = 40 s: a third of the difference is left after 40·ln 3 ≈ 44 s.
    EXPECT_TRUE(sentence.endsWith(QStringLiteral("; after 44 s a third of the difference is left")))
        << sentence.toStdString();
    EXPECT_FALSE(HasCyrillic(sentence)) << sentence.toStdString();

    const QStringList details = FitDetails(fit.Record, Temperature()).split(u'\n');
    ASSERT_GE(details.size(), 7) << details.join(u'\n').toStdString();
    EXPECT_EQ(details[0], QStringLiteral("Approach to a limit: y = C + (y0 − C)·e^(−t/τ)"));
    EXPECT_TRUE(details[1].startsWith(QStringLiteral("C = 2")) &&
                details[1].contains(QStringLiteral(" °C ± ")))
        << details[1].toStdString();
    EXPECT_TRUE(details[3].startsWith(QStringLiteral("τ = 40,")) &&
                details[3].contains(QStringLiteral(" s ± ")))
        << details[3].toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("Points: 181"))) << details.join(u'\n').toStdString();
    EXPECT_TRUE(
        details.join(u'\n').contains(QStringLiteral("Average distance from the curve (RMSE): 0,050 °C")))
        << details.join(u'\n').toStdString();
    EXPECT_FALSE(HasCyrillic(details.join(u'\n'))) << details.join(u'\n').toStdString();

    // Without captions the quantity and the time unit still come out in English; a sine's phase in
    // radians too.
    const tReadoutNames bare{1, Qt::red, QString(), QString(), QString(), QString()};
    EXPECT_TRUE(FitSentence(fit.Record, bare).startsWith(QStringLiteral("Value approaches 2")))
        << FitSentence(fit.Record, bare).toStdString();
    EXPECT_EQ(ParameterUnit(tParameterUnit::RadianPerTime, QString(), QString()), QStringLiteral("rad/s"));

    // A linear rise per second and a per-minute one are English verbs around the same numbers.
    tFitRecord line = fit.Record;
    line.Model = QStringLiteral("linear");
    line.Names = FitModelInfo(tFitModel::Linear).Names;
    line.Values = {21.34, -0.0524};
    line.Sigmas = {0.11, 0.0012};
    EXPECT_EQ(
        FitSentence(line, Temperature()),
        QStringLiteral("Temperature falls by 0,0524 °C ± 0,0012 every second, starting from 21,3 °C ± 0,11"));
    tReadoutNames minutes = Temperature();
    minutes.CaptionX = QStringLiteral("Time, min");
    EXPECT_EQ(FitSentence(line, minutes),
              QStringLiteral("Temperature falls by 0,0524 °C/min ± 0,0012, starting from 21,3 °C ± 0,11"));
}

TEST_F(InEnglish, AFailedFitSaysWhyInEnglishAndTheModelsHaveEnglishNames) {
    tRun flat(1.0);
    for (int i = 0; i < 5; ++i) flat.Append(21.5);
    EXPECT_EQ(FitFailureSentence(Fit(tFitModel::Linear, QString(), CopyFitData(flat, 0, 0, 4))),
              QStringLiteral("Could not fit: all the values are the same"));
    tRun two(1.0);
    two.Append(1);
    two.Append(2);
    EXPECT_EQ(FitFailureSentence(Fit(tFitModel::Linear, QString(), CopyFitData(two, 0, 0, 1))),
              QStringLiteral("Could not fit: at least 3 points are needed, but the range has only 2"));
    const tRun cooling = Cooling();
    EXPECT_EQ(Fit(tFitModel::Formula, QStringLiteral("a*t +"), CopyFitData(cooling, 0, 0, 20)).Problem,
              QStringLiteral("the formula stops short: a number or a bracket is missing at the end"));
    EXPECT_EQ(Fit(tFitModel::Formula, QStringLiteral("a*t + b)"), CopyFitData(cooling, 0, 0, 20)).Problem,
              QStringLiteral("the formula has an extra bracket “)”"));

    QStringList titles;
    for (const tFitModelInfo& info : FitModels()) titles << info.Title;
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Proportional"), QStringLiteral("Straight line"),
                                   QStringLiteral("Parabola"), QStringLiteral("Exponential"),
                                   QStringLiteral("Approach to a limit"), QStringLiteral("Power"),
                                   QStringLiteral("Sine wave"), QStringLiteral("Your own formula")}));
    // The lesson keeps the model's key, whatever the language.
    EXPECT_EQ(FitModelInfo(tFitModel::Approach).Key, QStringLiteral("approach"));

    InstallInterfaceLanguage(*QCoreApplication::instance(), tLanguage::Russian);
    EXPECT_EQ(QString(FitModelInfo(tFitModel::Approach).Title), QStringLiteral("Приближение к пределу"));
    EXPECT_EQ(FitFailureSentence(Fit(tFitModel::Linear, QString(), CopyFitData(flat, 0, 0, 4))),
              QStringLiteral("Не удалось подобрать: все значения одинаковы"));
}

TEST_F(InEnglish, SlopeAreaStatisticsAndTheTableSpeakEnglish) {
    // y = t² every 0,5 s: the slope at 4 s over ±1 s is 8, through five points.
    tRun parabola(0.5);
    for (int i = 0; i <= 20; ++i) parabola.Append(0.25 * i * i);
    EXPECT_EQ(SlopeText(ComputeSlope(parabola, {0, 8, 2.0}), Temperature()),
              QStringLiteral("Slope at t = 4,0 s: 8,0 °C/s ± 0,3 (line through 5 points over 2,0 s)"));
    EXPECT_EQ(
        SlopeText(ComputeSlope(parabola, {0, 8, 0.2}), Temperature()),
        QStringLiteral("Slope not found: the window holds fewer than two points with different times — make "
                       "the window wider"));
    EXPECT_EQ(AreaText(ComputeArea(parabola, {0, 4, 12}), Temperature()),
              QStringLiteral("Area under the curve from 2,0 to 6,0 s: 69,5 °C·s"));
    EXPECT_EQ(AreaText(ComputeArea(parabola, {0, 4, 4}), Temperature()),
              QStringLiteral("Area not found: put the two markers on different points"));

    tRun known(0.5);
    for (double y : {10.0, 12.0, 15.0, 11.0, 20.0, 18.0}) known.Append(y);
    tReadoutNames names = Temperature(Qt::blue, 2);
    EXPECT_EQ(StatisticsText(ComputeStatistics(known, 4, 1), names),
              QStringLiteral("Run 2 (blue): Temperature: marker 1 — 20,0 °C, marker 2 — 12,0 °C; Δt = 1,5 s; "
                             "Δ = +8,0 °C; min. 11,0 °C, max. 20,0 °C, mean 14,5 °C; rate 5,33 °C/s"));
    names.SecondIsRunEnd = true;
    EXPECT_TRUE(StatisticsText(ComputeStatistics(known, 1, 5), names)
                    .contains(QStringLiteral("end of the run — 18,0 °C")));
    // A run of minutes also gives its rate per minute.
    const QString cooling = StatisticsText(ComputeStatistics(Cooling(), 0, 180), Temperature());
    EXPECT_TRUE(cooling.contains(QStringLiteral(" °C/min)"))) << cooling.toStdString();
    EXPECT_FALSE(HasCyrillic(cooling)) << cooling.toStdString();
    for (QColor colour : {Qt::red, Qt::blue, Qt::green, Qt::black})
        EXPECT_FALSE(HasCyrillic(RunTitle(1, colour))) << RunTitle(1, colour).toStdString();

    // The table's headers with two runs side by side, and its hints.
    tLesson lesson;
    for (int r = 0; r < 2; ++r) {
        tRun* run = lesson.AddRun(1.0);
        run->Append(20 + r);
        lesson.SetSeriesRun(r, run);
    }
    tTableModel table(&lesson);
    table.SetAxes(QStringLiteral("Time, s"), QStringLiteral("Temperature, °C"), QStringLiteral("0"),
                  QStringLiteral("0.0"));
    ASSERT_EQ(table.columnCount(), 6);
    EXPECT_EQ(table.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Label (Run 1)"));
    EXPECT_EQ(table.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Temperature, °C (Run 2)"));
    EXPECT_FALSE(HasCyrillic(tTableModel::BadNumberHint())) << tTableModel::BadNumberHint().toStdString();
    // The CSV file a pupil takes to a spreadsheet has the same English header row.
    const QString header = QString::fromUtf8(CsvBytes(table, CsvFormatFor(u'.'))).section(u'\n', 0, 0);
    EXPECT_TRUE(header.contains(QStringLiteral("Label (Run 1)")) &&
                header.contains(QStringLiteral("Temperature, °C (Run 2)")))
        << header.toStdString();
    EXPECT_FALSE(HasCyrillic(header)) << header.toStdString();
}

TEST_F(InEnglish, TheScreenReadersRunSummaryIsEnglish) {
    const tSummaryAxes axes{QStringLiteral("Time, s"), QStringLiteral("Temperature, °C"), QStringLiteral("0"),
                            QStringLiteral("0.0")};
    tRun run(1.0);
    for (int i = 0; i <= 60; ++i)
        run.Append(22.3 + 7.2 * i / 60.0, i == 14 ? QStringLiteral("Held in the hand") : QString());
    EXPECT_EQ(RunSummary(run, 1, axes),
              QStringLiteral("Run 1: time from 0 to 60 s, temperature from 22,3 to 29,5 °C, "
                             "label “Held in the hand” at 14 s"));
    EXPECT_EQ(RunSummary(tRun(), 3, axes), QStringLiteral("Run 3: no points"));
    tRun labelled(1.0);
    for (int i = 0; i < 10; ++i) labelled.Append(20 + i, i % 2 ? QStringLiteral("l%1").arg(i) : QString());
    const QString text = RunSummary(labelled, 2, axes);
    EXPECT_TRUE(text.endsWith(QStringLiteral("label “l5” at 5 s, more labels: 2"))) << text.toStdString();
    EXPECT_FALSE(HasCyrillic(text)) << text.toStdString();
}
