// SPDX-License-Identifier: GPL-3.0-or-later
// tResultReading: reading the results of the open frame — the «Таблица» tab with CSV export, the
// statistics between the markers under the chart, the chart inserted into the report, «Показать
// все», the legend, point tooltips and the projector mode. The window owns one and attaches it to
// every new frame. User-interface thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QLabel;
class QPageLayout;
class QWidget;
class TTablePage;
class TfrExperiment;
class tExperiment;
class tLesson;
struct tMainActions;

class tResultReading : public QObject {
    Q_OBJECT
  public:
    explicit tResultReading(const tMainActions& actions);
    ~tResultReading() override;

    // Adds the table tab, the statistics panel, the report's tool bar and the charts' tooltips and
    // legend to a new frame of `scenario`, whose runs `lesson` holds.
    void Attach(TfrExperiment* frame, const tExperiment* scenario, tLesson* lesson);
    // The reading actions' rules; on the table tab the export rule is the table's.
    void UpdateActions(bool measuring);

    TTablePage* TablePage() const;
    QLabel* StatisticsLabel() const;
    // The statistics between the markers of the current series, empty without markers.
    QString StatisticsText() const;
    void UpdateStatistics();
    // What else the panel says after the statistics (fitted formulas, slopes, areas), and what else
    // goes under the chart in the report; empty when not set.
    std::function<QStringList()> StripLines;
    std::function<QStringList()> ReportLines;

    // «Показать все»: every chart of the frame fits all its points.
    void ShowAll();
    // Projector mode on or off: `window`'s fonts and every chart of the frame.
    void SetProjector(QWidget* window, bool on);
    // The pulse frame's border between its charts, by `steps` key steps (positive: rates taller).
    void GrowPulseChart(int steps);
    // The charts as shown, with the marker read-out and the statistics, into the report: at the caret
    // when the pupil put it somewhere in the report, else at the end; no wider than the view and
    // the printable width of `page`.
    void InsertChart(const QPageLayout& page);
    // The table as CSV at `path` (raises tException; an existing file stays unless all went well).
    void ExportTable(const QString& path);

  private:
    void UpdateLegend();

    const tMainActions& FActions;
    QPointer<TfrExperiment> FFrame;
    const tExperiment* FScenario = nullptr;
    QPointer<tLesson> FLesson;
    QPointer<TTablePage> FTablePage;
    QPointer<QLabel> FStatistics;
};
