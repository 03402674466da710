// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Pulsefr.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <vector>

#include "components/Chart.h"
#include "experiments/Experiment.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "tests/support/Wait.h"

namespace {
tExperiment PulseScenario() {
    tExperiment s;
    s.Clear();
    s.SensorName = "P620";
    s.MinX = 0;
    s.MaxX = 30;
    s.IncX = 5;
    s.CaptionX = "t, c";
    s.CaptionY = "Пульс";
    s.MaxY = 1023;
    return s;
}

class Pulse : public ::testing::Test {
  protected:
    void SetUp() override {
        FFrame = std::make_unique<TfrPulse>(nullptr, true);
        SetDecimalSeparatorForTests(u'.');
    }
    void TearDown() override {
        FFrame.reset();
        SetDecimalSeparatorForTests(QChar());
    }
    // Feeds a wave with one beat every `period` samples of 10 ms (a spike on the sample before the
    // beat), in batches of ten points per UpdateAxes like the measurement timer.
    void Feed(int n, double until, int period) {
        TChartSeries* wave = FFrame->Chart()->Series(n);
        int batch = 0;
        for (int k = wave->Count(); k * 0.01 <= until + 1e-9; ++k) {
            const int phase = k % period;
            wave->AddXY(k * 0.01, phase == period - 1 ? 900 : 100 + phase, QString(), wave->Color());
            if (++batch % 10 == 0) FFrame->UpdateAxes(false);
        }
        FFrame->UpdateAxes(false);
    }
    std::unique_ptr<TfrPulse> FFrame;
};
}  // namespace

TEST_F(Pulse, Components) {
    TChart* pulse = FFrame->PulseChart();
    EXPECT_EQ(pulse->objectName(), "chPulse");
    ASSERT_EQ(pulse->SeriesCount(), 2);
    EXPECT_EQ(pulse->Series(0)->Name(), "LineSeries1");
    EXPECT_EQ(pulse->Series(0)->Color(), QColor(Qt::red));
    EXPECT_EQ(pulse->Series(1)->Color(), QColor(Qt::blue));
    EXPECT_EQ(pulse->LeftAxis().Title(), QStringLiteral("Частота"));
    EXPECT_EQ(FFrame->VerticalSplitter()->handleWidth(), 3);
    EXPECT_EQ(FFrame->VerticalSplitter()->widget(0), FFrame->Chart());
    EXPECT_EQ(FFrame->VerticalSplitter()->widget(1), pulse);
}

TEST_F(Pulse, StartPreparesTheRateChart) {
    const int n = FFrame->StartMeasurement(PulseScenario());
    TChart* pulse = FFrame->PulseChart();
    EXPECT_EQ(pulse->BottomAxis().Maximum(), 30);
    EXPECT_EQ(pulse->BottomAxis().Increment(), 5);
    EXPECT_EQ(pulse->BottomAxis().Title(), "t, c");
    EXPECT_EQ(pulse->LeftAxis().Minimum(), 0);
    EXPECT_EQ(pulse->LeftAxis().Maximum(), 120);
    EXPECT_EQ(pulse->LeftAxis().Increment(), 10);
    EXPECT_EQ(n, 0);
}

TEST_F(Pulse, RatesFollowTheWaveAndTheTimeAxis) {
    const int n = FFrame->StartMeasurement(PulseScenario());
    Feed(n, 40, 80);
    TChartSeries* rates = FFrame->PulseChart()->Series(n);
    ASSERT_GT(rates->Count(), 20);
    for (int i = 0; i < rates->Count(); ++i) EXPECT_EQ(rates->Y(i), 75) << i;
    EXPECT_EQ(rates->Color(), QColor(Qt::red));
    // The main axis scrolled past 30 s; the rate chart shows the same range.
    EXPECT_GT(FFrame->Chart()->BottomAxis().Maximum(), 30);
    EXPECT_EQ(FFrame->PulseChart()->BottomAxis().Minimum(), FFrame->Chart()->BottomAxis().Minimum());
    EXPECT_EQ(FFrame->PulseChart()->BottomAxis().Maximum(), FFrame->Chart()->BottomAxis().Maximum());

    EXPECT_EQ(
        FFrame->GetLastValueText("0"),
        QStringLiteral("Пульс = %1\tЧастота=75")
            .arg(FormatFloat("0", FFrame->Chart()->Series(n)->Y(FFrame->Chart()->Series(n)->Count() - 1))));
}

TEST_F(Pulse, RestartClearsTheRateCurveOfTheChosenSeries) {
    int n = FFrame->StartMeasurement(PulseScenario());
    Feed(n, 10, 80);
    FFrame->StopMeasurement();
    ASSERT_GT(FFrame->PulseChart()->Series(0)->Count(), 0);
    n = FFrame->StartMeasurement(PulseScenario());
    EXPECT_EQ(n, 1);
    Feed(n, 10, 60);
    FFrame->StopMeasurement();
    EXPECT_EQ(FFrame->PulseChart()->Series(1)->Y(0), 100);
    n = FFrame->StartMeasurement(PulseScenario());
    EXPECT_EQ(n, 0);
    EXPECT_EQ(FFrame->PulseChart()->Series(0)->Count(), 0);
    EXPECT_EQ(FFrame->Detector().LastBeatTime(), -1);
    EXPECT_GT(FFrame->PulseChart()->Series(1)->Count(), 0);
}

TEST_F(Pulse, OwnMarkersAndReadOutForTheRateChart) {
    FFrame->resize(800, 700);
    FFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(FFrame.get(), 5000));
    const int n = FFrame->StartMeasurement(PulseScenario());
    Feed(n, 12, 80);
    FFrame->StopMeasurement();
    TChart* pulse = FFrame->PulseChart();
    pulse->Plot()->replot();
    const TChartSeries* rates = pulse->Series(n);
    ASSERT_GT(rates->Count(), 1);
    const double x = rates->X(1);
    FFrame->ChartMouseReleased(
        pulse, Qt::LeftButton, Qt::NoModifier,
        QPoint(int(std::lround(pulse->BottomAxis().ValueToPixel(x))), pulse->PlotRect().center().y()));
    EXPECT_EQ(FFrame->FirstMarker(pulse), 1);
    EXPECT_EQ(FFrame->FirstMarker(FFrame->Chart()), -1);
    EXPECT_EQ(FFrame->GetMarkerText("0.00", "0", pulse),
              QStringLiteral("Частота=75\tt, c=%1").arg(FormatFloat("0.00", x)));
    EXPECT_EQ(FFrame->GetMarkerText("0.00", "0", FFrame->Chart()), QString());
}

TEST_F(Pulse, RateChartHeightRuleForTheFirstTwoShowings) {
    QTabWidget* pages = FFrame->Pages();
    FFrame->resize(800, 600);
    FFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(FFrame.get(), 5000));
    QApplication::processEvents();
    auto expected = [&] { return int(FFrame->ChartPage()->height() * TfrPulse::PulseHeightShare); };
    EXPECT_EQ(FFrame->PulseChart()->height(), expected());

    // Second showing, after the window grew: the share is applied again.
    pages->setCurrentIndex(1);
    FFrame->resize(800, 800);
    QApplication::processEvents();
    pages->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(FFrame->PulseChart()->height(), expected());

    // Third showing: the user's border stays.
    FFrame->VerticalSplitter()->setSizes({500, 150});
    QApplication::processEvents();
    const int chosen = FFrame->PulseChart()->height();
    pages->setCurrentIndex(2);
    QApplication::processEvents();
    pages->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(FFrame->PulseChart()->height(), chosen);
    EXPECT_NE(chosen, expected());
}

// ---- a pulse lesson saved and opened again ----

namespace {
// A pulse wave of about 72 beats per minute whose strength grows and falls, with noise, sampled
// every 10 ms (deterministic).
double PulseWave(int k) {
    const double t = k * 0.01;
    const unsigned noise = (unsigned(k) * 2654435761u) >> 26;
    return 512 + (300 + 250 * std::sin(t / 7)) * std::pow(std::sin(t * 2 * M_PI * 1.2), 9) + noise;
}

// `lesson` through a lesson file into `reopened`.
void SaveAndOpen(tLesson& lesson, tLesson& reopened) {
    QTemporaryDir dir;
    const QString path = dir.filePath("pulse.rovelin");
    tLessonWriter(path).Save(lesson);
    ReadLesson(path, reopened);
}

std::vector<std::pair<double, double>> Points(const TChartSeries* series) {
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < series->Count(); ++i) points.push_back({series->X(i), series->Y(i)});
    return points;
}
}  // namespace

TEST_F(Pulse, AReopenedLessonShowsTheHeartRatesOfItsWave) {
    tLesson lesson;
    FFrame->SetLesson(&lesson);
    const int n = FFrame->StartMeasurement(PulseScenario());
    tRun* run = lesson.AddRun(0.01);
    run->Started = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30));
    run->SensorName = "P620";
    lesson.SetSeriesRun(n, run);
    // The measurement timer's ticks: what arrived in each tenth of a second.
    double tickEnd = -1;
    for (int k = 0; k < 4000; ++k) {
        const double x = run->Step() * k;
        if (x >= tickEnd) {
            if (k > 0) {
                lesson.NotifyAppended(run, run->Count() - 1, 1);
                FFrame->UpdateAxes(false);
            }
            tickEnd = (std::floor(x / 0.1) + 1) * 0.1;
        }
        run->Append(PulseWave(k));
    }
    lesson.NotifyAppended(run, run->Count() - 1, 1);
    FFrame->UpdateAxes(false);
    FFrame->StopMeasurement();
    const auto live = Points(FFrame->PulseChart()->Series(n));
    ASSERT_GT(live.size(), 30u);

    tLesson reopened;
    SaveAndOpen(lesson, reopened);
    TfrPulse frame(nullptr, true);
    frame.SetLesson(&reopened);
    EXPECT_EQ(Points(frame.PulseChart()->Series(n)), live) << "point for point, bit for bit";
    EXPECT_EQ(frame.PulseChart()->Series(1 - n)->Count(), 0);

    // The same when the frame is asked, and when another run is put in the series and back.
    FFrame->DeriveRates();
    EXPECT_EQ(Points(FFrame->PulseChart()->Series(n)), live);
    reopened.SetSeriesRun(n, nullptr);
    EXPECT_EQ(frame.PulseChart()->Series(n)->Count(), 0);
    reopened.SetSeriesRun(n, reopened.Run(0));
    EXPECT_EQ(Points(frame.PulseChart()->Series(n)), live);
}

TEST_F(Pulse, TheRatesOfABusyRunComeBackAsTheyWereShownAndAnEditedWaveDerivesThemAgain) {
    tLesson lesson;
    FFrame->SetLesson(&lesson);
    const int n = FFrame->StartMeasurement(PulseScenario());
    tRun* run = lesson.AddRun(0.01);
    lesson.SetSeriesRun(n, run);
    // A busy computer: the ticks bring uneven batches (a tenth of a second, then over a second).
    const int batches[] = {10, 10, 130, 10, 7, 60, 10, 250, 10, 33};
    for (int k = 0, b = 0; k < 4000; ++b) {
        const int from = k;
        for (int i = 0; i < batches[b % 10] && k < 4000; ++i, ++k) run->Append(PulseWave(k));
        lesson.NotifyAppended(run, from, k - from);
        FFrame->UpdateAxes(false);
    }
    FFrame->StopMeasurement();
    const auto live = Points(FFrame->PulseChart()->Series(n));
    ASSERT_GT(live.size(), 30u);

    tLesson reopened;
    SaveAndOpen(lesson, reopened);
    ASSERT_NE(reopened.HeartRates(reopened.Run(0)), nullptr);
    EXPECT_EQ(reopened.HeartRates(reopened.Run(0))->size(), qsizetype(live.size()));
    TfrPulse frame(nullptr, true);
    frame.SetLesson(&reopened);
    EXPECT_EQ(Points(frame.PulseChart()->Series(n)), live) << "point for point, bit for bit";

    // A changed wave has no measured rates any more: they are found in it again.
    tRun* wave = reopened.Run(0);
    for (qsizetype i = 0; i < wave->Count(); ++i) wave->SetPoint(i, wave->X(i), i % 50 == 0 ? 1000 : 100);
    reopened.NotifyChanged(wave);
    EXPECT_EQ(reopened.HeartRates(wave), nullptr);
    const auto again = Points(frame.PulseChart()->Series(n));
    ASSERT_GT(again.size(), 30u);
    EXPECT_DOUBLE_EQ(again[10].second, 120.0);  // a beat every half second
}

TEST_F(Pulse, PrintsBothChartsWithTheRunNamedAndTheirPlotsOnOneEdge) {
    tLesson lesson;
    FFrame->SetLesson(&lesson);
    tRun* run = lesson.AddRun(0.01);
    run->Started = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30));
    for (int k = 0; k < 1500; ++k) run->Append(PulseWave(k));
    lesson.SetSeriesRun(0, run);
    EXPECT_EQ(FFrame->Charts(), QList<TChart*>({FFrame->Chart(), FFrame->PulseChart()}));
    const TChart::tPrintTexts texts = FFrame->PrintTexts(PulseScenario(), QStringLiteral("statistics"));
    EXPECT_EQ(texts.Runs, QStringList({QStringLiteral("Опыт 1 — 08.12.2026 10:15:30 (красный)")}));
    EXPECT_EQ(texts.Statistics, QStringLiteral("statistics"));

    // On screen the wave's labels (up to 1023) and the rates' (up to 120) differ in width, the
    // plots do not.
    FFrame->ApplyScenarioAxes(PulseScenario());
    FFrame->StartMeasurement(PulseScenario());
    FFrame->StopMeasurement();
    FFrame->resize(800, 700);
    FFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(FFrame.get(), 5000));
    EXPECT_EVENTUALLY(FFrame->Chart()->PlotRect().left() == FFrame->PulseChart()->PlotRect().left() &&
                      FFrame->PulseChart()->PlotRect().width() > 100);
}
