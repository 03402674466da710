// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing scenarios: the question, the frame kind, the chart of a sensorless scenario, the
// documents and their placeholders, the number of curves.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QTabWidget>

#include "Apptest.h"
#include "app/Program.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Pulsefr.h"
#include "foundation/Functions.h"
#include "foundation/Stringtable.h"

namespace {
struct tSwitching : ::testing::Test {
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
};
}  // namespace

TEST_F(tSwitching, FirstChoiceAsksNothingLaterOnesAsk) {
    const QString a =
        folder.AddScenario(QStringLiteral("Остывание воды"), ScenarioLines(QStringLiteral("T100")),
                           SimpleRtf(QStringLiteral("Description A")), SimpleRtf(QStringLiteral("Report A")));
    const QString b = folder.AddScenario(QStringLiteral("Свет"), ScenarioLines(QStringLiteral("no")));
    tTestMain w(folder);

    w.Choose(a);
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(w.windowTitle(), ProductTitle() + QStringLiteral(" - Остывание воды"));
    ASSERT_NE(w.Frame(), nullptr);
    EXPECT_EQ(w.Frame()->ShownTabIndex(), 0);
    EXPECT_TRUE(w.Frame()->DescrView()->toPlainText().contains(QStringLiteral("Description A")));
    EXPECT_TRUE(w.Frame()->ReportView()->toPlainText().contains(QStringLiteral("Report A")));
    tExperiment* record = w.Experiment();
    TfrExperiment* frame = w.Frame();

    boxes.Default = false;  // No: nothing changes
    w.Choose(b);
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].text, LoadStr(msg::NewExperimentQuestion));
    EXPECT_EQ(boxes.Seen[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes.Seen[0].defaultYes);
    EXPECT_EQ(w.Frame(), frame);
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("Остывание воды"));
    EXPECT_EQ(w.windowTitle(), ProductTitle() + QStringLiteral(" - Остывание воды"));
    EXPECT_NE(w.Device(), nullptr);

    boxes.Seen.clear();
    boxes.Default = true;
    w.Choose(b);
    EXPECT_EQ(boxes.Seen.size(), 1u);   // the question only: a sensorless scenario connects quietly
    EXPECT_EQ(w.Experiment(), record);  // refilled in place
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("Свет"));
    EXPECT_EQ(w.windowTitle(), ProductTitle() + QStringLiteral(" - Свет"));
    EXPECT_EQ(w.Device(), nullptr);
}

TEST_F(tSwitching, CancelledDialogChangesNothing) {
    const QString a = folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("NO")));
    tTestMain w(folder);
    w.Choose(a, false);
    EXPECT_EQ(w.Experiment(), nullptr);
    EXPECT_EQ(w.Frame(), nullptr);
    EXPECT_EQ(w.windowTitle(), ProductTitle());
    EXPECT_TRUE(boxes.Seen.empty());
}

TEST_F(tSwitching, OversizedScenarioFileLeavesTheWindowAsItWas) {
    const QString a = folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100")));
    const QString big = folder.AddScenario(QStringLiteral("big"), ScenarioLines(QStringLiteral("NO")));
    QFile file(folder.Data() + big + QStringLiteral("experiment.txt"));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(QByteArray(ParameterFileLimit, '#'));
    file.close();
    tTestMain w(folder);

    w.Choose(big);  // first choice: no record, no frame come into being
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_TRUE(boxes.Seen[0].text.contains(folder.Data() + big + QStringLiteral("experiment.txt")));
    EXPECT_TRUE(boxes.Seen[0].text.contains(QStringLiteral("1 МБ")));
    EXPECT_EQ(w.Experiment(), nullptr);
    EXPECT_EQ(w.Frame(), nullptr);
    EXPECT_EQ(w.windowTitle(), ProductTitle());
    EXPECT_EQ(w.Searches, 0);

    w.Choose(a);
    TfrExperiment* frame = w.Frame();
    ASSERT_NE(w.Device(), nullptr);
    boxes.Seen.clear();
    w.Choose(big);  // the refusal comes before any question: the connected scenario stays
    ASSERT_EQ(boxes.Seen.size(), 1u) << boxes.Texts().join(u'|').toStdString();
    EXPECT_TRUE(boxes.Seen[0].text.contains(QStringLiteral("1 МБ")));
    EXPECT_EQ(w.Frame(), frame);
    EXPECT_EQ(w.Experiment()->Name, QStringLiteral("a"));
    EXPECT_EQ(w.Experiment()->SensorName, QStringLiteral("T100"));
    EXPECT_EQ(w.windowTitle(), ProductTitle() + QStringLiteral(" - a"));
    EXPECT_NE(w.Device(), nullptr);
}

TEST_F(tSwitching, PulseFrameOnlyForExactP620) {
    const QString pulse = folder.AddScenario(QStringLiteral("Пульс"), ScenarioLines(QStringLiteral("P620")));
    const QString lower = folder.AddScenario(QStringLiteral("пульс"), ScenarioLines(QStringLiteral("p620")));
    tTestMain w(folder);
    w.Candidates.Serial.clear();
    w.Choose(pulse);
    EXPECT_NE(dynamic_cast<TfrPulse*>(w.Frame()), nullptr);
    w.Choose(lower);
    ASSERT_NE(w.Frame(), nullptr);
    EXPECT_EQ(dynamic_cast<TfrPulse*>(w.Frame()), nullptr);
}

TEST_F(tSwitching, SensorlessScenarioHidesTheChartAndNeverSearches) {
    const QString a = folder.AddScenario(QStringLiteral("Наблюдение"), ScenarioLines(QStringLiteral("nO")));
    tTestMain w(folder);
    w.show();
    w.Choose(a);
    EXPECT_EQ(w.Searches, 0);
    EXPECT_TRUE(boxes.Seen.empty());
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_TRUE(w.Frame()->Chart()->isHidden());
    EXPECT_TRUE(w.Frame()->NoSensorLabel()->isVisible());
    EXPECT_FALSE(w.IsValueLabelShown());
}

TEST_F(tSwitching, MissingDocumentsGetPlaceholders) {
    const QString a = folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("NO")));
    tTestMain w(folder);
    w.Choose(a);
    const QString descr = w.Frame()->DescrView()->toPlainText();
    const QString report = w.Frame()->ReportView()->toPlainText();
    EXPECT_TRUE(descr.contains(LoadStr(msg::NoDescription))) << descr.toStdString();
    EXPECT_TRUE(report.contains(LoadStr(msg::NoReportTemplate))) << report.toStdString();
    // Three blank lines come before the text.
    EXPECT_TRUE(descr.startsWith(QStringLiteral(" \n \n \n"))) << descr.toStdString();
    EXPECT_EQ(w.Frame()->ShownTabIndex(), 0);
}

TEST_F(tSwitching, ADocumentTooLargeToShowGetsThePlaceholderAndALogLine) {
    tCapturedLog log;
    const QString a = folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("NO")),
                                         "{\\rtf1 " + QByteArray("x").repeated(tRtfLimits().Characters) + "}",
                                         SimpleRtf(QStringLiteral("Report")));
    tTestMain w(folder);
    w.Choose(a);
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    EXPECT_TRUE(w.Frame()->DescrView()->toPlainText().contains(LoadStr(msg::NoDescription)));
    EXPECT_TRUE(w.Frame()->ReportView()->toPlainText().contains(QStringLiteral("Report")));
    const QString path = folder.Data() + a + QStringLiteral("descr.rtf");
    EXPECT_EQ(log.Count(QStringLiteral("Документ \"%1\" слишком велик: в нём больше %2 знаков (открываются "
                                       "документы до %2 знаков, это около 500 страниц).")
                            .arg(path, QString("1 000 000").replace(u' ', QChar(0xA0)))),
              1);
}

TEST_F(tSwitching, AxesAndNumberOfCurves) {
    const QString one =
        folder.AddScenario(QStringLiteral("one"), ScenarioLines(QStringLiteral("NO"), 100000, 1, 1));
    const QString two =
        folder.AddScenario(QStringLiteral("two"), ScenarioLines(QStringLiteral("NO"), 100000, 1, 2));
    const QString three =
        folder.AddScenario(QStringLiteral("three"), ScenarioLines(QStringLiteral("NO"), 100000, 1, 3));
    tTestMain w(folder);
    w.Choose(one);
    TChart* chart = w.Frame()->Chart();
    EXPECT_EQ(chart->SeriesCount(), 1);
    EXPECT_DOUBLE_EQ(chart->BottomAxis().Maximum(), 10);
    EXPECT_DOUBLE_EQ(chart->BottomAxis().Increment(), 1);
    EXPECT_EQ(chart->BottomAxis().Title(), QStringLiteral("Время, с"));
    EXPECT_DOUBLE_EQ(chart->LeftAxis().Minimum(), -50);
    EXPECT_DOUBLE_EQ(chart->LeftAxis().Maximum(), 150);
    EXPECT_EQ(chart->LeftAxis().Title(), QStringLiteral("Температура"));
    w.Choose(two);
    EXPECT_EQ(w.Frame()->Chart()->SeriesCount(), 2);
    w.Choose(three);  // out of range: one curve
    EXPECT_EQ(w.Frame()->Chart()->SeriesCount(), 1);
    EXPECT_EQ(w.CurrentSeries(), 0);
    EXPECT_EQ(w.Frame()->CurrentSeries(), 0);
}

TEST_F(tSwitching, GoingOnWhileMeasuringStopsTheRunCancelLetsItGoOn) {
    const QString a = folder.AddScenario(QStringLiteral("a"), ScenarioLines(QStringLiteral("T100")));
    const QString b = folder.AddScenario(QStringLiteral("b"), ScenarioLines(QStringLiteral("NO")));
    tTestMain w(folder);
    w.Choose(a);
    w.Execute(w.acExperimentStart);
    ASSERT_TRUE(w.IsMeasuring());
    // The running measurement is unsaved work: the one question is save / don't save / cancel.
    w.SaveAnswer = tSaveChoice::Cancel;
    w.Choose(b);
    EXPECT_TRUE(w.IsMeasuring());
    w.SaveAnswer = tSaveChoice::Discard;
    w.Choose(b);
    EXPECT_FALSE(w.IsMeasuring());
    EXPECT_EQ(w.Device(), nullptr);
    EXPECT_EQ(w.SaveQuestions, 2);
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
}
