// SPDX-License-Identifier: GPL-3.0-or-later
// A fit in the words a pupil reads: one sentence for the statistics strip that says what the
// formula means for this quantity («Температура приближается к 33,1 °C ± 0,2; за 12 с остаётся
// треть разницы»), and the details (every parameter ± σ, RMSE, R²) for the tooltip and the
// report. Numbers carry the decimal separator and as many digits as their σ allows (no more than
// the scenario's number pattern gives the value). Pure functions.
#pragma once

#include <QString>

#include "analysis/Fit.h"

struct tReadoutNames;

// «33,1 ± 0,2» (value and σ rounded at σ's first significant digit, its second when that is 1;
// the value at most to the decimals of `format` when one is given); the value alone when σ is
// 0 or unknown.
QString ValueWithSigma(double value, double sigma, const QString& format, const QString& unit = QString());
// The unit of a parameter kind for the axes' units («°C/с», «1/с», «рад»).
QString ParameterUnit(tParameterUnit kind, const QString& unitX, const QString& unitY);

// The strip's sentence for a fitted record; empty for a record without parameters.
QString FitSentence(const tFitRecord& record, const tReadoutNames& names);
// The strip's sentence when the fit failed: «Не удалось подобрать: все значения одинаковы».
QString FitFailureSentence(const tFitResult& result);
// Several lines: the model and its formula, each parameter ± σ with its unit, where t counts
// from, the points, RMSE and R².
QString FitDetails(const tFitRecord& record, const tReadoutNames& names);
