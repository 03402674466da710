// SPDX-License-Identifier: GPL-3.0-or-later
// The formulas a school fits, as the solver needs them: each model one row of a table with its
// value, its derivatives by the parameters, its starting values found from the data and the
// canonical form of its result. Also the solver's views of data for a built-in model and for a
// typed formula. Qt-free; the rows are constant and may be read from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "analysis/Formula.h"
#include "analysis/Leastsquares.h"

// The order is the menu's; the numbers are never stored (the lesson keeps each model's key).
enum class tFitModel { Proportional, Linear, Quadratic, Exponential, Approach, Power, Sine, Formula };
constexpr int kFitModelCount = 8;

// Points to fit, not copied: t(i) is the model's time of point i, from its own time (T) or, for
// an evenly spaced run, from its index in the run as the run computes it (no array of times).
struct tSamples {
    const double* T = nullptr;  // null: evenly spaced
    const double* Y = nullptr;
    std::size_t N = 0;
    double Origin = 0;
    double Step = 0;             // evenly spaced: seconds between points
    std::size_t FirstIndex = 0;  // evenly spaced: the run's index of point 0
    double Time(std::size_t i) const { return T ? T[i] : static_cast<double>(FirstIndex + i) * Step; }
    double t(std::size_t i) const { return Time(i) - Origin; }
};

struct tModelFunctions {
    std::size_t ParameterCount;
    // The value at time t (counted from the origin where the model has one).
    double (*Value)(double t, const double* p);
    // ∂value/∂p_j into g[j].
    void (*Gradient)(double t, const double* p, double* g);
    // Starting values from the points (finite, at least ParameterCount + 1 of them, not all
    // of one value, not all at one time); always gives finite numbers.
    void (*Guess)(const tSamples& points, double* p);
    // Brings a result to its canonical form (sine: A > 0, ω > 0, −π < φ ≤ π); may be null.
    void (*Normalise)(double* p);
    // Whether t counts from the first fitted point (exponential, approach to a limit).
    bool FromOrigin;
};

// The row of a built-in model (not Formula).
const tModelFunctions& ModelFunctions(tFitModel model);

// A built-in model over the points' times.
class tCurveModel : public tLeastSquaresModel {
  public:
    tCurveModel(tFitModel model, const tSamples& points);
    std::size_t ParameterCount() const override { return FRow.ParameterCount; }
    std::size_t PointCount() const override { return FPoints.N; }
    bool Values(const double* p, std::size_t first, std::size_t count, double* f) const override;
    bool Jacobian(const double* p, std::size_t first, std::size_t count, double* rows) const override;

  private:
    const tModelFunctions& FRow;
    tSamples FPoints;
};

// A formula over data columns, one column per variable of the formula (`count` values each).
class tFormulaModel : public tLeastSquaresModel {
  public:
    tFormulaModel(const tFormula& formula, std::vector<const double*> columns, std::size_t count);
    std::size_t ParameterCount() const override { return FFormula.Parameters().size(); }
    std::size_t PointCount() const override { return FCount; }
    bool Values(const double* p, std::size_t first, std::size_t count, double* f) const override;

  private:
    const tFormula& FFormula;
    std::vector<const double*> FColumns;
    std::size_t FCount;
};
