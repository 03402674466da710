// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Fitwords.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/Statistics.h"
#include "foundation/Functions.h"

namespace {

constexpr int kMaxDecimals = 9;

// Decimals the first section of a number pattern shows ("0.0" 1, "#,##0" 0, `0.00" В"` 2);
// -1 for an empty pattern (no limit).
int PatternDecimals(const QString& pattern) {
    if (pattern.isEmpty()) return -1;
    int decimals = 0;
    bool quoted = false, after = false;
    QChar quote;
    for (const QChar c : pattern) {
        if (quoted) {
            if (c == quote) quoted = false;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quoted = true;
            quote = c;
        } else if (c == u';') {
            break;
        } else if (c == u'.') {
            after = true;
        } else if (after && (c == u'0' || c == u'#')) {
            ++decimals;
        } else if (after) {
            break;
        }
    }
    return decimals;
}

// `value` with `decimals` digits after the separator, rounded as the program rounds.
QString Fixed(double value, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    return FormatFloat(decimals == 0 ? QStringLiteral("0") : QStringLiteral("0.") + QString(decimals, u'0'),
                       value);
}

// Where σ's rounding falls: its first significant digit, or the second when the first is 1
// (0,14 stays 0,14 rather than 0,1).
int SigmaDecimals(double sigma) {
    const int lead = static_cast<int>(std::floor(std::log10(sigma)));
    const bool two = sigma / std::pow(10.0, lead) < 2;
    return std::clamp(-lead + (two ? 1 : 0), 0, kMaxDecimals);
}

// Two significant digits, never an exponent: 12, 4,6, 0,46, 123.
QString Rounded(double value) {
    if (!std::isfinite(value) || value == 0) return ShortNumber(value);
    const int lead = static_cast<int>(std::floor(std::log10(std::abs(value))));
    return Fixed(value, 1 - lead);
}

struct tWords {
    QString Name;   // the quantity («Температура»), «Значение» without a caption
    QString UnitX;  // «с», also when the time axis has no caption
    QString UnitY;
    QString FormatX;
    QString FormatY;
    bool Seconds() const { return SecondsUnit(UnitX); }
    QString Rate() const { return UnitY.isEmpty() ? QStringLiteral("1/") + UnitX : UnitY + u'/' + UnitX; }
};

tWords WordsFor(const tReadoutNames& names) {
    tWords words;
    words.Name = CaptionName(names.CaptionY);
    if (words.Name.isEmpty()) words.Name = QCoreApplication::translate("Fitwords", "Значение");
    words.UnitX = CaptionUnit(names.CaptionX);
    if (words.UnitX.isEmpty()) words.UnitX = QCoreApplication::translate("Fitwords", "с");
    words.UnitY = CaptionUnit(names.CaptionY);
    words.FormatX = names.FormatX;
    words.FormatY = names.FormatY;
    return words;
}

// «растёт на 0,524 °C ± 0,012 каждую секунду» or, for another time unit, «… на 0,524 °C/мин ± 0,012».
// A rate is no value of the axis: its digits follow σ alone.
QString ChangePerTime(const tWords& w, double rate, double sigma) {
    const QString verb = rate >= 0 ? QCoreApplication::translate("Fitwords", "растёт")
                                   : QCoreApplication::translate("Fitwords", "убывает");
    if (w.Seconds())
        return QCoreApplication::translate("Fitwords", "%1 на %2 каждую секунду")
            .arg(verb, ValueWithSigma(std::abs(rate), sigma, QString(), w.UnitY));
    return QCoreApplication::translate("Fitwords", "%1 на %2")
        .arg(verb, ValueWithSigma(std::abs(rate), sigma, QString(), w.Rate()));
}

QString Time(const tWords& w, double seconds, double sigma = 0) {
    return sigma > 0 ? ValueWithSigma(seconds, sigma, w.FormatX, w.UnitX)
                     : WithUnit(Rounded(seconds), w.UnitX);
}

QString Sentence(tFitModel model, const tFitRecord& r, const tWords& w) {
    const auto p = [&](int i) { return r.Values.value(i); };
    const auto s = [&](int i) { return r.Sigmas.value(i); };
    switch (model) {
        case tFitModel::Proportional:
            return QCoreApplication::translate("Fitwords", "%1 %2 — пропорционально времени")
                .arg(w.Name, ChangePerTime(w, p(0), s(0)));
        case tFitModel::Linear:
            return QCoreApplication::translate("Fitwords", "%1 %2, начиная с %3")
                .arg(w.Name, ChangePerTime(w, p(1), s(1)), ValueWithSigma(p(0), s(0), w.FormatY, w.UnitY));
        case tFitModel::Quadratic: {
            if (p(2) == 0) break;
            const double vertex = -p(1) / (2 * p(2));
            const double extreme = p(0) + (p(1) + p(2) * vertex) * vertex;
            return QCoreApplication::translate("Fitwords",
                                               "%1 меняется по параболе: %2 значение %3 при t = %4")
                .arg(w.Name,
                     p(2) < 0 ? QCoreApplication::translate("Fitwords", "наибольшее")
                              : QCoreApplication::translate("Fitwords", "наименьшее"),
                     WithUnit(FormatFloat(w.FormatY, extreme), w.UnitY), Time(w, vertex));
        }
        case tFitModel::Exponential: {
            if (p(1) == 0) break;
            const double doubling = std::numbers::ln2 / std::abs(p(1));
            const double sigma = std::numbers::ln2 * s(1) / (p(1) * p(1));
            return QCoreApplication::translate("Fitwords", "%1 %2 каждые %3")
                .arg(w.Name,
                     p(1) > 0 ? QCoreApplication::translate("Fitwords", "растёт вдвое")
                              : QCoreApplication::translate("Fitwords", "убывает вдвое"),
                     Time(w, doubling, sigma));
        }
        case tFitModel::Approach: {
            // After τ·ln 3 the distance to the limit is a third of what it was.
            const double third = std::abs(p(2)) * std::log(3.0);
            const QString limit = ValueWithSigma(p(0), s(0), w.FormatY, w.UnitY);
            if (p(2) > 0)
                return QCoreApplication::translate("Fitwords",
                                                   "%1 приближается к %2; за %3 остаётся треть разницы")
                    .arg(w.Name, limit, Time(w, third));
            return QCoreApplication::translate("Fitwords", "%1 удаляется от %2; за %3 разница растёт втрое")
                .arg(w.Name, limit, Time(w, third));
        }
        case tFitModel::Power:
            return QCoreApplication::translate("Fitwords", "%1 %2 как t в степени %3")
                .arg(w.Name,
                     p(0) * p(1) >= 0 ? QCoreApplication::translate("Fitwords", "растёт")
                                      : QCoreApplication::translate("Fitwords", "убывает"),
                     ValueWithSigma(p(1), s(1), QString()));
        case tFitModel::Sine: {
            if (p(1) == 0) break;
            const double period = 2 * std::numbers::pi / p(1);
            const double sigma = 2 * std::numbers::pi * s(1) / (p(1) * p(1));
            return QCoreApplication::translate("Fitwords",
                                               "%1 колеблется около %2 с амплитудой %3 и периодом %4")
                .arg(w.Name, ValueWithSigma(p(3), s(3), w.FormatY, w.UnitY),
                     ValueWithSigma(p(0), s(0), w.FormatY, w.UnitY), Time(w, period, sigma));
        }
        case tFitModel::Formula: {
            QStringList parts;
            for (int i = 0; i < r.Names.size(); ++i)
                parts << QStringLiteral("%1 = %2").arg(r.Names[i], ValueWithSigma(p(i), s(i), QString()));
            return QCoreApplication::translate("Fitwords", "Формула y = %1 подобрана: %2")
                .arg(r.Formula.trimmed(), parts.join(QStringLiteral("; ")));
        }
    }
    return QCoreApplication::translate("Fitwords", "%1 почти не меняется").arg(w.Name);
}

}  // namespace

QString ValueWithSigma(double value, double sigma, const QString& format, const QString& unit) {
    if (!(sigma > 0) || !std::isfinite(sigma) || !std::isfinite(value))
        return WithUnit(format.isEmpty() ? ShortNumber(value) : FormatFloat(format, value), unit);
    const int sigmaDecimals = SigmaDecimals(sigma);
    const int patternDecimals = PatternDecimals(format);
    const int valueDecimals = patternDecimals < 0 ? sigmaDecimals : std::min(patternDecimals, sigmaDecimals);
    return WithUnit(Fixed(value, valueDecimals), unit) + QStringLiteral(" ± ") + Fixed(sigma, sigmaDecimals);
}

QString ParameterUnit(tParameterUnit kind, const QString& unitX, const QString& unitY) {
    const QString x = unitX.isEmpty() ? QCoreApplication::translate("Fitwords", "с") : unitX;
    switch (kind) {
        case tParameterUnit::None:
            return {};
        case tParameterUnit::Value:
            return unitY;
        case tParameterUnit::Time:
            return x;
        case tParameterUnit::ValuePerTime:
            return unitY.isEmpty() ? QStringLiteral("1/") + x : unitY + u'/' + x;
        case tParameterUnit::ValuePerTime2:
            return (unitY.isEmpty() ? QStringLiteral("1") : unitY) + u'/' + x + QStringLiteral("²");
        case tParameterUnit::PerTime:
            return QStringLiteral("1/") + x;
        case tParameterUnit::Radian:
            return QCoreApplication::translate("Fitwords", "рад");
        case tParameterUnit::RadianPerTime:
            return QCoreApplication::translate("Fitwords", "рад/") + x;
    }
    return {};
}

QString FitSentence(const tFitRecord& record, const tReadoutNames& names) {
    tFitModel model;
    if (record.Values.isEmpty() || !FitModelFromKey(record.Model, model)) return {};
    return Sentence(model, record, WordsFor(names));
}

QString FitFailureSentence(const tFitResult& result) {
    return QCoreApplication::translate("Fitwords", "Не удалось подобрать: %1").arg(result.Problem);
}

QString FitDetails(const tFitRecord& record, const tReadoutNames& names) {
    tFitModel model;
    if (record.Values.isEmpty() || !FitModelFromKey(record.Model, model)) return {};
    const tFitModelInfo& info = FitModelInfo(model);
    const tWords w = WordsFor(names);
    QStringList lines;
    lines << (model == tFitModel::Formula
                  ? QStringLiteral("%1: y = %2").arg(QString(info.Title), record.Formula.trimmed())
                  : QStringLiteral("%1: %2").arg(QString(info.Title), info.Formula));
    for (int i = 0; i < record.Values.size(); ++i) {
        const tParameterUnit kind = i < static_cast<int>(info.Units.size())
                                        ? info.Units[static_cast<std::size_t>(i)]
                                        : tParameterUnit::None;
        lines << QStringLiteral("%1 = %2").arg(
            record.Names.value(i), ValueWithSigma(record.Values[i], record.Sigmas.value(i), QString(),
                                                  ParameterUnit(kind, w.UnitX, w.UnitY)));
    }
    if (model != tFitModel::Formula && ModelFunctions(model).FromOrigin && record.Origin != 0)
        lines << QCoreApplication::translate("Fitwords", "t отсчитывается от %1")
                     .arg(WithUnit(FormatFloat(w.FormatX, record.Origin), w.UnitX));
    lines << QCoreApplication::translate("Fitwords", "Точек: %1").arg(record.Points);
    lines << QCoreApplication::translate("Fitwords", "Среднее отклонение от кривой (RMSE): %1")
                 .arg(WithUnit(Rounded(record.Rmse), w.UnitY));
    lines << QStringLiteral("R² = %1").arg(FormatFloat(QStringLiteral("0.0000"), record.R2));
    return lines.join(u'\n');
}
