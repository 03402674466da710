// SPDX-License-Identifier: GPL-3.0-or-later
// TfrPulse: the experiment frame of the pulse sensor. Under the raw wave of chMain a second chart
// chPulse shows the heart rate in beats per minute on the same time axis; beats are found in the
// wave after every batch of points (tBeatDetector). chPulse has its own markers and read-out.
// The rates are derived from the wave, so they are not runs of the lesson: each chPulse series
// keeps them in its own irregular run (X = time of the beat), emptied when its wave run restarts.
// The lesson keeps the rates of a run as they were shown live (tLesson::HeartRates); whenever the
// main chart takes other runs of the lesson between runs (a lesson opened, a run chosen), each
// series shows its run's kept rates, or derives them again from a wave that has none kept (a
// lesson of an older program, an edited wave). The two
// charts keep their plots on one left and right edge, so their time axes line up.
#pragma once

#include "experiments/Beatdetector.h"
#include "experiments/Experimentfr.h"

class QSplitter;
class TKeySplitter;

class TfrPulse : public TfrExperiment {
    Q_OBJECT
  public:
    TfrPulse(QWidget* owner, bool twiceMarker);
    ~TfrPulse() override;

    // The read-out of the chart whose markers moved (chMain or chPulse).
    QString GetMarkerText(const QString& formatX, const QString& formatY, TChart* chart) override;
    // The base text, then TAB, "Частота=" and the last rate when the rate curve has points.
    QString GetLastValueText(const QString& formatY) override;
    int StartMeasurement(const tExperiment& scenario) override;
    void StopMeasurement() override;
    // The base step on chMain, beat detection, then chPulse follows chMain's time axis.
    void UpdateAxes(bool autoSize) override;

    // chMain, then chPulse.
    QList<TChart*> Charts() const override;
    // The rate curves of every series: the kept rates of the runs the main chart shows, else derived
    // again from the waves (their own runs are emptied first).
    void DeriveRates();

    TChart* PulseChart() const { return chPulse; }
    QSplitter* VerticalSplitter() const;
    // Moves the border between the charts as its keys do: positive steps make chPulse taller.
    void GrowPulseChart(int steps);
    const tBeatDetector& Detector() const { return FDetector; }

    // The rate chart takes this share of the chart page the first times the page is shown.
    static constexpr double PulseHeightShare = 0.4;
    static constexpr int PulseHeightShowings = 2;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void LessonRunsShown() override;

  private:
    void ApplyPulseHeight();

    TChart* chPulse;
    TKeySplitter* slVert;
    tBeatDetector FDetector;
    int FChartShowings = 0;
    tLesson* FWatched = nullptr;  // the lesson whose edited runs make the rates derived again
};
