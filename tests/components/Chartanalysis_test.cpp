// SPDX-License-Identifier: GPL-3.0-or-later
// What the pupil reads off the curves, measured in the chart's own pictures through its own
// value-to-pixel conversion: fitted lines dashed in their run's colour over their range only,
// tangents solid, areas shaded between two points and under the curve, the prediction grey, drawn
// with the mouse or typed, and all of it on paper too.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QMouseEvent>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cmath>

#include "components/Analysisgraphs.h"
#include "components/Chart.h"
#include "lesson/Run.h"
#include "tests/support/Pdf.h"

using namespace rovelin_test;

namespace {

const QColor kBlue(0, 0, 255);

struct ChartAnalysis : ::testing::Test {
    ChartAnalysis() {
        chart.resize(600, 400);
        chart.BottomAxis().SetRange(0, 100);
        chart.LeftAxis().SetRange(0, 50);
    }
    // The pixel of value (x, y) in an image of the chart.
    QPoint Pixel(double x, double y) {
        return QPoint(int(std::lround(chart.BottomAxis().ValueToPixel(x))),
                      int(std::lround(chart.LeftAxis().ValueToPixel(y))));
    }
    // Whether `colour` lies within `rows` pixels of the point's row in its column.
    static bool ColourNear(const QImage& image, QPoint at, const QColor& colour, int rows = 1) {
        for (int dy = -rows; dy <= rows; ++dy) {
            const QPoint p(at.x(), at.y() + dy);
            if (image.rect().contains(p) && image.pixelColor(p) == colour) return true;
        }
        return false;
    }
    // Share of the columns from x0 to x1 (values) where `f` is drawn in `colour`.
    double Drawn(const QImage& image, const std::function<double(double)>& f, double x0, double x1,
                 const QColor& colour) {
        int hit = 0, all = 0;
        for (int px = Pixel(x0, 0).x(); px <= Pixel(x1, 0).x(); ++px, ++all) {
            const double x = chart.BottomAxis().PixelToValue(px);
            if (ColourNear(image, QPoint(px, Pixel(x, f(x)).y()), colour)) ++hit;
        }
        return all ? double(hit) / all : 0;
    }
    void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, chart.Plot()->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(chart.Plot(), &event);
    }
    TChart chart;
};

double Line(double x) {
    return 10 + 0.3 * x;
}

}  // namespace

TEST_F(ChartAnalysis, AFittedFormulaIsDashedInItsRunsColourOverItsRangeOnly) {
    const int id = chart.AddCurve({Line, 20, 80, kBlue, true, QStringLiteral("Прямая")});
    EXPECT_GT(id, 0);
    const QImage image = chart.ToImage();
    // Dashed: most columns of the range carry the colour, a good part do not.
    const double share = Drawn(image, Line, 20, 80, kBlue);
    EXPECT_GT(share, 0.45);
    EXPECT_LT(share, 0.75);
    // Nothing of it outside its range.
    EXPECT_EQ(Drawn(image, Line, 2, 18, kBlue), 0);
    EXPECT_EQ(Drawn(image, Line, 82, 98, kBlue), 0);
    // The first dash starts at the range's start.
    EXPECT_TRUE(ColourNear(image, Pixel(20.5, Line(20.5)), kBlue));

    // The tooltip's hit test finds it on the line, not beside it.
    EXPECT_EQ(chart.CurveAt(Pixel(50, Line(50)), 6), id);
    EXPECT_EQ(chart.CurveAt(Pixel(50, Line(50) + 5), 6), 0);
    EXPECT_EQ(chart.CurveAt(Pixel(90, Line(90)), 6), 0) << "beyond its range";

    chart.RemoveCurve(id);
    EXPECT_EQ(Drawn(chart.ToImage(), Line, 20, 80, kBlue), 0);
}

TEST_F(ChartAnalysis, ATangentIsSolidAndAFitStaysVisibleOnItsOwnRun) {
    const QColor black(0, 0, 0);
    chart.AddCurve({Line, 30, 70, black, false, QString()});
    EXPECT_GT(Drawn(chart.ToImage(), Line, 30, 70, black), 0.95);
    chart.ClearAnalyses();

    // A run in red along the same line, and its fit dashed in red on top: the white casing of the
    // dashes cuts the run's 5-pixel line, so the dashes show.
    TChartSeries* run = chart.AddSeries(QStringLiteral("run"), Qt::red);
    for (int x = 0; x <= 100; ++x) run->AddXY(x, Line(x), QString(), Qt::red);
    chart.AddCurve({Line, 10, 90, Qt::red, true, QString()});
    const QImage image = chart.ToImage();
    int white = 0, columns = 0;
    for (int px = Pixel(15, 0).x(); px <= Pixel(85, 0).x(); ++px, ++columns) {
        const double x = chart.BottomAxis().PixelToValue(px);
        if (image.pixelColor(px, Pixel(x, Line(x)).y() + 2) == QColor(Qt::white)) ++white;
    }
    EXPECT_GT(white, columns / 5) << "the dashes' edges";
    EXPECT_LT(white, columns * 4 / 5) << "the run's line between the dashes";
}

TEST_F(ChartAnalysis, AnAreaIsShadedUnderTheCurveBetweenItsTwoPoints) {
    tRun run(1);
    for (int i = 0; i <= 100; ++i) run.Append(i >= 40 && i <= 45 ? std::nan("") : 30.0);
    TChartSeries* series = chart.AddSeries(QStringLiteral("run"), Qt::red);
    series->SetRun(&run);
    const int id = chart.AddArea(&run, 60, 20, Qt::red);  // either order
    const QImage image = chart.ToImage();
    const auto shaded = [&](double x, double y) {
        const QColor c = image.pixelColor(Pixel(x, y));
        return c.red() > 200 && c.green() < 230 && c.green() > 100 && c.green() == c.blue();
    };
    EXPECT_TRUE(shaded(30, 15));
    EXPECT_TRUE(shaded(42, 15)) << "a gap without values is bridged, as the area's sum does";
    EXPECT_TRUE(shaded(58, 1));
    EXPECT_FALSE(shaded(30, 40)) << "above the curve";
    EXPECT_FALSE(shaded(15, 15)) << "before the first point";
    EXPECT_FALSE(shaded(65, 15)) << "after the second";
    // Its edges lie at the two points' pixels.
    int left = -1, right = -1;
    for (int px = 0; px < image.width(); ++px) {
        const QColor c = image.pixelColor(px, Pixel(0, 15).y());
        if (c.red() > 200 && c.green() < 230 && c.green() > 100) {
            if (left < 0) left = px;
            right = px;
        }
    }
    EXPECT_NEAR(left, Pixel(20, 0).x(), 1);
    EXPECT_NEAR(right, Pixel(60, 0).x(), 1);

    chart.RemoveArea(id);
    EXPECT_FALSE([&] {
        const QImage after = chart.ToImage();
        const QColor c = after.pixelColor(Pixel(30, 15));
        return c != QColor(Qt::white);
    }());
}

TEST_F(ChartAnalysis, AnAreaOverAMillionPointsKeepsToItsPixelColumns) {
    tRun run(0.0001);
    run.Reserve(1000000);
    for (int i = 0; i < 1000000; ++i) run.Append(20 + 10 * std::sin(i * 0.0001));
    chart.AddSeries(QStringLiteral("run"), Qt::blue)->SetRun(&run);
    const int id = chart.AddArea(&run, 100000, 900000, kBlue);
    // A vertex pair per pixel column, not a vertex per point.
    tAreaGraph* area = nullptr;
    for (int i = 0; i < chart.Plot()->plottableCount(); ++i)
        if (auto* each = qobject_cast<tAreaGraph*>(chart.Plot()->plottable(i))) area = each;
    ASSERT_NE(area, nullptr);
    const QImage image = chart.ToImage();
    EXPECT_LE(area->Outline().size(), 2 * chart.PlotRect().width() + 8);
    EXPECT_NE(image.pixelColor(Pixel(50, 5)), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(Pixel(50, 45)), QColor(Qt::white)) << "above the curve, whose peak is 30";
    chart.RemoveArea(id);
}

TEST_F(ChartAnalysis, APredictionTypedOrDrawnWithTheMouseIsAGreyLine) {
    const QColor grey(128, 128, 128);
    chart.SetPrediction({{100, 10}, {0, 5}, {50, 30}});  // sorted by time
    ASSERT_EQ(chart.Prediction().size(), 3);
    EXPECT_EQ(chart.Prediction().front(), QPointF(0, 5));
    const auto typed = [](double x) { return x <= 50 ? 5 + x / 2 : 30 - (x - 50) * 0.4; };
    EXPECT_GT(Drawn(chart.ToImage(), typed, 2, 98, grey), 0.9);

    // Drawn with the mouse: press, drag right, back a little, release.
    QSignalSpy drawn(&chart, &TChart::PredictionDrawn);
    QSignalSpy released(&chart, &TChart::MouseReleased);
    chart.SetPredictionDrawing(true);
    Mouse(QEvent::MouseButtonPress, Pixel(10, 10), Qt::LeftButton, Qt::LeftButton);
    for (int x = 12; x <= 70; x += 2)
        Mouse(QEvent::MouseMove, Pixel(x, 10 + x / 2.0), Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, Pixel(60, 40), Qt::NoButton, Qt::LeftButton);  // back: what lay ahead goes
    Mouse(QEvent::MouseButtonRelease, Pixel(60, 40), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(drawn.count(), 1);
    EXPECT_EQ(released.count(), 0) << "a stroke is no click for the markers";
    EXPECT_EQ(chart.BottomAxis().Minimum(), 0) << "the chart did not pan";
    const QVector<QPointF> points = chart.Prediction();
    ASSERT_GE(points.size(), 20);
    EXPECT_NEAR(points.front().x(), 10, 0.3);
    EXPECT_NEAR(points.front().y(), 10, 0.3);
    EXPECT_NEAR(points.back().x(), 60, 0.3);
    EXPECT_NEAR(points.back().y(), 40, 0.3);
    for (int i = 1; i < points.size(); ++i) EXPECT_LT(points[i - 1].x(), points[i].x());
    EXPECT_TRUE(ColourNear(chart.ToImage(), Pixel(30, 25), grey, 2));

    // Drawing ends: clicks are the markers' again and panning is back.
    chart.SetPredictionDrawing(false);
    Mouse(QEvent::MouseButtonPress, Pixel(80, 10), Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, Pixel(80, 10), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(released.count(), 1);
    EXPECT_EQ(chart.Prediction().size(), points.size());
    chart.SetPrediction({});
    EXPECT_TRUE(chart.Prediction().isEmpty());
}

TEST_F(ChartAnalysis, EverythingIsInTheReportPictureAndOnPaper) {
    if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm) not installed";
    const QColor grey(128, 128, 128);
    tRun run(1);
    for (int i = 0; i <= 100; ++i) run.Append(25);
    chart.AddSeries(QStringLiteral("run"), Qt::red)->SetRun(&run);
    const auto count = [](const QImage& image, auto match) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) n += match(image.pixelColor(x, y)) ? 1 : 0;
        return n;
    };
    const auto blue = [](const QColor& c) { return c.blue() > 200 && c.red() < 60 && c.green() < 60; };
    const auto greyish = [](const QColor& c) {
        return c.red() > 100 && c.red() < 160 && std::abs(c.red() - c.blue()) < 8 &&
               std::abs(c.red() - c.green()) < 8;
    };
    const auto shade = [](const QColor& c) {
        return c.red() > 200 && c.green() > 120 && c.green() < 225 && c.blue() > 120 && c.blue() < 225;
    };

    QTemporaryDir dir;
    const auto print = [&](const QString& name) {
        const QString path = dir.filePath(name);
        QPrinter printer(QPrinter::HighResolution);
        SetUpPdf(printer, path, QPageLayout::Landscape, 15);
        chart.Print(printer);
        return PdfPageImage(path, 100);
    };
    const QImage plainPage = print(QStringLiteral("plain.pdf"));
    const QImage plainPicture = chart.RenderImage(2);

    chart.AddCurve({Line, 20, 80, kBlue, true, QString()});
    chart.AddArea(&run, 30, 60, Qt::red);
    chart.SetPrediction({{0, 40}, {100, 45}});
    for (const auto& [picture, plain, what] :
         {std::tuple{chart.RenderImage(2), plainPicture, "report picture"},
          std::tuple{print(QStringLiteral("analyses.pdf")), plainPage, "page"}}) {
        SCOPED_TRACE(what);
        EXPECT_GT(count(picture, blue), 50 + count(plain, blue));
        EXPECT_GT(count(picture, greyish), 50 + count(plain, greyish));
        EXPECT_GT(count(picture, shade), 500 + count(plain, shade));
    }
}
