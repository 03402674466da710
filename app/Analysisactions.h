// SPDX-License-Identifier: GPL-3.0-or-later
// tAnalysisActions: what a pupil reads off the curves in the window — a formula fitted to the run
// and the range between the markers («Подобрать формулу...», fitted off the window's thread), the
// tangent at the first marker («Наклон»), the area between the markers («Площадь») and the curve
// expected before the run, drawn with the mouse or typed. The records live in the lesson
// (tLesson::Analyses), so they are saved and opened with it; the chart draws what they say anew
// whenever they or the shown runs change, and keeps no copies. Their sentences go into the
// statistics strip, their details into the curves' tooltips and under the chart in the report.
// The window owns one and attaches it to every new frame. User-interface thread only.
#pragma once

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <functional>
#include <memory>

#include "analysis/Fit.h"

class QMenu;
class QWidget;
class TfrExperiment;
class tExperiment;
class tFitRunner;
class tLesson;
class tResultReading;
class tRun;
struct tMainActions;
struct tReadoutNames;

// Points typed one per line, time and value («0 80», «60; 61,5»), into `points` sorted by time.
// False, with the line's problem in `problem`, when a line is not two numbers.
bool ParsePredictionPoints(const QString& text, QVector<QPointF>& points, QString* problem);

class tAnalysisActions : public QObject {
    Q_OBJECT
  public:
    // `window` parents the dialogs and the «Убрать» menu.
    tAnalysisActions(const tMainActions& actions, tResultReading& reading, QWidget* window);
    ~tAnalysisActions() override;

    // Draws the analyses of `lesson` on `frame`'s chart from now on (null: none).
    void Attach(TfrExperiment* frame, const tExperiment* scenario, tLesson* lesson);
    void UpdateActions(bool measuring);
    // «Убрать»: one entry per kept formula, tangent, area and the prediction, then «Убрать всё»;
    // filled each time it opens.
    QMenu* RemoveMenu() const { return FRemoveMenu; }

    // The actions' handlers.
    void Fit();
    void Slope();
    void Area();
    // Drawing the prediction with the mouse on or off (the action's checked state follows).
    void DrawPrediction(bool on);
    void TogglePrediction();
    void TypePrediction();
    // Whether a fit is still being made.
    bool Busy() const;

    // The strip's sentences and, for the report, the details of what the chart shows.
    QStringList StripLines() const;
    QStringList ReportLines() const;

    // The dialogs, replaceable in tests; false when cancelled. `range` says which points are fitted.
    std::function<bool(const QString& range, tFitModel& model, QString& formula)> AskFit;
    // The typed prediction, one point per line (`text` holds the current one).
    std::function<bool(QString& text)> AskPrediction;

  private:
    struct tTarget;
    // The current series' run and the points the markers choose (one marker: to the run's end,
    // none: the whole run); false without a run with points.
    bool MarkedRange(tTarget& target) const;
    tReadoutNames Names(int runIndex, int slot) const;
    // The chart slot showing the lesson's run `runIndex`, -1 when none does.
    int SlotOf(int runIndex) const;
    void Redraw();
    // The sentences of the fits, slopes and areas the chart shows; `details` adds each fit's details.
    QStringList Describe(bool details) const;
    void FillRemoveMenu();
    void Changed(const std::function<void(tLessonAnalyses&)>& change);
    void Say(const QString& problem);
    void Finished(quint64 request, const tFitResult& result);

    const tMainActions& FActions;
    tResultReading& FReading;
    QWidget* FWindow;
    QPointer<TfrExperiment> FFrame;
    const tExperiment* FScenario = nullptr;
    QPointer<tLesson> FLesson;
    std::unique_ptr<tFitRunner> FRunner;
    quint64 FRequest = 0;           // the fit awaited, 0 = none
    std::uint64_t FRequestRun = 0;  // tRun::Uid of its run
    QString FProblem;               // why the last action drew nothing, for the strip
    bool FSaying = false;           // the strip has lines of ours
    tFitModel FLastModel = tFitModel::Approach;
    QString FLastFormula;
    QMenu* FRemoveMenu;
};
