// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Leastsquares.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_multilarge_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

#include "analysis/Bigblocks.h"

namespace {

// A model value that cannot be computed counts as this far off: the solver sees a step that makes
// things much worse and shortens it, instead of stopping on an error.
constexpr double kUncomputable = 1e100;
// Points per block when the start is checked.
constexpr std::size_t kBlock = 1024;
// Step along the velocity for the second directional derivative (GSL's own default).
constexpr double kFvvStep = 0.02;

// GSL's default error handler aborts the program; every failure is read from return codes here.
void SwitchOffGslAborts() {
    static std::once_flag once;
    std::call_once(once, [] { gsl_set_error_handler_off(); });
}

struct tProblem {
    const tLeastSquaresModel* Model;
    const double* Y;
    std::size_t N, P;
    bool Large = false;
    // The large path asks for several products of the Jacobian at one point and for the model's
    // values there again: both are kept for the point they were computed at.
    tSampleVector Jacobian, Values;
    std::vector<double> JacobianAt, ValuesAt;
};

bool Same(const std::vector<double>& kept, const gsl_vector* x) {
    if (kept.size() != x->size) return false;
    for (std::size_t j = 0; j < x->size; ++j)
        if (kept[j] != x->data[j * x->stride]) return false;
    return true;
}

int Residuals(const gsl_vector* x, void* params, gsl_vector* f) {
    auto* problem = static_cast<tProblem*>(params);
    double* out = f->data;  // GSL's vectors here are dense (stride 1)
    if (!problem->Model->Values(x->data, 0, problem->N, out)) {
        std::fill(out, out + problem->N, kUncomputable);
        return GSL_SUCCESS;
    }
    if (problem->Large) {
        problem->Values.assign(out, out + problem->N);
        problem->ValuesAt.assign(x->data, x->data + problem->P);
    }
    for (std::size_t i = 0; i < problem->N; ++i) {
        const double r = out[i] - problem->Y[i];
        out[i] = std::isfinite(r) ? r : kUncomputable;
    }
    return GSL_SUCCESS;
}

bool AllFinite(const double* values, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
        if (!std::isfinite(values[k])) return false;
    return true;
}

// At a minimum the residual vector stands at right angles to every column of the Jacobian
// (whatever the units of the parameters), or it is rounding noise: data the model meets exactly.
// `gradient` is Jᵀf, `columns` the columns' lengths.
bool AtMinimum(double normF, double normY, const double* gradient, const double* columns, std::size_t p) {
    constexpr double kRightAngle = 1e-7;
    constexpr double kExact = 1e-11;
    if (normF <= kExact * normY) return true;
    for (std::size_t j = 0; j < p; ++j)
        if (columns[j] > 0 && std::abs(gradient[j]) > kRightAngle * columns[j] * normF) return false;
    return true;
}

struct tWorkspaceFree {
    void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
    void operator()(gsl_multilarge_nlinear_workspace* w) const { gsl_multilarge_nlinear_free(w); }
    void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
    void operator()(gsl_vector* v) const { gsl_vector_free(v); }
};
template <class T>
using tOwned = std::unique_ptr<T, tWorkspaceFree>;

// σ_j = sqrt(C_jj · RSS/(n − p)) from C = (JᵀJ)⁻¹ given as `covariance` of the column-scaled
// problem (C_s = (D⁻¹JᵀJD⁻¹)⁻¹ with D the columns' lengths in `scale`).
void SigmasFromScaled(const gsl_matrix* covariance, const std::vector<double>& scale,
                      tLeastSquaresOutcome& outcome, std::size_t n) {
    const std::size_t p = scale.size();
    const double variance = outcome.Rss / static_cast<double>(n - p);
    outcome.Sigmas.resize(p);
    for (std::size_t j = 0; j < p; ++j) {
        const double c = gsl_matrix_get(covariance, j, j) / (scale[j] * scale[j]);
        // A parameter the data does not fix shows as a dropped pivot (zero) or no number.
        if (!(c > 0) || !std::isfinite(c)) {
            outcome.Status = tLeastSquaresStatus::Undetermined;
            outcome.Sigmas.clear();
            return;
        }
        outcome.Sigmas[j] = std::sqrt(c * variance);
    }
}

// The iterations both paths share, over GSL's calls for one of them: `atMinimum()`, `iterate()`
// (a GSL status), `test()` (converged), `position()` and `residual()` of the workspace.
template <class tAtMinimum, class tIterate, class tTest, class tPosition, class tResidual>
tLeastSquaresStatus Iterate(const tLeastSquaresOptions& options, std::size_t p, tLeastSquaresOutcome& outcome,
                            tAtMinimum atMinimum, tIterate iterate, tTest test, tPosition position,
                            tResidual residual) {
    // A start that is already the answer (the guess of a straight line is) needs no step: the
    // trust region would only shrink its radius a dozen times before it gave up.
    tLeastSquaresStatus status =
        atMinimum() ? tLeastSquaresStatus::Converged : tLeastSquaresStatus::NotConverged;
    for (int iteration = 0; iteration < options.MaxIterations && status != tLeastSquaresStatus::Converged;
         ++iteration) {
        if (options.Cancel && options.Cancel->load(std::memory_order_relaxed))
            return tLeastSquaresStatus::Cancelled;
        const int step = iterate();
        outcome.Iterations = iteration + 1;
        if (step == GSL_ENOPROG) {
            // No step makes the sum of squares smaller: a minimum, or stuck.
            status = atMinimum() ? tLeastSquaresStatus::Converged : tLeastSquaresStatus::NotConverged;
            break;
        }
        if (step != GSL_SUCCESS) return tLeastSquaresStatus::NotFinite;
        if (test()) status = tLeastSquaresStatus::Converged;
    }
    const gsl_vector* x = position();
    outcome.Parameters.assign(x->data, x->data + p);
    const double norm = gsl_blas_dnrm2(residual());
    outcome.Rss = norm * norm;
    return status;
}

// ---- up to LargeFrom points: gsl_multifit_nlinear with the whole Jacobian ----

int FullJacobian(const gsl_vector* x, void* params, gsl_matrix* jacobian) {
    auto* problem = static_cast<tProblem*>(params);
    // GSL's own matrices are dense rows of p; written in place, not element by element.
    if (jacobian->tda != problem->P) return GSL_EBADLEN;
    if (!problem->Model->Jacobian(x->data, 0, problem->N, jacobian->data)) return GSL_EDOM;
    return AllFinite(jacobian->data, problem->N * problem->P) ? GSL_SUCCESS : GSL_EDOM;
}

bool SmallAtMinimum(gsl_multifit_nlinear_workspace* w, double normY) {
    const gsl_vector* f = gsl_multifit_nlinear_residual(w);
    const gsl_matrix* jacobian = gsl_multifit_nlinear_jac(w);
    const std::size_t p = jacobian->size2;
    std::vector<double> gradient(p), columns(p);
    for (std::size_t j = 0; j < p; ++j) {
        gsl_vector_const_view column = gsl_matrix_const_column(jacobian, j);
        columns[j] = gsl_blas_dnrm2(&column.vector);
        gsl_blas_ddot(&column.vector, f, &gradient[j]);
    }
    return AtMinimum(gsl_blas_dnrm2(f), normY, gradient.data(), columns.data(), p);
}

tLeastSquaresStatus IterateSmall(tProblem& problem, const std::vector<double>& start,
                                 const tLeastSquaresOptions& options, double normY,
                                 tLeastSquaresOutcome& outcome) {
    gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
    params.trs = gsl_multifit_nlinear_trs_lmaccel;
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = Residuals;
    fdf.df = FullJacobian;
    fdf.fvv = nullptr;  // GSL differentiates along the step for the geodesic acceleration
    fdf.n = problem.N;
    fdf.p = problem.P;
    fdf.params = &problem;
    tOwned<gsl_multifit_nlinear_workspace> w(
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, problem.N, problem.P));
    if (!w) return tLeastSquaresStatus::NotFinite;
    gsl_vector_const_view x0 = gsl_vector_const_view_array(start.data(), problem.P);
    if (gsl_multifit_nlinear_init(&x0.vector, &fdf, w.get()) != GSL_SUCCESS)
        return tLeastSquaresStatus::BadStart;

    gsl_multifit_nlinear_workspace* ws = w.get();
    return Iterate(
        options, problem.P, outcome, [&] { return SmallAtMinimum(ws, normY); },
        [&] { return gsl_multifit_nlinear_iterate(ws); },
        [&] {
            int info = 0;
            return gsl_multifit_nlinear_test(options.XTolerance, options.GTolerance, 0, &info, ws) ==
                   GSL_SUCCESS;
        },
        [&] { return gsl_multifit_nlinear_position(ws); }, [&] { return gsl_multifit_nlinear_residual(ws); });
}

// The covariance by QR of the Jacobian at the result itself (not at the last trial step). Each
// column is scaled to length 1 first, so that "this parameter is not fixed by the data" does not
// depend on the parameters' units: a column that is (nearly) a combination of the others then
// shows as a tiny pivot, which GSL leaves out.
void SmallSigmas(tProblem& problem, tLeastSquaresOutcome& outcome) {
    const std::size_t n = problem.N, p = problem.P;
    tOwned<gsl_matrix> jacobian(gsl_matrix_alloc(n, p));
    tOwned<gsl_matrix> covariance(gsl_matrix_alloc(p, p));
    gsl_vector_const_view x = gsl_vector_const_view_array(outcome.Parameters.data(), p);
    if (!jacobian || !covariance || FullJacobian(&x.vector, &problem, jacobian.get()) != GSL_SUCCESS) {
        outcome.Status = tLeastSquaresStatus::NotFinite;
        return;
    }
    std::vector<double> scale(p);
    for (std::size_t j = 0; j < p; ++j) {
        gsl_vector_view column = gsl_matrix_column(jacobian.get(), j);
        scale[j] = gsl_blas_dnrm2(&column.vector);
        if (!(scale[j] > 0)) {
            outcome.Status = tLeastSquaresStatus::Undetermined;
            return;
        }
        gsl_vector_scale(&column.vector, 1 / scale[j]);
    }
    constexpr double kDependent = 1e-12;
    if (gsl_multifit_nlinear_covar(jacobian.get(), kDependent, covariance.get()) != GSL_SUCCESS) {
        outcome.Status = tLeastSquaresStatus::Undetermined;
        return;
    }
    SigmasFromScaled(covariance.get(), scale, outcome, n);
}

// ---- from LargeFrom points on: gsl_multilarge_nlinear, the Jacobian's products summed in blocks ----

// The Jacobian at `x`, computed once per point the solver stands on.
bool JacobianAt(tProblem& problem, const gsl_vector* x) {
    if (Same(problem.JacobianAt, x)) return true;
    problem.JacobianAt.clear();
    problem.Jacobian.resize(problem.N * problem.P);
    if (!problem.Model->Jacobian(x->data, 0, problem.N, problem.Jacobian.data()) ||
        !AllFinite(problem.Jacobian.data(), problem.Jacobian.size()))
        return false;
    problem.JacobianAt.assign(x->data, x->data + problem.P);
    return true;
}

// Jᵀu (u n long) or J·u (u p long) into v, and JᵀJ, whichever are asked for (GSL's contract for
// the large interface; the normal-equations solver reads JᵀJ's lower triangle).
int LargeProducts(CBLAS_TRANSPOSE_t trans, const gsl_vector* x, const gsl_vector* u, void* params,
                  gsl_vector* v, gsl_matrix* jtj) {
    auto* problem = static_cast<tProblem*>(params);
    const std::size_t n = problem->N, p = problem->P;
    if (!JacobianAt(*problem, x)) return GSL_EDOM;
    const double* rows = problem->Jacobian.data();
    if (v && u && trans == CblasNoTrans) {
        for (std::size_t i = 0; i < n; ++i) {
            double s = 0;
            for (std::size_t j = 0; j < p; ++j) s += rows[i * p + j] * u->data[j * u->stride];
            v->data[i * v->stride] = s;
        }
    } else if (v && u) {
        std::vector<double> sum(p, 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            const double ui = u->data[i * u->stride];
            for (std::size_t j = 0; j < p; ++j) sum[j] += rows[i * p + j] * ui;
        }
        for (std::size_t j = 0; j < p; ++j) v->data[j * v->stride] = sum[j];
    }
    if (jtj) {
        std::vector<double> sum(p * p, 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            const double* row = rows + i * p;
            for (std::size_t j = 0; j < p; ++j)
                for (std::size_t k = 0; k <= j; ++k) sum[j * p + k] += row[j] * row[k];
        }
        for (std::size_t j = 0; j < p; ++j)
            for (std::size_t k = 0; k <= j; ++k) {
                gsl_matrix_set(jtj, j, k, sum[j * p + k]);
                gsl_matrix_set(jtj, k, j, sum[j * p + k]);
            }
    }
    return GSL_SUCCESS;
}

// The model's second derivative along the velocity v by GSL's own difference rule,
// fvv = (2/h)·((f(x + hv) − f(x))/h − J·v); where it has no value the acceleration is left out (0).
int LargeSecondDerivative(const gsl_vector* x, const gsl_vector* v, void* params, gsl_vector* fvv) {
    auto* problem = static_cast<tProblem*>(params);
    const std::size_t n = problem->N, p = problem->P;
    if (!Same(problem->ValuesAt, x)) {
        problem->Values.resize(n);
        if (!problem->Model->Values(x->data, 0, n, problem->Values.data())) return GSL_EDOM;
        problem->ValuesAt.assign(x->data, x->data + p);
    }
    if (!JacobianAt(*problem, x)) return GSL_EDOM;
    std::vector<double> ahead(x->data, x->data + p), velocity(p);
    for (std::size_t j = 0; j < p; ++j) {
        velocity[j] = v->data[j * v->stride];
        ahead[j] += kFvvStep * velocity[j];
    }
    double values[kBlock];
    const double* rows = problem->Jacobian.data();
    for (std::size_t first = 0; first < n; first += kBlock) {
        const std::size_t count = std::min(kBlock, n - first);
        const bool ok = problem->Model->Values(ahead.data(), first, count, values);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t i = first + k;
            double jv = 0;
            for (std::size_t j = 0; j < p; ++j) jv += rows[i * p + j] * velocity[j];
            const double d = 2 / kFvvStep * ((values[k] - problem->Values[i]) / kFvvStep - jv);
            fvv->data[i * fvv->stride] = ok && std::isfinite(d) ? d : 0;
        }
    }
    return GSL_SUCCESS;
}

// Jᵀf and JᵀJ at `x` for the residuals `f`.
bool LargeGradient(tProblem& problem, const double* x, const gsl_vector* f, std::vector<double>& gradient,
                   gsl_matrix* jtj) {
    gsl_vector_const_view xv = gsl_vector_const_view_array(x, problem.P);
    gsl_vector_view g = gsl_vector_view_array(gradient.data(), problem.P);
    return LargeProducts(CblasTrans, &xv.vector, f, &problem, &g.vector, jtj) == GSL_SUCCESS;
}

bool LargeAtMinimum(tProblem& problem, gsl_multilarge_nlinear_workspace* w, double normY) {
    const std::size_t p = problem.P;
    std::vector<double> gradient(p), columns(p);
    tOwned<gsl_matrix> jtj(gsl_matrix_alloc(p, p));
    const gsl_vector* f = gsl_multilarge_nlinear_residual(w);
    if (!LargeGradient(problem, gsl_multilarge_nlinear_position(w)->data, f, gradient, jtj.get()))
        return false;
    for (std::size_t j = 0; j < p; ++j) columns[j] = std::sqrt(gsl_matrix_get(jtj.get(), j, j));
    return AtMinimum(gsl_blas_dnrm2(f), normY, gradient.data(), columns.data(), p);
}

tLeastSquaresStatus IterateLarge(tProblem& problem, const std::vector<double>& start,
                                 const tLeastSquaresOptions& options, double normY,
                                 tLeastSquaresOutcome& outcome) {
    gsl_multilarge_nlinear_parameters params = gsl_multilarge_nlinear_default_parameters();
    params.trs = gsl_multilarge_nlinear_trs_lmaccel;
    gsl_multilarge_nlinear_fdf fdf{};
    fdf.f = Residuals;
    fdf.df = LargeProducts;
    fdf.fvv = LargeSecondDerivative;
    fdf.n = problem.N;
    fdf.p = problem.P;
    fdf.params = &problem;
    tOwned<gsl_multilarge_nlinear_workspace> w(
        gsl_multilarge_nlinear_alloc(gsl_multilarge_nlinear_trust, &params, problem.N, problem.P));
    if (!w) return tLeastSquaresStatus::NotFinite;
    gsl_vector_const_view x0 = gsl_vector_const_view_array(start.data(), problem.P);
    if (gsl_multilarge_nlinear_init(&x0.vector, &fdf, w.get()) != GSL_SUCCESS)
        return tLeastSquaresStatus::BadStart;

    gsl_multilarge_nlinear_workspace* ws = w.get();
    return Iterate(
        options, problem.P, outcome, [&] { return LargeAtMinimum(problem, ws, normY); },
        [&] { return gsl_multilarge_nlinear_iterate(ws); },
        [&] {
            int info = 0;
            return gsl_multilarge_nlinear_test(options.XTolerance, options.GTolerance, 0, &info, ws) ==
                   GSL_SUCCESS;
        },
        [&] { return gsl_multilarge_nlinear_position(ws); },
        [&] { return gsl_multilarge_nlinear_residual(ws); });
}

// The covariance from JᵀJ at the result, summed in blocks: scaled to a unit diagonal, then
// Cholesky; nearly dependent columns show as a condition number past what doubles resolve.
void LargeSigmas(tProblem& problem, tLeastSquaresOutcome& outcome) {
    const std::size_t p = problem.P;
    tOwned<gsl_matrix> jtj(gsl_matrix_alloc(p, p));
    gsl_vector_const_view x = gsl_vector_const_view_array(outcome.Parameters.data(), p);
    if (LargeProducts(CblasTrans, &x.vector, nullptr, &problem, nullptr, jtj.get()) != GSL_SUCCESS) {
        outcome.Status = tLeastSquaresStatus::NotFinite;
        return;
    }
    std::vector<double> scale(p);
    for (std::size_t j = 0; j < p; ++j) {
        scale[j] = std::sqrt(gsl_matrix_get(jtj.get(), j, j));
        if (!(scale[j] > 0)) {
            outcome.Status = tLeastSquaresStatus::Undetermined;
            return;
        }
    }
    for (std::size_t j = 0; j < p; ++j)
        for (std::size_t k = 0; k < p; ++k)
            gsl_matrix_set(jtj.get(), j, k, gsl_matrix_get(jtj.get(), j, k) / (scale[j] * scale[k]));
    constexpr double kDependent = 1e-14;  // the square of the small path's pivot bound, near doubles' limit
    tOwned<gsl_vector> work(gsl_vector_alloc(3 * p));
    double rcond = 0;
    if (gsl_linalg_cholesky_decomp1(jtj.get()) != GSL_SUCCESS ||
        gsl_linalg_cholesky_rcond(jtj.get(), &rcond, work.get()) != GSL_SUCCESS || rcond < kDependent ||
        gsl_linalg_cholesky_invert(jtj.get()) != GSL_SUCCESS) {
        outcome.Status = tLeastSquaresStatus::Undetermined;
        return;
    }
    SigmasFromScaled(jtj.get(), scale, outcome, problem.N);
}

}  // namespace

bool tLeastSquaresModel::Jacobian(const double* p, std::size_t first, std::size_t count, double* rows) const {
    const std::size_t m = ParameterCount();
    std::vector<double> q(p, p + m);
    std::vector<double> f1(count), f2(count), f3(count), f4(count);
    // Step near the fifth root of the machine precision, relative to the parameter: the truncation
    // error (h⁴) and the rounding error (ε/h) of the five-point rule then balance.
    const double rel = std::pow(std::numeric_limits<double>::epsilon(), 0.2);
    for (std::size_t j = 0; j < m; ++j) {
        const double h = rel * (p[j] != 0 ? std::abs(p[j]) : 1.0);
        const double at = p[j];
        q[j] = at - 2 * h;
        if (!Values(q.data(), first, count, f1.data())) return false;
        q[j] = at - h;
        if (!Values(q.data(), first, count, f2.data())) return false;
        q[j] = at + h;
        if (!Values(q.data(), first, count, f3.data())) return false;
        q[j] = at + 2 * h;
        if (!Values(q.data(), first, count, f4.data())) return false;
        q[j] = at;
        for (std::size_t i = 0; i < count; ++i)
            rows[i * m + j] = (f1[i] - 8 * f2[i] + 8 * f3[i] - f4[i]) / (12 * h);
    }
    return true;
}

tLeastSquaresOutcome SolveLeastSquares(const tLeastSquaresModel& model, const double* y,
                                       const std::vector<double>& start,
                                       const tLeastSquaresOptions& options) {
    SwitchOffGslAborts();
    tLeastSquaresOutcome outcome;
    outcome.Parameters = start;
    const std::size_t n = model.PointCount(), p = model.ParameterCount();
    if (p == 0 || start.size() != p || n < p + 1) {
        outcome.Status = tLeastSquaresStatus::TooFewPoints;
        return outcome;
    }
    tProblem problem{&model, y, n, p, n >= options.LargeFrom, {}, {}, {}, {}};
    {
        // Checked in blocks so that a million points need no second array of values.
        std::vector<double> f(std::min(n, kBlock));
        for (std::size_t first = 0; first < n; first += kBlock) {
            const std::size_t count = std::min(kBlock, n - first);
            if (!model.Values(start.data(), first, count, f.data()) || !AllFinite(f.data(), count)) {
                outcome.Status = tLeastSquaresStatus::BadStart;
                return outcome;
            }
        }
    }
    gsl_vector_const_view yView = gsl_vector_const_view_array(y, n);
    const double normY = gsl_blas_dnrm2(&yView.vector);
    const bool large = problem.Large;
    tLeastSquaresStatus status = large ? IterateLarge(problem, start, options, normY, outcome)
                                       : IterateSmall(problem, start, options, normY, outcome);
    if (!AllFinite(outcome.Parameters.data(), p) || !std::isfinite(outcome.Rss) ||
        outcome.Rss >= kUncomputable * kUncomputable)
        status = status == tLeastSquaresStatus::Cancelled ? status : tLeastSquaresStatus::NotFinite;
    outcome.Status = status;
    if (status != tLeastSquaresStatus::Converged) return outcome;
    if (large)
        LargeSigmas(problem, outcome);
    else
        SmallSigmas(problem, outcome);
    return outcome;
}
