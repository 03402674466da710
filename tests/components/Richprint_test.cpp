// SPDX-License-Identifier: GPL-3.0-or-later
// Descriptions and reports on paper, measured on the PDF: the page setup's margins hold, text wraps,
// a wide picture is scaled into the printable area and the document runs on over pages.
#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextCursor>

#include "components/Richview.h"
#include "components/Rtf.h"
#include "tests/support/Pdf.h"

using namespace rovelin_test;

namespace {

constexpr double kMmToPt = 72.0 / 25.4;

struct DocumentOnPaper : ::testing::Test {
    void SetUp() override {
        if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm) not installed";
        view.resize(500, 400);
    }
    QString Print(double marginMm, QPageLayout::Orientation orientation = QPageLayout::Portrait) {
        const QString path = dir.filePath(QStringLiteral("doc%1.pdf").arg(++count));
        QPrinter printer(QPrinter::HighResolution);
        SetUpPdf(printer, path, orientation, marginMm);
        view.Print(printer, QStringLiteral("Отчёт"));
        return path;
    }
    static QRectF Printable(const tPdfPage& page, double marginMm) {
        const double m = marginMm * kMmToPt;
        return QRectF(m, m, page.Size.width() - 2 * m, page.Size.height() - 2 * m);
    }
    TRichView view;
    QTemporaryDir dir;
    int count = 0;
};

// A picture of one colour that shows where it landed.
QImage Picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 200));
    return image;
}

int PageCount(const QString& pdf) {
    const QString info = QString::fromUtf8(RunTool(QStringLiteral("pdfinfo"), {pdf}));
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

}  // namespace

TEST_F(DocumentOnPaper, AWidePictureIsScaledIntoThePrintableArea) {
    // As a document read from a file holds it: shown at its full 1600 × 800.
    view.AddLine(QStringLiteral("Наблюдение"));
    QTextCursor cursor(view.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    cursor.insertImage(AddDocumentImage(*view.document(), Picture(1600, 800)));
    view.AddLine(QStringLiteral("Вывод"));
    for (double margin : {25.0, 10.0}) {
        SCOPED_TRACE(margin);
        const QString pdf = Print(margin);
        const tPdfPage page = PdfText(pdf);
        const QRectF printable = Printable(page, margin);
        ASSERT_EQ(page.Find(QStringLiteral("Вывод")).size(), 1u);

        const QImage image = PdfPageImage(pdf, 72);
        const QRect ink = InkExtent(image);
        EXPECT_GE(ink.left(), printable.left() - 1);
        EXPECT_GE(ink.top(), printable.top() - 1);
        EXPECT_LE(ink.right(), printable.right() + 1);
        EXPECT_LE(ink.bottom(), printable.bottom() + 1);
        // The blue picture fills the printable width at its own proportions (2:1).
        QRect blue;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.blue() > 150 && c.red() < 60 && c.green() < 60) blue |= QRect(x, y, 1, 1);
            }
        EXPECT_NEAR(blue.width(), printable.width(), 3);
        EXPECT_NEAR(double(blue.width()) / blue.height(), 2.0, 0.05);
        EXPECT_GT(page.Find(QStringLiteral("Вывод")).front().Box.top(), blue.bottom() - 1.0);
    }
}

TEST_F(DocumentOnPaper, TextWrapsInsideTheMarginsAndRunsOverPages) {
    QString paragraph;
    for (int i = 0; i < 60; ++i) paragraph += QStringLiteral("измерение%1 ").arg(i);
    for (int i = 0; i < 12; ++i) view.AddLine(paragraph);
    // A picture wider and taller than the page in front: the layout must count it as printed.
    QTextCursor cursor(view.document());
    cursor.insertImage(AddDocumentImage(*view.document(), Picture(1600, 1600)));
    const QString pdf = Print(25);
    const int pages = PageCount(pdf);
    EXPECT_GE(pages, 2);
    // pdftotext also lists text that the page clips away; a reader sees only what lies inside
    // the printable area, so a word there must be whole and every word must be there once.
    int printed = 0;
    for (int number = 1; number <= pages; ++number) {
        const tPdfPage page = PdfText(pdf, number);
        const QRectF printable = Printable(page, 25);
        for (const tPdfWord& word : page.Words) {
            if (!word.Box.intersects(printable)) continue;
            EXPECT_TRUE(printable.adjusted(-1, -1, 1, 1).contains(word.Box)) << word.Text.toStdString();
            printed += word.Text.startsWith(QStringLiteral("измерение")) ? 1 : 0;
        }
        const QRect ink = InkExtent(PdfPageImage(pdf, 72, number));
        EXPECT_TRUE(printable.adjusted(-1, -1, 1, 1).contains(QRectF(ink))) << "page " << number;
    }
    EXPECT_EQ(printed, 60 * 12);
}
