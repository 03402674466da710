// SPDX-License-Identifier: GPL-3.0-or-later
// TfmMain: export of the shown tab, printing, page setup and pictures for the report.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTabWidget>

#include "app/Mainfm.h"
#include "app/Picture.h"
#include "components/Chart.h"
#include "components/Dialogfolder.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "foundation/Exceptions.h"

namespace {
// Most school laptops have no printer; the message says what to do instead.
const QString kNoPrinterText = QStringLiteral(
    "На этом компьютере не установлен ни один принтер, поэтому напечатать нельзя.\r\n"
    "Сохраните страницу в файл PDF (меню «Файл» → «Сохранить в PDF...») и напечатайте его "
    "на компьютере с принтером.");
}  // namespace

QString TfmMain::AskSaveFile(const QString& suffix, const QStringList& filters) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Our own dialog: no read-only box, no overwrite question, resizable; only existing folders
    // can be entered, and the process's current folder is never changed by it.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setSizeGripEnabled(true);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffix);
    dialog.setDirectory(DialogFolder());
    dialog.selectFile(ProposedName(suffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    RememberDialogFolder(dialog.selectedFiles().first());
    return dialog.selectedFiles().first();
}

QString TfmMain::ProposedName(const QString& suffix) const {
    return ProposedFileName(FExperiment ? FExperiment->Name : QString(), QDate::currentDate(), suffix);
}

QString TfmMain::AskPdfFile() {
    return AskSaveFile(QStringLiteral("pdf"),
                       {QStringLiteral("PDF-файлы (*.pdf)"), QStringLiteral("Все файлы (*)")});
}

QString TfmMain::AskBitmapFile() {
    return AskSaveFile(QStringLiteral("bmp"),
                       {QStringLiteral("BMP-файлы (*.bmp)"), QStringLiteral("Все файлы (*)")});
}

QString TfmMain::AskRtfFile() {
    return AskSaveFile(QStringLiteral("rtf"),
                       {QStringLiteral("RTF-файлы (*.rtf)"), QStringLiteral("Все файлы (*)")});
}

QString TfmMain::AskImageFile() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    dialog.setSizeGripEnabled(true);
    // Phones and cameras write .jpeg as often as .jpg, so the first entry shows every picture
    // the program reads. The dialog matches patterns in any letter case (.JPG too).
    dialog.setNameFilters({QStringLiteral("Все изображения (*.jpg *.jpeg *.jpe *.bmp)"),
                           QStringLiteral("JPG-файлы (*.jpg)"), QStringLiteral("BMP-файлы (*.bmp)"),
                           QStringLiteral("Все файлы (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.setDirectory(DialogFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    RememberDialogFolder(dialog.selectedFiles().first());
    return dialog.selectedFiles().first();
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
    switch (FFrame->ShownTabIndex()) {
        case 0: {
            // Whatever extension was typed, the chart tab always writes a bitmap.
            const QString path = AskBitmapFile();
            if (!path.isEmpty()) FFrame->Chart()->SaveBitmap(path);
            break;
        }
        case 1: {
            const QString path = AskRtfFile();
            if (!path.isEmpty()) FFrame->DescrView()->SaveToFile(path);
            break;
        }
        case 2: {
            const QString path = AskRtfFile();
            if (!path.isEmpty()) FFrame->ReportView()->SaveToFile(path);
            break;
        }
        case 3:
            ExportTable();
            break;
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
    const QString title = FExperiment ? FExperiment->Name : QString();
    switch (FFrame->ShownTabIndex()) {
        case 0: {
            TChart::tPrintTexts texts;
            texts.Title = title;
            if (FRunStarted.isValid())
                texts.Subtitle = QStringLiteral("Измерение от %1")
                                     .arg(FRunStarted.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
            if (FExperiment)
                texts.Footer =
                    FFrame->GetMarkerText(FExperiment->FormatX, FExperiment->FormatY, FFrame->Chart())
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

void TfmMain::acFilePreviewExecute() {
    if (!FFrame) return;
    RunPrintPreview(*FPrinter, [this](QPrinter& printer) { PrintShownTab(printer); });
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
}

void TfmMain::acFilePrintSetupExecute() {
    RunPrintSetup();
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
