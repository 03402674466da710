// SPDX-License-Identifier: GPL-3.0-or-later
// Nonlinear least squares: the parameters p that make a model's values f_i(p) come closest to
// measured values y_i (smallest sum of squared differences), with the parameters' standard
// deviations as NIST certifies them (the covariance (JᵀJ)⁻¹ scaled by the residual variance
// RSS / (n − p)). GSL's trust-region Levenberg–Marquardt with geodesic acceleration does the work.
// Free of Qt and of shared state: any thread may solve, each call with its own model object.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

// The model as the solver sees it: n values depending on p parameters. Implementations hold their
// own data (times, further variables) and may be called many times per iteration.
class tLeastSquaresModel {
  public:
    virtual ~tLeastSquaresModel() = default;
    virtual std::size_t ParameterCount() const = 0;
    virtual std::size_t PointCount() const = 0;
    // The model's value at every point for the parameters `p`; false when they cannot be computed
    // (the solver then takes a shorter step or gives up).
    virtual bool Values(const double* p, double* f) const = 0;
    // ∂f_i/∂p_j into `jacobian` (row i, column j; n rows of p). The default differentiates Values
    // with five-point central differences, good to about 12 digits.
    virtual bool Jacobian(const double* p, double* jacobian) const;
};

struct tLeastSquaresOptions {
    int MaxIterations = 400;
    // Converged when no parameter moves by more than XTolerance of itself in a step, or the
    // gradient or the relative change of the sum of squares fall below theirs.
    double XTolerance = 1e-13;
    double GTolerance = 1e-13;
    double FTolerance = 1e-15;
    // Checked between iterations: a set flag ends the solve as Cancelled.
    const std::atomic<bool>* Cancel = nullptr;
};

enum class tLeastSquaresStatus {
    Converged,
    TooFewPoints,  // fewer points than parameters + 1: no residual variance to scale with
    BadStart,      // the model has no finite value at the starting parameters
    NotConverged,  // the iteration limit came first
    NotFinite,     // the model or its derivatives stopped being finite on the way
    Undetermined,  // JᵀJ is singular at the result: some parameters are not fixed by the data
    Cancelled,
};

struct tLeastSquaresOutcome {
    tLeastSquaresStatus Status = tLeastSquaresStatus::NotConverged;
    std::vector<double> Parameters;  // the best found (the start when nothing better was found)
    std::vector<double> Sigmas;      // standard deviations; empty unless Converged
    double Rss = 0;                  // residual sum of squares at Parameters
    int Iterations = 0;
    bool Ok() const { return Status == tLeastSquaresStatus::Converged; }
};

// Fits `model` to `y` (model.PointCount() values) from the parameters `start`.
tLeastSquaresOutcome SolveLeastSquares(const tLeastSquaresModel& model, const double* y,
                                       const std::vector<double>& start,
                                       const tLeastSquaresOptions& options = {});
