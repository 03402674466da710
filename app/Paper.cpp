// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Paper.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTabWidget>

#include "app/Mainfm.h"
#include "app/Reading.h"
#include "components/Chart.h"
#include "components/Dialogfolder.h"
#include "components/Pagesetup.h"
#include "components/Richview.h"
#include "experiments/Experiment.h"
#include "experiments/Experimentfr.h"
#include "experiments/Sensormodels.h"
#include "foundation/Exceptions.h"
#include "foundation/Messagebox.h"
#include "foundation/Milestones.h"

namespace {
constexpr int kWroteMessageMs = 20000;
}  // namespace

tPaper::tPaper(TfmMain& window, tResultReading& reading) : FWindow(window), FReading(reading) {}

void tPaper::LoadPageSetup() {
    ApplyPageLayout(FWindow.Printer(), tPageSetupStore().Load());
}

void tPaper::PageSetup() {
    // The dialog opens with what the printer has (the stored setup); a cancelled one changes nothing.
    if (FWindow.RunPageSetup()) tPageSetupStore().Store(FWindow.Printer().pageLayout());
}

void tPaper::UpdateActions(bool measuring) {
    TfrExperiment* frame = FWindow.Frame();
    const tExperiment* e = FWindow.Experiment();
    if (!frame || !e || measuring || !SensorModelFor(e->SensorName).Manual) return;
    const int tab = frame->ShownTabIndex();
    if (tab == 1 || tab == 2) FWindow.acFileExport->setEnabled(true);
}

QList<TChart*> tPaper::Charts() const {
    TfrExperiment* frame = FWindow.Frame();
    if (!frame) return {};
    QList<TChart*> shown;
    for (TChart* chart : frame->Charts())
        if (!chart->isHidden()) shown << chart;
    // A scenario without a sensor hides its chart; the chart tab still prints and exports it.
    if (shown.isEmpty()) shown << frame->Chart();
    return shown;
}

void tPaper::Print(QPrinter& printer, int tab) {
    TfrExperiment* frame = FWindow.Frame();
    if (!frame) return;
    const tExperiment* e = FWindow.Experiment();
    const QString title = e ? e->Name : QString();
    switch (tab) {
        case 0: {
            // The runs are named in words above the charts (they carry their dates), the marker
            // read-out of every chart and the statistics below them.
            TChart::tPrintTexts texts;
            if (e)
                texts = frame->PrintTexts(*e, FWindow.StatisticsText());
            else
                texts.Title = title;
            printer.setDocName(texts.Title);
            TChart::Print(Charts(), printer, texts);
            break;
        }
        case 1:
            frame->DescrView()->Print(printer, title);
            break;
        case 2:
            frame->ReportView()->Print(printer, title);
            break;
        default:
            break;
    }
}

QString tPaper::ProposedPdfName(int tab) const {
    // The chart and the report of one lesson never share a proposed name.
    static const char* const kinds[] = {QT_TRANSLATE_NOOP("tPaper", "%1 — график"),
                                        QT_TRANSLATE_NOOP("tPaper", "%1 — описание"),
                                        QT_TRANSLATE_NOOP("tPaper", "%1 — отчёт")};
    const tExperiment* e = FWindow.Experiment();
    const QString name = e && !e->Name.trimmed().isEmpty() ? e->Name.trimmed() : tr("Результаты");
    const char* kind = kinds[tab >= 0 && tab < 3 ? tab : 0];
    return ProposedFileName(tr(kind).arg(name), QDate::currentDate(), QStringLiteral("pdf"));
}

void tPaper::WritePdf(const QString& path, int tab) {
    {
        // A folder we may not write to is reported in words, not as a failed print job.
        QFile probe(path);
        const bool existed = probe.exists();
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append))
            throw tException(tr("Не удалось создать файл \"%1\": %2").arg(path, probe.errorString()));
        probe.close();
        if (!existed) probe.remove();
    }
    // The window's page setup (paper, orientation, margins), at print resolution.
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setPageLayout(FWindow.Printer().pageLayout());
    pdf.setOutputFileName(path);
    Print(pdf, tab);
}

void tPaper::SavePdf() {
    TfrExperiment* frame = FWindow.Frame();
    if (!frame) return;
    const int tab = frame->ShownTabIndex();
    const QString path = FWindow.AskPdfFile();
    if (path.isEmpty()) return;
    // A PDF of the chart must not silently take the place of the report's (or any other file).
    if (QFileInfo::exists(path) &&
        !AskYesNo(tr("Файл \"%1\" уже существует.\r\nЗаменить его?").arg(QDir::toNativeSeparators(path)),
                  QMessageBox::Warning, false))
        return;
    WritePdf(path, tab);
    LogMilestone(milestone::Exported(QStringLiteral("PDF"), QDir::toNativeSeparators(path)));
    Wrote(tr("Сохранено в PDF"), path);
}

void tPaper::Export() {
    TfrExperiment* frame = FWindow.Frame();
    if (!frame) return;
    QString path;
    const char* what = "";
    switch (frame->ShownTabIndex()) {
        case 0:
            // Whatever extension was typed, the chart tab always writes a bitmap (every shown
            // chart, one above the other).
            path = FWindow.AskBitmapFile();
            if (!path.isEmpty()) TChart::SaveBitmap(Charts(), path);
            what = "график";  // untranslated: a word of the log's milestone line
            break;
        case 1:
            path = FWindow.AskRtfFile();
            if (!path.isEmpty()) frame->DescrView()->SaveToFile(path);
            what = "описание";  // untranslated: a word of the log's milestone line
            break;
        case 2:
            path = FWindow.AskRtfFile();
            if (!path.isEmpty()) frame->ReportView()->SaveToFile(path);
            what = "отчёт";  // untranslated: a word of the log's milestone line
            break;
        case 3:
            path = FWindow.AskCsvFile();
            if (!path.isEmpty()) FReading.ExportTable(path);
            what = "таблица";  // untranslated: a word of the log's milestone line
            break;
        default:
            break;
    }
    if (path.isEmpty()) return;
    // A write that fails raises, so the log line only follows a file that was written.
    LogMilestone(milestone::Exported(QString::fromUtf8(what), QDir::toNativeSeparators(path)));
    Wrote(tr("Экспортировано"), path);
}

void tPaper::Wrote(const QString& what, const QString& path) {
    // A message of its own over the hint panel: the hints of the buttons the mouse passes on its
    // way back do not wipe it out before it was read.
    FWindow.stbMain->showMessage(QStringLiteral("%1: %2").arg(what, QDir::toNativeSeparators(path)),
                                 kWroteMessageMs);
}
