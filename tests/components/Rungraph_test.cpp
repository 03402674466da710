// SPDX-License-Identifier: GPL-3.0-or-later
// The chart's curve against a plain min/max renderer written here: every point is put into its
// pixel column one by one, each column drawn from its smallest to its largest value and joined to
// the next from its last point to the next one's first. The chart must show the same pixels.
#include "components/Rungraph.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QPainter>
#include <cmath>
#include <functional>
#include <vector>

#include "components/Chart.h"
#include "lesson/Run.h"
#include "tests/support/Wait.h"

namespace {

const QColor kCurve(255, 0, 0);

// The plain renderer: looks at every point on every call.
QImage Reference(TChart& chart, const tRun& run, int lineWidth) {
    TChartAxis& xAxis = chart.BottomAxis();
    TChartAxis& yAxis = chart.LeftAxis();
    const QRect rect = chart.PlotRect();
    const int first = rect.left() - 8, last = rect.left() + rect.width() + 8;
    struct tColumn {
        qsizetype First = -1, Last = -1;
        double Lo = 0, Hi = 0;
    };
    std::vector<tColumn> columns(last - first + 1);
    qsizetype before = -1, after = -1;
    for (qsizetype i = 0; i < run.Count() && after < 0; ++i) {
        const double px = xAxis.ValueToPixel(run.X(i));
        if (px < first) {
            before = i;
        } else if (px >= last + 1) {
            after = i;
        } else {
            tColumn& c = columns[static_cast<std::size_t>(std::floor(px) - first)];
            const double y = run.Y(i);
            if (c.First < 0) c.Lo = c.Hi = y, c.First = i;
            c.Last = i;
            c.Lo = std::min(c.Lo, y);
            c.Hi = std::max(c.Hi, y);
        }
    }
    auto point = [&](qsizetype i) {
        return QPointF(xAxis.ValueToPixel(run.X(i)), yAxis.ValueToPixel(run.Y(i)));
    };
    QVector<QLineF> lines;
    bool havePrevious = before >= 0;
    QPointF previous = havePrevious ? point(before) : QPointF();
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const tColumn& c = columns[k];
        if (c.First < 0) continue;
        QPointF in, out;
        if (c.First == c.Last) {
            in = out = point(c.First);
        } else {
            const double cx = first + static_cast<double>(k) + 0.5;
            in = QPointF(cx, yAxis.ValueToPixel(run.Y(c.First)));
            out = QPointF(cx, yAxis.ValueToPixel(run.Y(c.Last)));
            lines.append(QLineF(cx, yAxis.ValueToPixel(c.Lo), cx, yAxis.ValueToPixel(c.Hi)));
        }
        if (havePrevious) lines.append(QLineF(previous, in));
        previous = out;
        havePrevious = true;
    }
    if (after >= 0 && havePrevious) lines.append(QLineF(previous, point(after)));

    QImage image(chart.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setClipRect(rect.translated(0, -1));  // QCustomPlot clips layers one pixel up
    painter.setPen(QPen(kCurve, lineWidth));
    painter.drawLines(lines);
    return image;
}

// Pixels of the curve's colour inside the plot (grid and axes have other colours).
int CountMismatches(const QImage& a, const QImage& b, const QRect& plot, QString* where = nullptr) {
    int mismatches = 0;
    for (int y = plot.top() - 1; y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x) {
            const bool ina = a.pixelColor(x, y) == kCurve, inb = b.pixelColor(x, y) == kCurve;
            if (ina != inb) {
                if (mismatches == 0 && where) *where = QString("first at %1,%2").arg(x).arg(y);
                ++mismatches;
            }
        }
    return mismatches;
}

int CurvePixels(const QImage& image, const QRect& plot) {
    int count = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x) count += image.pixelColor(x, y) == kCurve;
    return count;
}

using tShape = std::function<double(qsizetype i, qsizetype n)>;

struct tCase {
    const char* Name;
    tShape Shape;
};

const tCase kShapes[] = {
    {"random walk",
     [](qsizetype i, qsizetype) {
         // A deterministic walk: each step comes from a hash of the index.
         static double walk = 0;
         if (i == 0) walk = 0;
         quint64 h = quint64(i + 1) * 0x9E3779B97F4A7C15ull;
         h ^= h >> 29;
         walk += (double(h % 1000) / 1000.0 - 0.4995) * 0.02;
         return walk;
     }},
    {"steps",
     [](qsizetype i, qsizetype n) { return double((i * 7 / std::max<qsizetype>(n, 1)) % 3) * 5 - 5; }},
    {"spike", [](qsizetype i, qsizetype n) { return i == n / 3 + 1 ? 9.0 : std::sin(i * 0.01) * 0.5; }},
    {"constant", [](qsizetype, qsizetype) { return 2.5; }},
};

struct tChartOfRun {
    tChartOfRun(int width, qsizetype points, const tShape& shape, double step = 0.01) : run(step) {
        chart.resize(width, 400);
        chart.show();
        series = chart.AddSeries("s", kCurve);
        // Axis lines and ticks are drawn over the curve's border pixels: left out here.
        for (QCPAxis* axis : {chart.Plot()->xAxis, chart.Plot()->yAxis}) {
            axis->setBasePen(Qt::NoPen);
            axis->setTickPen(Qt::NoPen);
            axis->setSubTickPen(Qt::NoPen);
        }
        series->SetRun(&run);
        for (qsizetype i = 0; i < points; ++i) run.Append(shape(i, points));
        chart.BottomAxis().SetRange(0, std::max<double>(points, 2) * step);
        chart.LeftAxis().SetRange(-10, 10);
    }
    QImage Image() { return chart.ToImage(); }
    tRunGraph* Graph() { return static_cast<tRunGraph*>(chart.Plot()->plottable(0)); }
    tRun run;
    TChart chart;
    TChartSeries* series;
};

void ExpectSameAsReference(tChartOfRun& c, const std::string& what) {
    const QImage shown = c.Image();
    const QImage reference = Reference(c.chart, c.run, c.series->LineWidth());
    QString where;
    EXPECT_EQ(CountMismatches(shown, reference, c.chart.PlotRect(), &where), 0)
        << what << " " << where.toStdString();
    EXPECT_GT(CurvePixels(shown, c.chart.PlotRect()), 0) << what;
}

}  // namespace

// ---- the same pixels as the plain renderer ----

TEST(tRunGraphImage, ShapesAtEveryLengthAndWidthMatchThePlainRenderer) {
    for (const tCase& shape : kShapes)
        for (qsizetype points :
             {qsizetype(1'000), qsizetype(10'000), qsizetype(100'000), qsizetype(1'000'000)})
            for (int width : {300, 1000}) {
                tChartOfRun c(width, points, shape.Shape);
                ExpectSameAsReference(c, std::string(shape.Name) + " " + std::to_string(points) +
                                             " points, " + std::to_string(width) + " px");
            }
}

TEST(tRunGraphImage, ASingleSpikeAmongTenMillionPointsShowsAtFullHeight) {
    const qsizetype n = 10'000'000, spike = 6'543'210;
    tChartOfRun c(
        1000, n, [&](qsizetype i, qsizetype) { return i == spike ? 8.0 : 0.0; }, 0.001);
    ExpectSameAsReference(c, "spike");
    const QImage image = c.Image();
    const int x = qRound(c.chart.BottomAxis().ValueToPixel(spike * 0.001));
    const int top = qRound(c.chart.LeftAxis().ValueToPixel(8.0));
    EXPECT_EQ(image.pixelColor(x, top + 1), kCurve);
    EXPECT_EQ(image.pixelColor(x, (top + qRound(c.chart.LeftAxis().ValueToPixel(0.0))) / 2), kCurve);
}

TEST(tRunGraphImage, ZoomAndPanAtTheEdgesOfTheData) {
    tChartOfRun c(800, 20'000, kShapes[0].Shape);
    const double end = 20'000 * 0.01;
    const std::pair<double, double> ranges[] = {
        {-50, 100},              // the data starts inside the plot
        {150, 260},              // and ends inside it
        {-10, 0.005},            // only the first point is in view
        {end - 0.02, end + 40},  // the last points
        {12.3441, 12.3459},      // between two points: the line crosses the plot without a point
        {0.5, 0.5 + 1e-9},       // extremely deep zoom
        {-1e6, 1e6},             // far out: every point in a few columns
        {300, 400},              // after the data: nothing
    };
    for (const auto& [lo, hi] : ranges) {
        c.chart.BottomAxis().SetRange(lo, hi);
        const QImage shown = c.Image();
        const QImage reference = Reference(c.chart, c.run, c.series->LineWidth());
        QString where;
        EXPECT_EQ(CountMismatches(shown, reference, c.chart.PlotRect(), &where), 0)
            << lo << ".." << hi << " " << where.toStdString();
    }
}

// ---- live appends ----

TEST(tRunGraphLive, AppendedPointsGiveTheImageOfAFullRecompute) {
    const qsizetype total = 300'000;
    tChartOfRun live(1000, 0, kShapes[0].Shape);
    live.chart.BottomAxis().SetRange(0, total * 0.01);
    tRun whole(0.01);
    for (qsizetype i = 0; i < total; ++i) whole.Append(kShapes[2].Shape(i, total));
    (void)live.Image();
    const int rebuilds = live.Graph()->Rebuilds();
    for (qsizetype from = 0; from < total; from += 37'000) {
        const qsizetype to = std::min(total, from + 37'000);
        for (qsizetype i = from; i < to; ++i) live.run.Append(whole.Y(i));
        const QImage shown = live.Image();
        // Only the new points were looked at, one by one; the columns were not recomputed.
        EXPECT_EQ(live.Graph()->Rebuilds(), rebuilds);
        EXPECT_LE(live.Graph()->PointsScanned(), to);
        const QImage reference = Reference(live.chart, live.run, live.series->LineWidth());
        EXPECT_EQ(CountMismatches(shown, reference, live.chart.PlotRect()), 0) << to;
    }
    // The run grows past the plot: the points beyond it cost nothing.
    const qsizetype scanned = live.Graph()->PointsScanned();
    for (int i = 0; i < 50'000; ++i) live.run.Append(1);
    (void)live.Image();
    EXPECT_LT(live.Graph()->PointsScanned(), scanned + 5'000) << "only the few columns past the border";
    // A range change recomputes the columns from the summaries.
    live.chart.BottomAxis().SetRange(0, live.run.Count() * 0.01);
    (void)live.Image();
    EXPECT_EQ(live.Graph()->Rebuilds(), rebuilds + 1);
    EXPECT_EQ(live.Graph()->PointsScanned(), 0);
}

TEST(tRunGraphLive, ReplotPointsRedrawsTheCurvesAndTheLabelsOfNewPoints) {
    tChartOfRun c(600, 0, kShapes[3].Shape);
    c.chart.BottomAxis().SetRange(0, 10);
    c.chart.Plot()->replot();
    for (int i = 0; i < 500; ++i)
        c.run.Append(i == 250 ? 5 : 2.5, i == 250 ? QStringLiteral("кипение") : QString());
    c.chart.ReplotPoints();
    QApplication::processEvents();
    ASSERT_EQ(c.chart.Plot()->itemCount(), 1);
    EXPECT_EQ(c.chart.Plot()->item(0)->layer(), c.chart.CurvesLayer());
    EXPECT_EQ(c.series->Label(250), QStringLiteral("кипение"));

    // Without new points nothing is repainted; with them the chart is.
    int paints = 0;
    c.chart.SetAfterDraw([&](QPainter&) { ++paints; });
    QApplication::processEvents();
    const int before = paints;
    c.chart.ReplotPoints();
    QApplication::processEvents();
    EXPECT_EQ(paints, before);
    c.run.Append(3);
    c.chart.ReplotPoints();
    ASSERT_EVENTUALLY(paints > before, 5000);

    // An edited run (another revision) loses the labels that went with the old points.
    c.run.SetLabel(250, QString());
    c.chart.Replot();
    QApplication::processEvents();
    EXPECT_EQ(c.chart.Plot()->itemCount(), 0);
    ExpectSameAsReference(c, "after edit");
}
