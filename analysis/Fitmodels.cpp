// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Fitmodels.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Small linear least squares, y ≈ Σ x_c·column_c, summed point by point without copies: one pass
// finds each column's largest size, a second sums the normal equations of the scaled columns (so
// that they stay well conditioned), which Gaussian elimination solves. `row(i, columns, y)`
// gives point i; false when the columns are dependent.
template <int K, class tRow>
bool FitColumns(std::size_t n, tRow row, double x[K]) {
    double scale[K] = {}, c[K], y = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (row(i, c, y))
            for (int k = 0; k < K; ++k) scale[k] = std::max(scale[k], std::abs(c[k]));
    for (double& s : scale)
        if (!(s > 0)) s = 1;
    double m[K][K] = {}, r[K] = {};
    for (std::size_t i = 0; i < n; ++i) {
        if (!row(i, c, y)) continue;
        for (int a = 0; a < K; ++a) {
            c[a] /= scale[a];
            r[a] += c[a] * y;
        }
        for (int a = 0; a < K; ++a)
            for (int b = 0; b < K; ++b) m[a][b] += c[a] * c[b];
    }
    double largest = 0;
    for (int k = 0; k < K; ++k) largest = std::max(largest, m[k][k]);
    for (int col = 0; col < K; ++col) {
        int pivot = col;
        for (int i = col + 1; i < K; ++i)
            if (std::abs(m[i][col]) > std::abs(m[pivot][col])) pivot = i;
        if (!(std::abs(m[pivot][col]) > 1e-12 * largest)) return false;
        std::swap(m[col], m[pivot]);
        std::swap(r[col], r[pivot]);
        for (int i = col + 1; i < K; ++i) {
            const double f = m[i][col] / m[col][col];
            for (int k = col; k < K; ++k) m[i][k] -= f * m[col][k];
            r[i] -= f * r[col];
        }
    }
    for (int col = K - 1; col >= 0; --col) {
        double s = r[col];
        for (int k = col + 1; k < K; ++k) s -= m[col][k] * x[k];
        x[col] = s / m[col][col];
    }
    for (int k = 0; k < K; ++k) {
        x[k] /= scale[k];
        if (!std::isfinite(x[k])) return false;
    }
    return true;
}

// y ≈ a + b·x over the points where `use` holds, with x and y given per point; false when x does
// not vary there.
template <class tX, class tY, class tUse>
bool FitStraightLine(std::size_t n, tX x, tY y, tUse use, double& a, double& b) {
    double coefficients[2];
    const auto row = [&](std::size_t i, double* c, double& value) {
        if (!use(i)) return false;
        c[0] = 1;
        c[1] = x(i);
        value = y(i);
        return true;
    };
    if (!FitColumns<2>(n, row, coefficients)) return false;
    a = coefficients[0];
    b = coefficients[1];
    return true;
}

double MeanOf(const double* v, std::size_t n) {
    double s = 0;
    for (std::size_t i = 0; i < n; ++i) s += v[i];
    return s / static_cast<double>(n);
}

// Mean of the first or the last twentieth of the values (at least one): a start or end value that
// noise moves little.
double HeadMean(const tSamples& s) {
    return MeanOf(s.Y, std::max<std::size_t>(1, s.N / 20));
}
double TailMean(const tSamples& s) {
    const std::size_t k = std::max<std::size_t>(1, s.N / 20);
    return MeanOf(s.Y + (s.N - k), k);
}

// ---- proportional: y = k·t ----

double ProportionalValue(double t, const double* p) {
    return p[0] * t;
}
void ProportionalGradient(double t, const double*, double* g) {
    g[0] = t;
}
void ProportionalGuess(const tSamples& s, double* p) {
    double ty = 0, tt = 0;
    for (std::size_t i = 0; i < s.N; ++i) {
        ty += s.t(i) * s.Y[i];
        tt += s.t(i) * s.t(i);
    }
    p[0] = tt > 0 && std::isfinite(ty / tt) ? ty / tt : 0;
}

// ---- linear: y = a + b·t ----

double LinearValue(double t, const double* p) {
    return p[0] + p[1] * t;
}
void LinearGradient(double t, const double*, double* g) {
    g[0] = 1;
    g[1] = t;
}
void LinearGuess(const tSamples& s, double* p) {
    const auto all = [](std::size_t) { return true; };
    if (!FitStraightLine(
            s.N, [&](std::size_t i) { return s.t(i); }, [&](std::size_t i) { return s.Y[i]; }, all, p[0],
            p[1])) {
        p[0] = MeanOf(s.Y, s.N);
        p[1] = 0;
    }
}

// ---- quadratic: y = a + b·t + c·t² ----

double QuadraticValue(double t, const double* p) {
    return p[0] + (p[1] + p[2] * t) * t;
}
void QuadraticGradient(double t, const double*, double* g) {
    g[0] = 1;
    g[1] = t;
    g[2] = t * t;
}
void QuadraticGuess(const tSamples& s, double* p) {
    // In u = t − mean(t) the three columns are far less alike than in t itself.
    double m = 0;
    for (std::size_t i = 0; i < s.N; ++i) m += s.t(i);
    m /= static_cast<double>(s.N);
    double x[3];
    const bool ok = FitColumns<3>(
        s.N,
        [&](std::size_t i, double* c, double& y) {
            const double u = s.t(i) - m;
            c[0] = 1;
            c[1] = u;
            c[2] = u * u;
            y = s.Y[i];
            return true;
        },
        x);
    if (!ok) {
        LinearGuess(s, p);
        p[2] = 0;
        return;
    }
    // a + b(t − m) + c(t − m)² written in powers of t.
    p[0] = x[0] - x[1] * m + x[2] * m * m;
    p[1] = x[1] - 2 * x[2] * m;
    p[2] = x[2];
}

// ---- exponential: y = A·e^(k·t) ----

double ExponentialValue(double t, const double* p) {
    return p[0] * std::exp(p[1] * t);
}
void ExponentialGradient(double t, const double* p, double* g) {
    const double e = std::exp(p[1] * t);
    g[0] = e;
    g[1] = p[0] * t * e;
}
void ExponentialGuess(const tSamples& s, double* p) {
    // ln|y| is a straight line in t when all values have one sign.
    const bool positive = std::all_of(s.Y, s.Y + s.N, [](double v) { return v > 0; });
    const bool negative = std::all_of(s.Y, s.Y + s.N, [](double v) { return v < 0; });
    double a = 0, b = 0;
    if ((positive || negative) &&
        FitStraightLine(
            s.N, [&](std::size_t i) { return s.t(i); },
            [&](std::size_t i) { return std::log(std::abs(s.Y[i])); }, [](std::size_t) { return true; }, a,
            b) &&
        std::isfinite(std::exp(a))) {
        p[0] = (positive ? 1 : -1) * std::exp(a);
        p[1] = b;
        return;
    }
    p[0] = HeadMean(s);
    p[1] = 0;
}

// ---- approach to a limit: y = C + (y0 − C)·e^(−t/τ) ----

double ApproachValue(double t, const double* p) {
    return p[0] + (p[1] - p[0]) * std::exp(-t / p[2]);
}
void ApproachGradient(double t, const double* p, double* g) {
    const double e = std::exp(-t / p[2]);
    g[0] = 1 - e;
    g[1] = e;
    g[2] = (p[1] - p[0]) * e * t / (p[2] * p[2]);
}
void ApproachGuess(const tSamples& s, double* p) {
    // dy/dt = (C − y)/τ integrated from the first point: y = y(0) + (C/τ)·t − (1/τ)·∫y dt, which is
    // linear in 1, t and the running integral S; a least-squares fit of those three columns gives
    // C, y0 and τ without any search, and the integral smooths the noise. The rows come in order,
    // so S is summed as they pass (FitColumns walks them twice, from the start each time).
    double integral = 0;
    std::size_t last = 0;
    const auto row = [&](std::size_t i, double* c, double& y) {
        if (i == 0)
            integral = 0;
        else if (i == last + 1)
            integral += 0.5 * (s.Y[i] + s.Y[i - 1]) * (s.t(i) - s.t(i - 1));
        last = i;
        c[0] = 1;
        c[1] = s.t(i);
        c[2] = integral;
        y = s.Y[i];
        return true;
    };
    double x[3];
    const double span = s.t(s.N - 1) - s.t(0);
    if (FitColumns<3>(s.N, row, x) && x[2] != 0) {
        const double tau = -1 / x[2];
        const double c = -x[1] / x[2];
        if (std::isfinite(tau) && std::isfinite(c) && std::abs(tau) < 1e3 * span) {
            p[0] = c;
            p[1] = x[0];
            p[2] = tau;
            return;
        }
    }
    p[0] = TailMean(s);
    p[1] = HeadMean(s);
    p[2] = span > 0 ? span / 3 : 1;
}

// ---- power: y = A·t^b ----

double PowerValue(double t, const double* p) {
    if (t == 0) return p[1] > 0 ? 0 : p[1] == 0 ? p[0] : HUGE_VAL;
    return p[0] * std::pow(t, p[1]);
}
void PowerGradient(double t, const double* p, double* g) {
    if (t == 0) {
        // The limits as t → 0 for b > 0: the value and both derivatives vanish.
        g[0] = p[1] > 0 ? 0 : p[1] == 0 ? 1 : HUGE_VAL;
        g[1] = 0;
        return;
    }
    const double tb = std::pow(t, p[1]);
    g[0] = tb;
    g[1] = p[0] * tb * std::log(t);
}
void PowerGuess(const tSamples& s, double* p) {
    // ln|y| is a straight line in ln t where t > 0, when those values have one sign.
    const auto use = [&](std::size_t i) { return s.t(i) > 0 && s.Y[i] != 0; };
    int sign = 0;
    bool oneSign = true;
    for (std::size_t i = 0; i < s.N; ++i)
        if (use(i)) {
            const int each = s.Y[i] > 0 ? 1 : -1;
            if (sign == 0) sign = each;
            oneSign = oneSign && each == sign;
        }
    double a = 0, b = 0;
    if (sign != 0 && oneSign &&
        FitStraightLine(
            s.N, [&](std::size_t i) { return std::log(s.t(i)); },
            [&](std::size_t i) { return std::log(std::abs(s.Y[i])); }, use, a, b) &&
        std::isfinite(std::exp(a))) {
        p[0] = sign * std::exp(a);
        p[1] = b;
        return;
    }
    p[1] = 1;
    ProportionalGuess(s, p);
}

// ---- sine: y = A·sin(ω·t + φ) + C ----

double SineValue(double t, const double* p) {
    return p[0] * std::sin(p[1] * t + p[2]) + p[3];
}
void SineGradient(double t, const double* p, double* g) {
    const double a = p[1] * t + p[2];
    const double c = std::cos(a);
    g[0] = std::sin(a);
    g[1] = p[0] * t * c;
    g[2] = p[0] * c;
    g[3] = 1;
}

// For a known ω the rest is linear: y ≈ a·sin ωt + b·cos ωt + C. Returns the sum of squares left.
double SineAt(const std::vector<double>& t, const std::vector<double>& y, double omega, double x[3]) {
    const auto row = [&](std::size_t i, double* c, double& value) {
        c[0] = std::sin(omega * t[i]);
        c[1] = std::cos(omega * t[i]);
        c[2] = 1;
        value = y[i];
        return true;
    };
    if (!FitColumns<3>(t.size(), row, x)) return HUGE_VAL;
    double rss = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const double r = y[i] - x[0] * std::sin(omega * t[i]) - x[1] * std::cos(omega * t[i]) - x[2];
        rss += r * r;
    }
    return rss;
}

void SineGuess(const tSamples& s, double* p) {
    // A few thousand evenly picked points are plenty for a start and keep the search cheap.
    constexpr std::size_t kSample = 2000;
    const std::size_t stride = std::max<std::size_t>(1, s.N / kSample);
    std::vector<double> t, y;
    for (std::size_t i = 0; i < s.N; i += stride) {
        t.push_back(s.t(i));
        y.push_back(s.Y[i]);
    }
    const double mean = MeanOf(y.data(), y.size());
    double variance = 0;
    for (double v : y) variance += (v - mean) * (v - mean);
    const double sd = std::sqrt(variance / static_cast<double>(y.size()));
    const double span = t.back() - t.front();

    // The period from the crossings of the mean, with a dead band so that noise does not count.
    int state = 0, crossings = 0;
    double firstCross = 0, lastCross = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        const int now = y[i] > mean + 0.5 * sd ? 1 : y[i] < mean - 0.5 * sd ? -1 : 0;
        if (now == 0 || now == state) continue;
        if (state != 0) {
            if (crossings == 0) firstCross = t[i];
            lastCross = t[i];
            ++crossings;
        }
        state = now;
    }
    double omega = span > 0 ? std::numbers::pi / span : 1;  // half a period when nothing crosses
    if (crossings >= 2 && lastCross > firstCross)
        omega = std::numbers::pi * (crossings - 1) / (lastCross - firstCross);
    else if (crossings == 1 && span > 0)
        omega = 2 * std::numbers::pi / span;

    // Then the ω that leaves the least, first coarsely around the estimate, then finely.
    double best = omega, bestRss = HUGE_VAL, x[3];
    const auto scan = [&](double lowFactor, double highFactor, int steps) {
        const double centre = best;
        for (int k = 0; k <= steps; ++k) {
            const double w = centre * (lowFactor + (highFactor - lowFactor) * k / steps);
            const double rss = SineAt(t, y, w, x);
            if (w > 0 && rss < bestRss) {
                bestRss = rss;
                best = w;
            }
        }
    };
    scan(0.6, 1.6, 50);
    scan(0.97, 1.03, 30);
    if (std::isfinite(bestRss) && std::isfinite(SineAt(t, y, best, x))) {
        p[0] = std::hypot(x[0], x[1]);
        p[1] = best;
        p[2] = std::atan2(x[1], x[0]);
        p[3] = x[2];
        if (p[0] > 0) return;
    }
    p[0] = sd > 0 ? sd * std::numbers::sqrt2 : 1;
    p[1] = omega;
    p[2] = 0;
    p[3] = mean;
}

void SineNormalise(double* p) {
    if (p[1] < 0) {  // sin(−ωt + φ) = sin(ωt + π − φ)
        p[1] = -p[1];
        p[2] = std::numbers::pi - p[2];
    }
    if (p[0] < 0) {
        p[0] = -p[0];
        p[2] += std::numbers::pi;
    }
    p[2] = std::remainder(p[2], 2 * std::numbers::pi);
    if (p[2] <= -std::numbers::pi) p[2] += 2 * std::numbers::pi;
}

// In the order of tFitModel.
const tModelFunctions kRows[] = {
    {1, ProportionalValue, ProportionalGradient, ProportionalGuess, nullptr, false},
    {2, LinearValue, LinearGradient, LinearGuess, nullptr, false},
    {3, QuadraticValue, QuadraticGradient, QuadraticGuess, nullptr, false},
    {2, ExponentialValue, ExponentialGradient, ExponentialGuess, nullptr, true},
    {3, ApproachValue, ApproachGradient, ApproachGuess, nullptr, true},
    {2, PowerValue, PowerGradient, PowerGuess, nullptr, false},
    {4, SineValue, SineGradient, SineGuess, SineNormalise, false},
};

}  // namespace

const tModelFunctions& ModelFunctions(tFitModel model) {
    const auto index = static_cast<std::size_t>(model);
    return kRows[std::min(index, std::size(kRows) - 1)];
}

tCurveModel::tCurveModel(tFitModel model, const tSamples& points)
    : FRow(ModelFunctions(model)), FPoints(points) {}

bool tCurveModel::Values(const double* p, std::size_t first, std::size_t count, double* f) const {
    for (std::size_t i = 0; i < count; ++i) f[i] = FRow.Value(FPoints.t(first + i), p);
    return true;
}

bool tCurveModel::Jacobian(const double* p, std::size_t first, std::size_t count, double* rows) const {
    const std::size_t m = FRow.ParameterCount;
    for (std::size_t i = 0; i < count; ++i) FRow.Gradient(FPoints.t(first + i), p, rows + i * m);
    return true;
}

tFormulaModel::tFormulaModel(const tFormula& formula, std::vector<const double*> columns, std::size_t count)
    : FFormula(formula), FColumns(std::move(columns)), FCount(count) {}

bool tFormulaModel::Values(const double* p, std::size_t first, std::size_t count, double* f) const {
    std::vector<double> variables(FColumns.size());
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t c = 0; c < FColumns.size(); ++c) variables[c] = FColumns[c][first + i];
        f[i] = FFormula.Evaluate(variables.data(), p);
    }
    return true;
}
