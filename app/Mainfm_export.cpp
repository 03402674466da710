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
#include "app/Paper.h"
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
const char* const kNoPrinterText =
    QT_TRANSLATE_NOOP("TfmMain",
                      "На этом компьютере не установлен ни один принтер, поэтому напечатать нельзя.\r\n"
                      "Сохраните страницу в файл PDF (меню «Файл» → «Сохранить в PDF...») и напечатайте его "
                      "на компьютере с принтером.");
}  // namespace

QString TfmMain::AskSaveFile(const QString& suffix, const QString& proposed) {
    // "PDF-файлы (*.pdf)" and so on, the scenario's name and today's date proposed.
    const QStringList filters{tr("%1-файлы (*.%2)").arg(suffix.toUpper(), suffix), tr("Все файлы (*)")};
    const QString name = Experiment() ? Experiment()->Name : QString();
    return AskSaveFileName(
        this, QString(), filters, suffix,
        proposed.isEmpty() ? ProposedFileName(name, QDate::currentDate(), suffix) : proposed);
}

QString TfmMain::AskPdfFile() {
    // The chart's and the report's PDF get names of their own; replacing a file is asked after.
    return AskSaveFile(QStringLiteral("pdf"), FPaper->ProposedPdfName(FFrame ? FFrame->ShownTabIndex() : 0));
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
    return AskOpenFileName(this, QString(),
                           {tr("Все изображения (*.jpg *.jpeg *.jpe *.bmp)"), tr("JPG-файлы (*.jpg)"),
                            tr("BMP-файлы (*.bmp)"), tr("Все файлы (*.*)")},
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
    dialog.setWindowTitle(tr("Параметры печати"));
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, false);
    dialog.exec();
}

bool TfmMain::RunPageSetup() {
    QPageSetupDialog dialog(FPrinter.get(), this);
    return dialog.exec() == QDialog::Accepted;
}

void TfmMain::acFileExportExecute() {
    FPaper->Export();
}

bool TfmMain::PrinterInstalled() const {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

void TfmMain::RunPrintPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint) {
    QPrintPreviewDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Предварительный просмотр"));
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
    if (FFrame) FPaper->Print(printer, FFrame->ShownTabIndex());
}

void TfmMain::acFilePrintExecute() {
    if (!PrinterInstalled()) throw tException(tr(kNoPrinterText));
    QPrinter* printer = AskPrinter();
    if (!printer || !FFrame) return;
    PrintShownTab(*printer);
}

void TfmMain::acFileSavePdfExecute() {
    FPaper->SavePdf();
}

void TfmMain::acFilePageSetupExecute() {
    // The dialog starts from the setup in use (A4 with 25 mm margins until the user chose another);
    // the printer keeps what the user chose, so the three print paths use it, and so do later runs.
    FPaper->PageSetup();
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
