// SPDX-License-Identifier: GPL-3.0-or-later
// Nonlinear least squares: the parameters p that make a model's values f_i(p) come closest to
// measured values y_i (smallest sum of squared differences), with the parameters' standard
// deviations as NIST certifies them (the covariance (JᵀJ)⁻¹ scaled by the residual variance
// RSS / (n − p)). GSL's trust-region Levenberg–Marquardt with geodesic acceleration does the work:
// gsl_multifit_nlinear (QR of the Jacobian, exact to the last digits) for up to LargeFrom points,
// GSL's interface for large problems beyond, which never holds the n × p Jacobian: its products
// are summed block by block from the model, so a million points cost a few passes over the data.
// Free of Qt and of shared state: any thread may solve, each call with its own model object.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

// The model as the solver sees it: n values depending on p parameters. Implementations hold their
// own data (times, further variables) and are called for blocks of consecutive points.
class tLeastSquaresModel {
  public:
    virtual ~tLeastSquaresModel() = default;
    virtual std::size_t ParameterCount() const = 0;
    virtual std::size_t PointCount() const = 0;
    // The model's value at points first..first+count-1 for the parameters `p`; false when they
    // cannot be computed (the solver then takes a shorter step or gives up).
    virtual bool Values(const double* p, std::size_t first, std::size_t count, double* f) const = 0;
    // Those points' rows of the Jacobian ∂f_i/∂p_j (count rows of p values). The default
    // differentiates Values with five-point central differences, good to about 12 digits.
    virtual bool Jacobian(const double* p, std::size_t first, std::size_t count, double* rows) const;
};

struct tLeastSquaresOptions {
    int MaxIterations = 400;
    // Converged when no parameter moves by more than XTolerance of itself in a step, or the
    // gradient falls below GTolerance (GSL's scaled test).
    double XTolerance = 1e-8;
    double GTolerance = 1e-8;
    // From this many points on, the large-problem path (normal equations, summed in blocks).
    std::size_t LargeFrom = 10000;
    // Checked between iterations: a set flag ends the solve as Cancelled.
    const std::atomic<bool>* Cancel = nullptr;
};

enum class tLeastSquaresStatus {
    Converged,
    TooFewPoints,  // fewer points than parameters + 1: no residual variance to scale with
    BadStart,      // the model has no finite value at the starting parameters
    NotConverged,  // the iteration limit came first, or no step improved on a point that is no minimum
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
