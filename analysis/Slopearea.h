// SPDX-License-Identifier: GPL-3.0-or-later
// The slope of a run at a point (the tangent: a straight line fitted to the points of a window
// around it, so noise does not decide it) and the area under a run between two points (trapezoid
// rule). Points without a value take no part. Pure computation on a tRun; any thread that owns the
// run.
#pragma once

#include <QString>

#include "lesson/Analyses.h"

class tRun;
struct tReadoutNames;

struct tSlope {
    bool Valid = false;
    QString Problem;   // why not, in a pupil's words
    double Slope = 0;  // value units per time unit
    double Sigma = 0;  // its standard deviation (0 when the window holds two points)
    // The tangent's point: the time of the index and the fitted line's value there.
    double T = 0;
    double Y = 0;
    // The window actually used (clipped at the run's ends) and the points in it.
    double From = 0;
    double To = 0;
    qsizetype Points = 0;
};

// The window a slope gets unless the pupil chose one: a tenth of the run's duration, at least
// four sampling steps.
double DefaultSlopeWindow(const tRun& run);
tSlope ComputeSlope(const tRun& run, const tSlopeRecord& slope);

struct tArea {
    bool Valid = false;
    QString Problem;
    double Area = 0;  // value units × time units, from the earlier point to the later one
    double From = 0;  // times of the two points, earlier first
    double To = 0;
    qsizetype Skipped = 0;  // points without a value bridged over
};

tArea ComputeArea(const tRun& run, const tAreaRecord& area);

// «Наклон при t = 12,0 с: 0,52 °C/с ± 0,01 (прямая по 41 точке за 4,0 с)».
QString SlopeText(const tSlope& slope, const tReadoutNames& names);
// «Площадь под кривой от 10,0 с до 20,0 с: 123 °C·с».
QString AreaText(const tArea& area, const tReadoutNames& names);
