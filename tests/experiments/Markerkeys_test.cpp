// SPDX-License-Identifier: GPL-3.0-or-later
// The markers without a mouse and without colour vision: keys on the focused chart put and move
// them, the focus shows on the chart, and the yellow and lime lines keep a dark edge on white.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QSet>
#include <QTest>
#include <cmath>
#include <functional>

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
    for (auto [index, colour] : {std::pair{10, QColor(255, 255, 0)}, std::pair{20, QColor(0, 255, 0)}}) {
        const int x = int(std::lround(Chart()->BottomAxis().ValueToPixel(index)));
        // A row above the curve and below the number tags where the edge is drawn (the second
        // marker's edge is dashed).
        int y = Chart()->PlotRect().top() + Chart()->PlotRect().height() / 3;
        const auto edgeRight = [&](int row) {
            int edgeX = x;
            while (image.pixelColor(edgeX, row) == colour) ++edgeX;
            return image.pixelColor(edgeX + 1, row);
        };
        for (int tries = 0; tries < 40 && ContrastRatio(edgeRight(y), Qt::white) < kGraphicContrast; ++tries)
            ++y;
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

namespace {
// As a reader who tells no colours apart sees a pixel: dark (a marker's edge, a tag's digit) or not.
bool Dark(const QColor& colour) {
    return RelativeLuminance(colour) < 0.1;
}

// What a marker line looks like in `image` without its colour: how much of its edge beside the line
// is dark, and how often it turns from dark to light, over the middle half of `plot` (above the
// curve, below the tags).
struct tEdge {
    double DarkShare = 0;
    int Turns = 0;
};
tEdge EdgeBeside(const QImage& image, QRect plot, int x) {
    tEdge edge;
    int dark = 0, rows = 0;
    bool last = true;
    for (int y = plot.top() + plot.height() / 4; y < plot.top() + plot.height() * 3 / 4; ++y, ++rows) {
        const bool now = Dark(image.pixelColor(x, y));
        dark += now;
        if (last && !now) ++edge.Turns;
        last = now;
    }
    edge.DarkShare = double(dark) / std::max(1, rows);
    return edge;
}

// The tag of the marker of hue `isHue` near column `x` at the top of `plot`: its box (the pixels of
// the hue wider than the line) and the dark pixels inside it, as offsets from the box's corner.
struct tTag {
    QRect Box;
    QSet<std::pair<int, int>> Dark;
};
tTag TagAt(const QImage& image, QRect plot, int x, int lineWidth, const std::function<bool(QColor)>& isHue) {
    tTag tag;
    const int reach = 6 * lineWidth;
    for (int y = plot.top(); y < plot.top() + plot.height() / 4; ++y) {
        int left = x, right = x;
        while (left > x - reach && isHue(image.pixelColor(left - 1, y))) --left;
        while (right < x + reach && isHue(image.pixelColor(right + 1, y))) ++right;
        if (right - left + 1 > 2 * lineWidth) tag.Box |= QRect(left, y, right - left + 1, 1);
    }
    for (int y = tag.Box.top(); y <= tag.Box.bottom(); ++y)
        for (int x2 = tag.Box.left(); x2 <= tag.Box.right(); ++x2)
            if (Dark(image.pixelColor(x2, y))) tag.Dark.insert({x2 - tag.Box.left(), y - tag.Box.top()});
    return tag;
}
}  // namespace

TEST_F(MarkerKeys, TheTwoMarkersDifferWithoutColourOnScreenInPicturesAndInTheReport) {
    FFrame->SetMarkers(Chart(), 10, 20);
    Chart()->Plot()->replot();
    QApplication::processEvents();
    const auto yellow = [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() < 90; };
    const auto lime = [](QColor c) { return c.red() < 90 && c.green() > 200 && c.blue() < 90; };
    // The screen, the saved bitmap (also what is printed), the report's sharper picture.
    const std::vector<std::pair<double, QImage>> pictures{
        {1.0, Chart()->grab().toImage()}, {1.0, Chart()->ToImage()}, {2.0, Chart()->RenderImage(2)}};
    for (const auto& [scale, image] : pictures) {
        const QRect plot =
            QRectF(QPointF(Chart()->PlotRect().topLeft()) * scale, QSizeF(Chart()->PlotRect().size()) * scale)
                .toRect();
        const auto column = [&](int index) {
            return int(std::lround(Chart()->BottomAxis().ValueToPixel(index) * scale));
        };
        // Beside the five-pixel line, in the middle of its two-pixel edge.
        const int beside = int(std::floor(3.5 * scale));
        const tEdge first = EdgeBeside(image, plot, column(10) + beside);
        const tEdge second = EdgeBeside(image, plot, column(20) + beside);
        // The first marker's edge is a whole line, the second one's dashes.
        EXPECT_GT(first.DarkShare, 0.95) << scale;
        EXPECT_LE(first.Turns, 1) << scale;
        EXPECT_GT(second.DarkShare, 0.3) << scale;
        EXPECT_LT(second.DarkShare, 0.7) << scale;
        EXPECT_GE(second.Turns, 5) << scale;

        // Each line carries its number in a tag at the top: both tags show, apart, with different
        // dark marks on them.
        const int lineWidth = int(std::lround(Chart()->Series(0)->LineWidth() * scale));
        const tTag one = TagAt(image, plot, column(10), lineWidth, yellow);
        const tTag two = TagAt(image, plot, column(20), lineWidth, lime);
        ASSERT_FALSE(one.Box.isEmpty()) << scale;
        ASSERT_FALSE(two.Box.isEmpty()) << scale;
        EXPECT_FALSE(one.Box.intersects(two.Box.translated(one.Box.left() - two.Box.left(), 0))) << scale;
        EXPECT_GE(one.Dark.size(), 3) << scale;
        EXPECT_GE(two.Dark.size(), 3) << scale;
        EXPECT_GE((one.Dark - two.Dark).size() + (two.Dark - one.Dark).size(), 6) << scale;
    }
}
