// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a school formula to a range of a run: the models with their names and units, a copy of
// the points taken on the run's thread, the fit itself (no typing for the pupil: starting values
// come from the data) and its result record, which holds the lesson's tFitRecord. What cannot be
// fitted is refused with the reason in a pupil's words instead of a line drawn through nonsense.
// Fit may run on any thread (it reads only its copy); the rest is plain data.
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

#include "analysis/Bigblocks.h"
#include "analysis/Fitmodels.h"
#include "lesson/Analyses.h"

class tRun;

// How a parameter's unit follows from the units of the time and the value axes.
enum class tParameterUnit { None, Value, Time, ValuePerTime, ValuePerTime2, PerTime, Radian, RadianPerTime };

// A model's name for the pupil: the Russian source text, read in the interface's language each
// time it is shown (the table of models is built once, the language may change).
struct tFitModelTitle {
    const char* Source = "";
    operator QString() const;  // implicit: a title goes wherever a text goes
    bool isEmpty() const { return !Source || !*Source; }
};

struct tFitModelInfo {
    tFitModel Id;
    QString Key;           // what the lesson file stores, in every language
    tFitModelTitle Title;  // «Приближение к пределу»
    QString Formula;       // «y = C + (y0 − C)·e^(−t/τ)»; empty for «Своя формула»
    QStringList Names;
    std::vector<tParameterUnit> Units;
};

// Every model in menu order, «Своя формула» last.
const std::vector<tFitModelInfo>& FitModels();
const tFitModelInfo& FitModelInfo(tFitModel model);
// False for a key no model has (a lesson from a later program).
bool FitModelFromKey(const QString& key, tFitModel& model);

// The points to fit: a copy of a run's range, so the fit needs nothing of the run afterwards. An
// evenly spaced run's times are its indexes times Step and are not copied.
struct tFitData {
    int Run = -1;
    qsizetype First = 0;
    qsizetype Last = -1;
    double Step = 0;  // when T is empty
    tSampleVector T;  // the points' times, or empty
    tSampleVector Y;
};
// Points first..last (both included, either order, clipped to the run) of `run`; the lesson's
// index of the run goes into the record.
tFitData CopyFitData(const tRun& run, int runIndex, qsizetype first, qsizetype last);

struct tFitResult {
    bool Converged = false;
    // Why not, in a pupil's words («все значения одинаковы»); empty when Converged.
    QString Problem;
    // Model, formula, range and (when Converged) parameters, σ and quality.
    tFitRecord Record;
    qsizetype Skipped = 0;  // points of the range without a value, left out
    int Iterations = 0;
};

// Fits `model` (with `formula` for tFitModel::Formula) to `data`. A set `cancel` ends it early as
// not converged.
tFitResult Fit(tFitModel model, const QString& formula, const tFitData& data,
               const std::atomic<bool>* cancel = nullptr);

// The fitted curve as a function of the run's time, for drawing: NaN where the formula has no
// value. Null when the record cannot be evaluated (no parameters, an unknown model, a formula
// that no longer parses). The function of a typed formula is for one thread at a time.
std::function<double(double)> FitCurve(const tFitRecord& record);

Q_DECLARE_METATYPE(tFitResult)
