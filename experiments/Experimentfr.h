// SPDX-License-Identifier: GPL-3.0-or-later
// TfrExperiment: the panel of an open experiment — the live chart, the scenario's description and
// the pupil's report on three pages. The main window adds the run's points to the current series
// and calls the five virtual operations; between runs the user sets one or two vertical markers
// whose read-out the main window shows. TfrPulse derives from it. User-interface thread only.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include "components/Chart.h"
#include "lesson/Lesson.h"

class QKeyEvent;
class QLabel;
class QPainter;
class QTabWidget;
class TRichView;
class tExperiment;

class TfrExperiment : public QWidget {
    Q_OBJECT
  public:
    TfrExperiment(QWidget* owner, bool twiceMarker);
    ~TfrExperiment() override;

    // Asks for the label of the next point ("Введите метку точки:"); cancel keeps the pending one.
    void AskPointLabel();
    // The pending point label, which is emptied.
    QString TakePointLabel();

    // Read-out of the markers (TAB separated), empty without a valid first marker. This class always
    // reads chMain; `chart` names the chart whose markers moved.
    virtual QString GetMarkerText(const QString& formatX, const QString& formatY, TChart* chart);
    // Left axis title, " = ", the last value of the current series. Only when it has points.
    virtual QString GetLastValueText(const QString& formatY);
    // The scenario's ranges, label steps and titles on the main chart's two axes.
    void ApplyScenarioAxes(const tExperiment& scenario);
    // Prepares the chart for a run and returns the index of the series that receives it.
    virtual int StartMeasurement(const tExperiment& scenario);
    virtual void StopMeasurement();
    // Keeps the newest point in view: widens (autoSize) or scrolls the time axis by half its span.
    virtual void UpdateAxes(bool autoSize);

    // The lesson whose shown runs the main chart's series draw and which keeps the markers (null:
    // the series' own points and a lesson of the frame's own for the markers).
    void SetLesson(tLesson* lesson);
    tLesson* Lesson() const { return FLesson; }

    int CurrentSeries() const { return FCurrentSeries; }
    void SetCurrentSeries(int index) { FCurrentSeries = index; }
    bool Measuring() const { return FMeasuring; }
    bool TwiceMarker() const { return FTwiceMarker; }
    QString PendingPointLabel() const { return FPendingLabel; }

    // Markers of one chart (point indexes into its current series, -1 = none). They live in the
    // lesson, under the chart's place among the frame's charts (0 chMain, 1 a second chart).
    int FirstMarker(const TChart* chart) const { return Markers(chart).First; }
    int SecondMarker(const TChart* chart) const { return Markers(chart).Second; }
    void SetMarkers(TChart* chart, int first, int second);

    // Mouse-up on `chart` at `pos` (chart widget coordinates): sets a marker (see the .cpp).
    void ChartMouseReleased(TChart* chart, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                            QPoint pos);

    // Index of the page shown among the visible pages: 0 chart, 1 description, 2 report.
    int ShownTabIndex() const;

    // The charts of the chart page, top to bottom: what the chart is printed and exported as
    // (TChart::Print and TChart::SaveBitmap of the list).
    virtual QList<TChart*> Charts() const;
    // What the printed chart page says besides the charts: the scenario's name; one line per run the
    // main chart shows, «Опыт 1 — 08.12.2026 10:15:30 (красный)»; the read-out of each chart's
    // markers; and `statistics` (the panel's text under the chart).
    TChart::tPrintTexts PrintTexts(const tExperiment& scenario, const QString& statistics);

    TChart* Chart() const { return chMain; }
    QTabWidget* Pages() const { return pcMain; }
    QWidget* ChartPage() const { return tsChart; }
    QWidget* TablePage() const { return tsTable; }
    QWidget* DescrPage() const { return tsDescr; }
    QWidget* ReportPage() const { return tsReport; }
    TRichView* DescrView() const { return reDescr; }
    TRichView* ReportView() const { return reReport; }
    QLabel* NoSensorLabel() const { return lbNoSensor; }

    // The dark edge on each side of a marker line, in pixels.
    static constexpr int kMarkerEdge = 2;
    // The second marker's edge: dashes and gaps as long as the edged line is wide, times this.
    static constexpr double kMarkerDash = 1;

  protected:
    // Attaches the marker and overlay handling to a chart of the frame.
    void AttachChart(TChart* chart);
    // The read-out of `chart`'s markers.
    QString MarkerTextFor(TChart* chart, const QString& formatX, const QString& formatY) const;
    void ResetMarkers(TChart* chart);
    // Called after the main chart's series took the lesson's shown runs (a lesson set or opened, a
    // run chosen for a series, a run started or removed).
    virtual void LessonRunsShown() {}
    // Replaces chMain on the chart page by `area` (which must hold chMain), e.g. a splitter.
    void SetChartArea(QWidget* area);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A key on a focused chart: Left/Right move the first marker a point (with Shift ten points;
    // with Ctrl the second marker when there are two), putting it first near the middle of the
    // shown time; Delete removes it. True when the key was the markers'.
    bool ChartKeyPressed(TChart* chart, QKeyEvent* event);

    TChart* chMain;
    QWidget* tsChart;

  private:
    tLesson::tMarkers Markers(const TChart* chart) const;
    void DrawOverlay(TChart* chart, QPainter& painter) const;
    void ShowLessonRuns();

    tLesson FOwnLesson;  // keeps the markers while no lesson is set
    tLesson* FLesson = &FOwnLesson;
    QString FPendingLabel;
    bool FMeasuring = false;
    bool FTwiceMarker;
    int FCurrentSeries = 0;
    QList<TChart*> FCharts;  // in the lesson's marker order

    QTabWidget* pcMain;
    QWidget* tsTable;
    QWidget* tsDescr;
    QWidget* tsReport;
    QLabel* lbNoSensor;
    TRichView* reDescr;
    TRichView* reReport;
    QWidget* FChartArea;
};
