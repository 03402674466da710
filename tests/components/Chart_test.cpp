// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/Chart.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "foundation/Exceptions.h"

namespace {

struct ChartTest : ::testing::Test {
    ChartTest() {
        chart.resize(600, 400);
        chart.BottomAxis().SetRange(0, 100);
        chart.LeftAxis().SetRange(0, 50);
    }
    TChart chart;
};

}  // namespace

// ---- Series ----

TEST_F(ChartTest, SeriesKeepPointsLabelsAndOrder) {
    TChartSeries* red = chart.AddSeries("Series1", Qt::red);
    TChartSeries* blue = chart.AddSeries("Series2", Qt::blue);
    ASSERT_EQ(chart.SeriesCount(), 2);
    EXPECT_EQ(chart.Series(1), blue);
    EXPECT_EQ(chart.Series(2), nullptr);
    EXPECT_EQ(chart.Series(-1), nullptr);
    EXPECT_EQ(red->LineWidth(), 5);
    EXPECT_EQ(chart.Plot()->plottable(0)->pen().width(), 5);

    red->AddXY(0, 1, "", red->Color());
    red->AddXY(0.5, 2, "кипение", red->Color());
    red->AddXY(1, 3, "", red->Color());
    EXPECT_EQ(red->Count(), 3);
    EXPECT_EQ(red->X(1), 0.5);
    EXPECT_EQ(red->Y(2), 3);
    EXPECT_EQ(red->Label(0), QString());
    EXPECT_EQ(red->Label(1), QString("кипение"));
    EXPECT_EQ(red->X(7), 0) << "out of range reads are harmless";
    // Only the labelled point got a text item.
    EXPECT_EQ(chart.Plot()->itemCount(), 1);

    red->Clear();
    EXPECT_EQ(red->Count(), 0);
    EXPECT_EQ(red->Label(1), QString());
    EXPECT_EQ(chart.Plot()->itemCount(), 0);
}

TEST_F(ChartTest, RemoveSeriesDropsGraphAndLabels) {
    chart.AddSeries("a", Qt::red)->AddXY(1, 1, "x", Qt::red);
    chart.AddSeries("b", Qt::blue);
    chart.RemoveSeries(0);
    EXPECT_EQ(chart.SeriesCount(), 1);
    EXPECT_EQ(chart.Series(0)->Name(), "b");
    EXPECT_EQ(chart.Plot()->plottableCount(), 1);
    EXPECT_EQ(chart.Plot()->itemCount(), 0);
    chart.RemoveSeries(5);  // ignored
    EXPECT_EQ(chart.SeriesCount(), 1);
}

// ---- Axes ----

TEST_F(ChartTest, AxisRangeStepTitleAndConversion) {
    TChartAxis& x = chart.BottomAxis();
    x.SetRange(10, 110);
    x.SetIncrement(20);
    x.SetTitle("Время, с");
    EXPECT_EQ(x.Minimum(), 10);
    EXPECT_EQ(x.Maximum(), 110);
    EXPECT_EQ(x.Increment(), 20);
    EXPECT_EQ(x.Title(), QString("Время, с"));
    EXPECT_TRUE(chart.Plot()->xAxis->labelFont().bold());
    EXPECT_EQ(chart.Plot()->xAxis->labelFont().pixelSize(), 20);
    EXPECT_FALSE(chart.Plot()->xAxis2->visible());
    EXPECT_FALSE(chart.Plot()->legend->visible());

    chart.Plot()->replot();
    const QRect plot = chart.PlotRect();
    EXPECT_NEAR(x.ValueToPixel(10), plot.left(), 1);
    EXPECT_NEAR(x.ValueToPixel(110), plot.right(), 1);
    EXPECT_NEAR(x.PixelToValue(x.ValueToPixel(42.5)), 42.5, 1e-9);
    EXPECT_NEAR(chart.LeftAxis().ValueToPixel(0), plot.bottom(), 1);
}

TEST_F(ChartTest, FixedStepGivesExactLabels) {
    chart.BottomAxis().SetRange(0, 100);
    chart.BottomAxis().SetIncrement(25);
    QVector<double> ticks;
    QVector<QString> labels;
    chart.Plot()->xAxis->ticker()->generate(chart.Plot()->xAxis->range(), QLocale::c(), 'g', 6, ticks,
                                            nullptr, &labels);
    EXPECT_EQ(ticks, (QVector<double>{0, 25, 50, 75, 100}));
}

TEST_F(ChartTest, TinyStepOnWideRangeDoesNotFloodTheAxis) {
    chart.BottomAxis().SetIncrement(0.001);
    chart.BottomAxis().SetRange(0, 1e9);
    QVector<double> ticks;
    chart.Plot()->xAxis->ticker()->generate(chart.Plot()->xAxis->range(), QLocale::c(), 'g', 6, ticks,
                                            nullptr, nullptr);
    EXPECT_LT(ticks.size(), 1000);
}

TEST_F(ChartTest, InvalidRangeKeepsThePreviousOne) {
    chart.LeftAxis().SetRange(5, 5);
    EXPECT_EQ(chart.LeftAxis().Minimum(), 0);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 50);
}

// ---- Interaction ----

TEST_F(ChartTest, PanningAndZoomingPerDirection) {
    chart.SetPanning(false, true);
    chart.SetZooming(false, false);
    EXPECT_TRUE(chart.Plot()->interactions().testFlag(QCP::iRangeDrag));
    EXPECT_EQ(chart.Plot()->axisRect()->rangeDrag(), Qt::Vertical);
    EXPECT_FALSE(chart.Plot()->interactions().testFlag(QCP::iRangeZoom));
    chart.SetPanning(true, true);
    chart.SetZooming(true, true);
    EXPECT_EQ(chart.Plot()->axisRect()->rangeDrag(), Qt::Horizontal | Qt::Vertical);
    EXPECT_EQ(chart.Plot()->axisRect()->rangeZoom(), Qt::Horizontal | Qt::Vertical);
}

TEST_F(ChartTest, MouseReleaseIsReportedWithButtonModifiersAndPosition) {
    chart.show();
    QSignalSpy spy(&chart, &TChart::MouseReleased);
    QTest::mouseRelease(chart.Plot(), Qt::LeftButton, Qt::ControlModifier, QPoint(120, 80));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(spy[0][1].value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
    EXPECT_EQ(spy[0][2].toPoint(), QPoint(120, 80));
}

// ---- Drawing, overlay and export ----

TEST_F(ChartTest, OverlayIsDrawnOnTopOfTheImage) {
    TChartSeries* s = chart.AddSeries("s", Qt::red);
    for (int i = 0; i <= 100; ++i) s->AddXY(i, 25, "", Qt::red);
    int calls = 0;
    chart.SetAfterDraw([&](QPainter& painter) {
        ++calls;
        const QRect plot = chart.PlotRect();
        const int x = qRound(chart.BottomAxis().ValueToPixel(50));
        painter.setPen(QPen(QColor(0, 255, 0), 5));
        painter.drawLine(x, plot.top(), x, plot.bottom());
    });
    const QImage image = chart.ToImage();
    EXPECT_EQ(image.size(), chart.size());
    EXPECT_GE(calls, 1);
    const QRect plot = chart.PlotRect();
    const int x = qRound(chart.BottomAxis().ValueToPixel(50));
    const int yLine = qRound(chart.LeftAxis().ValueToPixel(25));
    EXPECT_EQ(image.pixelColor(x, plot.top() + 10), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(x, yLine), QColor(0, 255, 0)) << "the marker lies over the curve";
    EXPECT_EQ(image.pixelColor(x - 40, yLine), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));

    // On screen the image comes from the screen buffers; the overlay is on it all the same.
    chart.show();
    const QImage shown = chart.ToImage();
    EXPECT_EQ(shown.size(), chart.size());
    EXPECT_EQ(shown.pixelColor(x, yLine), QColor(0, 255, 0));
    EXPECT_EQ(shown.pixelColor(x - 40, yLine), QColor(255, 0, 0));
}

TEST_F(ChartTest, OverlayRunsOnEveryRepaint) {
    chart.show();
    int calls = 0;
    chart.SetAfterDraw([&](QPainter&) { ++calls; });
    chart.Replot();
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 5000));
    const int before = calls;
    chart.Replot();
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls > before; }, 5000));
}

TEST_F(ChartTest, SaveBitmapWritesBmpOfTheOnScreenSize) {
    QTemporaryDir dir;
    const QString path = dir.filePath("chart.bmp");
    chart.AddSeries("s", Qt::red)->AddXY(1, 1, "", Qt::red);
    chart.SaveBitmap(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), QByteArray("BM"));
    file.close();
    QImage image(path, "BMP");
    EXPECT_EQ(image.size(), QSize(600, 400));
}

TEST_F(ChartTest, SaveBitmapFailureRaisesAndKeepsTheOldFile) {
    QTemporaryDir dir;
    EXPECT_THROW(chart.SaveBitmap(dir.filePath("missing/folder/chart.bmp")), tException);

    // A folder we may not write into: the existing file there stays as it was.
    const QString locked = dir.filePath("locked");
    QDir().mkpath(locked);
    const QString path = locked + "/chart.bmp";
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(locked).isWritable()) GTEST_SKIP() << "running with rights that ignore permissions";
    EXPECT_THROW(chart.SaveBitmap(path), tException);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
}

TEST_F(ChartTest, PrintGivesOnePage) {
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("chart.pdf"));
    chart.AddSeries("s", Qt::red)->AddXY(1, 1, "метка", Qt::red);
    chart.Print(printer);
    QFile pdf(dir.filePath("chart.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray data = pdf.readAll();
    EXPECT_TRUE(data.startsWith("%PDF"));
    EXPECT_EQ(data.count("/Type /Page\n") + data.count("/Type /Page\r") + data.count("/Type /Page "), 1);
}
