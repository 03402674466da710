// SPDX-License-Identifier: GPL-3.0-or-later
// The chart on paper, measured on the PDF itself: word boxes from pdftotext, ink from pdftoppm.
#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>

#include "components/Chart.h"
#include "tests/support/Pdf.h"

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
        chart.Print(printer,
                    {QStringLiteral("Остывание воды"), QStringLiteral("Измерение от 08.12.2026 10:15"),
                     QStringLiteral("T=25,0    t=50,0")});
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
