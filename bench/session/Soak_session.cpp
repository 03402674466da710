// SPDX-License-Identifier: GPL-3.0-or-later
// A long run through the session: a simulated T100 at 1 kHz for the given minutes of simulated time
// (default 20), ticked every 100 ms of the sensor's clock as the window's timer would, with the
// autosave every 5 s of it. It reports what the run costs: memory per point against what the run
// keeps (tRun::MemoryBytes), and the CPU time per simulated minute of the window's thread and of the
// whole process, for the first and the last five minutes (flat = nothing grows with the run).
//
//   soak_session [minutes] [--views] [--table-attached]
// --views adds what the window shows besides: the chart of the run (redrawn every tick) and the
// table tab, hidden behind the chart as in the window. --table-attached gives that hidden table its
// model, as the table did before it let go of it while hidden (the figure to compare with).
#include <QApplication>
#include <QHeaderView>
#include <QTabWidget>
#include <cstdio>
#include <ctime>
#include <vector>

#include "analysis/Tablemodel.h"
#include "bench/Procstatus.h"
#include "bench/session/Benchsession.h"
#include "components/Chart.h"
#include "experiments/Tableview.h"
#include "lesson/Autosave.h"
#include "lesson/Lesson.h"

namespace {
constexpr int64_t kTickNs = 100'000'000;
constexpr int kTicksPerMinute = 600;
constexpr int kAutosaveTicks = 50;  // 5 s

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double minutes = 20;
    bool views = false, tableAttached = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QStringLiteral("--views"))
            views = true;
        else if (arg == QStringLiteral("--table-attached"))
            views = tableAttached = true;
        else
            minutes = arg.toDouble();
    }
    const int ticks = static_cast<int>(minutes * kTicksPerMinute);

    tBenchSession bench;
    tSession& session = *bench.Session;
    session.Autosave()->SetIntervalMs(24 * 3600 * 1000);  // the soak saves on the sensor's clock
    bench.Start();
    tRun* run = session.Lesson()->SeriesRun(0);

    // The window's views of the run.
    std::unique_ptr<QTabWidget> pages;
    TChart* chart = nullptr;
    if (views) {
        pages = std::make_unique<QTabWidget>();
        pages->resize(1300, 650);
        chart = new TChart;
        chart->AddSeries(QStringLiteral("Series1"), Qt::red)->SetRun(run);
        chart->BottomAxis().SetRange(0, minutes * 60);
        chart->LeftAxis().SetRange(0, 100);
        pages->addTab(chart, QStringLiteral("chart"));
        auto* table = new TTablePage(session.Lesson(), *session.Experiment(), false);
        pages->addTab(table, QStringLiteral("table"));
        pages->show();
        if (tableAttached) table->View()->setModel(table->Model());
        QCoreApplication::processEvents();
    }

    const int64_t rssStart = ProcStatusBytes("VmRSS:");
    // CPU seconds per simulated minute: the window thread's own work (the waits for the sensor's
    // thread left out), and the whole process (with the simulator making its values).
    std::vector<double> threadMinute, processMinute;
    double threadWork = 0, processMark = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    for (int tick = 1; tick <= ticks; ++tick) {
        bench.Advance(kTickNs);
        const double before = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        session.Tick();
        if (chart) chart->ReplotPoints();
        if (tick % kAutosaveTicks == 0) session.Autosave()->SaveNow();
        QCoreApplication::processEvents();
        threadWork += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before;
        if (tick % kTicksPerMinute == 0) {
            const double process = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            threadMinute.push_back(threadWork);
            processMinute.push_back(process - processMark);
            threadWork = 0;
            processMark = process;
        }
    }
    session.Autosave()->Flush();
    const int64_t rssEnd = ProcStatusBytes("VmRSS:");
    const double points = static_cast<double>(run->Count());
    if (views && tableAttached)
        std::printf("hidden table header: %d rows\n",
                    static_cast<TTablePage*>(pages->widget(1))->View()->verticalHeader()->count());

    const auto average = [](const std::vector<double>& v, std::size_t from, std::size_t count) {
        double sum = 0;
        for (std::size_t i = from; i < from + count && i < v.size(); ++i) sum += v[i];
        return count ? sum / static_cast<double>(count) * 1000 : 0;
    };
    const std::size_t slice = std::min<std::size_t>(5, threadMinute.size() / 2);
    const std::size_t last = threadMinute.size() - slice;
    std::printf("views %s%s, %.0f simulated minutes, %.0f points\n", views ? "on" : "off",
                tableAttached ? " (hidden table with its model)" : "", minutes, points);
    std::printf("memory growth %.1f MB = %.2f bytes a point (the run keeps %.2f)\n",
                (rssEnd - rssStart) / 1e6, static_cast<double>(rssEnd - rssStart) / points,
                static_cast<double>(run->MemoryBytes()) / points);
    std::printf("window thread CPU per simulated minute: first %zu min %.1f ms, last %zu min %.1f ms\n",
                slice, average(threadMinute, 0, slice), slice, average(threadMinute, last, slice));
    std::printf("process CPU per simulated minute:       first %zu min %.1f ms, last %zu min %.1f ms\n",
                slice, average(processMinute, 0, slice), slice, average(processMinute, last, slice));
    session.Stop();
    return 0;
}
