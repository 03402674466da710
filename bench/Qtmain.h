// SPDX-License-Identifier: GPL-3.0-or-later
// Google Benchmark's main for benchmarks of code that needs a Qt core application (timers, signals
// across threads).
#pragma once

#include <benchmark/benchmark.h>

#include <QCoreApplication>

inline int RunQtBenchmarks(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
