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

struct tModelFunctions {
    std::size_t ParameterCount;
    // The value at time t (counted from the origin where the model has one).
    double (*Value)(double t, const double* p);
    // ∂value/∂p_j into g[j].
    void (*Gradient)(double t, const double* p, double* g);
    // Starting values from the points (finite, at least ParameterCount + 1 of them, not all
    // of one value); always gives finite numbers.
    void (*Guess)(const std::vector<double>& t, const std::vector<double>& y, double* p);
    // Brings a result to its canonical form (sine: A > 0, ω > 0, −π < φ ≤ π); may be null.
    void (*Normalise)(double* p);
    // Whether t counts from the first fitted point (exponential, approach to a limit).
    bool FromOrigin;
};

// The row of a built-in model (not Formula).
const tModelFunctions& ModelFunctions(tFitModel model);

// A built-in model over times `t`.
class tCurveModel : public tLeastSquaresModel {
  public:
    tCurveModel(tFitModel model, const std::vector<double>& t);
    std::size_t ParameterCount() const override { return FRow.ParameterCount; }
    std::size_t PointCount() const override { return FT.size(); }
    bool Values(const double* p, double* f) const override;
    bool Jacobian(const double* p, double* jacobian) const override;

  private:
    const tModelFunctions& FRow;
    const std::vector<double>& FT;
};

// A formula over data columns, one column per variable of the formula (same length each).
class tFormulaModel : public tLeastSquaresModel {
  public:
    tFormulaModel(const tFormula& formula, std::vector<const std::vector<double>*> columns);
    std::size_t ParameterCount() const override { return FFormula.Parameters().size(); }
    std::size_t PointCount() const override { return FColumns.empty() ? 0 : FColumns[0]->size(); }
    bool Values(const double* p, double* f) const override;

  private:
    const tFormula& FFormula;
    std::vector<const std::vector<double>*> FColumns;
};

// ---- small linear fits the guesses use (exposed for their tests) ----
// y ≈ a + b·t by least squares; false when t does not vary.
bool FitStraightLine(const std::vector<double>& t, const std::vector<double>& y, double& a, double& b);
