// SPDX-License-Identifier: GPL-3.0-or-later
// A formula as a pupil may type it (UTF-8, any bytes): parsed, evaluated, and fitted to a few
// points. Whatever the text, the parser refuses or evaluates, and a fit that says it converged
// gives finite numbers and a curve that can be drawn.
#include <cmath>

#include "analysis/Fit.h"
#include "analysis/Formula.h"
#include "fuzz/Fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const tFormula formula(text, {"t"});
    if (formula.Ok()) {
        const std::vector<double> parameters(formula.Parameters().size(), 0.5);
        for (double t : {0.0, -1.0, 1e300, std::nan("")}) formula.Evaluate(&t, parameters.data());
    }
    tFitData points;
    points.Step = 0.5;
    for (double y : {1.0, 2.5, 2.0, 4.0, 3.5, 5.0}) points.Y.push_back(y);
    points.Last = 5;
    const tFitResult fit =
        Fit(tFitModel::Formula, QString::fromUtf8(text.data(), qsizetype(text.size())), points);
    FUZZ_CHECK(fit.Converged == fit.Problem.isEmpty());
    if (fit.Converged) {
        for (int i = 0; i < fit.Record.Values.size(); ++i)
            FUZZ_CHECK(std::isfinite(fit.Record.Values[i]) && fit.Record.Sigmas[i] > 0);
        FUZZ_CHECK(static_cast<bool>(FitCurve(fit.Record)));
    }
    return 0;
}
