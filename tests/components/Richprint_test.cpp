// SPDX-License-Identifier: GPL-3.0-or-later
// Descriptions and reports on paper, measured on the PDF: the page setup's margins hold, text wraps,
// a wide picture is scaled into the printable area and the document runs on over pages.
#include <gtest/gtest.h>

#include <QPageLayout>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <memory>

#include "components/Pagesetup.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "tests/support/Pdf.h"
#include "tests/support/Wait.h"

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

// ---- a chart put into a report ----

namespace {

// A report as the scenarios ship it: a centred, bold, blue 18-pt title, body text at 13 pt.
const QByteArray kReport =
    "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fswiss\\fcharset204 Tahoma;}}"
    "{\\colortbl;\\red0\\green0\\blue0;\\red31\\green78\\blue121;}\\pard\\f0\\fs26"
    "\\pard\\qc\\b\\cf2\\fs36 Report title\\par\\pard\\b0\\cf1\\fs26"
    "\\pard Name: ______________ Class: ______\\par"
    "\\pard What I wanted to find out\\par"
    "\\pard ____________________________________________\\par}";

struct PictureInReport : DocumentOnPaper {
    void SetUp() override {
        DocumentOnPaper::SetUp();
        auto document = std::make_unique<QTextDocument>();
        ReadRtf(kReport, *document);
        view.SetDocument(std::move(document));
    }
    // The paragraphs' texts, a picture shown as "[picture]".
    QStringList Paragraphs() const {
        QStringList texts;
        for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
            texts << block.text().replace(QChar::ObjectReplacementCharacter, QStringLiteral("[picture]"));
        return texts;
    }
    QTextBlock BlockWith(const QString& text) const {
        for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
            if (block.text().contains(text)) return block;
        return {};
    }
};

const QString kReadout = QStringLiteral("Pulse=72; Time=12,5\nRun 1 (red): mean 71,8");

}  // namespace

TEST_F(PictureInReport, WithoutThePupilsCaretTheChartGoesAtTheEndInItsOwnParagraphAtBodySize) {
    const QPageLayout page = DefaultPageLayout();
    view.InsertPicture(Picture(1800, 900), kReadout, PrintableWidth(page));
    EXPECT_EQ(Paragraphs(),
              QStringList({"Report title", "Name: ______________ Class: ______", "What I wanted to find out",
                           "____________________________________________", "[picture]",
                           QStringLiteral("Pulse=72; Time=12,5") + QChar::LineSeparator +
                               QStringLiteral("Run 1 (red): mean 71,8")}));
    EXPECT_EQ(view.document()->firstBlock().blockFormat().alignment(), Qt::AlignHCenter) << "title untouched";

    // The read-out looks like the body, not like the title.
    const QTextBlock readout = BlockWith(QStringLiteral("Pulse=72"));
    const QTextCharFormat body = BlockWith(QStringLiteral("Name:")).begin().fragment().charFormat();
    const QTextCharFormat chars = readout.begin().fragment().charFormat();
    EXPECT_EQ(chars.fontPointSize(), 13);
    EXPECT_EQ(chars.fontPointSize(), body.fontPointSize());
    EXPECT_EQ(chars.fontWeight(), QFont::Normal);
    EXPECT_EQ(chars.foreground().color(), body.foreground().color());
    EXPECT_EQ(readout.blockFormat().alignment(), Qt::AlignLeft);

    // The picture: no wider than the view leaves the text (with a scroll bar) nor the page's
    // printable width, in its proportions.
    const QTextBlock pictureBlock = BlockWith(QString(QChar::ObjectReplacementCharacter));
    const QTextImageFormat picture = pictureBlock.begin().fragment().charFormat().toImageFormat();
    ASSERT_TRUE(picture.isValid());
    EXPECT_LE(picture.width(), view.contentsRect().width() - 2 * view.document()->documentMargin() - 10);
    EXPECT_LE(picture.width(), PrintableWidth(page));
    EXPECT_NEAR(picture.width() / picture.height(), 2.0, 0.01);
    EXPECT_EQ(pictureBlock.blockFormat().alignment(), Qt::AlignLeft);
    // Shown lower than the report is long, the view gets a vertical scroll bar, which takes its
    // width from the text: the picture still fits.
    view.resize(500, 250);
    view.show();
    EXPECT_EVENTUALLY(view.verticalScrollBar()->isVisible());
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible()) << "nothing wider than the view";

    // The caret stands after the read-out: the pupil writes on from there.
    EXPECT_EQ(view.textCursor().block(), readout);
    EXPECT_TRUE(view.textCursor().atBlockEnd());
    view.document()->undo();
    EXPECT_EQ(Paragraphs().size(), 4) << "one undo step takes it all back";
}

TEST_F(PictureInReport, AtThePupilsCaretAHeadingIsSplitAndKeepsItsLook) {
    EXPECT_FALSE(view.CaretPlaced());
    QTextCursor cursor(view.document());
    cursor.setPosition(QStringLiteral("Report").size());
    view.setTextCursor(cursor);
    QTest::keyClick(&view, Qt::Key_Right);  // the pupil moves the caret: "Report |title"
    EXPECT_TRUE(view.CaretPlaced());
    view.InsertPicture(Picture(400, 200), kReadout);
    const QStringList paragraphs = Paragraphs();
    ASSERT_GE(paragraphs.size(), 5);
    EXPECT_EQ(paragraphs.mid(0, 4),
              QStringList({"Report ", "[picture]",
                           QStringLiteral("Pulse=72; Time=12,5") + QChar::LineSeparator +
                               QStringLiteral("Run 1 (red): mean 71,8"),
                           "title"}));
    for (const QString& part : {QStringLiteral("Report "), QStringLiteral("title")}) {
        const QTextBlock block = BlockWith(part);
        EXPECT_EQ(block.blockFormat().alignment(), Qt::AlignHCenter) << part.toStdString();
        EXPECT_EQ(block.begin().fragment().charFormat().fontPointSize(), 18) << part.toStdString();
    }
    const QTextBlock readout = BlockWith(QStringLiteral("Pulse=72"));
    EXPECT_EQ(readout.begin().fragment().charFormat().fontPointSize(), 13);
    EXPECT_EQ(readout.blockFormat().alignment(), Qt::AlignLeft);
    // A small picture keeps its size.
    const QTextImageFormat picture =
        BlockWith(QString(QChar::ObjectReplacementCharacter)).begin().fragment().charFormat().toImageFormat();
    EXPECT_EQ(picture.width(), 400);

    // A new document: the caret is the program's again until the pupil places it.
    auto document = std::make_unique<QTextDocument>();
    ReadRtf(kReport, *document);
    view.SetDocument(std::move(document));
    EXPECT_FALSE(view.CaretPlaced());
}

TEST_F(PictureInReport, OnPaperTheReadoutIsBodySizedAndTheChartStaysInsideTheMargins) {
    view.InsertPicture(Picture(1800, 900), kReadout, PrintableWidth(DefaultPageLayout()));
    for (const auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
        SCOPED_TRACE(orientation == QPageLayout::Portrait ? "portrait" : "landscape");
        const QString pdf = Print(25, orientation);
        const tPdfPage page = PdfText(pdf);
        const auto readout = page.Find(QStringLiteral("Pulse=72;"));
        const auto body = page.Find(QStringLiteral("Name:"));
        const auto title = page.Find(QStringLiteral("title"));
        ASSERT_EQ(readout.size(), 1u);
        ASSERT_EQ(body.size(), 1u);
        ASSERT_EQ(title.size(), 1u);
        EXPECT_NEAR(readout[0].Box.height(), body[0].Box.height(), 0.5);
        EXPECT_GT(title[0].Box.height(), body[0].Box.height() * 1.2);
        // 13 pt: about 15 pt of box in any font, nothing like a hair-thin line.
        EXPECT_GT(readout[0].Box.height(), 11);

        EXPECT_GE(SmallestInkMarginMm(pdf), 24);
    }
}
