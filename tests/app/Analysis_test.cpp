// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the curve in the window: a formula fitted to a simulated cooling run through
// «Подобрать формулу...» (its parameters, the dashed line where the chart puts it, the words in the
// strip, the details in the report), kept in the lesson file and drawn and worded again when it is
// opened; a refused fit says why; the tangent, the area, the typed and the drawn prediction, and
// taking them away again.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>
#include <chrono>
#include <cmath>

#include "Apptest.h"
#include "analysis/Tablemodel.h"
#include "app/Analysisactions.h"
#include "app/Fitdialog.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experimentfr.h"
#include "experiments/Tableview.h"
#include "foundation/Functions.h"
#include "lesson/Lesson.h"
#include "sim/Simports.h"
#include "tests/support/Wait.h"

namespace {
// The simulated T100's cup of water: 22 °C room, τ = 240 s (sim/Simmodels.cpp).
constexpr double kRoom = 22.0;
constexpr double kTau = 240.0;

struct tAnalysis : ::testing::Test {
    tBoxRecorder boxes;
    tProgramFolder folder;
    QTemporaryDir out;

    void SetUp() override { SetDecimalSeparatorForTests(QLatin1Char(',')); }
    void TearDown() override { SetDecimalSeparatorForTests(QChar()); }

    static std::unique_ptr<tTestMain> Window(const tProgramFolder& folder) {
        auto w = std::make_unique<tTestMain>(folder);
        w->resize(1366, 768);
        w->show();
        return w;
    }
    static TChart* Chart(tTestMain& w) { return w.Frame()->Chart(); }
    static QPoint Pixel(TChart* chart, double x, double y) {
        return QPoint(int(std::lround(chart->BottomAxis().ValueToPixel(x))),
                      int(std::lround(chart->LeftAxis().ValueToPixel(y))));
    }
    // The fitted approach to a limit at time t (origin 0 for a whole run from its start).
    static double Approach(const tFitRecord& fit, double t) {
        return fit.Values[0] + (fit.Values[1] - fit.Values[0]) * std::exp(-(t - fit.Origin) / fit.Values[2]);
    }
    // The number after `words` in the strip («приближается к 22,0» gives 22).
    static double NumberAfter(const QString& text, const QString& words) {
        const QRegularExpressionMatch m =
            QRegularExpression(QRegularExpression::escape(words) + QStringLiteral(" (-?\\d+(,\\d+)?)"))
                .match(text);
        return m.hasMatch() ? m.captured(1).replace(u',', u'.').toDouble() : std::nan("");
    }
    static void AnswerFit(tTestMain& w, tFitModel model, const QString& formula = QString()) {
        w.Analysis().AskFit = [model, formula](const QString&, tFitModel& m, QString& f) {
            m = model;
            f = formula;
            return true;
        };
    }
};

// A cooling run of ten minutes of the cup's time, measured through the window in a few seconds of
// ours: the simulated sensor's clock runs 200 times faster.
struct tCooling : tAnalysis {
    tSimulatorOn sim;
    std::unique_ptr<tTestMain> w;
    void SetUp() override {
        tAnalysis::SetUp();
        tSimSensorConfig config = tSimRegistry::DemoConfig(QStringLiteral("T100"), false);
        const auto start = std::chrono::steady_clock::now();
        config.Clock = [start] {
            return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                        start)
                       .count() *
                   200;
        };
        tSimRegistry::Instance().Add(QStringLiteral("sim:T100"), config);
        w = Window(folder);
        w->Choose(
            folder.AddScenario(QStringLiteral("Остывание"), ScenarioLines(QStringLiteral("T100"), 100000, 1)
                                                                << QStringLiteral("TwiceMarker=1")));
        ASSERT_NE(w->Device(), nullptr);
        w->Execute(w->acExperimentStart);
        ASSERT_EVENTUALLY(w->Lesson()->SeriesRun(0) && w->Lesson()->SeriesRun(0)->Count() >= 6000, 120000);
        w->Execute(w->acExperimentStop);
        ASSERT_FALSE(w->IsMeasuring());
        w->Execute(w->acViewShowAll);
        Chart(*w)->Plot()->replot();
    }
    void TearDown() override {
        w.reset();
        tAnalysis::TearDown();
    }
};
}  // namespace

TEST_F(tCooling, AFittedApproachToTheRoomIsDrawnWordedKeptAndOpenedAgain) {
    AnswerFit(*w, tFitModel::Approach);
    w->UpdateActions();
    ASSERT_TRUE(w->acExperimentFit->isEnabled());
    w->Execute(w->acExperimentFit);
    ASSERT_EVENTUALLY(!w->Analysis().Busy(), 60000);
    ASSERT_EQ(w->Lesson()->Analyses().Fits.size(), 1);
    const tFitRecord fit = w->Lesson()->Analyses().Fits[0];
    // The whole run without markers, and the cup's own numbers within their uncertainty.
    EXPECT_EQ(fit.First, 0);
    EXPECT_EQ(fit.Last, w->Lesson()->Run(0)->Count() - 1);
    ASSERT_EQ(fit.Values.size(), 3);
    EXPECT_NEAR(fit.Values[0], kRoom, 3 * fit.Sigmas[0]);
    EXPECT_NEAR(fit.Values[2], kTau, 3 * fit.Sigmas[2]);
    EXPECT_NEAR(fit.Values[1], w->Lesson()->Run(0)->Y(0), 0.5);
    EXPECT_LT(fit.Sigmas[2], 5.0);

    // The strip says where the temperature goes; the dashed line lies on the formula's values.
    const QString strip = w->StatisticsLabel()->text();
    EXPECT_TRUE(w->StatisticsLabel()->isVisibleTo(w.get()));
    EXPECT_TRUE(strip.startsWith(QStringLiteral("Опыт 1 (красный): Температура приближается к")))
        << strip.toStdString();
    EXPECT_NEAR(NumberAfter(strip, QStringLiteral("приближается к")), fit.Values[0], 0.15)
        << strip.toStdString();
    TChart* chart = Chart(*w);
    EXPECT_NE(chart->CurveAt(Pixel(chart, 300, Approach(fit, 300)), 4), 0);
    EXPECT_EQ(chart->CurveAt(Pixel(chart, 300, Approach(fit, 300) + 8), 4), 0);

    // Into the report with the chart: the sentence and every parameter with its uncertainty.
    w->Execute(w->acExperimentInsertChart);
    const QString report = w->Frame()->ReportView()->document()->toPlainText();
    EXPECT_TRUE(report.contains(QStringLiteral("приближается к"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("R²"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("τ"))) << report.toStdString();

    // Saved, and opened in a fresh window: the same fit drawn and worded again.
    const QString path = out.filePath(QStringLiteral("остывание.rovelin"));
    w->NextLessonPath = path;
    w->Execute(w->acFileSaveLessonAs);
    // The file is written off the window's thread; the window hears when it is done.
    ASSERT_EVENTUALLY(!w->LessonUnsaved(), 20000);
    w.reset();
    auto again = Window(folder);
    again->NextLessonPath = path;
    again->Execute(again->acFileOpenLesson);
    ASSERT_NE(again->Lesson(), nullptr);
    ASSERT_EQ(again->Lesson()->Analyses().Fits.size(), 1);
    EXPECT_TRUE(again->Lesson()->Analyses().Fits[0] == fit);
    again->Execute(again->acViewShowAll);
    Chart(*again)->Plot()->replot();
    EXPECT_NE(Chart(*again)->CurveAt(Pixel(Chart(*again), 300, Approach(fit, 300)), 4), 0);
    EXPECT_EQ(again->StatisticsLabel()->text(), strip);
}

TEST_F(tCooling, SeveralFitsOfOneRunAreKeptAndEachCanBeTakenAway) {
    // A straight line between markers at 100 and 200 s, then the approach over the whole run.
    w->Frame()->SetMarkers(Chart(*w), 1000, 2000);
    AnswerFit(*w, tFitModel::Linear);
    w->Execute(w->acExperimentFit);
    ASSERT_EVENTUALLY(!w->Analysis().Busy(), 60000);
    w->Frame()->SetMarkers(Chart(*w), -1, -1);
    AnswerFit(*w, tFitModel::Approach);
    w->Execute(w->acExperimentFit);
    ASSERT_EVENTUALLY(!w->Analysis().Busy(), 60000);
    ASSERT_EQ(w->Lesson()->Analyses().Fits.size(), 2);
    const tFitRecord line = w->Lesson()->Analyses().Fits[0];
    EXPECT_EQ(line.First, 1000);
    EXPECT_EQ(line.Last, 2000);
    EXPECT_EQ(w->StatisticsLabel()->text().count(QStringLiteral("Опыт 1 (красный):")), 2);
    TChart* chart = Chart(*w);
    const auto lineAt = [&](double t) { return line.Values[0] + line.Values[1] * t; };
    EXPECT_NE(chart->CurveAt(Pixel(chart, 150, lineAt(150)), 4), 0);
    EXPECT_EQ(chart->CurveAt(Pixel(chart, 400, lineAt(400)), 4), 0) << "only over the fitted range";

    // «Убрать» lists both; the approach goes, the straight line stays.
    QMenu* remove = w->Analysis().RemoveMenu();
    emit remove->aboutToShow();
    QStringList entries;
    for (QAction* a : remove->actions())
        if (!a->isSeparator()) entries << a->text();
    ASSERT_GE(entries.size(), 3) << entries.join(u'|').toStdString();
    EXPECT_TRUE(entries[0].contains(QStringLiteral("Прямая"))) << entries[0].toStdString();
    EXPECT_TRUE(entries[1].contains(QStringLiteral("Приближение к пределу"))) << entries[1].toStdString();
    const tFitRecord approach = w->Lesson()->Analyses().Fits[1];
    EXPECT_NE(chart->CurveAt(Pixel(chart, 400, Approach(approach, 400)), 4), 0);
    remove->actions()[1]->trigger();
    ASSERT_EQ(w->Lesson()->Analyses().Fits.size(), 1);
    EXPECT_EQ(w->Lesson()->Analyses().Fits[0].Model, QStringLiteral("linear"));
    chart->Plot()->replot();
    EXPECT_EQ(chart->CurveAt(Pixel(chart, 400, Approach(approach, 400)), 4), 0);
    EXPECT_NE(chart->CurveAt(Pixel(chart, 150, lineAt(150)), 4), 0);
    EXPECT_EQ(w->StatisticsLabel()->text().count(QStringLiteral("Опыт 1 (красный):")), 1);
}

namespace {
// Typed distances of a trolley every half second: 2 m a second, so the slope is 2 m/s and the area
// under it from 0 to 4 s is 16 m·s.
struct tTyped : tAnalysis {
    std::unique_ptr<tTestMain> w;
    void SetUp() override {
        tAnalysis::SetUp();
        w = Window(folder);
        w->Choose(folder.AddScenario(QStringLiteral("Тележка"),
                                     {QStringLiteral("SensorName=NO"), QStringLiteral("CaptionX=Время, с"),
                                      QStringLiteral("CaptionY=Путь, м"), QStringLiteral("FormatY=0.0"),
                                      QStringLiteral("TwiceMarker=1")}));
        ASSERT_NE(w->TablePage(), nullptr);
    }
    void TearDown() override {
        w.reset();
        tAnalysis::TearDown();
    }
    void Type(int row, double x, double y) {
        tTableModel* model = w->TablePage()->Model();
        ASSERT_TRUE(model->setData(model->index(row, 0), QString::number(x)));
        ASSERT_TRUE(model->setData(model->index(row, 1), QString::number(y)));
    }
};
}  // namespace

TEST_F(tTyped, AFitThatCannotBeMadeSaysWhyAndDrawsNothing) {
    Type(0, 0, 1);
    Type(1, 1, 3);
    AnswerFit(*w, tFitModel::Approach);
    w->Execute(w->acExperimentFit);
    ASSERT_EVENTUALLY(!w->Analysis().Busy(), 60000);
    EXPECT_TRUE(w->Lesson()->Analyses().Fits.isEmpty());
    EXPECT_TRUE(w->StatisticsLabel()->text().startsWith(QStringLiteral("Не удалось подобрать: ")))
        << w->StatisticsLabel()->text().toStdString();

    // A typed formula that does not parse is refused the same way.
    Type(2, 2, 5);
    AnswerFit(*w, tFitModel::Formula, QStringLiteral("a + b*"));
    w->Execute(w->acExperimentFit);
    ASSERT_EVENTUALLY(!w->Analysis().Busy(), 60000);
    EXPECT_TRUE(w->Lesson()->Analyses().Fits.isEmpty());
    EXPECT_TRUE(w->StatisticsLabel()->text().contains(QStringLiteral("Не удалось подобрать")))
        << w->StatisticsLabel()->text().toStdString();

    // A formula of the pupil's own fits and is drawn.
    AnswerFit(*w, tFitModel::Formula, QStringLiteral("a + b*t"));
    w->Execute(w->acExperimentFit);
    ASSERT_EVENTUALLY(!w->Analysis().Busy(), 60000);
    ASSERT_EQ(w->Lesson()->Analyses().Fits.size(), 1);
    EXPECT_NEAR(w->Lesson()->Analyses().Fits[0].Values[1], 2.0, 1e-6);
    EXPECT_FALSE(w->StatisticsLabel()->text().contains(QStringLiteral("Не удалось")));
}

TEST_F(tTyped, SlopeAtTheMarkerAreaBetweenTheMarkersAndThePrediction) {
    for (int i = 0; i <= 8; ++i) Type(i, i * 0.5, i * 1.0);
    w->UpdateActions();
    EXPECT_FALSE(w->acExperimentSlope->isEnabled()) << "no marker yet";
    EXPECT_FALSE(w->acExperimentArea->isEnabled());
    w->Frame()->SetMarkers(Chart(*w), 0, 8);
    w->UpdateActions();
    ASSERT_TRUE(w->acExperimentSlope->isEnabled());

    w->Execute(w->acExperimentArea);
    w->Frame()->SetMarkers(Chart(*w), 4, -1);
    w->Execute(w->acExperimentSlope);
    const tLessonAnalyses& a = w->Lesson()->Analyses();
    ASSERT_EQ(a.Areas.size(), 1);
    ASSERT_EQ(a.Slopes.size(), 1);
    EXPECT_EQ(a.Slopes[0].Index, 4);
    const QString strip = w->StatisticsLabel()->text();
    EXPECT_NEAR(NumberAfter(strip, QStringLiteral("Наклон при t = 2 с:")), 2.0, 1e-9) << strip.toStdString();
    EXPECT_NEAR(NumberAfter(strip, QStringLiteral("до 4 с:")), 16.0, 1e-9) << strip.toStdString();
    // The tangent is drawn through the marker's point.
    TChart* chart = Chart(*w);
    chart->Plot()->replot();
    EXPECT_NE(chart->CurveAt(Pixel(chart, 2, 4), 4), 0);

    // A typed prediction, then one drawn with the mouse replaces it.
    w->Analysis().AskPrediction = [](QString& text) {
        text = QStringLiteral("0 0\n4; 10,5\n2 3");
        return true;
    };
    w->Execute(w->acExperimentTypePrediction);
    EXPECT_EQ(chart->Prediction(), (QVector<QPointF>{{0, 0}, {2, 3}, {4, 10.5}}));
    EXPECT_EQ(w->Lesson()->Analyses().Prediction.Points, chart->Prediction());

    w->Execute(w->acExperimentDrawPrediction);
    EXPECT_TRUE(w->acExperimentDrawPrediction->isChecked());
    const auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, chart->Plot()->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(chart->Plot(), &event);
    };
    mouse(QEvent::MouseButtonPress, Pixel(chart, 0.5, 1), Qt::LeftButton, Qt::LeftButton);
    for (double t = 0.6; t <= 3.5; t += 0.1)
        mouse(QEvent::MouseMove, Pixel(chart, t, 2 * t), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, Pixel(chart, 3.5, 7), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(w->acExperimentDrawPrediction->isChecked())
        << "one stroke, then the chart is the pupil's again";
    const QVector<QPointF> drawn = w->Lesson()->Analyses().Prediction.Points;
    ASSERT_GE(drawn.size(), 10);
    EXPECT_NEAR(drawn.front().x(), 0.5, 0.1);
    EXPECT_NEAR(drawn.back().y(), 7, 0.3);
    EXPECT_EQ(w->Frame()->SecondMarker(chart), -1) << "the stroke set no marker";

    // Saved and opened: the tangent, the area and the prediction come back.
    const QString path = out.filePath(QStringLiteral("тележка.rovelin"));
    w->NextLessonPath = path;
    w->Execute(w->acFileSaveLessonAs);
    ASSERT_EVENTUALLY(!w->LessonUnsaved(), 20000);
    w.reset();
    auto again = Window(folder);
    again->NextLessonPath = path;
    again->Execute(again->acFileOpenLesson);
    ASSERT_NE(again->Frame(), nullptr);
    EXPECT_EQ(Chart(*again)->Prediction(), drawn);
    EXPECT_EQ(again->StatisticsLabel()->text(), strip);

    // «Убрать всё» leaves the chart as measured.
    QMenu* remove = again->Analysis().RemoveMenu();
    emit remove->aboutToShow();
    remove->actions().back()->trigger();
    EXPECT_TRUE(again->Lesson()->Analyses() == tLessonAnalyses{});
    EXPECT_TRUE(Chart(*again)->Prediction().isEmpty());
    EXPECT_EQ(again->StatisticsLabel()->text(), again->StatisticsText()) << "the markers' statistics alone";
}

TEST(PredictionPoints, TypedLinesAreTimeAndValueWithEitherDecimalMark) {
    QVector<QPointF> points;
    QString problem;
    EXPECT_TRUE(ParsePredictionPoints(QStringLiteral(" 10 5,5\n\n0\t1.25 \n5;3"), points, &problem));
    EXPECT_EQ(points, (QVector<QPointF>{{0, 1.25}, {5, 3}, {10, 5.5}}));
    EXPECT_FALSE(ParsePredictionPoints(QStringLiteral("0 1\nдесять 2"), points, &problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("Строка 2"))) << problem.toStdString();
    EXPECT_EQ(points.size(), 3) << "a refused text leaves the points as they were";
}

TEST(FitDialog, ListsEveryModelAndWantsATypedFormulaForItsOwn) {
    TfmFit dialog(nullptr, QStringLiteral("Опыт 1 (красный), от 0 до 10 с"));
    ASSERT_EQ(dialog.lbModels->count(), int(FitModels().size()));
    QPushButton* ok = dialog.btnButtons->button(QDialogButtonBox::Ok);
    dialog.SetChoice(tFitModel::Approach, QString());
    EXPECT_EQ(dialog.Model(), tFitModel::Approach);
    EXPECT_TRUE(dialog.lbModels->currentItem()->text().contains(QStringLiteral("Приближение к пределу")));
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_FALSE(dialog.edFormula->isEnabled());
    dialog.SetChoice(tFitModel::Formula, QString());
    EXPECT_TRUE(dialog.edFormula->isEnabled());
    EXPECT_FALSE(ok->isEnabled()) << "nothing typed, nothing to fit";
    dialog.edFormula->setText(QStringLiteral("  a*t^2 "));
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.Formula(), QStringLiteral("a*t^2"));
}

// Not a check: a picture of the cooling run with everything on it, to look at under Xvfb
// (ROVELIN_SCREENSHOT names the PNG to write).
TEST_F(tCooling, DISABLED_ScreenshotOfEverythingReadOffTheCurve) {
    const QString target = qEnvironmentVariable("ROVELIN_SCREENSHOT");
    ASSERT_FALSE(target.isEmpty()) << "ROVELIN_SCREENSHOT names the PNG to write";
    w->Analysis().AskPrediction = [](QString& text) {
        text = QStringLiteral("0 85\n200 50\n600 30");
        return true;
    };
    w->Execute(w->acExperimentTypePrediction);
    AnswerFit(*w, tFitModel::Approach);
    w->Execute(w->acExperimentFit);
    ASSERT_EVENTUALLY(!w->Analysis().Busy(), 60000);
    w->Frame()->SetMarkers(Chart(*w), 1500, 3000);
    w->Execute(w->acExperimentArea);
    w->Execute(w->acExperimentSlope);
    rovelin_test::Pump(300);
    ASSERT_TRUE(w->grab().save(target, "PNG"));
}
