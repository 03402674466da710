// SPDX-License-Identifier: GPL-3.0-or-later
// The live tick of 1000 points: a second of a 1 kHz sensor decoded and appended in one tick, through
// the session (tSession::Tick) and through the steps the window took itself before the session
// existed (intake, point builder, tRun::Append, the lesson's notice), on the same simulated sensor in
// the same run. Only the tick is timed; the sensor's second passes between the timed parts.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "bench/Qtmain.h"
#include "bench/session/Benchsession.h"
#include "lesson/Lesson.h"
#include "measurement/Samples.h"

namespace {
constexpr int64_t kSecondNs = 1'000'000'000;
constexpr int kSettleMs = 150;

// What the window's tick did with the device before the session: the same steps, inline.
class tWindowTick {
  public:
    explicit tWindowTick(tBenchSession& bench) : FBench(bench) {}
    void operator()() {
        tDevice& device = *FBench.Session->Device();
        struct tSource : tPacketSource {
            tDevice& Device;
            explicit tSource(tDevice& d) : Device(d) {}
            int GetPacketCount() override { return Device.GetPacketCount(); }
            void TakePacket(tPacket& out) override { Device.TakePacket(out); }
        } source(device);
        TakePackets(source, FChannels, FChannel);
        tLesson& lesson = *FBench.Session->Lesson();
        tRun* run = lesson.SeriesRun(0);
        const qsizetype from = run->Count();
        tPointBuilder builder(tBenchSession::kPeriodUs, 1);
        while (builder.HasPoint(FChannels)) {
            const tPoint point = builder.Next(FChannels, static_cast<int>(run->Count()));
            run->Append(point.y, FBench.TakePointLabel());
        }
        lesson.NotifyAppended(run, from, run->Count() - from);
    }

  private:
    tBenchSession& FBench;
    tChannelValues FChannels;
    int FChannel = 0;
};

template <class tTick>
void RunTicks(benchmark::State& state, tBenchSession& bench, tTick&& tick) {
    bench.Start();
    bench.Advance(kSecondNs, kSettleMs);
    tick();  // the start's purge leaves a short first second
    qsizetype points = 0;
    for (auto _ : state) {
        bench.Advance(kSecondNs, kSettleMs);
        const qsizetype before = bench.Session->Lesson()->SeriesRun(0)->Count();
        const auto start = std::chrono::steady_clock::now();
        tick();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        points += bench.Session->Lesson()->SeriesRun(0)->Count() - before;
    }
    bench.Session->Stop();
    state.counters["points_per_tick"] = static_cast<double>(points) / static_cast<double>(state.iterations());
}

void BM_TickThroughTheSession(benchmark::State& state) {
    tBenchSession bench;
    RunTicks(state, bench, [&bench] { bench.Session->Tick(); });
}
BENCHMARK(BM_TickThroughTheSession)->UseManualTime()->Iterations(40)->Unit(benchmark::kMicrosecond);

void BM_TickAsTheWindowDidIt(benchmark::State& state) {
    tBenchSession bench;
    tWindowTick tick(bench);
    RunTicks(state, bench, [&tick] { tick(); });
}
BENCHMARK(BM_TickAsTheWindowDidIt)->UseManualTime()->Iterations(40)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
