// SPDX-License-Identifier: GPL-3.0-or-later
// The chart on paper, measured on the PDF itself: word boxes from pdftotext, ink from pdftoppm.
#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <vector>

#include "components/Chart.h"
#include "tests/support/Pdf.h"
#include "tests/support/Wait.h"

using namespace rovelin_test;

namespace {

struct ChartOnPaper : ::testing::Test {
    void SetUp() override {
        if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm) not installed";
        chart.resize(500, 260);  // a small window: the page must not inherit its size
        chart.BottomAxis().SetRange(0, 100);
        chart.BottomAxis().SetIncrement(10);
        chart.BottomAxis().SetTitle(QStringLiteral("Время, с"));
        chart.LeftAxis().SetRange(0, 50);
        chart.LeftAxis().SetIncrement(10);
        chart.LeftAxis().SetTitle(QStringLiteral("Температура, °C"));
        TChartSeries* series = chart.AddSeries(QStringLiteral("s"), Qt::red);
        for (int x = 0; x <= 100; ++x)
            series->AddXY(x, 25, x == 50 ? QStringLiteral("кипение") : QString(), Qt::red);
    }
    // Prints to a PDF with the given page setup; returns its path.
    QString Print(QPageLayout::Orientation orientation, double marginMm) {
        const QString path = dir.filePath(QStringLiteral("chart%1.pdf").arg(++count));
        QPrinter printer(QPrinter::HighResolution);
        SetUpPdf(printer, path, orientation, marginMm);
        TChart::tPrintTexts texts;
        texts.Title = QStringLiteral("Остывание воды");
        texts.Subtitle = QStringLiteral("Измерение от 08.12.2026 10:15");
        texts.Footer = QStringLiteral("T=25,0    t=50,0");
        chart.Print(printer, texts);
        return path;
    }
    TChart chart;
    QTemporaryDir dir;
    int count = 0;
};

constexpr double kMmToPt = 72.0 / 25.4;

}  // namespace

TEST_F(ChartOnPaper, LabelsInPointsAndTheDrawingFillsThePrintableWidth) {
    for (const auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
        SCOPED_TRACE(orientation == QPageLayout::Portrait ? "portrait" : "landscape");
        const QString pdf = Print(orientation, 25);
        const tPdfPage page = PdfText(pdf);
        const double margin = 25 * kMmToPt;
        const QRectF printable(margin, margin, page.Size.width() - 2 * margin,
                               page.Size.height() - 2 * margin);
        ASSERT_GT(printable.width(), 0);
        EXPECT_EQ(page.Size.width() > page.Size.height(), orientation == QPageLayout::Landscape);

        // Tick labels at 9–11 pt, axis titles at 11–13 pt, whatever font draws them.
        const double tickRatio = PdfWordHeightPerPoint(chart.font());
        ASSERT_GT(tickRatio, 0.5);
        int ticks = 0;
        for (const QString& label : {QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30"),
                                     QStringLiteral("60"), QStringLiteral("90")})
            for (const tPdfWord& word : page.Find(label)) {
                ++ticks;
                EXPECT_GE(word.Box.height() / tickRatio, 9 - 0.3) << label.toStdString();
                EXPECT_LE(word.Box.height() / tickRatio, 11 + 0.3) << label.toStdString();
            }
        EXPECT_GE(ticks, 5);
        const auto title = page.Find(QStringLiteral("Время,"));
        ASSERT_EQ(title.size(), 1u);
        QFont titleFont(QStringLiteral("Arial"));
        titleFont.setBold(true);
        const double titleRatio = PdfWordHeightPerPoint(titleFont);
        EXPECT_GE(title[0].Box.height() / titleRatio, 11 - 0.3);
        EXPECT_LE(title[0].Box.height() / titleRatio, 13 + 0.3);
        EXPECT_EQ(page.Find(QStringLiteral("Температура,")).size(), 1u) << "the vertical title is there";
        EXPECT_EQ(page.Find(QStringLiteral("кипение")).size(), 1u) << "point labels print";

        // The scenario's name and the run's time above the chart, the read-out below it.
        const auto heading = page.Find(QStringLiteral("Остывание"));
        const auto when = page.Find(QStringLiteral("08.12.2026"));
        const auto readout = page.Find(QStringLiteral("T=25,0"));
        ASSERT_EQ(heading.size(), 1u);
        ASSERT_EQ(when.size(), 1u);
        ASSERT_EQ(readout.size(), 1u);
        EXPECT_LT(heading[0].Box.bottom(), title[0].Box.top());
        EXPECT_LT(when[0].Box.bottom(), page.Find(QStringLiteral("50")).front().Box.top());
        EXPECT_GT(readout[0].Box.top(), title[0].Box.bottom());

        // Ink (one pixel per point) stays inside the printable area and spans its width.
        const QImage image = PdfPageImage(pdf, 72);
        ASSERT_FALSE(image.isNull());
        const QRect ink = InkExtent(image);
        EXPECT_GE(ink.left(), std::floor(printable.left()) - 1);
        EXPECT_GE(ink.top(), std::floor(printable.top()) - 1);
        EXPECT_LE(ink.right(), std::ceil(printable.right()) + 1);
        EXPECT_LE(ink.bottom(), std::ceil(printable.bottom()) + 1);
        EXPECT_GE(ink.width(), 0.8 * printable.width());
    }
}

TEST_F(ChartOnPaper, LinesAreAtLeastHalfAMillimetreAndDrawnAsVectors) {
    const QString pdf = Print(QPageLayout::Portrait, 25);
    // 400 dpi: 0.5 mm is 7.9 pixels. The red curve runs level through the middle of the plot.
    const QImage image = PdfPageImage(pdf, 400);
    ASSERT_FALSE(image.isNull());
    const QRect ink = InkExtent(image);
    const int column = ink.left() + ink.width() * 3 / 4;
    int red = 0, longest = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        const QColor c = image.pixelColor(column, y);
        red = c.red() > 200 && c.green() < 120 && c.blue() < 120 ? red + 1 : 0;
        longest = std::max(longest, red);
    }
    EXPECT_GE(longest, 0.5 / 25.4 * 400);
    // The bottom axis: the longest dark horizontal run of rows across the plot.
    int dark = 0, axis = 0;
    const int probe = ink.left() + ink.width() / 2;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        const QColor c = image.pixelColor(probe, y);
        dark = c.lightness() < 100 ? dark + 1 : 0;
        axis = std::max(axis, dark);
    }
    EXPECT_GE(axis, 0.5 / 25.4 * 400 - 1);

    // No picture inside the PDF: the chart is drawn, not pasted as a bitmap.
    const QByteArray images = RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_EQ(images.count('\n'), 2) << images.toStdString();  // the two header lines only
}

TEST_F(ChartOnPaper, TheScreenChartIsUnchangedAfterPrinting) {
    const QImage before = chart.ToImage();
    Print(QPageLayout::Landscape, 10);
    EXPECT_EQ(chart.ToImage(), before);
}

// ---- the page a pupil hands in: the runs in words, two charts on one time axis ----

namespace {

// The pulse page: the wave (labels up to 1000) over the heart rate (labels up to 120), so their
// left axes want different margins.
struct PulseOnPaper : ::testing::Test {
    void SetUp() override {
        if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm) not installed";
        for (TChart* chart : {&wave, &rate}) {
            chart->BottomAxis().SetRange(0, 30);
            chart->BottomAxis().SetIncrement(5);
            chart->BottomAxis().SetTitle(QStringLiteral("Время, с"));
        }
        wave.resize(700, 300);
        rate.resize(700, 200);
        wave.LeftAxis().SetRange(0, 1000);
        wave.LeftAxis().SetIncrement(200);
        wave.LeftAxis().SetTitle(QStringLiteral("Пульс"));
        rate.LeftAxis().SetRange(0, 120);
        rate.LeftAxis().SetIncrement(20);
        rate.LeftAxis().SetTitle(QStringLiteral("Частота"));
        TChartSeries* w = wave.AddSeries(QStringLiteral("Series1"), Qt::red);
        for (int i = 0; i <= 300; ++i) w->AddXY(i * 0.1, 500 + 400 * std::sin(i * 0.5), QString(), Qt::red);
        TChartSeries* r = rate.AddSeries(QStringLiteral("LineSeries1"), Qt::red);
        for (int i = 1; i < 30; ++i) r->AddXY(i, 70 + i % 5, QString(), Qt::red);
        // On screen a legend names the run; on paper the run line above the charts does.
        wave.SetSeriesCaption(0, QStringLiteral("Опыт 1, 10:15:30"));
        texts.Title = QStringLiteral("Пульс в покое");
        texts.Runs = QStringList{QStringLiteral("Опыт 1 — 08.12.2026 10:15:30 (красный)")};
        texts.Footer = QStringLiteral("Пульс=512    Время=12,3");
        texts.Statistics = QStringLiteral("Опыт 1 (красный): Пульс: среднее 498, наибольшее 900");
    }
    QString Print(QPageLayout::Orientation orientation) {
        const QString path = dir.filePath(QStringLiteral("pulse%1.pdf").arg(++count));
        QPrinter printer(QPrinter::HighResolution);
        SetUpPdf(printer, path, orientation, 25);
        TChart::Print({&wave, &rate}, printer, texts);
        return path;
    }
    TChart wave, rate;
    TChart::tPrintTexts texts;
    QTemporaryDir dir;
    int count = 0;
};

}  // namespace

TEST_F(PulseOnPaper, BothChartsOneAboveTheOtherWithTheirTimeAxesOnOneLeftEdge) {
    for (const auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
        SCOPED_TRACE(orientation == QPageLayout::Portrait ? "portrait" : "landscape");
        const QString pdf = Print(orientation);
        const QImage image = PdfPageImage(pdf, 300);
        ASSERT_FALSE(image.isNull());
        const std::vector<int> edges = PlotLeftEdges(image, 200);  // 17 mm at 300 dpi
        ASSERT_EQ(edges.size(), 2u) << "two plot frames, one above the other";
        EXPECT_LT(std::abs(edges[0] - edges[1]) * 25.4 / 300, 0.5) << edges[0] << " " << edges[1];

        // The texts stand above and below both charts.
        const tPdfPage page = PdfText(pdf);
        const auto heading = page.Find(QStringLiteral("Пульс"));
        const auto rateTitle = page.Find(QStringLiteral("Частота"));
        const auto readout = page.Find(QStringLiteral("Пульс=512"));
        const auto statistics = page.Find(QStringLiteral("наибольшее"));
        ASSERT_FALSE(heading.empty());
        ASSERT_EQ(rateTitle.size(), 1u);
        ASSERT_EQ(readout.size(), 1u);
        ASSERT_EQ(statistics.size(), 1u);
        EXPECT_GT(readout[0].Box.top(), rateTitle[0].Box.bottom());
        EXPECT_GE(statistics[0].Box.top(), readout[0].Box.bottom());
    }
}

TEST_F(PulseOnPaper, TheRunIsNamedInBodyTextAndEveryWordIsBetweenNineAndTwelvePoints) {
    for (const auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
        SCOPED_TRACE(orientation == QPageLayout::Portrait ? "portrait" : "landscape");
        const QString pdf = Print(orientation);
        const tPdfPage page = PdfText(pdf);
        ASSERT_GT(page.Words.size(), 20u);

        // «Опыт 1 — 08.12.2026 10:15:30 (красный)» is there once: the legend stays off the paper.
        const auto run = page.Find(QStringLiteral("Опыт"));
        ASSERT_EQ(run.size(), 2u) << "the run line and the statistics";
        EXPECT_EQ(page.Find(QStringLiteral("08.12.2026")).size(), 1u);
        EXPECT_EQ(page.Find(QStringLiteral("10:15:30")).size(), 1u);
        EXPECT_TRUE(page.Find(QStringLiteral("10:15:30,")).empty()) << "no legend entry";

        // Sizes in points whatever fonts stand in for the ones asked for: a word's box over the box
        // of one point of its font (the plot's font, bold for the headings, bold Arial for the axis
        // titles).
        QFont heading = wave.font();
        heading.setBold(true);
        QFont titles(QStringLiteral("Arial"));
        titles.setBold(true);
        const double ratios[] = {PdfWordHeightPerPoint(wave.font()), PdfWordHeightPerPoint(heading),
                                 PdfWordHeightPerPoint(titles)};
        for (const double ratio : ratios) ASSERT_GT(ratio, 0.5);
        for (const tPdfWord& word : page.Words) {
            // The left axis titles run upwards: their box is as wide as the letters are high.
            const bool upright = word.Box.height() > 2 * word.Box.width() && word.Box.height() > 20;
            const double height = upright ? word.Box.width() : word.Box.height();
            EXPECT_TRUE(
                std::any_of(std::begin(ratios), std::end(ratios),
                            [&](double ratio) { return height / ratio >= 8.7 && height / ratio <= 12.3; }))
                << word.Text.toStdString() << ": " << height << " pt high";
        }

        // Ink keeps the page setup's 25 mm margins (at least 24 mm) on every side.
        EXPECT_GE(SmallestInkMarginMm(pdf), 24);
    }
}

TEST_F(PulseOnPaper, ChartsKeepOneLeftEdgeOnScreenAndExportAsOnePicture) {
    TChart::AlignPlotEdges({&wave, &rate});
    wave.show();
    rate.show();
    EXPECT_EVENTUALLY(wave.PlotRect().left() == rate.PlotRect().left() && wave.PlotRect().width() > 100);
    EXPECT_EQ(wave.PlotRect().right(), rate.PlotRect().right());
    // Wider labels on one chart move both plots.
    const int before = rate.PlotRect().left();
    wave.LeftAxis().SetRange(0, 100000);
    wave.LeftAxis().SetIncrement(20000);
    wave.Replot();
    EXPECT_EVENTUALLY(rate.PlotRect().left() > before && wave.PlotRect().left() == rate.PlotRect().left());

    // The bitmap export: both charts at their screen sizes, the wave on top.
    const QString path = dir.filePath(QStringLiteral("pulse.bmp"));
    TChart::SaveBitmap({&wave, &rate}, path);
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(700, 500));
    EXPECT_EQ(saved.copy(0, 0, 700, 300), wave.ToImage().convertToFormat(saved.format()));
    EXPECT_EQ(saved.copy(0, 300, 700, 200), rate.ToImage().convertToFormat(saved.format()));
}
