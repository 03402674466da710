// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Fit.h"

#include <muParserDef.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <memory>

#include "lesson/Run.h"

namespace {

using enum tParameterUnit;

std::vector<tFitModelInfo> MakeModels() {
    auto names = [](std::initializer_list<const char*> list) {
        QStringList out;
        for (const char* name : list) out << QString::fromUtf8(name);
        return out;
    };
    return {
        {tFitModel::Proportional,
         QStringLiteral("proportional"),
         {QT_TRANSLATE_NOOP("Fit", "Пропорциональность")},
         QStringLiteral("y = k·t"),
         names({"k"}),
         {ValuePerTime}},
        {tFitModel::Linear,
         QStringLiteral("linear"),
         {QT_TRANSLATE_NOOP("Fit", "Прямая")},
         QStringLiteral("y = a + b·t"),
         names({"a", "b"}),
         {Value, ValuePerTime}},
        {tFitModel::Quadratic,
         QStringLiteral("quadratic"),
         {QT_TRANSLATE_NOOP("Fit", "Парабола")},
         QStringLiteral("y = a + b·t + c·t²"),
         names({"a", "b", "c"}),
         {Value, ValuePerTime, ValuePerTime2}},
        {tFitModel::Exponential,
         QStringLiteral("exponential"),
         {QT_TRANSLATE_NOOP("Fit", "Экспонента")},
         QStringLiteral("y = A·e^(k·t)"),
         names({"A", "k"}),
         {Value, PerTime}},
        {tFitModel::Approach,
         QStringLiteral("approach"),
         {QT_TRANSLATE_NOOP("Fit", "Приближение к пределу")},
         QStringLiteral("y = C + (y0 − C)·e^(−t/τ)"),
         names({"C", "y0", "τ"}),
         {Value, Value, Time}},
        {tFitModel::Power,
         QStringLiteral("power"),
         {QT_TRANSLATE_NOOP("Fit", "Степень")},
         QStringLiteral("y = A·t^b"),
         names({"A", "b"}),
         {None, None}},
        {tFitModel::Sine,
         QStringLiteral("sine"),
         {QT_TRANSLATE_NOOP("Fit", "Синусоида")},
         QStringLiteral("y = A·sin(ω·t + φ) + C"),
         names({"A", "ω", "φ", "C"}),
         {Value, RadianPerTime, Radian, Value}},
        {tFitModel::Formula,
         QStringLiteral("formula"),
         {QT_TRANSLATE_NOOP("Fit", "Своя формула")},
         QString(),
         {},
         {}},
    };
}

// «нужно хотя бы 3 точки, …», «… 5 точек, …», «… 21 точка, …»: the Russian word follows the number.
QString TooFewPoints(qsizetype needed, qsizetype have) {
    const qsizetype last2 = needed % 100, last = needed % 10;
    //: At least three points are always asked for: the English is plural in every form.
    const char* text =
        last2 >= 11 && last2 <= 14
            ? QT_TRANSLATE_NOOP("Fit", "нужно хотя бы %1 точек, а на участке только %2")
        : last == 1 ? QT_TRANSLATE_NOOP("Fit", "нужно хотя бы %1 точка, а на участке только %2")
        : last >= 2 && last <= 4 ? QT_TRANSLATE_NOOP("Fit", "нужно хотя бы %1 точки, а на участке только %2")
                                 : QT_TRANSLATE_NOOP("Fit", "нужно хотя бы %1 точек, а на участке только %2");
    return QCoreApplication::translate("Fit", text).arg(needed).arg(have);
}

QString Quoted(const std::string& token) {
    return QCoreApplication::translate("Fit", "«%1»").arg(QString::fromStdString(token).trimmed());
}

QString FormulaProblemText(const tFormula& formula) {
    switch (formula.Problem()) {
        case tFormulaProblem::None:
            return {};
        case tFormulaProblem::Empty:
            return QCoreApplication::translate("Fit", "формула не введена");
        case tFormulaProblem::TooLong:
            return QCoreApplication::translate("Fit", "формула длиннее %1 знаков")
                .arg(tFormula::kMaxFormulaLength);
        case tFormulaProblem::BadName:
            return QCoreApplication::translate("Fit", "в формуле непонятное имя %1")
                .arg(Quoted(formula.Token()));
        case tFormulaProblem::TooManyParameters:
            return QCoreApplication::translate("Fit", "в формуле больше %1 неизвестных")
                .arg(tFormula::kMaxParameters);
        case tFormulaProblem::Syntax:
            break;
    }
    const QString token = Quoted(formula.Token());
    switch (formula.Code()) {
        case mu::ecUNEXPECTED_EOF:
            return QCoreApplication::translate("Fit",
                                               "формула обрывается: в конце не хватает числа или скобки");
        case mu::ecMISSING_PARENS:
            return QCoreApplication::translate("Fit", "в формуле не хватает закрывающей скобки");
        case mu::ecUNEXPECTED_PARENS:
            return QCoreApplication::translate("Fit", "в формуле лишняя скобка %1").arg(token);
        case mu::ecUNASSIGNABLE_TOKEN:
        case mu::ecINVALID_CHARACTERS_FOUND:
            return QCoreApplication::translate("Fit", "в формуле непонятный знак %1").arg(token);
        case mu::ecUNEXPECTED_OPERATOR:
            return QCoreApplication::translate("Fit", "в формуле лишний знак %1").arg(token);
        case mu::ecUNEXPECTED_VAL:
        case mu::ecUNEXPECTED_VAR:
        case mu::ecUNEXPECTED_FUN:
            return QCoreApplication::translate("Fit", "перед %1 не хватает знака действия (например, *)")
                .arg(token);
        case mu::ecTOO_MANY_PARAMS:
        case mu::ecTOO_FEW_PARAMS:
            return QCoreApplication::translate("Fit", "у функции %1 не то число чисел в скобках").arg(token);
        default:
            break;
    }
    return formula.Token().empty()
               ? QCoreApplication::translate("Fit", "в формуле ошибка")
               : QCoreApplication::translate("Fit", "в формуле ошибка около %1").arg(token);
}

QString SolveProblemText(tLeastSquaresStatus status) {
    switch (status) {
        case tLeastSquaresStatus::Converged:
            return {};
        case tLeastSquaresStatus::TooFewPoints:
            return QCoreApplication::translate("Fit", "слишком мало точек");
        case tLeastSquaresStatus::BadStart:
            return QCoreApplication::translate(
                "Fit", "формулу нельзя вычислить на этих точках (например, деление на ноль)");
        case tLeastSquaresStatus::NotConverged:
            return QCoreApplication::translate("Fit", "подбор не сошёлся: формула не подходит к этим точкам");
        case tLeastSquaresStatus::NotFinite:
            return QCoreApplication::translate(
                "Fit", "формула не подходит к этим точкам: получаются бесконечные значения");
        case tLeastSquaresStatus::Undetermined:
            return QCoreApplication::translate("Fit", "по этим точкам неизвестные нельзя найти однозначно");
        case tLeastSquaresStatus::Cancelled:
            return QCoreApplication::translate("Fit", "подбор прерван");
    }
    return {};
}

bool AllEqual(const double* v, std::size_t n) {
    return std::all_of(v, v + n, [&](double x) { return x == v[0]; });
}

// Starts a typed formula is tried from, in turn, until one converges: its unknowns may be of any
// size and sign, and a formula linear in them converges from any start anyway.
constexpr double kFormulaStarts[] = {1.0, 0.1, -1.0, 10.0};

}  // namespace

tFitModelTitle::operator QString() const {
    return QCoreApplication::translate("Fit", Source);
}

const std::vector<tFitModelInfo>& FitModels() {
    static const std::vector<tFitModelInfo> models = MakeModels();
    return models;
}

const tFitModelInfo& FitModelInfo(tFitModel model) {
    const auto& models = FitModels();
    return models[std::min(static_cast<std::size_t>(model), models.size() - 1)];
}

bool FitModelFromKey(const QString& key, tFitModel& model) {
    for (const tFitModelInfo& info : FitModels())
        if (info.Key == key) {
            model = info.Id;
            return true;
        }
    return false;
}

tFitData CopyFitData(const tRun& run, int runIndex, qsizetype first, qsizetype last) {
    tFitData data;
    data.Run = runIndex;
    if (first > last) std::swap(first, last);
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, run.Count() - 1);
    data.First = first;
    data.Last = last;
    if (last < first) return data;
    const qsizetype count = last - first + 1;
    data.Y.resize(static_cast<std::size_t>(count));
    if (run.Evenly()) {
        data.Step = run.Step();
        run.CopyValues(first, count, data.Y.data());
    } else {
        data.T.resize(static_cast<std::size_t>(count));
        run.CopyValues(first, count, data.Y.data(), data.T.data());
    }
    return data;
}

tFitResult Fit(tFitModel model, const QString& formulaText, const tFitData& data,
               const std::atomic<bool>* cancel) {
    tFitResult result;
    const tFitModelInfo& info = FitModelInfo(model);
    tFitRecord& record = result.Record;
    record.Model = info.Key;
    record.Run = data.Run;
    record.First = data.First;
    record.Last = data.Last;
    record.Names = info.Names;

    std::unique_ptr<tFormula> formula;
    std::size_t parameters = 0;
    if (model == tFitModel::Formula) {
        record.Formula = formulaText;
        formula = std::make_unique<tFormula>(formulaText.toStdString(), std::vector<std::string>{"t"});
        if (!formula->Ok()) {
            result.Problem = FormulaProblemText(*formula);
            return result;
        }
        if (formula->Parameters().empty()) {
            result.Problem =
                QCoreApplication::translate("Fit", "в формуле нет неизвестных — подбирать нечего");
            return result;
        }
        for (const std::string& name : formula->Parameters()) record.Names << QString::fromStdString(name);
        parameters = formula->Parameters().size();
    } else {
        parameters = ModelFunctions(model).ParameterCount;
    }

    // Points without a value (a sensor's gap) take no part; the copy's arrays serve as they are
    // when there is none, which is the rule.
    const bool times = !data.T.empty();
    const std::size_t total = times ? std::min(data.T.size(), data.Y.size()) : data.Y.size();
    const auto valued = [&](std::size_t i) {
        return std::isfinite(data.Y[i]) && (!times || std::isfinite(data.T[i]));
    };
    std::size_t finite = 0;
    for (std::size_t i = 0; i < total; ++i)
        if (valued(i)) ++finite;
    tSamples points{times ? data.T.data() : nullptr,     data.Y.data(), finite, 0, data.Step,
                    static_cast<std::size_t>(data.First)};
    result.Skipped = static_cast<qsizetype>(total - finite);
    // A typed formula reads its times from an array.
    tSampleVector keptT, keptY;
    if (finite < total || (formula && !times)) {
        keptT.reserve(finite);
        keptY.reserve(finite);
        for (std::size_t i = 0; i < total; ++i)
            if (valued(i)) {
                keptT.push_back(points.Time(i));
                keptY.push_back(data.Y[i]);
            }
        points.T = keptT.data();
        points.Y = keptY.data();
    }
    const auto n = static_cast<qsizetype>(points.N);
    const auto needed = static_cast<qsizetype>(std::max<std::size_t>(3, parameters + 1));
    if (n == 0) {
        result.Problem = QCoreApplication::translate("Fit", "на участке нет ни одного измеренного значения");
        return result;
    }
    if (n < needed) {
        result.Problem = TooFewPoints(needed, n);
        return result;
    }
    if (AllEqual(points.Y, points.N)) {
        result.Problem = QCoreApplication::translate("Fit", "все значения одинаковы");
        return result;
    }
    if (points.t(0) == points.t(points.N - 1)) {  // times ascend
        result.Problem = QCoreApplication::translate("Fit", "все точки сняты в один и тот же момент");
        return result;
    }
    if (model == tFitModel::Power && points.t(0) < 0) {
        result.Problem =
            QCoreApplication::translate("Fit", "для степенной формулы время должно быть не меньше нуля");
        return result;
    }

    tLeastSquaresOptions options;
    options.Cancel = cancel;
    tLeastSquaresOutcome outcome;
    if (formula) {
        const tFormulaModel fitted(*formula, {points.T}, points.N);
        for (double start : kFormulaStarts) {
            outcome = SolveLeastSquares(fitted, points.Y, std::vector<double>(parameters, start), options);
            if (outcome.Ok() || outcome.Status == tLeastSquaresStatus::Cancelled) break;
        }
    } else {
        const tModelFunctions& row = ModelFunctions(model);
        if (row.FromOrigin) points.Origin = record.Origin = points.Time(0);
        std::vector<double> start(parameters);
        row.Guess(points, start.data());
        outcome = SolveLeastSquares(tCurveModel(model, points), points.Y, start, options);
        if (outcome.Ok() && row.Normalise) row.Normalise(outcome.Parameters.data());
    }
    result.Iterations = outcome.Iterations;
    // A τ far beyond the fitted span is a straight piece: its "limit" would be a guess far off.
    const double span = points.t(points.N - 1) - points.t(0);
    if (outcome.Ok() && model == tFitModel::Approach && std::abs(outcome.Parameters[2]) > 100 * span) {
        result.Problem = QCoreApplication::translate(
            "Fit", "кривая на участке почти прямая: к какому значению она идёт, не видно");
        return result;
    }
    if (!outcome.Ok()) {
        result.Problem = SolveProblemText(outcome.Status);
        return result;
    }

    double mean = 0;
    for (std::size_t i = 0; i < points.N; ++i) mean += points.Y[i];
    mean /= static_cast<double>(n);
    double spread = 0;
    for (std::size_t i = 0; i < points.N; ++i) spread += (points.Y[i] - mean) * (points.Y[i] - mean);
    record.Values = QVector<double>(outcome.Parameters.begin(), outcome.Parameters.end());
    record.Sigmas = QVector<double>(outcome.Sigmas.begin(), outcome.Sigmas.end());
    record.Rss = outcome.Rss;
    record.Rmse = std::sqrt(outcome.Rss / static_cast<double>(n));
    record.R2 = spread > 0 ? 1 - outcome.Rss / spread : 0;
    record.Points = n;
    result.Converged = true;
    return result;
}

std::function<double(double)> FitCurve(const tFitRecord& record) {
    tFitModel model;
    if (!FitModelFromKey(record.Model, model) || record.Values.isEmpty()) return {};
    std::vector<double> p(record.Values.begin(), record.Values.end());
    if (model == tFitModel::Formula) {
        auto formula =
            std::make_shared<tFormula>(record.Formula.toStdString(), std::vector<std::string>{"t"});
        if (!formula->Ok() || formula->Parameters().size() != p.size()) return {};
        return [formula, p](double t) { return formula->Evaluate(&t, p.data()); };
    }
    const tModelFunctions& row = ModelFunctions(model);
    if (p.size() != row.ParameterCount) return {};
    const double origin = row.FromOrigin ? record.Origin : 0;
    return [&row, p, origin](double t) { return row.Value(t - origin, p.data()); };
}
