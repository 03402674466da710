// SPDX-License-Identifier: GPL-3.0-or-later
// The markers without a mouse and without colour vision: keys on the focused chart put and move
// them, the focus shows on the chart, and the yellow and lime lines keep a dark edge on white.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QTest>

#include "components/Chart.h"
#include "components/Contrast.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "foundation/Appmessage.h"

namespace {
class MarkerKeys : public ::testing::Test {
  protected:
    void SetUp() override {
        FFrame = std::make_unique<TfrExperiment>(nullptr, true);
        FFrame->resize(800, 600);
        FFrame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FFrame.get(), 5000));
        FFrame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FFrame.get(), 5000));
        SetAppMessageObserverForTests([this](uint32_t code, intptr_t, intptr_t) {
            if (code == WM_MARKER_CHANGED) ++FMessages;
        });
        // A run of 30 points one second apart, on an axis of 0..100 s.
        tExperiment s;
        s.Clear();
        s.MinX = 0;
        s.MaxX = 100;
        s.MinY = 0;
        s.MaxY = 100;
        const int n = FFrame->StartMeasurement(s);
        for (int i = 0; i < 30; ++i) Chart()->Series(n)->AddXY(i, i, QString(), Qt::red);
        FFrame->StopMeasurement();
        Chart()->Plot()->replot();
    }
    void TearDown() override {
        SetAppMessageObserverForTests({});
        FFrame.reset();
    }
    TChart* Chart() { return FFrame->Chart(); }
    // A key as the pupil presses it: to whatever has the focus.
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, modifiers);
    }
    int First() { return FFrame->FirstMarker(Chart()); }
    int Second() { return FFrame->SecondMarker(Chart()); }

    std::unique_ptr<TfrExperiment> FFrame;
    int FMessages = 0;
};
}  // namespace

TEST_F(MarkerKeys, TabReachesTheChartAndArrowsPutAndMoveBothMarkers) {
    // From the page tabs one Tab goes to the chart below them.
    FFrame->Pages()->tabBar()->setFocus();
    ASSERT_TRUE(FFrame->Pages()->tabBar()->hasFocus());
    Press(Qt::Key_Tab);
    ASSERT_TRUE(Chart()->hasFocus());

    // The first press puts the first marker in the middle of the shown time (0..100 s: the last
    // point, 29 s, is nearest to 50 s); then a point at a time, Shift ten, never past the ends.
    Press(Qt::Key_Left);
    EXPECT_EQ(First(), 29);
    Press(Qt::Key_Left);
    EXPECT_EQ(First(), 28);
    Press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(First(), 18);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(First(), 29);
    for (int i = 0; i < 4; ++i) Press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(First(), 0);

    // Ctrl moves the second marker, as Ctrl+click puts it; the first stays.
    Press(Qt::Key_Right, Qt::ControlModifier);
    Press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Second(), 28);
    EXPECT_EQ(First(), 0);
    // The read-out the window shows after the message: value and time at 0 s, then 0 − 28 s.
    const QString time = Chart()->BottomAxis().Title();
    EXPECT_EQ(FFrame->GetMarkerText(QString(), QString(), Chart()),
              Chart()->LeftAxis().Title() + QStringLiteral("=0\t") + time + QStringLiteral("=0\td") + time +
                  QStringLiteral("=-28"));

    // Delete takes a marker away; every change was told like a click.
    Press(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(Second(), -1);
    Press(Qt::Key_Delete);
    EXPECT_EQ(First(), -1);
    QCoreApplication::processEvents();
    EXPECT_EQ(FMessages, 13);
}

TEST_F(MarkerKeys, TheTimeAxisFollowsAMarkerMovedOutOfSightAndKeysWaitForTheRunsEnd) {
    Chart()->setFocus();
    Chart()->BottomAxis().SetRange(0, 10);
    FFrame->SetMarkers(Chart(), 9, -1);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(First(), 19);
    // The axis keeps its width and shows the marker again.
    EXPECT_LE(Chart()->BottomAxis().Minimum(), 19);
    EXPECT_GE(Chart()->BottomAxis().Maximum(), 19);
    EXPECT_DOUBLE_EQ(Chart()->BottomAxis().Maximum() - Chart()->BottomAxis().Minimum(), 10);

    // While measuring the arrows are not the markers' (as clicks are not).
    tExperiment s;
    s.Clear();
    FFrame->StartMeasurement(s);
    Press(Qt::Key_Right);
    EXPECT_EQ(First(), -1);  // the start removed it, the key put none
    FFrame->StopMeasurement();
}

TEST_F(MarkerKeys, FocusIsSeenOnScreenButNeverInPicturesOfTheChart) {
    Chart()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(Chart()->hasFocus());
    const QImage screen = Chart()->grab().toImage();
    const QColor edge = screen.pixelColor(1, Chart()->height() / 2);
    EXPECT_GE(ContrastRatio(edge, Qt::white), kGraphicContrast) << edge.name().toStdString();
    const QImage picture = Chart()->ToImage();
    EXPECT_EQ(picture.pixelColor(1, Chart()->height() / 2), QColor(Qt::white));

    FFrame->Pages()->tabBar()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Chart()->grab().toImage().pixelColor(1, Chart()->height() / 2), QColor(Qt::white));
}

TEST_F(MarkerKeys, MarkerLinesKeepTheirColoursWithADarkEdgeOnWhite) {
    FFrame->SetMarkers(Chart(), 10, 20);
    const QImage image = Chart()->ToImage();
    const int y = Chart()->PlotRect().top() + 5;  // above the curve, on the white plot
    for (auto [index, colour] : {std::pair{10, QColor(255, 255, 0)}, std::pair{20, QColor(0, 255, 0)}}) {
        const int x = int(std::lround(Chart()->BottomAxis().ValueToPixel(index)));
        EXPECT_EQ(image.pixelColor(x, y), colour);
        // The colour alone is too faint on white; its edges on both sides are what a reader sees.
        EXPECT_LT(ContrastRatio(colour, Qt::white), kGraphicContrast);
        for (int side : {-1, 1}) {
            // The first pixel past the five-pixel line that is not the line's own colour.
            int edgeX = x;
            while (image.pixelColor(edgeX, y) == colour) edgeX += side;
            const QColor edge = image.pixelColor(edgeX + side, y);
            EXPECT_GE(ContrastRatio(edge, Qt::white), kGraphicContrast)
                << index << " side " << side << ' ' << edge.name().toStdString();
            EXPECT_GE(ContrastRatio(edge, colour), kGraphicContrast) << index;
            EXPECT_EQ(image.pixelColor(edgeX + side * (FFrame->kMarkerEdge + 2), y), QColor(Qt::white));
        }
    }
}
