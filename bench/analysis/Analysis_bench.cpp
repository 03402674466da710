// SPDX-License-Identifier: GPL-3.0-or-later
// CSV of a long run (a million points, the size a fast sensor fills in minutes) and the statistics
// between markers far apart. The CSV must be written well within 2 s.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cmath>

#include "analysis/Csv.h"
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
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
