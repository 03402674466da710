// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Experimentfr.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "foundation/Appmessage.h"
#include "foundation/Functions.h"
#include "foundation/Messagebox.h"

namespace {
tExperiment Scenario() {
    tExperiment s;
    s.Clear();
    s.CaptionX = "t";
    s.CaptionY = "T";
    return s;
}

class Frame : public ::testing::Test {
  protected:
    void Make(bool twiceMarker, int seriesCount = 2) {
        FFrame = std::make_unique<TfrExperiment>(nullptr, twiceMarker);
        while (Chart()->SeriesCount() > seriesCount) Chart()->RemoveSeries(Chart()->SeriesCount() - 1);
        FFrame->resize(800, 600);
        FFrame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FFrame.get(), 5000));
        SetAppMessageObserverForTests([this](uint32_t code, intptr_t w, intptr_t l) {
            if (code == WM_MARKER_CHANGED) FMessages.push_back({w, l});
        });
    }
    void TearDown() override {
        SetAppMessageObserverForTests({});
        SetMessageBoxResponderForTests({});
        SetDecimalSeparatorForTests(QChar());
        FFrame.reset();
    }
    TChart* Chart() { return FFrame->Chart(); }
    TChartSeries* Current() { return Chart()->Series(FFrame->CurrentSeries()); }
    // One run with the given X values (Y = 10 * X).
    int Run(std::initializer_list<double> xs, const tExperiment& s = Scenario()) {
        const int n = FFrame->StartMeasurement(s);
        for (double x : xs) Chart()->Series(n)->AddXY(x, 10 * x, FFrame->TakePointLabel(), Qt::red);
        FFrame->StopMeasurement();
        Chart()->Plot()->replot();  // lays out the axis rectangle for the pixel conversions
        return n;
    }
    QPoint At(double x) {
        return QPoint(int(std::lround(Chart()->BottomAxis().ValueToPixel(x))),
                      Chart()->PlotRect().center().y());
    }
    void Click(double x, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        FFrame->ChartMouseReleased(Chart(), Qt::LeftButton, mods, At(x));
    }

    std::unique_ptr<TfrExperiment> FFrame;
    std::vector<std::pair<intptr_t, intptr_t>> FMessages;
};
}  // namespace

// ---- pages ----

TEST_F(Frame, PagesAndComponents) {
    Make(false);
    EXPECT_EQ(FFrame->objectName(), "frExperiment");
    QTabWidget* pc = FFrame->Pages();
    ASSERT_EQ(pc->count(), 3);  // the table page has no tab
    EXPECT_EQ(pc->tabText(0), QStringLiteral("&График"));
    EXPECT_EQ(pc->tabText(1), QStringLiteral("&Описание"));
    EXPECT_EQ(pc->tabText(2), QStringLiteral("О&тчет"));
    EXPECT_EQ(FFrame->TablePage()->objectName(), "tsTable");
    EXPECT_FALSE(FFrame->TablePage()->isVisible());
    pc->setCurrentWidget(FFrame->ReportPage());
    EXPECT_EQ(FFrame->ShownTabIndex(), 2);
    pc->setCurrentWidget(FFrame->DescrPage());
    EXPECT_EQ(FFrame->ShownTabIndex(), 1);
    EXPECT_TRUE(FFrame->DescrView()->isReadOnly());
    EXPECT_FALSE(FFrame->ReportView()->isReadOnly());
    EXPECT_EQ(Chart()->Series(0)->Color(), QColor(Qt::red));
    EXPECT_EQ(Chart()->Series(1)->Color(), QColor(Qt::blue));
    EXPECT_EQ(Chart()->Series(0)->Name(), "Series1");
}

TEST_F(Frame, NoSensorTextShowsInPlaceOfTheChart) {
    Make(false);
    EXPECT_FALSE(FFrame->NoSensorLabel()->isVisible());
    Chart()->hide();
    EXPECT_TRUE(FFrame->NoSensorLabel()->isVisible());
    EXPECT_EQ(FFrame->NoSensorLabel()->text(), QStringLiteral("Эксперимент проводится без датчика."));
    EXPECT_TRUE(FFrame->NoSensorLabel()->font().bold());
    EXPECT_EQ(FFrame->NoSensorLabel()->font().pixelSize(), 32);
}

// ---- series choice ----

TEST_F(Frame, TwoSeriesFillThenAlternate) {
    Make(false, 2);
    EXPECT_EQ(Run({0, 1, 2}), 0);
    EXPECT_EQ(Run({0, 1}), 1);
    EXPECT_EQ(Run({0}), 0);
    EXPECT_EQ(Chart()->Series(0)->Count(), 1);  // cleared before the run
    EXPECT_EQ(Chart()->Series(1)->Count(), 2);
    EXPECT_EQ(Run({0, 1, 2, 3}), 1);
    EXPECT_EQ(Chart()->Series(1)->Count(), 4);
    EXPECT_EQ(Chart()->Series(0)->Count(), 1);
}

TEST_F(Frame, OneSeriesIsOverwrittenEveryRun) {
    Make(false, 1);
    for (int run = 0; run < 4; ++run) {
        EXPECT_EQ(Run({0, 1, 2}), 0);
        EXPECT_EQ(Chart()->Series(0)->Count(), 3);
    }
}

TEST_F(Frame, EmptyRunLeavesItsSeriesFree) {
    Make(false, 2);
    EXPECT_EQ(Run({}), 0);
    EXPECT_EQ(Run({1}), 0);  // series 0 was still empty
    EXPECT_EQ(Run({1}), 1);
}

TEST_F(Frame, StartSetsAxesStateAndClearsPendingLabel) {
    Make(false);
    SetMessageBoxResponderForTests([](const tBoxRequest& r) {
        EXPECT_EQ(r.kind, tBoxRequest::Input);
        EXPECT_EQ(r.text, QStringLiteral("Введите метку точки:"));
        return tBoxAnswer{true, QStringLiteral("кипение")};
    });
    FFrame->AskPointLabel();
    EXPECT_EQ(FFrame->PendingPointLabel(), QStringLiteral("кипение"));
    tExperiment s = Scenario();
    s.MinX = 5;
    s.MaxX = 65;
    s.IncX = 5;
    s.MinY = -10;
    s.MaxY = 40;
    FFrame->StartMeasurement(s);
    EXPECT_TRUE(FFrame->Measuring());
    EXPECT_TRUE(FFrame->PendingPointLabel().isEmpty());
    EXPECT_EQ(Chart()->BottomAxis().Minimum(), 5);
    EXPECT_EQ(Chart()->BottomAxis().Maximum(), 65);
    EXPECT_EQ(Chart()->BottomAxis().Title(), "t");
    EXPECT_EQ(Chart()->LeftAxis().Minimum(), -10);
    EXPECT_EQ(Chart()->LeftAxis().Title(), "T");
    FFrame->StopMeasurement();
    EXPECT_FALSE(FFrame->Measuring());
}

// ---- point labels ----

TEST_F(Frame, PointLabelAskedTakenOnce) {
    Make(false);
    tBoxAnswer answer{true, QStringLiteral("A")};
    SetMessageBoxResponderForTests([&](const tBoxRequest&) { return answer; });
    FFrame->AskPointLabel();
    answer = tBoxAnswer{false, QStringLiteral("B")};
    FFrame->AskPointLabel();  // cancelled: the pending label stays
    EXPECT_EQ(FFrame->TakePointLabel(), "A");
    EXPECT_EQ(FFrame->TakePointLabel(), "");
}

// ---- time axis ----

TEST_F(Frame, UpdateAxesScrollsOrWidensByHalf) {
    Make(false);
    struct {
        double lastX;
        bool autoSize;
        double min, max;
    } cases[] = {{100.5, false, 50, 150},
                 {100.5, true, 0, 150},
                 {100, false, 0, 100},
                 {100, true, 0, 100},
                 {250, false, 50, 150}};  // one step per call, however far the point is
    for (auto& c : cases) {
        const int n = FFrame->StartMeasurement(Scenario());
        Chart()->Series(n)->AddXY(c.lastX, 1, QString(), Qt::red);
        FFrame->UpdateAxes(c.autoSize);
        EXPECT_EQ(Chart()->BottomAxis().Minimum(), c.min) << c.lastX << c.autoSize;
        EXPECT_EQ(Chart()->BottomAxis().Maximum(), c.max) << c.lastX << c.autoSize;
        FFrame->StopMeasurement();
    }
}

// ---- markers ----

TEST_F(Frame, ClickSetsNearestPointAndPostsMessage) {
    Make(false);
    Run({10, 20, 30, 40});
    Click(21);
    EXPECT_EQ(FFrame->FirstMarker(Chart()), 1);
    ASSERT_EQ(FMessages.size(), 1u);
    EXPECT_EQ(FMessages[0].first, reinterpret_cast<intptr_t>(Chart()));
    EXPECT_EQ(FMessages[0].second, 0);
    EXPECT_EQ(FFrame->GetMarkerText("0.0", "0.00", Chart()),
              QStringLiteral("T=200,00\tt=20,0").replace(u',', DecimalSeparator()));
}

TEST_F(Frame, RealMouseReleaseOnThePlot) {
    Make(false);
    Run({10, 20, 30, 40});
    QTest::mouseRelease(Chart()->Plot(), Qt::LeftButton, Qt::NoModifier,
                        Chart()->Plot()->mapFrom(Chart(), At(39)));
    EXPECT_EQ(FFrame->FirstMarker(Chart()), 3);
}

TEST_F(Frame, EqualDistancesMarkTheEarlierPoint) {
    Make(false);
    Run({10, 30});  // lays the plot out; its size depends on the fonts, the tie below does not
    // The click column's value and two points exactly one unit either side of it: the values lie
    // in one binary exponent range, so both distances are exactly 1 whatever the column is.
    const int column = Chart()->PlotRect().center().x();
    const double clicked = Chart()->BottomAxis().PixelToValue(column);
    ASSERT_GE(clicked - 1, 32.0);
    ASSERT_LT(clicked + 1, 64.0);
    Run({clicked - 1, clicked + 1});
    ASSERT_EQ(Chart()->BottomAxis().PixelToValue(column), clicked);
    FFrame->ChartMouseReleased(Chart(), Qt::LeftButton, Qt::NoModifier,
                               QPoint(column, Chart()->PlotRect().center().y()));
    EXPECT_EQ(FFrame->FirstMarker(Chart()), 0);
}

TEST_F(Frame, OtherButtonsAndMeasuringIgnored) {
    Make(true);
    Run({10, 20});
    FFrame->ChartMouseReleased(Chart(), Qt::RightButton, Qt::NoModifier, At(20));
    EXPECT_EQ(FFrame->FirstMarker(Chart()), -1);
    FFrame->StartMeasurement(Scenario());
    Chart()->Series(FFrame->CurrentSeries())->AddXY(1, 1, QString(), Qt::red);
    Click(1);
    EXPECT_EQ(FFrame->FirstMarker(Chart()), -1);
    EXPECT_TRUE(FMessages.empty());
}

TEST_F(Frame, ClickOutsidePlotClearsMarker) {
    Make(true);
    Run({10, 20, 30});
    Click(10);
    Click(30, Qt::ControlModifier);
    EXPECT_EQ(FFrame->SecondMarker(Chart()), 2);
    const QString sep = DecimalSeparator();
    EXPECT_EQ(FFrame->GetMarkerText("0", "0", Chart()), QStringLiteral("T=100\tt=10\tdt=-20"));
    // Below the plot rectangle, second marker: the difference part goes.
    const QRect plot = Chart()->PlotRect();
    FFrame->ChartMouseReleased(Chart(), Qt::LeftButton, Qt::ControlModifier,
                               QPoint(plot.center().x(), plot.bottom() + 5));
    EXPECT_EQ(FFrame->SecondMarker(Chart()), -1);
    EXPECT_EQ(FFrame->GetMarkerText("0", "0", Chart()), QStringLiteral("T=100\tt=10"));
    // Left of it, first marker: the read-out becomes empty.
    FFrame->ChartMouseReleased(Chart(), Qt::LeftButton, Qt::NoModifier,
                               QPoint(plot.left() - 5, plot.center().y()));
    EXPECT_EQ(FFrame->FirstMarker(Chart()), -1);
    EXPECT_EQ(FFrame->GetMarkerText("0", "0", Chart()), QString());
    EXPECT_EQ(FMessages.size(), 4u);
}

TEST_F(Frame, CtrlMovesFirstMarkerWithoutTwiceMarker) {
    Make(false);
    Run({10, 20, 30});
    Click(10);
    Click(30, Qt::ControlModifier);
    EXPECT_EQ(FFrame->FirstMarker(Chart()), 2);
    EXPECT_EQ(FFrame->SecondMarker(Chart()), -1);
    EXPECT_EQ(FFrame->GetMarkerText("0", "0", Chart()), QStringLiteral("T=300\tt=30"));
}

TEST_F(Frame, NewRunDropsMarkers) {
    Make(true);
    Run({10, 20, 30});
    Click(10);
    Click(20, Qt::ControlModifier);
    FFrame->StartMeasurement(Scenario());
    EXPECT_EQ(FFrame->FirstMarker(Chart()), -1);
    EXPECT_EQ(FFrame->SecondMarker(Chart()), -1);
}

// ---- read-outs ----

TEST_F(Frame, LastValueText) {
    Make(false);
    SetDecimalSeparatorForTests(u'.');
    Run({1, 2.5});
    EXPECT_EQ(FFrame->GetLastValueText("0.0"), QStringLiteral("T = 25.0"));
    EXPECT_EQ(FFrame->GetLastValueText(""), QStringLiteral("T = 25"));
}

// ---- overlay ----

TEST_F(Frame, MarkerLinesYellowOverLimeOnlyInVisibleRange) {
    Make(true);
    Run({10, 20, 30});
    Click(20);
    Click(30, Qt::ControlModifier);
    QImage image = Chart()->ToImage();
    const int y = Chart()->PlotRect().center().y();
    auto px = [&](double x) { return int(std::lround(Chart()->BottomAxis().ValueToPixel(x))); };
    EXPECT_EQ(image.pixelColor(px(20), y), QColor(255, 255, 0));
    EXPECT_EQ(image.pixelColor(px(30), y), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(px(20) + 1, y), QColor(255, 255, 0));  // five pixels wide

    Click(30);  // both on the same point: the first marker lies on top
    EXPECT_EQ(Chart()->ToImage().pixelColor(px(30), y), QColor(255, 255, 0));

    // Scrolled away: the marker keeps its index but no line is drawn.
    Chart()->BottomAxis().SetRange(50, 150);
    Chart()->Plot()->replot();
    image = Chart()->ToImage();
    EXPECT_EQ(FFrame->FirstMarker(Chart()), 2);
    for (int x = Chart()->PlotRect().left() + 3; x < Chart()->PlotRect().right() - 3; ++x) {
        const QColor c = image.pixelColor(x, y);
        ASSERT_FALSE(c == QColor(255, 255, 0) || c == QColor(0, 255, 0)) << x;
    }

    // No lines while measuring.
    Chart()->BottomAxis().SetRange(0, 100);
    FFrame->StartMeasurement(Scenario());
    Chart()->Series(FFrame->CurrentSeries())->AddXY(20, 1, QString(), Qt::blue);
    Chart()->Plot()->replot();
    EXPECT_NE(Chart()->ToImage().pixelColor(px(20), y), QColor(255, 255, 0));
}
