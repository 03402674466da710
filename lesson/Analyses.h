// SPDX-License-Identifier: GPL-3.0-or-later
// What a pupil reads off the runs beyond the markers: fitted formulas, slopes, areas and the curve
// drawn as a prediction before the run. Plain records for the lesson and its file: they say what
// was asked and, for a fit, what came out (fitting is not repeated on opening a lesson). The
// numbers are computed in analysis/; nothing here depends on it. Runs are named by their index in
// the lesson, points by their index in the run.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

// One formula fitted to the points First..Last (both included) of a run.
struct tFitRecord {
    // The model by its stored key: "proportional", "linear", "quadratic", "exponential",
    // "approach", "power", "sine", or "formula" for a formula the pupil typed.
    QString Model;
    QString Formula;  // the typed formula (with t and named parameters); empty for the others
    int Run = -1;
    qsizetype First = 0;
    qsizetype Last = 0;
    // The time the model's t counts from: the first fitted point's time for the exponential and
    // the approach to a limit (their starting value is the value there), 0 for the others.
    double Origin = 0;
    QStringList Names;       // parameter names, in the model's order
    QVector<double> Values;  // parameter values
    QVector<double> Sigmas;  // their standard deviations
    // How well it fits: residual sum of squares, root mean square of the residuals, R², and the
    // points that took part (points without a value do not).
    double Rss = 0;
    double Rmse = 0;
    double R2 = 0;
    qsizetype Points = 0;
    bool operator==(const tFitRecord&) const = default;
};

// The slope at a point: a straight line fitted to the points within Window seconds around it
// (half on each side, fewer at the run's ends), drawn as the tangent.
struct tSlopeRecord {
    int Run = -1;
    qsizetype Index = 0;
    double Window = 0;  // seconds, the whole width
    bool operator==(const tSlopeRecord&) const = default;
};

// The area under a run's curve between two of its points (either order), by the trapezoid rule.
struct tAreaRecord {
    int Run = -1;
    qsizetype First = 0;
    qsizetype Second = 0;
    bool operator==(const tAreaRecord&) const = default;
};

// The curve a pupil drew (or typed) before the run: points (seconds, value), time ascending.
struct tPredictionRecord {
    QVector<QPointF> Points;
    bool operator==(const tPredictionRecord&) const = default;
};

// Everything of the kind one lesson keeps; several fits per run may be kept.
struct tLessonAnalyses {
    QList<tFitRecord> Fits;
    QList<tSlopeRecord> Slopes;
    QList<tAreaRecord> Areas;
    tPredictionRecord Prediction;
    bool operator==(const tLessonAnalyses&) const = default;
};
