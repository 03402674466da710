// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Fitmodels.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace {

using tVector = std::vector<double>;

double Mean(const tVector& v) {
    return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

// Mean of the first or the last twentieth of the values (at least one): a start or end value that
// noise moves little.
double HeadMean(const tVector& y) {
    const std::size_t k = std::max<std::size_t>(1, y.size() / 20);
    return std::accumulate(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(k), 0.0) /
           static_cast<double>(k);
}
double TailMean(const tVector& y) {
    const std::size_t k = std::max<std::size_t>(1, y.size() / 20);
    return std::accumulate(y.end() - static_cast<std::ptrdiff_t>(k), y.end(), 0.0) / static_cast<double>(k);
}

double Finite(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

// Solves the symmetric 3×3 system m·x = r by Gaussian elimination with pivoting; false when it is
// singular.
bool Solve3(double m[3][3], double r[3], double x[3]) {
    for (int c = 0; c < 3; ++c) {
        int pivot = c;
        for (int i = c + 1; i < 3; ++i)
            if (std::abs(m[i][c]) > std::abs(m[pivot][c])) pivot = i;
        if (!(std::abs(m[pivot][c]) > 1e-300)) return false;
        std::swap(m[c], m[pivot]);
        std::swap(r[c], r[pivot]);
        for (int i = c + 1; i < 3; ++i) {
            const double f = m[i][c] / m[c][c];
            for (int k = c; k < 3; ++k) m[i][k] -= f * m[c][k];
            r[i] -= f * r[c];
        }
    }
    for (int c = 2; c >= 0; --c) {
        double s = r[c];
        for (int k = c + 1; k < 3; ++k) s -= m[c][k] * x[k];
        x[c] = s / m[c][c];
    }
    return std::isfinite(x[0]) && std::isfinite(x[1]) && std::isfinite(x[2]);
}

// y ≈ x0·u + x1·v + x2·w by least squares over the points `index` picks (all when empty); the
// columns are centred and scaled first so that the normal equations stay well conditioned.
struct tThreeColumns {
    const tVector& U;
    const tVector& V;
    const tVector& W;
};
bool FitThreeColumns(const tThreeColumns& columns, const tVector& y, double x[3]) {
    const tVector* cols[3] = {&columns.U, &columns.V, &columns.W};
    const std::size_t n = y.size();
    double scale[3];
    for (int c = 0; c < 3; ++c) {
        double s = 0;
        for (double v : *cols[c]) s = std::max(s, std::abs(v));
        scale[c] = s > 0 ? s : 1;
    }
    double m[3][3] = {}, r[3] = {};
    for (std::size_t i = 0; i < n; ++i) {
        double row[3];
        for (int c = 0; c < 3; ++c) row[c] = (*cols[c])[i] / scale[c];
        for (int a = 0; a < 3; ++a) {
            r[a] += row[a] * y[i];
            for (int b = 0; b < 3; ++b) m[a][b] += row[a] * row[b];
        }
    }
    if (!Solve3(m, r, x)) return false;
    for (int c = 0; c < 3; ++c) x[c] /= scale[c];
    return true;
}

// ---- proportional: y = k·t ----

double ProportionalValue(double t, const double* p) {
    return p[0] * t;
}
void ProportionalGradient(double t, const double*, double* g) {
    g[0] = t;
}
void ProportionalGuess(const tVector& t, const tVector& y, double* p) {
    double ty = 0, tt = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        ty += t[i] * y[i];
        tt += t[i] * t[i];
    }
    p[0] = tt > 0 ? Finite(ty / tt, 0) : 0;
}

// ---- linear: y = a + b·t ----

double LinearValue(double t, const double* p) {
    return p[0] + p[1] * t;
}
void LinearGradient(double t, const double*, double* g) {
    g[0] = 1;
    g[1] = t;
}
void LinearGuess(const tVector& t, const tVector& y, double* p) {
    if (!FitStraightLine(t, y, p[0], p[1])) {
        p[0] = Mean(y);
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
void QuadraticGuess(const tVector& t, const tVector& y, double* p) {
    // In u = t − mean(t) the three columns are far less alike than in t itself.
    const double m = Mean(t);
    tVector one(t.size(), 1.0), u(t.size()), u2(t.size());
    for (std::size_t i = 0; i < t.size(); ++i) {
        u[i] = t[i] - m;
        u2[i] = u[i] * u[i];
    }
    double x[3];
    if (!FitThreeColumns({one, u, u2}, y, x)) {
        LinearGuess(t, y, p);
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
void ExponentialGuess(const tVector& t, const tVector& y, double* p) {
    // ln|y| is a straight line in t when all values have one sign.
    const bool positive = std::all_of(y.begin(), y.end(), [](double v) { return v > 0; });
    const bool negative = std::all_of(y.begin(), y.end(), [](double v) { return v < 0; });
    if (positive || negative) {
        tVector logs(y.size());
        for (std::size_t i = 0; i < y.size(); ++i) logs[i] = std::log(std::abs(y[i]));
        double a = 0, b = 0;
        if (FitStraightLine(t, logs, a, b) && std::isfinite(std::exp(a))) {
            p[0] = (positive ? 1 : -1) * std::exp(a);
            p[1] = b;
            return;
        }
    }
    p[0] = HeadMean(y);
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
void ApproachGuess(const tVector& t, const tVector& y, double* p) {
    // dy/dt = (C − y)/τ integrated from the first point: y = y(0) + (C/τ)·t − (1/τ)·∫y dt, which is
    // linear in 1, t and the running integral S; a least-squares fit of those three columns gives
    // C, y0 and τ without any search, and the integral smooths the noise.
    const std::size_t n = t.size();
    tVector one(n, 1.0), s(n, 0.0);
    for (std::size_t i = 1; i < n; ++i) s[i] = s[i - 1] + 0.5 * (y[i] + y[i - 1]) * (t[i] - t[i - 1]);
    double x[3];
    const double span = t.back() - t.front();
    if (FitThreeColumns({one, t, s}, y, x) && x[2] != 0) {
        const double tau = -1 / x[2];
        const double c = -x[1] / x[2];
        if (std::isfinite(tau) && std::isfinite(c) && std::abs(tau) < 1e3 * span) {
            p[0] = c;
            p[1] = x[0];
            p[2] = tau;
            return;
        }
    }
    p[0] = TailMean(y);
    p[1] = HeadMean(y);
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
void PowerGuess(const tVector& t, const tVector& y, double* p) {
    tVector lt, ly;
    int sign = 0;
    bool oneSign = true;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] <= 0 || y[i] == 0) continue;
        const int s = y[i] > 0 ? 1 : -1;
        if (sign == 0) sign = s;
        if (s != sign) oneSign = false;
        lt.push_back(std::log(t[i]));
        ly.push_back(std::log(std::abs(y[i])));
    }
    double a = 0, b = 0;
    if (oneSign && lt.size() >= 2 && FitStraightLine(lt, ly, a, b) && std::isfinite(std::exp(a))) {
        p[0] = sign * std::exp(a);
        p[1] = b;
        return;
    }
    p[1] = 1;
    ProportionalGuess(t, y, p);
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
double SineAt(const tVector& t, const tVector& y, double omega, double x[3]) {
    const std::size_t n = t.size();
    tVector sn(n), cs(n), one(n, 1.0);
    for (std::size_t i = 0; i < n; ++i) {
        sn[i] = std::sin(omega * t[i]);
        cs[i] = std::cos(omega * t[i]);
    }
    if (!FitThreeColumns({sn, cs, one}, y, x)) return HUGE_VAL;
    double rss = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double r = y[i] - x[0] * sn[i] - x[1] * cs[i] - x[2];
        rss += r * r;
    }
    return rss;
}

void SineGuess(const tVector& tAll, const tVector& yAll, double* p) {
    // A few thousand evenly picked points are plenty for a start and keep the search cheap.
    constexpr std::size_t kSample = 2000;
    const std::size_t stride = std::max<std::size_t>(1, tAll.size() / kSample);
    tVector t, y;
    for (std::size_t i = 0; i < tAll.size(); i += stride) {
        t.push_back(tAll[i]);
        y.push_back(yAll[i]);
    }
    const double mean = Mean(y);
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

bool FitStraightLine(const tVector& t, const tVector& y, double& a, double& b) {
    const std::size_t n = t.size();
    if (n < 2) return false;
    const double mt = Mean(t), my = Mean(y);
    double stt = 0, sty = 0;
    for (std::size_t i = 0; i < n; ++i) {
        stt += (t[i] - mt) * (t[i] - mt);
        sty += (t[i] - mt) * (y[i] - my);
    }
    if (!(stt > 0)) return false;
    b = sty / stt;
    a = my - b * mt;
    return std::isfinite(a) && std::isfinite(b);
}

const tModelFunctions& ModelFunctions(tFitModel model) {
    const auto index = static_cast<std::size_t>(model);
    return kRows[std::min(index, std::size(kRows) - 1)];
}

tCurveModel::tCurveModel(tFitModel model, const std::vector<double>& t)
    : FRow(ModelFunctions(model)), FT(t) {}

bool tCurveModel::Values(const double* p, double* f) const {
    for (std::size_t i = 0; i < FT.size(); ++i) f[i] = FRow.Value(FT[i], p);
    return true;
}

bool tCurveModel::Jacobian(const double* p, double* jacobian) const {
    const std::size_t m = FRow.ParameterCount;
    for (std::size_t i = 0; i < FT.size(); ++i) FRow.Gradient(FT[i], p, jacobian + i * m);
    return true;
}

tFormulaModel::tFormulaModel(const tFormula& formula, std::vector<const std::vector<double>*> columns)
    : FFormula(formula), FColumns(std::move(columns)) {}

bool tFormulaModel::Values(const double* p, double* f) const {
    const std::size_t n = PointCount(), k = FColumns.size();
    std::vector<double> variables(k);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t c = 0; c < k; ++c) variables[c] = (*FColumns[c])[i];
        f[i] = FFormula.Evaluate(variables.data(), p);
    }
    return true;
}
