// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Leastsquares.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

namespace {

// A model value that cannot be computed counts as this far off: the solver sees a step that makes
// things much worse and shortens it, instead of stopping on an error.
constexpr double kUncomputable = 1e100;

// GSL's default error handler aborts the program; every failure is read from return codes here.
void SwitchOffGslAborts() {
    static std::once_flag once;
    std::call_once(once, [] { gsl_set_error_handler_off(); });
}

struct tSolveData {
    const tLeastSquaresModel* Model;
    const double* Y;
    std::vector<double> Scratch;  // n × p for the Jacobian, row-major
};

int Residuals(const gsl_vector* x, void* params, gsl_vector* f) {
    auto* data = static_cast<tSolveData*>(params);
    const std::size_t n = data->Model->PointCount();
    double* out = f->data;  // allocated by GSL with stride 1
    if (!data->Model->Values(x->data, out)) {
        for (std::size_t i = 0; i < n; ++i) out[i] = kUncomputable;
        return GSL_SUCCESS;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double r = out[i] - data->Y[i];
        out[i] = std::isfinite(r) ? r : kUncomputable;
    }
    return GSL_SUCCESS;
}

int JacobianOf(const gsl_vector* x, void* params, gsl_matrix* jacobian) {
    auto* data = static_cast<tSolveData*>(params);
    const std::size_t n = data->Model->PointCount(), p = data->Model->ParameterCount();
    data->Scratch.resize(n * p);
    if (!data->Model->Jacobian(x->data, data->Scratch.data())) return GSL_EDOM;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < p; ++j) {
            const double d = data->Scratch[i * p + j];
            if (!std::isfinite(d)) return GSL_EDOM;
            gsl_matrix_set(jacobian, i, j, d);
        }
    return GSL_SUCCESS;
}

struct tWorkspaceFree {
    void operator()(gsl_multifit_nlinear_workspace* w) const { gsl_multifit_nlinear_free(w); }
};
struct tMatrixFree {
    void operator()(gsl_matrix* m) const { gsl_matrix_free(m); }
};

double SumOfSquares(const gsl_vector* f) {
    const double norm = gsl_blas_dnrm2(f);
    return norm * norm;
}

// At a minimum the residual vector stands at right angles to every column of the Jacobian
// (whatever the units of the parameters), or it is rounding noise: data the model meets exactly.
bool AtMinimum(gsl_multifit_nlinear_workspace* w, double normY) {
    constexpr double kRightAngle = 1e-7;
    constexpr double kExact = 1e-11;
    const gsl_vector* f = gsl_multifit_nlinear_residual(w);
    const gsl_matrix* jacobian = gsl_multifit_nlinear_jac(w);
    const double normF = gsl_blas_dnrm2(f);
    if (normF <= kExact * normY) return true;
    for (std::size_t j = 0; j < jacobian->size2; ++j) {
        gsl_vector_const_view column = gsl_matrix_const_column(jacobian, j);
        const double normJ = gsl_blas_dnrm2(&column.vector);
        double dot = 0;
        gsl_blas_ddot(&column.vector, f, &dot);
        if (normJ > 0 && std::abs(dot) > kRightAngle * normJ * normF) return false;
    }
    return true;
}

}  // namespace

bool tLeastSquaresModel::Jacobian(const double* p, double* jacobian) const {
    const std::size_t n = PointCount(), m = ParameterCount();
    std::vector<double> q(p, p + m);
    std::vector<double> f1(n), f2(n), f3(n), f4(n);
    // Step near the fifth root of the machine precision, relative to the parameter: the truncation
    // error (h⁴) and the rounding error (ε/h) of the five-point rule then balance.
    const double rel = std::pow(std::numeric_limits<double>::epsilon(), 0.2);
    for (std::size_t j = 0; j < m; ++j) {
        const double h = rel * (p[j] != 0 ? std::abs(p[j]) : 1.0);
        const double at = p[j];
        q[j] = at - 2 * h;
        if (!Values(q.data(), f1.data())) return false;
        q[j] = at - h;
        if (!Values(q.data(), f2.data())) return false;
        q[j] = at + h;
        if (!Values(q.data(), f3.data())) return false;
        q[j] = at + 2 * h;
        if (!Values(q.data(), f4.data())) return false;
        q[j] = at;
        for (std::size_t i = 0; i < n; ++i)
            jacobian[i * m + j] = (f1[i] - 8 * f2[i] + 8 * f3[i] - f4[i]) / (12 * h);
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

    tSolveData data{&model, y, {}};
    {
        std::vector<double> f(n);
        if (!model.Values(start.data(), f.data())) {
            outcome.Status = tLeastSquaresStatus::BadStart;
            return outcome;
        }
        for (std::size_t i = 0; i < n; ++i)
            if (!std::isfinite(f[i])) {
                outcome.Status = tLeastSquaresStatus::BadStart;
                return outcome;
            }
    }

    gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
    params.trs = gsl_multifit_nlinear_trs_lmaccel;
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = Residuals;
    fdf.df = JacobianOf;
    fdf.fvv = nullptr;  // GSL differentiates along the step for the geodesic acceleration
    fdf.n = n;
    fdf.p = p;
    fdf.params = &data;
    std::unique_ptr<gsl_multifit_nlinear_workspace, tWorkspaceFree> w(
        gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, n, p));
    if (!w) {
        outcome.Status = tLeastSquaresStatus::NotFinite;
        return outcome;
    }
    gsl_vector_const_view x0 = gsl_vector_const_view_array(start.data(), p);
    if (gsl_multifit_nlinear_init(&x0.vector, &fdf, w.get()) != GSL_SUCCESS) {
        outcome.Status = tLeastSquaresStatus::BadStart;
        return outcome;
    }

    gsl_vector_const_view yView = gsl_vector_const_view_array(y, n);
    const double normY = gsl_blas_dnrm2(&yView.vector);
    tLeastSquaresStatus status = tLeastSquaresStatus::NotConverged;
    for (int iteration = 0; iteration < options.MaxIterations; ++iteration) {
        if (options.Cancel && options.Cancel->load(std::memory_order_relaxed)) {
            status = tLeastSquaresStatus::Cancelled;
            break;
        }
        const int step = gsl_multifit_nlinear_iterate(w.get());
        outcome.Iterations = iteration + 1;
        if (step == GSL_ENOPROG) {
            // No step makes the sum of squares smaller: a minimum when the residuals stand at right
            // angles to every column of the Jacobian (a start that is already the answer, as the
            // guess of a line is), else stuck.
            status = AtMinimum(w.get(), normY) ? tLeastSquaresStatus::Converged
                                               : tLeastSquaresStatus::NotConverged;
            break;
        }
        if (step != GSL_SUCCESS) {
            status = tLeastSquaresStatus::NotFinite;
            break;
        }
        int info = 0;
        if (gsl_multifit_nlinear_test(options.XTolerance, options.GTolerance, options.FTolerance, &info,
                                      w.get()) == GSL_SUCCESS) {
            status = tLeastSquaresStatus::Converged;
            break;
        }
    }

    const gsl_vector* x = gsl_multifit_nlinear_position(w.get());
    outcome.Parameters.assign(x->data, x->data + p);
    outcome.Rss = SumOfSquares(gsl_multifit_nlinear_residual(w.get()));
    for (double value : outcome.Parameters)
        if (!std::isfinite(value)) status = tLeastSquaresStatus::NotFinite;
    if (!std::isfinite(outcome.Rss) || outcome.Rss >= kUncomputable) status = tLeastSquaresStatus::NotFinite;
    outcome.Status = status;
    if (status != tLeastSquaresStatus::Converged) return outcome;

    // The covariance from the Jacobian at the result itself (not at the last trial step).
    std::unique_ptr<gsl_matrix, tMatrixFree> jacobian(gsl_matrix_alloc(n, p));
    std::unique_ptr<gsl_matrix, tMatrixFree> covariance(gsl_matrix_alloc(p, p));
    if (!jacobian || !covariance || JacobianOf(x, &data, jacobian.get()) != GSL_SUCCESS) {
        outcome.Status = tLeastSquaresStatus::NotFinite;
        return outcome;
    }
    // Each column scaled to length 1 first, so that "this parameter is not fixed by the data" does not
    // depend on the parameters' units; a column that is (nearly) a combination of the others then
    // shows as a tiny pivot of the QR decomposition, which GSL leaves out (zero variance here).
    std::vector<double> scale(p, 0.0);
    for (std::size_t j = 0; j < p; ++j) {
        gsl_vector_view column = gsl_matrix_column(jacobian.get(), j);
        scale[j] = gsl_blas_dnrm2(&column.vector);
        if (!(scale[j] > 0)) {
            outcome.Status = tLeastSquaresStatus::Undetermined;
            return outcome;
        }
        gsl_vector_scale(&column.vector, 1 / scale[j]);
    }
    constexpr double kDependent = 1e-12;
    if (gsl_multifit_nlinear_covar(jacobian.get(), kDependent, covariance.get()) != GSL_SUCCESS) {
        outcome.Status = tLeastSquaresStatus::Undetermined;
        return outcome;
    }
    const double variance = outcome.Rss / static_cast<double>(n - p);
    outcome.Sigmas.resize(p);
    for (std::size_t j = 0; j < p; ++j) {
        const double c = gsl_matrix_get(covariance.get(), j, j) / (scale[j] * scale[j]);
        if (!(c > 0) || !std::isfinite(c)) {
            outcome.Status = tLeastSquaresStatus::Undetermined;
            outcome.Sigmas.clear();
            return outcome;
        }
        outcome.Sigmas[j] = std::sqrt(c * variance);
    }
    return outcome;
}
