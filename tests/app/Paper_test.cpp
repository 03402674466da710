// SPDX-License-Identifier: GPL-3.0-or-later
// What a pupil gets on paper and in files from the window's own actions, starting with a fresh
// profile: the page setup of every print path, the printed chart and its texts, the pulse page with
// both charts, the chart in the report, the PDF names and the question before one replaces a file,
// the status line after every file written, a reopened lesson's read-out and a cancelled document.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "Apptest.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "sim/Simports.h"
#include "tests/support/Pdf.h"
#include "tests/support/Userfolders.h"
#include "tests/support/Wait.h"

using namespace rovelin_test;

namespace {
struct tPaperWindow : ::testing::Test {
    tUserFolders profile;  // a fresh HOME: no page setup, no school settings
    tSimulatorOn sim;
    tBoxRecorder boxes;
    tProgramFolder folder;
    QTemporaryDir out;

    QString Out(const QString& name) const { return out.filePath(name); }
    // A window showing a measured run of a simulated thermometer with both markers set.
    std::unique_ptr<tTestMain> MeasuredWindow() {
        auto w = MeasuredT100Window(folder, 6);
        if (w->Device()) w->Frame()->SetMarkers(w->Frame()->Chart(), 1, 4);
        return w;
    }
    void ShowTab(tTestMain& w, int tab) {
        QWidget* pages[] = {w.Frame()->ChartPage(), w.Frame()->DescrPage(), w.Frame()->ReportPage()};
        w.Frame()->Pages()->setCurrentWidget(pages[tab]);
    }
    // The shown tab as PDF through «Сохранить в PDF...».
    QString SavePdf(tTestMain& w, const QString& name) {
        w.NextSavePath = Out(name);
        w.Execute(w.acFileSavePdf);
        return w.NextSavePath;
    }
};

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers the next file dialog the window opens: notes the folder and name it proposes, then
// cancels it.
struct tDialogPeek {
    QString Folder, Name;
    tDialogPeek() {
        auto* timer = new QTimer;
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(top);
                if (!dialog || !dialog->isVisible()) continue;
                Folder = dialog->directory().absolutePath();
                if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    Name = edit->text();
                dialog->reject();
                timer->deleteLater();
                return;
            }
        });
        timer->start();
    }
};
}  // namespace

// ---- one page setup for print, preview and PDF ----

TEST_F(tPaperWindow, AFreshProfilePrintsA4WithQuarterInchMarginsEverywhereAndKeepsTheUsersChoice) {
    if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils not installed";
    {
        auto w = MeasuredWindow();
        ASSERT_NE(w->Device(), nullptr);
        // The print dialog opens on the window's printer, which has the same setup.
        const QMarginsF margins = w->Printer().pageLayout().margins(QPageLayout::Millimeter);
        EXPECT_NEAR(margins.left(), 25, 0.01);
        EXPECT_NEAR(margins.top(), 25, 0.01);
        EXPECT_EQ(w->Printer().pageLayout().pageSize().id(), QPageSize::A4);

        for (int tab : {0, 2}) {
            SCOPED_TRACE(tab);
            ShowTab(*w, tab);
            const QString pdf = SavePdf(*w, QStringLiteral("tab%1.pdf").arg(tab));
            const tPdfPage page = PdfText(pdf);
            EXPECT_NEAR(page.Size.width(), 595, 1) << "A4 portrait";
            EXPECT_NEAR(page.Size.height(), 842, 1);
            EXPECT_GE(SmallestInkMarginMm(pdf), 24);
            w->PreviewPdf = Out(QStringLiteral("preview%1.pdf").arg(tab));
            w->Execute(w->acFilePreview);
            EXPECT_GE(SmallestInkMarginMm(w->PreviewPdf), 24);
        }

        // A cancelled page setup changes nothing; a confirmed one lasts.
        w->Execute(w->acFilePageSetup);
        EXPECT_EQ(w->Printer().pageLayout().orientation(), QPageLayout::Portrait);
        w->PageSetupAnswer = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(25, 25, 25, 25), QPageLayout::Millimeter);
        w->Execute(w->acFilePageSetup);
    }
    // The next start prints landscape, with the margins kept.
    auto w = MeasuredWindow();
    for (int tab : {0, 2}) {
        SCOPED_TRACE(tab);
        ShowTab(*w, tab);
        const QString pdf = SavePdf(*w, QStringLiteral("landscape%1.pdf").arg(tab));
        const tPdfPage page = PdfText(pdf);
        EXPECT_NEAR(page.Size.width(), 842, 1) << "A4 landscape";
        EXPECT_GE(SmallestInkMarginMm(pdf), 24);
    }
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
}

// ---- the printed chart ----

TEST_F(tPaperWindow, ThePrintedChartNamesTheRunWithItsDateAndEveryWordIsOfBodySize) {
    if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils not installed";
    auto w = MeasuredWindow();
    ASSERT_NE(w->Device(), nullptr);
    const tRun* run = w->Lesson()->SeriesRun(w->CurrentSeries());
    const QString pdf = SavePdf(*w, QStringLiteral("chart.pdf"));
    const tPdfPage page = PdfText(pdf);
    ASSERT_GT(page.Words.size(), 10u);
    EXPECT_FALSE(page.Find(QStringLiteral("Опыт")).empty());
    EXPECT_EQ(page.Find(run->Started.toString(QStringLiteral("dd.MM.yyyy"))).size(), 1u);
    EXPECT_FALSE(page.Find(QStringLiteral("Остывание")).empty()) << "the scenario's name heads the page";
    // Sizes in points whatever fonts stand in: a word's box over one point of its font.
    QFont bold = w->Frame()->Chart()->font();
    bold.setBold(true);
    QFont titles(QStringLiteral("Arial"));
    titles.setBold(true);
    const double ratios[] = {PdfWordHeightPerPoint(w->Frame()->Chart()->font()), PdfWordHeightPerPoint(bold),
                             PdfWordHeightPerPoint(titles)};
    for (const tPdfWord& word : page.Words) {
        const bool upright = word.Box.height() > 2 * word.Box.width() && word.Box.height() > 20;
        const double height = upright ? word.Box.width() : word.Box.height();
        EXPECT_TRUE(std::any_of(std::begin(ratios), std::end(ratios),
                                [&](double r) { return r > 0.5 && height / r >= 8 && height / r <= 14; }))
            << word.Text.toStdString() << ": " << height << " pt high";
    }
    EXPECT_GE(SmallestInkMarginMm(pdf), 24);
}

TEST_F(tPaperWindow, APulseScenarioPrintsAndExportsBothChartsOnOneLeftEdge) {
    if (!PopplerInstalled()) GTEST_SKIP() << "poppler-utils not installed";
    tTestMain w(folder);
    w.resize(1000, 750);
    w.show();
    w.Choose(folder.AddScenario(QStringLiteral("Пульс"), ScenarioLines(QStringLiteral("P620"))));
    const QList<TChart*> charts = w.Frame()->Charts();
    ASSERT_EQ(charts.size(), 2);
    Pump(100);

    const QString pdf = SavePdf(w, QStringLiteral("pulse.pdf"));
    const std::vector<int> edges = PlotLeftEdges(PdfPageImage(pdf, 300), 200);
    ASSERT_EQ(edges.size(), 2u) << "two plot frames, one above the other";
    EXPECT_LT(std::abs(edges[0] - edges[1]) * 25.4 / 300, 0.5) << edges[0] << " " << edges[1];

    w.NextSavePath = Out(QStringLiteral("pulse.bmp"));
    w.acFileExport->setEnabled(true);  // no sensor is attached; the rule is not what this is about
    w.acFileExportExecute();
    const QImage bitmap(w.NextSavePath, "BMP");
    EXPECT_EQ(bitmap.height(), charts[0]->height() + charts[1]->height()) << "the wave over the rates";
}

TEST_F(tPaperWindow, AReopenedPulseLessonShowsTheHeartRatesAsTheyWereMeasured) {
    tSimRegistry::Instance().Add(QStringLiteral("sim:P620"),
                                 tSimRegistry::DemoConfig(QStringLiteral("P620"), false));
    const QString path = Out(QStringLiteral("пульс.rovelin"));
    std::vector<QPointF> live;
    int marker = -1;
    {
        tTestMain w(folder);
        w.Candidates.Serial = {QStringLiteral("sim:P620")};
        w.resize(1000, 750);
        w.show();
        w.Choose(folder.AddScenario(QStringLiteral("Пульс"), ScenarioLines(QStringLiteral("P620"), 10000)));
        ASSERT_NE(w.Device(), nullptr);
        TChart* rates = w.Frame()->Charts().value(1);
        ASSERT_NE(rates, nullptr);
        w.Execute(w.acExperimentStart);
        ASSERT_EVENTUALLY(rates->Series(w.CurrentSeries())->Count() >= 3, 30000);
        w.Execute(w.acExperimentStop);
        const TChartSeries* series = rates->Series(w.CurrentSeries());
        for (int i = 0; i < series->Count(); ++i) live.emplace_back(series->X(i), series->Y(i));
        marker = series->Count() - 2;
        w.Frame()->SetMarkers(rates, marker, -1);
        w.NextLessonPath = path;
        w.Execute(w.acFileSaveLesson);
    }
    tTestMain w(folder);
    w.show();
    ASSERT_TRUE(w.OpenLessonFile(path));
    TChart* rates = w.Frame()->Charts().value(1);
    ASSERT_NE(rates, nullptr);
    const TChartSeries* series = rates->Series(w.CurrentSeries());
    ASSERT_EQ(series->Count(), int(live.size()));
    for (int i = 0; i < series->Count(); ++i) {
        EXPECT_EQ(series->X(i), live[i].x()) << i;
        EXPECT_EQ(series->Y(i), live[i].y()) << i;
    }
    EXPECT_EQ(w.Frame()->FirstMarker(rates), marker);
    EXPECT_FALSE(w.Frame()->GetMarkerText(w.Experiment()->FormatX, w.Experiment()->FormatY, rates).isEmpty());
}

// ---- the chart in the report ----

TEST_F(tPaperWindow, TheChartGoesToTheEndOfTheReportUnlessThePupilPlacedTheCaret) {
    auto w = MeasuredWindow();
    ASSERT_NE(w->Device(), nullptr);
    TRichView* report = w->Frame()->ReportView();
    const QTextCharFormat body = BodyCharFormat(*report->document());
    w->Execute(w->acExperimentInsertChart);
    EXPECT_EQ(w->Frame()->Pages()->currentWidget(), w->Frame()->ReportPage());
    QTextDocument* document = report->document();
    EXPECT_EQ(document->begin().text(), QStringLiteral("Report")) << "the title stays on top";
    // A paragraph with the picture alone, no wider than the view, then the read-out in body look.
    QTextBlock picture = document->begin().next();
    while (picture.isValid() && !picture.begin().fragment().charFormat().isImageFormat())
        picture = picture.next();
    ASSERT_TRUE(picture.isValid());
    EXPECT_EQ(picture.text().size(), 1);
    const QTextImageFormat image = picture.begin().fragment().charFormat().toImageFormat();
    EXPECT_LE(image.width(), report->viewport()->width());
    const QTextBlock readout = picture.next();
    const QString marker =
        w->Frame()->GetMarkerText(w->Experiment()->FormatX, w->Experiment()->FormatY, w->Frame()->Chart());
    ASSERT_FALSE(marker.isEmpty());
    EXPECT_TRUE(readout.text().startsWith(marker.section(u'\t', 0, 0))) << readout.text().toStdString();
    const QTextCharFormat look = readout.begin().fragment().charFormat();
    EXPECT_EQ(look.fontPointSize(), body.fontPointSize());
    EXPECT_EQ(look.fontWeight(), body.fontWeight());

    // A pupil who clicked before the title gets the chart there.
    const int blocks = document->blockCount();
    QTest::mouseClick(report->viewport(), Qt::LeftButton, {},
                      report->cursorRect(QTextCursor(document)).center());
    QTextCursor start(document);
    report->setTextCursor(start);
    w->Execute(w->acExperimentInsertChart);
    EXPECT_GT(document->blockCount(), blocks);
    EXPECT_TRUE(document->begin().begin().fragment().charFormat().isImageFormat() ||
                document->begin().text().isEmpty())
        << document->begin().text().toStdString();
}

// ---- PDF names, replacing, the status line ----

TEST_F(tPaperWindow, ChartAndReportPdfsHaveNamesOfTheirOwnAndReplacingOneIsAsked) {
    auto w = MeasuredWindow();
    w->RealPdfDialog = true;
    const QString date = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    {
        tDialogPeek peek;
        w->Execute(w->acFileSavePdf);
        EXPECT_EQ(peek.Name, QStringLiteral("Остывание — график %1.pdf").arg(date));
    }
    ShowTab(*w, 2);
    {
        tDialogPeek peek;
        w->Execute(w->acFileSavePdf);
        EXPECT_EQ(peek.Name, QStringLiteral("Остывание — отчёт %1.pdf").arg(date));
    }
    w->RealPdfDialog = false;

    // The report's PDF is there; the chart's, given the same name, asks first.
    const QString pdf = SavePdf(*w, QStringLiteral("results.pdf"));
    const QByteArray report = Read(pdf);
    ASSERT_FALSE(report.isEmpty());
    EXPECT_TRUE(w->stbMain->currentMessage().contains(QDir::toNativeSeparators(pdf)))
        << w->stbMain->currentMessage().toStdString();
    EXPECT_TRUE(boxes.Seen.empty());
    ShowTab(*w, 0);
    boxes.Answers = {false};
    SavePdf(*w, QStringLiteral("results.pdf"));
    ASSERT_EQ(boxes.Seen.size(), 1u);
    EXPECT_EQ(boxes.Seen[0].kind, tBoxRequest::Question);
    EXPECT_TRUE(boxes.Seen[0].text.contains(QStringLiteral("results.pdf")));
    EXPECT_EQ(Read(pdf), report) << "No keeps the file";
    boxes.Answers = {true};
    SavePdf(*w, QStringLiteral("results.pdf"));
    EXPECT_EQ(boxes.Seen.size(), 2u);
    EXPECT_NE(Read(pdf), report) << "Yes replaces it";
}

TEST_F(tPaperWindow, EveryExportAndSaveNamesItsFileAndASensorlessReportExports) {
    tTestMain w(folder);
    w.show();
    w.Choose(folder.AddScenario(QStringLiteral("Наблюдение"), ScenarioLines(QStringLiteral("NO")),
                                SimpleRtf(QStringLiteral("Description")),
                                SimpleRtf(QStringLiteral("Report"))));
    w.UpdateActions();
    EXPECT_FALSE(w.acFileExport->isEnabled()) << "the hidden chart waits for data";
    for (int tab : {1, 2}) {
        SCOPED_TRACE(tab);
        ShowTab(w, tab);
        w.UpdateActions();
        EXPECT_TRUE(w.acFileExport->isEnabled());
        w.NextSavePath = Out(QStringLiteral("tab%1.rtf").arg(tab));
        w.Execute(w.acFileExport);
        EXPECT_TRUE(Read(w.NextSavePath).startsWith("{\\rtf"));
        EXPECT_EQ(w.stbMain->currentMessage(),
                  QStringLiteral("Экспортировано: ") + QDir::toNativeSeparators(w.NextSavePath));
    }
    w.NextLessonPath = Out(QStringLiteral("наблюдение.rovelin"));
    w.Execute(w.acFileSaveLessonAs);
    // The lesson is written off the window's thread; the line comes once it is in the file.
    EXPECT_EVENTUALLY(w.stbMain->currentMessage() ==
                      QStringLiteral("Урок сохранён: ") + QDir::toNativeSeparators(w.NextLessonPath));
    w.NextSavePath = Out(QStringLiteral("report.pdf"));
    w.Execute(w.acFileSavePdf);
    EXPECT_EQ(w.stbMain->currentMessage(),
              QStringLiteral("Сохранено в PDF: ") + QDir::toNativeSeparators(w.NextSavePath));
    EXPECT_TRUE(boxes.Seen.empty()) << boxes.Texts().join(u'|').toStdString();
}

// ---- a reopened lesson ----

TEST_F(tPaperWindow, AReopenedLessonShowsItsMarkerReadoutAtOnce) {
    QString readout;
    {
        auto w = MeasuredWindow();
        ASSERT_NE(w->Device(), nullptr);
        readout = w->Frame()->GetMarkerText(w->Experiment()->FormatX, w->Experiment()->FormatY,
                                            w->Frame()->Chart());
        ASSERT_FALSE(readout.isEmpty());
        w->NextLessonPath = Out(QStringLiteral("урок.rovelin"));
        w->Execute(w->acFileSaveLesson);
    }
    tTestMain w(folder);
    w.show();
    ASSERT_TRUE(w.OpenLessonFile(Out(QStringLiteral("урок.rovelin"))));
    EXPECT_EQ(w.lbValue->text(), readout);
    EXPECT_TRUE(w.lbValue->isVisible());
    EXPECT_FALSE(w.StatisticsLabel()->isHidden()) << "the statistics between the markers too";
}

TEST_F(tPaperWindow, ACancelledLessonDocumentShowsAPlaceholderAndItsBytesAreSavedUnchanged) {
    const QByteArray rtf = SlowToReadRtf();
    const QString path = Out(QStringLiteral("большой.rovelin"));
    {
        tLesson lesson;
        lesson.SetScenario(QStringLiteral("Наблюдение"), QString(),
                           {{QStringLiteral("SensorName"), QStringLiteral("NO")}});
        lesson.SetDocument(tLesson::Report, rtf);
        tLessonWriter(path).Save(lesson);
    }
    tTestMain w(folder);
    w.show();
    const tCancelWaitBox cancel;
    ASSERT_TRUE(w.OpenLessonFile(path));
    TRichView* report = w.Frame()->ReportView();
    EXPECT_TRUE(report->isReadOnly());
    EXPECT_TRUE(report->toPlainText().contains(QStringLiteral("открытие отменено")))
        << report->toPlainText().toStdString();
    ShowTab(w, 2);
    w.UpdateActions();
    EXPECT_FALSE(w.acFileAddImage->isEnabled());
    EXPECT_FALSE(w.acExperimentInsertChart->isEnabled());

    w.NextLessonPath = Out(QStringLiteral("копия.rovelin"));
    w.Execute(w.acFileSaveLessonAs);
    ASSERT_EVENTUALLY(w.stbMain->currentMessage().endsWith(QStringLiteral("копия.rovelin")));
    tLesson back;
    ReadLesson(w.NextLessonPath, back);
    EXPECT_TRUE(back.Document(tLesson::Report) == rtf) << "the document's bytes, unchanged";

    // Exported from its tab, the report is the document itself, not the placeholder.
    w.NextSavePath = Out(QStringLiteral("отчёт.rtf"));
    w.Execute(w.acFileExport);
    QFile exported(w.NextSavePath);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_TRUE(exported.readAll() == rtf) << "the exported report is the lesson's document";
}
