// Whole runs against a simulated sensor: plotted points, elapsed time, removal, point labels.
#include <gtest/gtest.h>

#include <QLabel>

#include "Apptest.h"
#include "components/Chart.h"
#include "devices/Device.h"
#include "experiments/Experimentfr.h"
#include "platform/Clock.h"
#include "sim/Simports.h"
#include "tests/support/Wait.h"

namespace {
struct tRunning : ::testing::Test {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
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
    EXPECT_EQ(w.lb->text(), w.Frame()->GetLastValueText(QStringLiteral("0.0")));
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
    tSimSensorConfig config = tSimRegistry::DemoConfig(QStringLiteral("T100"), false);
    config.Faults.RemovedAfterValues = 15;
    tSimRegistry::Instance().Add(QStringLiteral("sim:T100"), config);
    tTestMain w(folder);
    w.Choose(folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100"), 10000, 1)));
    ASSERT_NE(w.Device(), nullptr);
    w.Execute(w.acExperimentStart);
    ASSERT_EVENTUALLY(!w.IsMeasuring(), 20000);
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
