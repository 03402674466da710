// SPDX-License-Identifier: GPL-3.0-or-later
// Whole runs against a simulated sensor: plotted points, elapsed time, removal, point labels.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>

#include "Apptest.h"
#include "components/Chart.h"
#include "devices/Device.h"
#include "experiments/Experimentfr.h"
#include "foundation/Appmessage.h"
#include "foundation/Stringtable.h"
#include "lesson/Lesson.h"
#include "platform/Clock.h"
#include "sim/Simports.h"
#include "tests/support/Posted.h"
#include "tests/support/Wait.h"

namespace {
struct tRunning : ::testing::Test {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;

    // Plugs in a T100 that shows `faults`.
    static std::shared_ptr<tSimSensor> PlugT100(const tSimFaults& faults) {
        tSimSensorConfig config = tSimRegistry::DemoConfig(QStringLiteral("T100"), false);
        config.Faults = faults;
        return tSimRegistry::Instance().Add(QStringLiteral("sim:T100"), config);
    }
    // Chooses a T100 scenario with one value per point; the window connects to the sensor.
    void ChooseT100(tTestMain& w, int freq) {
        w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"), freq, 1)));
    }
    // A T100 that stops sending after `values` values until the test lets it go on, in a run
    // whose counter the test moves.
    std::shared_ptr<tSimSensor> StartStalledRun(tTestMain& w, int freq, int values) {
        tSimFaults faults;
        faults.StallAfterValues = values;
        faults.StallMs = 3600 * 1000;
        auto sensor = PlugT100(faults);
        ChooseT100(w, freq);
        w.FakeCounter = kRunStart;
        if (w.Device()) w.Execute(w.acExperimentStart);
        return sensor;
    }
    // Sets the counter to `seconds` after the start; returns once a tick has read it.
    static void AtSecond(tTestMain& w, int seconds) {
        w.FakeCounter = kRunStart + seconds * HighResFrequency();
        const QString elapsed = QString::asprintf("%02d:%02d.0", seconds / 60, seconds % 60);
        ASSERT_EVENTUALLY(w.stbElapsed->text() == elapsed);
    }
    static constexpr int64_t kRunStart = 5'000'000'000;

    // A run of 100 values a second that a fault of the sensor ends.
    void RunUntilTheFaultStopsIt(tTestMain& w) {
        ChooseT100(w, 10000);
        ASSERT_NE(w.Device(), nullptr);
        w.Execute(w.acExperimentStart);
        ASSERT_EVENTUALLY(!w.IsMeasuring(), 20000);
    }
};

TChartSeries* Curve(tTestMain& w) {
    return w.Frame()->Chart()->Series(w.CurrentSeries());
}
}  // namespace

TEST_F(tRunning, PointsAreTheSensorsValuesAveraged) {
    const int average = 5, freq = 10000;
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"), freq, average)));
    ASSERT_NE(w.Device(), nullptr);
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(Curve(w)->Count() >= 20, 20000);
    w.Execute(w.acExperimentStop);
    EXPECT_FALSE(w.IsMeasuring());

    const std::vector<double> sent = tSimRegistry::Instance().Find(QStringLiteral("sim:T100"))->SentValues(0);
    TChartSeries* curve = Curve(w);
    ASSERT_GE(sent.size(), size_t(curve->Count() * average));
    for (int k = 0; k < curve->Count(); ++k) {
        double sum = 0;
        for (int i = 0; i < average; ++i) sum += sent[k * average + i];
        EXPECT_NEAR(curve->Y(k), sum / average, 1e-9) << k;
        EXPECT_NEAR(curve->X(k), k * freq * 1e-6 * average, 1e-12) << k;
    }
    EXPECT_TRUE(w.IsValueLabelShown());
    EXPECT_EQ(w.lbValue->text(), w.Frame()->GetLastValueText(QStringLiteral("0.0")));
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
}

TEST_F(tRunning, ElapsedTimeFollowsTheCounter) {
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"))));
    w.FakeCounter = 5'000'000'000;
    w.Execute(w.acExperimentStart);
    w.FakeCounter += int64_t(100) * 60 * HighResFrequency() + HighResFrequency() / 10 * 3;
    ASSERT_EVENTUALLY(w.stbElapsed->text() == QStringLiteral("100:00.3"), 5000);
    w.Execute(w.acExperimentStop);
    EXPECT_EQ(w.stbElapsed->text(), QStringLiteral("100:00.3"));  // kept after the stop
}

TEST_F(tRunning, RemovalStopsWithAWarningAndStaysConnected) {
    tSimFaults faults;
    faults.RemovedAfterValues = 15;
    PlugT100(faults);
    tTestMain w(folder);
    ASSERT_NO_FATAL_FAILURE(RunUntilTheFaultStopsIt(w));
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Warning);
    EXPECT_TRUE(boxes.Seen[0].text.startsWith(QStringLiteral("Внимание! Измерения были остановлены.")));
    EXPECT_NE(w.Device(), nullptr);
    EXPECT_TRUE(w.acExperimentConnect->isChecked());
    // The values before the removal were plotted (the newest waits for its successor).
    EXPECT_EQ(Curve(w)->Count(), 14);
}

TEST_F(tRunning, PointLabelLandsOnTheFirstPointAfterTheBox) {
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"), 20000, 1)));
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(Curve(w)->Count() >= 3, 20000);
    int whileOpen = -1;
    bool checkedWhileOpen = false, heldBack = true;
    boxes.Input = QStringLiteral("кипение");
    boxes.WhileInput = [&] {
        checkedWhileOpen = w.acExperimentMarkPoint->isChecked();
        whileOpen = Curve(w)->Count();
        rovelin_test::Pump(400);  // ticks run, values arrive, no point appears
        heldBack = Curve(w)->Count() == whileOpen;
    };
    w.Execute(w.acExperimentMarkPoint);
    EXPECT_TRUE(checkedWhileOpen);
    EXPECT_TRUE(heldBack);
    EXPECT_FALSE(w.acExperimentMarkPoint->isChecked());
    ASSERT_EVENTUALLY(Curve(w)->Count() > whileOpen + 1, 20000);
    w.Execute(w.acExperimentStop);
    EXPECT_EQ(Curve(w)->Label(whileOpen), QStringLiteral("кипение"));
    EXPECT_TRUE(Curve(w)->Label(whileOpen + 1).isEmpty());
    EXPECT_TRUE(Curve(w)->Label(whileOpen - 1).isEmpty());
}

TEST_F(tRunning, K330KeepsTheValueLabelHidden) {
    tTestMain w(folder);
    w.Candidates.Serial = {QStringLiteral("sim:K330")};
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("K330"), 20000, 1)));
    ASSERT_NE(w.Device(), nullptr);
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(Curve(w)->Count() >= 3, 20000);
    w.Execute(w.acExperimentStop);
    EXPECT_FALSE(w.IsValueLabelShown());
}

// ---- faults during a run ----

TEST_F(tRunning, UnpluggingGivesOneBoxClosesThePortAndTheSensorConnectsAgainWhereItWas) {
    tCapturedLog log;
    tPostedCount readErrors(WM_DEVICE_READ_ERROR);
    tSimFaults faults;
    faults.UnplugAfterValues = 15;
    PlugT100(faults);
    tTestMain w(folder);
    ASSERT_NO_FATAL_FAILURE(RunUntilTheFaultStopsIt(w));
    // What the lost sensor posted before its thread was joined is handled by now.
    rovelin_test::Pump(300);

    const QString readError = LoadStr(msg::ReadError);
    ASSERT_EQ(boxes.Seen.size(), 1u) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Warning);
    EXPECT_EQ(boxes.Seen[0].text, readError);
    EXPECT_GE(readErrors.Count(), 1);
    EXPECT_EQ(log.Count(readError), readErrors.Count() - 1);  // every further one went to the log
    // The sensor is gone: its port is closed and the button says so.
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_FALSE(w.acExperimentConnect->isChecked());
    EXPECT_TRUE(w.stbSilence->isHidden());

    // Plugged in again, it gets its old place (the window let go of the port) and is found there:
    // a new connection and a whole run, without another box.
    ASSERT_EQ(tSimRegistry::Instance().Replug(QStringLiteral("sim:T100")), QStringLiteral("sim:T100"));
    w.Execute(w.acExperimentConnect);
    ASSERT_NE(w.Device(), nullptr);
    EXPECT_EQ(w.Device()->PortName(), QStringLiteral("sim:T100"));
    EXPECT_TRUE(w.acExperimentConnect->isChecked());
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(Curve(w)->Count() >= 5, 20000);
    w.Execute(w.acExperimentStop);
    EXPECT_EQ(boxes.Seen.size(), 1u) << boxes.Texts().join(u'|').toStdString();
}

TEST_F(tRunning, ASilentSensorIsNamedInTheStatusBarUntilValuesComeAgain) {
    tTestMain w(folder);
    const auto sensor = StartStalledRun(w, 100000, 5);
    ASSERT_TRUE(w.IsMeasuring());
    ASSERT_EVENTUALLY(Curve(w)->Count() == 4, 20000);  // five values; the fifth waits for a successor

    ASSERT_NO_FATAL_FAILURE(AtSecond(w, 9));
    EXPECT_TRUE(w.stbSilence->isHidden());
    ASSERT_NO_FATAL_FAILURE(AtSecond(w, 12));
    EXPECT_FALSE(w.stbSilence->isHidden());
    EXPECT_EQ(w.stbSilence->text(), QStringLiteral("Нет данных от датчика 12 с"));
    ASSERT_NO_FATAL_FAILURE(AtSecond(w, 17));
    EXPECT_EQ(w.stbSilence->text(), QStringLiteral("Нет данных от датчика 17 с"));

    tSimFaults faults = sensor->Faults();
    faults.StallAfterValues = -1;
    sensor->SetFaults(faults);
    EXPECT_EVENTUALLY(w.stbSilence->isHidden() && Curve(w)->Count() > 4);
    EXPECT_TRUE(w.IsMeasuring());  // silence alone never ends a run
    w.Execute(w.acExperimentStop);
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
}

TEST_F(tRunning, ASlowScenarioWaitsTwentyPeriodsBeforeCallingTheSensorSilent) {
    tTestMain w(folder);
    StartStalledRun(w, 1000000, 1);
    ASSERT_TRUE(w.IsMeasuring());
    ASSERT_EVENTUALLY(w.Channels().Count(0) == 1, 20000);
    ASSERT_NO_FATAL_FAILURE(AtSecond(w, 19));
    EXPECT_TRUE(w.stbSilence->isHidden());
    ASSERT_NO_FATAL_FAILURE(AtSecond(w, 21));
    EXPECT_FALSE(w.stbSilence->isHidden());
    EXPECT_EQ(w.stbSilence->text(), QStringLiteral("Нет данных от датчика 21 с"));
    w.Execute(w.acExperimentStop);
    EXPECT_TRUE(w.stbSilence->isHidden());
}

TEST_F(tRunning, AShortStallResumesWithoutABoxAndStopStaysPrompt) {
    tSimFaults faults;
    faults.StallAfterValues = 5;
    faults.StallMs = 2000;
    const auto sensor = PlugT100(faults);
    tTestMain w(folder);
    ChooseT100(w, 20000);
    ASSERT_NE(w.Device(), nullptr);
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(Curve(w)->Count() >= 10, 30000);
    EXPECT_TRUE(w.IsMeasuring());
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    w.Execute(w.acExperimentStop);

    // Stopping in the middle of a stall: the reading thread ends within its read time-out, then the
    // stop command and its settling wait. The bound is generous; a stop that waited for the stall
    // (an hour here) or for the sensor would miss it by far.
    faults.StallMs = 3600 * 1000;
    sensor->SetFaults(faults);
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(sensor->SentValues(0).size() == size_t(5), 20000);
    rovelin_test::Pump(300);
    QElapsedTimer clock;
    clock.start();
    w.Execute(w.acExperimentStop);
    EXPECT_LT(clock.elapsed(), 100 + 300 + 2000);
    EXPECT_FALSE(w.IsMeasuring());
}

TEST_F(tRunning, EveryRunStaysInTheLessonAndTheSeriesShowTheLastTwo) {
    const int average = 2, freq = 10000;
    tTestMain w(folder);
    w.Choose(
        folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"), freq, average, 2)));
    tLesson* lesson = w.Lesson();
    ASSERT_NE(lesson, nullptr);
    EXPECT_EQ(lesson->RunCount(), 0);
    std::vector<qsizetype> counts;
    for (int run = 0; run < 3; ++run) {
        w.Execute(w.acExperimentStart);
        ASSERT_EVENTUALLY(Curve(w)->Count() >= 5 + run, 20000);
        w.Execute(w.acExperimentStop);
        counts.push_back(Curve(w)->Count());
    }
    // The third run went into the series of the first; the first run is still in the lesson.
    ASSERT_EQ(lesson->RunCount(), 3);
    EXPECT_EQ(w.CurrentSeries(), 0);
    EXPECT_EQ(lesson->SeriesRun(0), lesson->Run(2));
    EXPECT_EQ(lesson->SeriesRun(1), lesson->Run(1));
    TChart* chart = w.Frame()->Chart();
    for (int slot = 0; slot < 2; ++slot)
        EXPECT_EQ(chart->Series(slot)->Run(), lesson->SeriesRun(slot)) << slot;
    for (int run = 0; run < 3; ++run) {
        const tRun* r = lesson->Run(run);
        EXPECT_EQ(r->Count(), counts[run]) << run;
        EXPECT_EQ(r->SensorName, QStringLiteral("T100"));
        EXPECT_TRUE(r->Started.isValid());
        EXPECT_DOUBLE_EQ(r->Step(), freq * 1e-6 * average);
    }
}
