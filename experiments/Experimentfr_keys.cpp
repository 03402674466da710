// SPDX-License-Identifier: GPL-3.0-or-later
// TfrExperiment: the markers from the keyboard, for pupils who do not use a mouse. The keys follow
// the mouse's rules: not while measuring, Ctrl chooses the second marker, and every change posts
// the marker message, so the read-out and the statistics follow as after a click.
#include <QKeyEvent>
#include <algorithm>

#include "components/Chart.h"
#include "experiments/Experimentfr.h"
#include "experiments/Nearestpoint.h"
#include "foundation/Appmessage.h"

namespace {
// Shift moves a marker this many points at once.
constexpr int kBigStep = 10;
}  // namespace

bool TfrExperiment::ChartKeyPressed(TChart* chart, QKeyEvent* event) {
    const int key = event->key();
    const bool move = key == Qt::Key_Left || key == Qt::Key_Right;
    const bool remove = key == Qt::Key_Delete || key == Qt::Key_Backspace;
    const qsizetype slot = FCharts.indexOf(chart);
    TChartSeries* series = chart->Series(FCurrentSeries);
    if ((!move && !remove) || FMeasuring || slot < 0 || !series || series->Count() == 0) return false;

    tLesson::tMarkers markers = FLesson->Markers(static_cast<int>(slot));
    int& marker = FTwiceMarker && (event->modifiers() & Qt::ControlModifier) ? markers.Second : markers.First;
    const int count = series->Count();
    TChartAxis& axis = chart->BottomAxis();
    if (remove) {
        marker = -1;
    } else if (marker < 0 || marker >= count) {
        // The first press puts the marker where the eye is: the middle of the shown time.
        const double middle = (axis.Minimum() + axis.Maximum()) / 2;
        marker = NearestPointIndex(
            count, [series](int i) { return series->X(i); }, middle);
    } else {
        const int step = (event->modifiers() & Qt::ShiftModifier) ? kBigStep : 1;
        marker = std::clamp(marker + (key == Qt::Key_Right ? step : -step), 0, count - 1);
    }
    // A marker moved off the shown time would draw no line: the time axis follows it.
    if (marker >= 0) {
        const double x = series->X(marker), min = axis.Minimum(), max = axis.Maximum();
        if (x < min || x > max) axis.SetRange(x - (max - min) / 2, x + (max - min) / 2);
    }
    FLesson->SetMarkers(static_cast<int>(slot), markers);
    chart->Replot();
    PostAppMessage(WM_MARKER_CHANGED, reinterpret_cast<intptr_t>(chart), 0);
    return true;
}
