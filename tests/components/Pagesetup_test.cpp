// SPDX-License-Identifier: GPL-3.0-or-later
// The page setup the print, preview and PDF paths share: A4 with 25 mm margins from a fresh profile,
// what the user chose afterwards, also after a restart; measured on a printed PDF.
#include "components/Pagesetup.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "components/Chart.h"
#include "tests/support/Pdf.h"

using namespace rovelin_test;

namespace {

void ExpectSameLayout(const QPageLayout& a, const QPageLayout& b) {
    EXPECT_EQ(a.pageSize().id(), b.pageSize().id());
    EXPECT_EQ(a.orientation(), b.orientation());
    const QSizeF sa = a.pageSize().size(QPageSize::Millimeter), sb = b.pageSize().size(QPageSize::Millimeter);
    EXPECT_NEAR(sa.width(), sb.width(), 0.01);
    EXPECT_NEAR(sa.height(), sb.height(), 0.01);
    const QMarginsF ma = a.margins(QPageLayout::Millimeter), mb = b.margins(QPageLayout::Millimeter);
    EXPECT_NEAR(ma.left(), mb.left(), 0.01);
    EXPECT_NEAR(ma.top(), mb.top(), 0.01);
    EXPECT_NEAR(ma.right(), mb.right(), 0.01);
    EXPECT_NEAR(ma.bottom(), mb.bottom(), 0.01);
}

}  // namespace

TEST(PageSetup, AFreshProfileGetsA4WithTwentyFiveMillimetreMargins) {
    QTemporaryDir dir;
    const tPageSetupStore store(dir.filePath(QStringLiteral("rovelin/rovelin.conf")));
    const QPageLayout layout = store.Load();
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A4);
    EXPECT_EQ(layout.orientation(), QPageLayout::Portrait);
    ExpectSameLayout(layout, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(25, 25, 25, 25), QPageLayout::Millimeter));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("rovelin/rovelin.conf"))))
        << "reading writes nothing";
}

TEST(PageSetup, WhatTheUserChoseIsKeptForTheNextStart) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rovelin/rovelin.conf"));
    const QPageLayout letter(QPageSize(QPageSize::Letter), QPageLayout::Landscape, QMarginsF(15, 20, 15, 20),
                             QPageLayout::Millimeter);
    tPageSetupStore(path).Store(letter);
    ExpectSameLayout(tPageSetupStore(path).Load(), letter);

    // A paper of its own size stays that size; margins given in another unit come back in millimetres.
    const QPageLayout custom(QPageSize(QSizeF(150, 200), QPageSize::Millimeter), QPageLayout::Portrait,
                             QMarginsF(0.5, 1, 0.5, 1), QPageLayout::Inch);
    tPageSetupStore(path).Store(custom);
    const QPageLayout back = tPageSetupStore(path).Load();
    EXPECT_EQ(back.pageSize().id(), QPageSize::Custom);
    EXPECT_NEAR(back.pageSize().size(QPageSize::Millimeter).width(), 150, 0.01);
    EXPECT_NEAR(back.margins(QPageLayout::Millimeter).left(), 12.7, 0.01);
    EXPECT_NEAR(back.margins(QPageLayout::Millimeter).top(), 25.4, 0.01);
}

TEST(PageSetup, ADamagedOrHandEditedFileGivesTheDefault) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rovelin.conf"));
    const auto write = [&](const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    const QByteArray valid =
        "[page]\npaper_width_mm=210\npaper_height_mm=297\npaper=A4\norientation=landscape\n"
        "margin_left_mm=10\nmargin_top_mm=10\nmargin_right_mm=10\nmargin_bottom_mm=10\n";
    write(valid);
    EXPECT_EQ(tPageSetupStore(path).Load().orientation(), QPageLayout::Landscape);
    for (const QByteArray& damage :
         {QByteArray(valid).replace("margin_left_mm=10", "margin_left_mm=-3"),
          QByteArray(valid).replace("margin_left_mm=10", "margin_left_mm=290"),
          QByteArray(valid).replace("paper_width_mm=210", "paper_width_mm=wide"),
          QByteArray(valid).replace("paper_height_mm=297", "paper_height_mm=99999"),
          QByteArray(valid).replace("orientation=landscape\n", ""), QByteArray("\x01\x02garbage")}) {
        write(damage);
        const QPageLayout layout = tPageSetupStore(path).Load();
        EXPECT_EQ(layout.orientation(), QPageLayout::Portrait) << damage.toStdString();
        EXPECT_NEAR(layout.margins(QPageLayout::Millimeter).left(), 25, 0.01) << damage.toStdString();
    }
}

TEST(PageSetup, AChartPrintedFromAFreshProfileKeepsTwentyFiveMillimetresOfPaperAround) {
    if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm) not installed";
    QTemporaryDir dir;
    TChart chart;
    chart.resize(900, 300);  // a wide window: the page must not follow it
    chart.BottomAxis().SetRange(0, 100);
    chart.LeftAxis().SetRange(0, 50);
    chart.BottomAxis().SetTitle(QStringLiteral("Время, с"));
    TChartSeries* series = chart.AddSeries(QStringLiteral("s"), Qt::red);
    for (int x = 0; x <= 100; ++x) series->AddXY(x, x % 50, QString(), Qt::red);
    const tPageSetupStore store(dir.filePath(QStringLiteral("rovelin.conf")));
    for (const auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
        SCOPED_TRACE(orientation == QPageLayout::Portrait ? "portrait" : "landscape");
        QPageLayout layout = store.Load();
        layout.setOrientation(orientation);
        const QString pdf = dir.filePath(QStringLiteral("chart%1.pdf").arg(int(orientation)));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        ApplyPageLayout(printer, layout);
        TChart::tPrintTexts texts;
        texts.Title = QStringLiteral("Тепло ладони");
        texts.Runs = QStringList{QStringLiteral("Опыт 1 — 08.12.2026 10:15:30 (красный)")};
        chart.Print(printer, texts);

        const tPdfPage page = PdfText(pdf);
        EXPECT_EQ(page.Size.width() > page.Size.height(), orientation == QPageLayout::Landscape);
        EXPECT_EQ(page.Find(QStringLiteral("Опыт")).size(), 1u);
        EXPECT_GE(SmallestInkMarginMm(pdf), 24);
    }
}
