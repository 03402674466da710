// TfmMain: export of the shown tab, printing, page setup and pictures for the report.
#include <QAction>
#include <QFileDialog>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTabWidget>

#include "app/Mainfm.h"
#include "app/Picture.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"

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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
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
    dialog.setNameFilters({QStringLiteral("JPG-файлы (*.jpg)"), QStringLiteral("BMP-файлы (*.bmp)"),
                           QStringLiteral("Все файлы (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
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
        default:
            break;
    }
}

void TfmMain::acFilePrintExecute() {
    QPrinter* printer = AskPrinter();
    if (!printer || !FFrame) return;
    const QString title = FExperiment ? FExperiment->Name : QString();
    switch (FFrame->ShownTabIndex()) {
        case 0:
            printer->setDocName(title);
            FFrame->Chart()->Print(*printer);
            break;
        case 1:
            FFrame->DescrView()->Print(*printer, title);
            break;
        case 2:
            FFrame->ReportView()->Print(*printer, title);
            break;
        default:
            break;
    }
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
    const QImage picture = LoadPicture(path);
    FFrame->ReportView()->InsertImage(picture);
}
