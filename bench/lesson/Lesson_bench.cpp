// SPDX-License-Identifier: GPL-3.0-or-later
// The lesson file at its largest: a 100-minute run at 1 kHz (6 000 000 points).
//   OpenLargeLesson       reading the whole lesson back (goal: under 2 s on a 2-core machine)
//   SaveLargeLessonWhole  the first save (or Save as) of such a lesson
//   AutosaveCopyDuringRun what one autosave costs the user-interface thread 95 minutes into the
//                         run (copying the 10 s of new points); the write itself runs on the
//                         autosave's own thread and is measured as AutosaveWriteDuringRun.
//   SaveAsHugeOnCaller    «Сохранить как» of a 12 000 000-point lesson through tLessonSaver: the
//                         time the calling (window's) thread is held; SaveAsHugeWhole is the whole
//                         save for comparison (what held the window before).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>

#include "bench/Qtmain.h"
#include "lesson/Autosave.h"
#include "lesson/Lesson.h"
#include "lesson/Lessonfile.h"
#include "lesson/Saver.h"

namespace {
constexpr qsizetype kPoints = 6'000'000;    // 100 min × 60 s × 1000 Hz
constexpr qsizetype kPerAutosave = 10'000;  // 10 s at 1 kHz

// A plausible sensor curve: values with a few decimals, as the point builder makes them.
double Value(qsizetype i) {
    return std::round((20 + 60 * std::exp(-i / 2.0e6) + 0.3 * std::sin(i * 0.002)) * 1000) / 1000;
}

void FillRun(tRun& run, qsizetype from, qsizetype to) {
    for (qsizetype i = from; i < to; ++i)
        run.Append(Value(i), i % 100000 == 0 ? QStringLiteral("метка") : QString());
}

struct tLarge {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("large.rovelin"));
    tLarge() {
        tLesson lesson;
        tRun* run = lesson.AddRun(0.001);
        FillRun(*run, 0, kPoints);
        lesson.SetSeriesRun(0, run);
        tLessonWriter(path).Save(lesson);
    }
};

tLarge& Large() {
    static tLarge large;
    return large;
}

void OpenLargeLesson(benchmark::State& state) {
    const QString path = Large().path;
    for (auto _ : state) {
        tLesson lesson;
        ReadLesson(path, lesson);
        benchmark::DoNotOptimize(lesson.Run(0)->Count());
    }
    state.counters["MB"] = double(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(OpenLargeLesson)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void SaveLargeLessonWhole(benchmark::State& state) {
    tLesson lesson;
    tRun* run = lesson.AddRun(0.001);
    FillRun(*run, 0, kPoints);
    QTemporaryDir dir;
    for (auto _ : state) tLessonWriter(dir.filePath(QStringLiteral("whole.rovelin"))).Save(lesson);
}
BENCHMARK(SaveLargeLessonWhole)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// 95 minutes into the run: the autosave file already holds 5 700 000 points.
struct tRunning {
    QTemporaryDir dir;
    tLesson lesson;
    tRun* run;
    tAutosave autosave{dir.filePath(QStringLiteral("state"))};
    tRunning() {
        run = lesson.AddRun(0.001);
        FillRun(*run, 0, kPoints * 95 / 100);
        autosave.Watch(&lesson);
        autosave.SaveNow();
        autosave.Flush();
    }
};

void AutosaveCopyDuringRun(benchmark::State& state) {
    tRunning running;
    for (auto _ : state) {
        state.PauseTiming();
        running.autosave.Flush();
        FillRun(*running.run, running.run->Count(), running.run->Count() + kPerAutosave);
        state.ResumeTiming();
        running.autosave.SaveNow();  // the part on the user-interface thread
    }
    running.autosave.Flush();
}
BENCHMARK(AutosaveCopyDuringRun)->Unit(benchmark::kMicrosecond)->Iterations(20)->UseRealTime();

void AutosaveWriteDuringRun(benchmark::State& state) {
    tRunning running;
    for (auto _ : state) {
        state.PauseTiming();
        FillRun(*running.run, running.run->Count(), running.run->Count() + kPerAutosave);
        state.ResumeTiming();
        running.autosave.SaveNow();
        running.autosave.Flush();  // copy and the write on the worker, to the disk
    }
}
BENCHMARK(AutosaveWriteDuringRun)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
constexpr qsizetype kHuge = 12'000'000;  // 200 min at 1 kHz

tLesson& Huge() {
    static tLesson lesson;
    if (lesson.RunCount() == 0) {
        tRun* run = lesson.AddRun(0.001);
        FillRun(*run, 0, kHuge);
        lesson.SetSeriesRun(0, run);
    }
    return lesson;
}

void SaveAsHugeOnCaller(benchmark::State& state) {
    tLesson& lesson = Huge();
    QTemporaryDir dir;
    tLessonSaver saver;
    for (auto _ : state) {
        state.PauseTiming();
        saver.Writer().SetPath(dir.filePath(QStringLiteral("huge.rovelin")));  // a new target: whole
        state.ResumeTiming();
        saver.Save(lesson);  // what the calling thread spends
        state.PauseTiming();
        saver.Wait();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(QFileInfo(dir.filePath(QStringLiteral("huge.rovelin"))).size()) / 1e6;
}
BENCHMARK(SaveAsHugeOnCaller)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void SaveAsHugeWhole(benchmark::State& state) {
    tLesson& lesson = Huge();
    QTemporaryDir dir;
    for (auto _ : state) tLessonWriter(dir.filePath(QStringLiteral("huge.rovelin"))).Save(lesson);
}
BENCHMARK(SaveAsHugeWhole)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
}  // namespace

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
