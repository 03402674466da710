// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: export of the shown tab, printing, page setup and pictures for the report.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTabWidget>

#include "app/Mainfm.h"
#include "app/Picture.h"
#include "app/Reading.h"
#include "components/Chart.h"
#include "components/Dialogfolder.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "foundation/Exceptions.h"
#include "foundation/Milestones.h"
#include "lesson/Lesson.h"

namespace {
// Most school laptops have no printer; the message says what to do instead.
const QString kNoPrinterText = QStringLiteral(
    "На этом компьютере не установлен ни один принтер, поэтому напечатать нельзя.\r\n"
    "Сохраните страницу в файл PDF (меню «Файл» → «Сохранить в PDF...») и напечатайте его "
    "на компьютере с принтером.");
}  // namespace

QString TfmMain::AskSaveFile(const QString& suffix) {
    // "PDF-файлы (*.pdf)" and so on, the scenario's name and today's date proposed.
    const QStringList filters{QStringLiteral("%1-файлы (*.%2)").arg(suffix.toUpper(), suffix),
                              QStringLiteral("Все файлы (*)")};
    const QString name = Experiment() ? Experiment()->Name : QString();
    return AskSaveFileName(this, QString(), filters, suffix,
                           ProposedFileName(name, QDate::currentDate(), suffix));
}

QString TfmMain::AskPdfFile() {
    return AskSaveFile(QStringLiteral("pdf"));
}

QString TfmMain::AskBitmapFile() {
    return AskSaveFile(QStringLiteral("bmp"));
}

QString TfmMain::AskRtfFile() {
    return AskSaveFile(QStringLiteral("rtf"));
}

QString TfmMain::AskCsvFile() {
    return AskSaveFile(QStringLiteral("csv"));
}

QString TfmMain::AskImageFile() {
    // Phones and cameras write .jpeg as often as .jpg, so the first entry shows every picture
    // the program reads. The dialog matches patterns in any letter case (.JPG too).
    return AskOpenFileName(
        this, QString(),
        {QStringLiteral("Все изображения (*.jpg *.jpeg *.jpe *.bmp)"), QStringLiteral("JPG-файлы (*.jpg)"),
         QStringLiteral("BMP-файлы (*.bmp)"), QStringLiteral("Все файлы (*.*)")},
        QStringLiteral("jpg"));
}

QPrinter* TfmMain::AskPrinter() {
    QPrintDialog pd(FPrinter.get(), this);
    pd.setObjectName(QStringLiteral("pd"));
    pd.setOption(QAbstractPrintDialog::PrintToFile, false);
    return pd.exec() == QDialog::Accepted ? FPrinter.get() : nullptr;
}

void TfmMain::RunPrintSetup() {
    // The printer's own properties (paper, tray, resolution) without starting a job.
    QPrintDialog dialog(FPrinter.get(), this);
    dialog.setWindowTitle(QStringLiteral("Параметры печати"));
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    dialog.exec();
}

void TfmMain::RunPageSetup() {
    QPageSetupDialog dialog(FPrinter.get(), this);
    dialog.exec();
}

void TfmMain::acFileExportExecute() {
    if (!FFrame) return;
    // A write that fails raises, so the log line only follows a file that was written.
    const auto logged = [](const char* what, const QString& path) {
        LogMilestone(milestone::Exported(QString::fromUtf8(what), QDir::toNativeSeparators(path)));
    };
    switch (FFrame->ShownTabIndex()) {
        case 0: {
            // Whatever extension was typed, the chart tab always writes a bitmap.
            const QString path = AskBitmapFile();
            if (path.isEmpty()) break;
            FFrame->Chart()->SaveBitmap(path);
            logged("график", path);
            break;
        }
        case 1: {
            const QString path = AskRtfFile();
            if (path.isEmpty()) break;
            FFrame->DescrView()->SaveToFile(path);
            logged("описание", path);
            break;
        }
        case 2: {
            const QString path = AskRtfFile();
            if (path.isEmpty()) break;
            FFrame->ReportView()->SaveToFile(path);
            logged("отчёт", path);
            break;
        }
        case 3: {
            const QString path = AskCsvFile();
            if (path.isEmpty()) break;
            FReading->ExportTable(path);
            logged("таблица", path);
            break;
        }
        default:
            break;
    }
}

bool TfmMain::PrinterInstalled() const {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

void TfmMain::RunPrintPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint) {
    QPrintPreviewDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Предварительный просмотр"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&paint](QPrinter* target) {
        // An error must not cross Qt's signal machinery; the preview then stays empty.
        try {
            paint(*target);
        } catch (const std::exception&) {
        }
    });
    dialog.exec();
}

void TfmMain::PrintShownTab(QPrinter& printer) {
    if (!FFrame) return;
    const tExperiment* e = Experiment();
    const QString title = e ? e->Name : QString();
    switch (FFrame->ShownTabIndex()) {
        case 0: {
            TChart::tPrintTexts texts;
            texts.Title = title;
            // When the shown run was measured (a typed run has no start).
            const tRun* run = Lesson() ? Lesson()->SeriesRun(CurrentSeries()) : nullptr;
            if (run && run->Started.isValid())
                texts.Subtitle = QStringLiteral("Измерение от %1")
                                     .arg(run->Started.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
            if (e)
                texts.Footer = FFrame->GetMarkerText(e->FormatX, e->FormatY, FFrame->Chart())
                                   .replace(u'\t', QStringLiteral("    "));
            printer.setDocName(title);
            FFrame->Chart()->Print(printer, texts);
            break;
        }
        case 1:
            FFrame->DescrView()->Print(printer, title);
            break;
        case 2:
            FFrame->ReportView()->Print(printer, title);
            break;
        default:
            break;
    }
}

void TfmMain::acFilePrintExecute() {
    if (!PrinterInstalled()) throw tException(kNoPrinterText);
    QPrinter* printer = AskPrinter();
    if (!printer || !FFrame) return;
    PrintShownTab(*printer);
}

void TfmMain::acFileSavePdfExecute() {
    if (!FFrame) return;
    const QString path = AskPdfFile();
    if (path.isEmpty()) return;
    {
        // A folder we may not write to is reported in words, not as a failed print job.
        QFile probe(path);
        const bool existed = probe.exists();
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append))
            throw tException(
                QStringLiteral("Не удалось создать файл \"%1\": %2").arg(path, probe.errorString()));
        probe.close();
        if (!existed) probe.remove();
    }
    // The window's page setup (paper, orientation, margins), at print resolution.
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setPageLayout(FPrinter->pageLayout());
    pdf.setOutputFileName(path);
    PrintShownTab(pdf);
    LogMilestone(milestone::Exported(QStringLiteral("PDF"), QDir::toNativeSeparators(path)));
}

void TfmMain::acFilePageSetupExecute() {
    // Every page setup starts from A4 with 25 mm margins; the printer keeps what the user chose,
    // so the three print paths use it.
    FPrinter->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                        QMarginsF(25, 25, 25, 25), QPageLayout::Millimeter,
                                        QMarginsF(0, 0, 0, 0)));
    RunPageSetup();
}

void TfmMain::acFileAddImageExecute() {
    const QString path = AskImageFile();
    if (path.isEmpty() || !FFrame) return;
    // Inserted straight at the caret: the user's clipboard keeps what it held.
    // A JPG keeps its compressed bytes in the report (a photo costs about twice its file size
    // in the RTF, never a decoded bitmap).
    const tPicture picture = LoadReportPicture(path);
    FFrame->ReportView()->InsertImage(picture.Image, picture.Jpeg);
}
