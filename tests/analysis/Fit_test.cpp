// SPDX-License-Identifier: GPL-3.0-or-later
// The school models: starting values found from the data, known parameters recovered from noisy
// runs within the σ the fit reports, and the refusals a pupil reads instead of a line through
// nonsense. Typed formulas: pupils' notation, unknowns found by name, nonsense refused.
#include "analysis/Fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "Printers.h"
#include "lesson/Run.h"

namespace {

struct tTruth {
    tFitModel Model;
    std::vector<double> Parameters;
    double From, To;  // time span of the run
    double Noise;     // standard deviation of the added noise
};

// One case per built-in model, with the numbers of a plausible lesson.
const std::vector<tTruth>& Truths() {
    static const std::vector<tTruth> truths = {
        {tFitModel::Proportional, {0.5}, 0, 20, 0.3},     {tFitModel::Linear, {20, 0.3}, 0, 20, 0.3},
        {tFitModel::Quadratic, {1, 2, -0.1}, 0, 20, 0.3}, {tFitModel::Exponential, {2, 0.15}, 0, 20, 0.3},
        {tFitModel::Approach, {33, 21, 8}, 0, 60, 0.1},  // a palm warming the sensor
        {tFitModel::Power, {1.5, 1.7}, 0.1, 10, 0.3},     {tFitModel::Sine, {2, 1.3, 0.4, 5}, 0, 20, 0.2},
    };
    return truths;
}

// A run of `points` evenly spaced points of the truth, plus Gaussian noise from `random`.
tFitData Synthetic(const tTruth& truth, int points, std::mt19937* random) {
    tFitData data;
    data.Run = 0;
    data.First = 0;
    data.Last = points - 1;
    std::normal_distribution<double> noise(0, truth.Noise);
    const tModelFunctions& row = ModelFunctions(truth.Model);
    for (int i = 0; i < points; ++i) {
        const double t = truth.From + (truth.To - truth.From) * i / (points - 1);
        data.T.push_back(t);
        data.Y.push_back(row.Value(t - (row.FromOrigin ? truth.From : 0), truth.Parameters.data()) +
                         (random ? noise(*random) : 0));
    }
    return data;
}

tRun RunOf(const std::vector<double>& values, double step = 1) {
    tRun run(step);
    for (double v : values) run.Append(v);
    return run;
}

const char* Name(tFitModel model) {
    static std::string name;
    name = FitModelInfo(model).Key.toStdString();
    return name.c_str();
}

}  // namespace

// ---- the models ----

TEST(FitModels, EveryModelHasAKeyTitleAndOneNameAndUnitPerParameter) {
    ASSERT_EQ(FitModels().size(), std::size_t(kFitModelCount));
    for (const tFitModelInfo& info : FitModels()) {
        tFitModel back;
        ASSERT_TRUE(FitModelFromKey(info.Key, back));
        EXPECT_EQ(back, info.Id);
        EXPECT_FALSE(info.Title.isEmpty());
        if (info.Id == tFitModel::Formula) continue;
        EXPECT_EQ(std::size_t(info.Names.size()), ModelFunctions(info.Id).ParameterCount) << Name(info.Id);
        EXPECT_EQ(info.Units.size(), ModelFunctions(info.Id).ParameterCount) << Name(info.Id);
    }
    tFitModel model;
    EXPECT_FALSE(FitModelFromKey(QStringLiteral("spline"), model)) << "a model of a later program";
    EXPECT_EQ(FitModelInfo(tFitModel::Approach).Formula, QStringLiteral("y = C + (y0 − C)·e^(−t/τ)"));
}

TEST(FitModels, StartingValuesFromCleanDataLieCloseToTheTruth) {
    for (const tTruth& truth : Truths()) {
        SCOPED_TRACE(Name(truth.Model));
        const tFitData data = Synthetic(truth, 200, nullptr);
        const tModelFunctions& row = ModelFunctions(truth.Model);
        std::vector<double> guess(row.ParameterCount);
        row.Guess({data.T.data(), data.Y.data(), data.T.size(), row.FromOrigin ? truth.From : 0},
                  guess.data());
        for (std::size_t j = 0; j < guess.size(); ++j)
            EXPECT_NEAR(guess[j], truth.Parameters[j], 0.05 * std::abs(truth.Parameters[j]) + 0.05)
                << "parameter " << j;
    }
}

TEST(FitModels, SineStartFindsThePeriodAmongNoiseAndManyCycles) {
    // 60 cycles with noise as large as a third of the amplitude: the crossings of the mean still
    // count the cycles, and the search around them finds ω.
    std::mt19937 random(7);
    const tTruth truth{tFitModel::Sine, {1.5, 2 * std::numbers::pi * 3, -2.0, 0.5}, 0, 20, 0.5};
    const tFitData data = Synthetic(truth, 5000, &random);
    std::vector<double> guess(4);
    ModelFunctions(tFitModel::Sine).Guess({data.T.data(), data.Y.data(), data.T.size(), 0}, guess.data());
    EXPECT_NEAR(guess[1], truth.Parameters[1], 0.002 * truth.Parameters[1]);
    const tFitResult fit = Fit(tFitModel::Sine, QString(), data);
    ASSERT_TRUE(fit.Converged) << fit.Problem.toStdString();
    EXPECT_NEAR(fit.Record.Values[0], 1.5, 0.05);
    EXPECT_NEAR(fit.Record.Values[2], -2.0, 0.05) << "the phase in its canonical range";
}

TEST(FitModels, RecoverKnownParametersWithinTwoReportedSigmasInAboutNineteenOfTwenty) {
    constexpr int kTrials = 200;
    for (const tTruth& truth : Truths()) {
        SCOPED_TRACE(Name(truth.Model));
        std::mt19937 random(2024);
        std::vector<int> inside(truth.Parameters.size(), 0);
        for (int trial = 0; trial < kTrials; ++trial) {
            const tFitResult fit = Fit(truth.Model, QString(), Synthetic(truth, 60, &random));
            ASSERT_TRUE(fit.Converged) << "trial " << trial << ": " << fit.Problem.toStdString();
            for (std::size_t j = 0; j < inside.size(); ++j)
                if (std::abs(fit.Record.Values[int(j)] - truth.Parameters[j]) <=
                    2 * fit.Record.Sigmas[int(j)])
                    ++inside[j];
        }
        // 95.4 % is the normal law's share within 2σ; 200 trials scatter it by about 1.5 %. Too few
        // inside means σ is too small, all inside that it is too large.
        std::string shares;
        for (int count : inside) shares += " " + std::to_string(count * 100 / kTrials) + " %";
        std::printf("%s: parameters within 2σ in%s of %d trials\n", Name(truth.Model), shares.c_str(),
                    kTrials);
        for (std::size_t j = 0; j < inside.size(); ++j) {
            EXPECT_GE(inside[j], int(0.90 * kTrials)) << "parameter " << j;
            EXPECT_LE(inside[j], int(0.99 * kTrials)) << "parameter " << j;
        }
    }
}

TEST(FitModels, QualityFiguresOfAnExactLine) {
    const tRun run = RunOf({1, 3, 5, 7, 9.5}, 0.5);
    const tFitResult fit = Fit(tFitModel::Linear, QString(), CopyFitData(run, 3, 0, 4));
    ASSERT_TRUE(fit.Converged);
    const tFitRecord& r = fit.Record;
    EXPECT_EQ(r.Model, QStringLiteral("linear"));
    EXPECT_EQ(r.Run, 3);
    EXPECT_EQ(r.First, 0);
    EXPECT_EQ(r.Last, 4);
    EXPECT_EQ(r.Points, 5);
    EXPECT_EQ(r.Names, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    // Least squares by hand: t = 0..2 step 0,5, y above: b = 10,5 / 2,5 = 4,2, a = 5,1 − 4,2 = 0,9;
    // residuals 0,1 0 −0,1 −0,2 0,2 → RSS 0,1.
    EXPECT_NEAR(r.Values[0], 0.9, 1e-9);
    EXPECT_NEAR(r.Values[1], 4.2, 1e-9);
    EXPECT_NEAR(r.Rss, 0.1, 1e-9);
    EXPECT_NEAR(r.Rmse, std::sqrt(0.1 / 5), 1e-9);
    EXPECT_NEAR(r.R2, 1 - 0.1 / 44.2, 1e-9);  // Σ(y − 5,1)² = 44,2
    // σ(b) = sqrt(RSS/(n−2) / Σ(t − t̄)²) = sqrt(0,1/3 / 2,5).
    EXPECT_NEAR(r.Sigmas[1], std::sqrt(0.1 / 3 / 2.5), 1e-9);
}

TEST(FitModels, ApproachOverALaterRangeCountsTimeFromItsFirstPoint) {
    // Hot water poured at 100 s cools towards 22 °C from 80 °C: fitted from there, y0 is the value
    // at the range's start, and the drawn curve meets the points at the run's own times.
    tRun run(0.5);
    for (int i = 0; i < 200; ++i) run.Append(20);
    for (int i = 0; i < 400; ++i) run.Append(22 + 58 * std::exp(-i * 0.5 / 30));
    const tFitResult fit = Fit(tFitModel::Approach, QString(), CopyFitData(run, 0, 599, 200));
    ASSERT_TRUE(fit.Converged) << fit.Problem.toStdString();
    EXPECT_DOUBLE_EQ(fit.Record.Origin, 100);
    EXPECT_NEAR(fit.Record.Values[0], 22, 1e-6);
    EXPECT_NEAR(fit.Record.Values[1], 80, 1e-6);
    EXPECT_NEAR(fit.Record.Values[2], 30, 1e-6);
    const auto curve = FitCurve(fit.Record);
    ASSERT_TRUE(curve);
    EXPECT_NEAR(curve(run.X(350)), run.Y(350), 1e-6);
}

TEST(FitModels, ALongRunGivesTheSameResultThroughBothPathsOfTheEngine) {
    // 30,000 points of noisy cooling: the whole Jacobian's QR and the block-summed normal
    // equations must agree on the parameters and σ far beyond the digits anyone reads.
    std::mt19937 random(99);
    const tTruth truth{tFitModel::Approach, {22, 80, 30}, 0, 150, 0.05};
    const tFitData data = Synthetic(truth, 30000, &random);
    const tSamples points{data.T.data(), data.Y.data(), data.T.size(), 0};
    std::vector<double> start(3);
    ModelFunctions(tFitModel::Approach).Guess(points, start.data());
    const tCurveModel model(tFitModel::Approach, points);
    tLeastSquaresOptions whole, blocks;
    whole.LargeFrom = data.T.size() + 1;
    blocks.LargeFrom = 0;
    const tLeastSquaresOutcome a = SolveLeastSquares(model, data.Y.data(), start, whole);
    const tLeastSquaresOutcome b = SolveLeastSquares(model, data.Y.data(), start, blocks);
    ASSERT_TRUE(a.Ok());
    ASSERT_TRUE(b.Ok());
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_NEAR(b.Parameters[j], a.Parameters[j], 1e-7 * std::abs(a.Parameters[j])) << j;
        EXPECT_NEAR(b.Sigmas[j], a.Sigmas[j], 1e-6 * a.Sigmas[j]) << j;
        EXPECT_NEAR(a.Parameters[j], truth.Parameters[j], 4 * a.Sigmas[j]) << j;
    }
    EXPECT_NEAR(b.Rss, a.Rss, 1e-10 * a.Rss);

    // Through Fit, a long evenly spaced run: its times are the run's own.
    tRun run(150.0 / 29999);  // the synthetic points' spacing
    for (int i = 0; i < 30000; ++i) run.Append(data.Y[std::size_t(i)]);
    const tFitResult fit = Fit(tFitModel::Approach, QString(), CopyFitData(run, 0, 0, run.Count() - 1));
    ASSERT_TRUE(fit.Converged);
    EXPECT_NEAR(fit.Record.Values[2], a.Parameters[2], 1e-6 * a.Parameters[2]);
}

// ---- refusals ----

TEST(FitRefusals, ConstantValuesTwoPointsAndEmptyRangesSayWhy) {
    const tRun flat = RunOf({21.5, 21.5, 21.5, 21.5, 21.5});
    for (const tFitModelInfo& info : FitModels()) {
        if (info.Id == tFitModel::Formula) continue;
        const tFitResult fit = Fit(info.Id, QString(), CopyFitData(flat, 0, 0, 4));
        EXPECT_FALSE(fit.Converged) << Name(info.Id);
        EXPECT_EQ(fit.Problem, QStringLiteral("все значения одинаковы")) << Name(info.Id);
        EXPECT_TRUE(fit.Record.Values.isEmpty()) << "nothing to draw";
    }
    const tRun two = RunOf({1, 2});
    EXPECT_EQ(Fit(tFitModel::Linear, QString(), CopyFitData(two, 0, 0, 1)).Problem,
              QStringLiteral("нужно хотя бы 3 точки, а на участке только 2"));
    const tRun five = RunOf({1, 2, 4, 3, 5});
    EXPECT_EQ(Fit(tFitModel::Sine, QString(), CopyFitData(five, 0, 0, 3)).Problem,
              QStringLiteral("нужно хотя бы 5 точек, а на участке только 4"));
    EXPECT_EQ(Fit(tFitModel::Linear, QString(), CopyFitData(tRun(), 0, 0, 10)).Problem,
              QStringLiteral("на участке нет ни одного измеренного значения"));
}

TEST(FitRefusals, PointsWithoutValueAreLeftOutUntilTooFewRemain) {
    const double gap = std::nan("");
    const tRun gaps = RunOf({1, gap, 3, gap, gap, 6, 7});  // y = 1 + t where there is a value
    const tFitResult fit = Fit(tFitModel::Linear, QString(), CopyFitData(gaps, 0, 0, 6));
    ASSERT_TRUE(fit.Converged);
    EXPECT_EQ(fit.Skipped, 3);
    EXPECT_EQ(fit.Record.Points, 4);
    EXPECT_NEAR(fit.Record.Values[1], 1, 1e-9);

    const tRun mostlyGaps = RunOf({gap, 2, gap, gap, 5, gap});
    EXPECT_EQ(Fit(tFitModel::Linear, QString(), CopyFitData(mostlyGaps, 0, 0, 5)).Problem,
              QStringLiteral("нужно хотя бы 3 точки, а на участке только 2"));
    const tRun allGaps = RunOf({gap, gap, gap, gap});
    EXPECT_EQ(Fit(tFitModel::Approach, QString(), CopyFitData(allGaps, 0, 0, 3)).Problem,
              QStringLiteral("на участке нет ни одного измеренного значения"));
}

TEST(FitRefusals, ModelsThatCannotDescribeTheData) {
    // A straight line has no limit to approach: the fit does not settle on a τ.
    tRun line(1);
    for (int i = 0; i < 50; ++i) line.Append(3 + 0.5 * i);
    const tFitResult approach = Fit(tFitModel::Approach, QString(), CopyFitData(line, 0, 0, 49));
    EXPECT_FALSE(approach.Converged);
    EXPECT_FALSE(approach.Problem.isEmpty());
    // A power of time needs no negative times (typed data may have them).
    tRun typed(1);
    for (int i = -3; i < 5; ++i) typed.AppendXY(i, i * i + 1.0);
    EXPECT_EQ(Fit(tFitModel::Power, QString(), CopyFitData(typed, 0, 0, 7)).Problem,
              QStringLiteral("для степенной формулы время должно быть не меньше нуля"));
}

// ---- typed formulas ----

TEST(FitFormula, PupilsNotationAndUnknownsInTheirOrder) {
    tRun run(0.25);
    for (int i = 0; i < 120; ++i) run.Append(22 + 58 * std::exp(-i * 0.25 / 7.5));
    const tFitData data = CopyFitData(run, 0, 0, 119);
    // «·», «−», «τ» and a decimal comma, as a pupil types them.
    const tFitResult fit = Fit(tFitModel::Formula, QStringLiteral("A·e^(−t/τ) + 0,5·C·2"), data);
    ASSERT_TRUE(fit.Converged) << fit.Problem.toStdString();
    EXPECT_EQ(fit.Record.Model, QStringLiteral("formula"));
    EXPECT_EQ(fit.Record.Formula, QStringLiteral("A·e^(−t/τ) + 0,5·C·2"));
    EXPECT_EQ(fit.Record.Names, QStringList({QStringLiteral("A"), QStringLiteral("τ"), QStringLiteral("C")}));
    EXPECT_NEAR(fit.Record.Values[0], 58, 1e-6);
    EXPECT_NEAR(fit.Record.Values[1], 7.5, 1e-6);
    EXPECT_NEAR(fit.Record.Values[2], 22, 1e-6);
    const auto curve = FitCurve(fit.Record);
    ASSERT_TRUE(curve);
    EXPECT_NEAR(curve(10), 22 + 58 * std::exp(-10 / 7.5), 1e-6);

    // Squares, the pupils' function names and π.
    const tFitResult square = Fit(tFitModel::Formula, QStringLiteral("k·t² + lg(100)·b + 0·sin(π)"), data);
    EXPECT_TRUE(square.Converged) << square.Problem.toStdString();
    EXPECT_EQ(square.Record.Names, QStringList({QStringLiteral("k"), QStringLiteral("b")}));
}

TEST(FitFormula, NonsenseIsRefusedWithWhatIsWrong) {
    const tRun run = RunOf({1, 4, 9, 16, 25, 36});
    const tFitData data = CopyFitData(run, 0, 0, 5);
    const auto problem = [&](const QString& formula) {
        return Fit(tFitModel::Formula, formula, data).Problem;
    };
    EXPECT_EQ(problem(QStringLiteral("   ")), QStringLiteral("формула не введена"));
    EXPECT_EQ(problem(QStringLiteral("a*t +")),
              QStringLiteral("формула обрывается: в конце не хватает числа или скобки"));
    EXPECT_EQ(problem(QStringLiteral("a*sin(t")), QStringLiteral("в формуле не хватает закрывающей скобки"));
    EXPECT_EQ(problem(QStringLiteral("2 a")),
              QStringLiteral("перед «a» не хватает знака действия (например, *)"));
    EXPECT_EQ(problem(QStringLiteral("a*t + b)")), QStringLiteral("в формуле лишняя скобка «)»"));
    EXPECT_EQ(problem(QStringLiteral("a≈t")), QStringLiteral("в формуле непонятное имя «a≈t»"));
    EXPECT_EQ(problem(QStringLiteral("t^2 + 1")),
              QStringLiteral("в формуле нет неизвестных — подбирать нечего"));
    EXPECT_EQ(problem(QStringLiteral("a*b*t")),
              QStringLiteral("по этим точкам неизвестные нельзя найти однозначно"));
    EXPECT_EQ(problem(QString(1001, u'1')), QStringLiteral("формула длиннее 1000 знаков"));
    QStringList terms;
    for (int i = 0; i < 11; ++i) terms << QStringLiteral("p%1").arg(i);
    const QString many = terms.join(u'+');
    EXPECT_EQ(problem(many), QStringLiteral("в формуле больше 10 неизвестных"));
    // A formula without a value anywhere on the points.
    EXPECT_EQ(problem(QStringLiteral("a*ln(-t-1)")),
              QStringLiteral("формулу нельзя вычислить на этих точках (например, деление на ноль)"));
}

TEST(FitFormula, CurveOfARecordThatCannotBeEvaluatedIsNull) {
    tFitRecord record;
    record.Model = QStringLiteral("formula");
    record.Formula = QStringLiteral("a*t+");
    record.Values = {1};
    EXPECT_FALSE(FitCurve(record));
    record.Formula = QStringLiteral("a*t + b");  // two unknowns, one value: not this formula's record
    EXPECT_FALSE(FitCurve(record));
    record.Values = {2, 1};
    ASSERT_TRUE(FitCurve(record));
    EXPECT_DOUBLE_EQ(FitCurve(record)(3), 7);
    record.Model = QStringLiteral("spline");
    EXPECT_FALSE(FitCurve(record));
}
