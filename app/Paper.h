// SPDX-License-Identifier: GPL-3.0-or-later
// tPaper: the main window's results on paper and in files. One page setup for printing, preview
// and PDF (A4 with 25 mm margins until the user picks another, then that one, also in later runs);
// what each tab looks like on paper (the chart tab: every shown chart with the scenario's name, its
// runs, the read-out and the statistics); the export of the shown tab; PDF names that tell the chart
// from the report, a question before a PDF replaces a file; and the status-bar line naming every
// file written. The window keeps the actions and the dialogs; this is what they do.
// User-interface thread only.
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

class QPrinter;
class TChart;
class TfmMain;
class tResultReading;

class tPaper {
    Q_DECLARE_TR_FUNCTIONS(tPaper)

  public:
    tPaper(TfmMain& window, tResultReading& reading);

    // The page setup stored last (or A4 with 25 mm margins) onto the window's printer.
    void LoadPageSetup();
    // «Параметры страницы»: the dialog on the window's printer; a confirmed choice is kept.
    void PageSetup();
    // «Экспорт» on the description and report tabs of a scenario that needs no sensor: those tabs
    // export like any other scenario's (nothing there waits for a sensor).
    void UpdateActions(bool measuring);

    // The charts that are printed and exported: the chart page's shown charts, top to bottom (the
    // main chart alone when none is shown).
    QList<TChart*> Charts() const;
    // Tab `tab` (0 chart, 1 description, 2 report) on `printer`; nothing without a frame.
    void Print(QPrinter& printer, int tab);
    // The name the PDF dialog proposes for tab `tab`: «<Name> — график <date>.pdf», «<Name> — отчёт
    // <date>.pdf», «<Name> — описание <date>.pdf».
    QString ProposedPdfName(int tab) const;
    // Tab `tab` as a PDF at `path` with the window's page setup. Raises tException when the file
    // cannot be written.
    void WritePdf(const QString& path, int tab);
    // «Сохранить в PDF...» of the shown tab: the file, a question before replacing one, the PDF,
    // the status line.
    void SavePdf();
    // «Экспорт...» of the shown tab, then the status line.
    void Export();
    // Says in the status bar which file was just written: «<what>: <path>» (for 20 s).
    void Wrote(const QString& what, const QString& path);

  private:
    TfmMain& FWindow;
    tResultReading& FReading;
};
