// SPDX-License-Identifier: GPL-3.0-or-later
// CSV of a long run (a million points, the size a fast sensor fills in minutes), the statistics
// between markers far apart, and formula fits over the whole of such a run. The CSV must be
// written well within 2 s; a fit must give its result within 300 ms (on a 2-core machine).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cmath>

#include "analysis/Csv.h"
#include "analysis/Fit.h"
#include "analysis/Statistics.h"
#include "analysis/Tablemodel.h"
#include "lesson/Lesson.h"

namespace {
tRun* FillRun(tLesson& lesson, qsizetype points) {
    tRun* run = lesson.AddRun(0.001);
    run->Reserve(points);
    for (qsizetype i = 0; i < points; ++i) run->Append(20.0 + 5.0 * std::sin(static_cast<double>(i) * 0.001));
    for (qsizetype i = 0; i < points; i += 10000) run->SetLabel(i, QStringLiteral("метка"));
    lesson.SetSeriesRun(0, run);
    return run;
}

void SetAxes(tTableModel& model) {
    model.SetAxes(QStringLiteral("Время, с"), QStringLiteral("Температура, °C"), QStringLiteral("0.000"),
                  QStringLiteral("0.0"));
}

void BM_CsvFile(benchmark::State& state) {
    tLesson lesson;
    FillRun(lesson, state.range(0));
    tTableModel model(&lesson);
    SetAxes(model);
    QTemporaryDir dir;
    for (auto _ : state) {
        QSaveFile file(dir.filePath(QStringLiteral("run.csv")));
        file.open(QIODevice::WriteOnly);
        WriteCsv(model, CsvFormatFor(QLatin1Char(',')), file);
        file.commit();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CsvFile)->Arg(1000000)->Unit(benchmark::kMillisecond);

// What one screenful of the table costs when scrolled anywhere in a long run (formatted cells).
void BM_TableScreenful(benchmark::State& state) {
    tLesson lesson;
    FillRun(lesson, state.range(0));
    tTableModel model(&lesson);
    SetAxes(model);
    int top = 0;
    for (auto _ : state) {
        top = (top + 99991) % (model.rowCount() - 40);
        for (int row = top; row < top + 40; ++row)
            for (int column = 0; column < model.columnCount(); ++column)
                benchmark::DoNotOptimize(model.data(model.index(row, column)));
    }
}
BENCHMARK(BM_TableScreenful)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_StatisticsWholeRun(benchmark::State& state) {
    tLesson lesson;
    const tRun* run = FillRun(lesson, state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(ComputeStatistics(*run, run->Count() - 1, 0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StatisticsWholeRun)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Hot water cooling from 80 °C towards 22 °C (τ = 300 s) at 1 kHz with sensor noise: what the
// pupil's «Подобрать формулу» fits. Timed from the copy of the points on the window's thread to
// the result, as the pupil waits for it.
void BM_FitWholeRun(benchmark::State& state) {
    const auto model = static_cast<tFitModel>(state.range(1));
    tLesson lesson;
    tRun* run = lesson.AddRun(0.001);
    run->Reserve(state.range(0));
    std::uint32_t noise = 12345;
    for (qsizetype i = 0; i < state.range(0); ++i) {
        noise = noise * 1664525u + 1013904223u;  // a fixed pseudo-random sequence
        const double t = static_cast<double>(i) * 0.001;
        const double clean =
            model == tFitModel::Sine ? 5 + 2 * std::sin(1.3 * t + 0.4) : 22 + 58 * std::exp(-t / 300);
        run->Append(clean + 0.05 * (static_cast<double>(noise >> 8) / 16777216.0 - 0.5));
    }
    for (auto _ : state) {
        const tFitResult result = Fit(model, QString(), CopyFitData(*run, 0, 0, run->Count() - 1));
        if (!result.Converged) state.SkipWithError(result.Problem.toStdString().c_str());
        benchmark::DoNotOptimize(result);
    }
    state.SetLabel(FitModelInfo(model).Key.toStdString());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FitWholeRun)
    ->Args({1000000, static_cast<int>(tFitModel::Approach)})
    ->Args({1000000, static_cast<int>(tFitModel::Linear)})
    ->Args({1000000, static_cast<int>(tFitModel::Sine)})
    ->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
