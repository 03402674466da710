// SPDX-License-Identifier: GPL-3.0-or-later
// Export of each tab, printing to PDF, pictures into the report.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextDocument>

#include "Apptest.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experimentfr.h"
#include "tests/support/Pdf.h"

namespace {
struct tExporting : ::testing::Test {
    tBoxRecorder boxes;
    tProgramFolder folder;
    QTemporaryDir out;
    std::unique_ptr<tTestMain> w;

    void SetUp() override {
        w = std::make_unique<tTestMain>(folder);
        w->resize(800, 600);
        w->show();
        w->Choose(folder.AddScenario(QStringLiteral("Опыт"), ScenarioLines(QStringLiteral("NO")),
                                     SimpleRtf(QStringLiteral("Description")),
                                     SimpleRtf(QStringLiteral("Report"))));
        ASSERT_NE(w->Frame(), nullptr);
    }
    QString OutPath(const QString& name) const { return out.path() + u'/' + name; }
    void ShowTab(QWidget* page) { w->Frame()->Pages()->setCurrentWidget(page); }
};

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int PdfPages(const QByteArray& pdf) {
    return int(QString::fromLatin1(pdf).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}
}  // namespace

TEST_F(tExporting, ChartTabWritesABitmapWhateverTheExtension) {
    TChart* chart = w->Frame()->Chart();
    w->Frame()->Chart()->show();  // a sensorless scenario hides it; export still draws it
    chart->resize(420, 300);
    w->NextSavePath = OutPath(QStringLiteral("chart.png"));
    w->acFileExportExecute();
    const QByteArray bytes = Read(w->NextSavePath);
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    const QImage image = QImage::fromData(bytes, "BMP");
    EXPECT_EQ(image.size(), chart->size());
}

TEST_F(tExporting, TextTabsWriteRtfThatReadsBack) {
    ShowTab(w->Frame()->DescrPage());
    w->NextSavePath = OutPath(QStringLiteral("descr.bmp"));
    w->acFileExportExecute();
    EXPECT_TRUE(Read(w->NextSavePath).startsWith("{\\rtf"));
    TRichView view;
    view.LoadFromFile(w->NextSavePath);
    EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("Description")));

    ShowTab(w->Frame()->ReportPage());
    w->Frame()->ReportView()->append(QStringLiteral("Вывод ученика"));
    w->NextSavePath = OutPath(QStringLiteral("report.rtf"));
    w->acFileExportExecute();
    view.LoadFromFile(w->NextSavePath);
    EXPECT_TRUE(view.toPlainText().contains(QStringLiteral("Вывод ученика")));
}

TEST_F(tExporting, ExistingFileIsReplacedCancelWritesNothing) {
    ShowTab(w->Frame()->ReportPage());
    const QString path = OutPath(QStringLiteral("old.rtf"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content");
    old.close();
    w->NextSavePath.clear();  // cancelled
    w->acFileExportExecute();
    EXPECT_EQ(Read(path), QByteArray("old content"));
    w->NextSavePath = path;
    w->acFileExportExecute();
    EXPECT_TRUE(Read(path).startsWith("{\\rtf"));
    EXPECT_TRUE(boxes.Seen.empty());
}

TEST_F(tExporting, UnwritableTargetKeepsTheOldFileAndReports) {
    const QString dir = OutPath(QStringLiteral("locked"));
    QDir().mkpath(dir);
    QString path = dir + QStringLiteral("/chart.bmp");
    QString keeper = path;  // the file that must survive
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(dir + QStringLiteral("/probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        // Permissions do not stop this user (root): a folder in the target's place does.
        probe.close();
        probe.remove();
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        path = OutPath(QStringLiteral("folder.bmp"));
        QDir().mkpath(path);
        keeper = path + QStringLiteral("/inside.txt");
        QFile inside(keeper);
        ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
        inside.write("old");
    }
    w->NextSavePath = path;
    w->acFileExport->setEnabled(true);
    w->acFileExport->trigger();  // through the guard, as the user would
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Read(keeper), QByteArray("old"));
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Error);
}

TEST_F(tExporting, PrintsTheChartOnOnePageAndDocumentsWithTheTitle) {
    const QString pdf = OutPath(QStringLiteral("chart.pdf"));
    w->TestPrinter = std::make_unique<QPrinter>();
    w->TestPrinter->setOutputFormat(QPrinter::PdfFormat);
    w->TestPrinter->setOutputFileName(pdf);
    w->Frame()->Chart()->show();
    w->acFilePrintExecute();
    EXPECT_EQ(PdfPages(Read(pdf)), 1);

    ShowTab(w->Frame()->ReportPage());
    const QString report = OutPath(QStringLiteral("report.pdf"));
    w->TestPrinter->setOutputFileName(report);
    w->acFilePrintExecute();
    EXPECT_GE(PdfPages(Read(report)), 1);
    EXPECT_EQ(w->TestPrinter->docName(), QStringLiteral("Опыт"));
    EXPECT_EQ(w->PrintDialogs, 2);
}

TEST_F(tExporting, WithoutAPrinterPrintSaysSoAndNamesThePdfAction) {
    w->HasPrinter = false;
    w->acFilePrint->trigger();  // through the guard, as the user would
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Error);
    const QString text = boxes.Texts().join(u'|');
    EXPECT_TRUE(text.contains(QStringLiteral("не установлен ни один принтер"))) << text.toStdString();
    EXPECT_TRUE(text.contains(w->acFileSavePdf->text())) << text.toStdString();
    EXPECT_EQ(w->PrintDialogs, 0);
}

TEST_F(tExporting, SaveToPdfPrintsTheShownTabWithThePageSetup) {
    if (!rovelin_test::PopplerInstalled()) GTEST_SKIP() << "poppler-utils not installed";
    w->Printer().setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                           QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));
    // A report with a wide picture, as a pupil adds it.
    ShowTab(w->Frame()->ReportPage());
    QImage wide(1600, 800, QImage::Format_RGB32);
    wide.fill(QColor(0, 0, 200));
    w->NextImagePath = OutPath(QStringLiteral("wide.bmp"));
    ASSERT_TRUE(wide.save(w->NextImagePath, "BMP"));
    w->acFileAddImageExecute();
    w->NextSavePath = OutPath(QStringLiteral("report.pdf"));
    w->Execute(w->acFileSavePdf);
    const rovelin_test::tPdfPage page = rovelin_test::PdfText(w->NextSavePath);
    ASSERT_GT(page.Size.width(), page.Size.height()) << "landscape, as the page setup says";
    EXPECT_EQ(page.Find(QStringLiteral("Report")).size(), 1u);
    const double margin = 20 * 72 / 25.4;
    const QRectF printable(margin, margin, page.Size.width() - 2 * margin, page.Size.height() - 2 * margin);
    const QRect ink = rovelin_test::InkExtent(rovelin_test::PdfPageImage(w->NextSavePath, 72));
    EXPECT_GT(ink.height(), 100) << "the picture is on the page";
    EXPECT_TRUE(printable.adjusted(-1, -1, 1, 1).contains(QRectF(ink)));

    // The chart tab goes through the chart's page layout: the scenario's name heads it.
    ShowTab(w->Frame()->ChartPage());
    w->NextSavePath = OutPath(QStringLiteral("chart.pdf"));
    w->Execute(w->acFileSavePdf);
    EXPECT_EQ(rovelin_test::PdfText(w->NextSavePath).Find(QStringLiteral("Опыт")).size(), 1u);
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
}

TEST(Printing, NothingIsPrintedWithoutAScenario) {
    tBoxRecorder boxes;
    tProgramFolder folder;
    QTemporaryDir out;
    tTestMain w(folder);
    w.TestPrinter = std::make_unique<QPrinter>();
    w.TestPrinter->setOutputFormat(QPrinter::PdfFormat);
    w.TestPrinter->setOutputFileName(out.path() + QStringLiteral("/none.pdf"));
    w.Execute(w.acFilePrint);
    EXPECT_EQ(w.PrintDialogs, 1);
    EXPECT_FALSE(QFile::exists(out.path() + QStringLiteral("/none.pdf")));
}

TEST(Printing, PageSetupStartsFromA4WithQuarterInchMargins) {
    tProgramFolder folder;
    tTestMain w(folder);
    w.acFilePageSetupExecute();
    const QPageLayout layout = w.Printer().pageLayout();
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A4);
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    EXPECT_NEAR(margins.left(), 25, 0.01);
    EXPECT_NEAR(margins.top(), 25, 0.01);
    EXPECT_NEAR(margins.right(), 25, 0.01);
    EXPECT_NEAR(margins.bottom(), 25, 0.01);
}

TEST_F(tExporting, PictureGoesToTheReportCaretAndTheClipboardIsLeftAlone) {
    ShowTab(w->Frame()->ReportPage());
    QTextCursor caret = w->Frame()->ReportView()->textCursor();
    caret.movePosition(QTextCursor::End);
    w->Frame()->ReportView()->setTextCursor(caret);
    const int before = w->Frame()->ReportView()->document()->characterCount();
    QGuiApplication::clipboard()->setText(QStringLiteral("ученический текст"));
    w->NextImagePath = QStringLiteral(ROVELIN_TEST_DATA "/pictures/rgb24.bmp");
    w->acFileAddImageExecute();
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
    EXPECT_EQ(w->Frame()->ReportView()->document()->characterCount(), before + 1);
    EXPECT_TRUE(w->Frame()->ReportView()->toHtml().contains(QStringLiteral("<img")));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("ученический текст"));

    // A picture that cannot be decoded changes nothing and is reported.
    w->NextImagePath = QStringLiteral(ROVELIN_TEST_DATA "/pictures/corrupt.jpg");
    w->acFileAddImage->setEnabled(true);
    w->acFileAddImage->trigger();
    EXPECT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(w->Frame()->ReportView()->document()->characterCount(), before + 1);
}
