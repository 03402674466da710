// SPDX-License-Identifier: GPL-3.0-or-later
// Consumer-side throughput: frame check + decoding, a whole timer intake, channel pop-front; and the
// cost of a logged failed cycle of the reception.
#include <benchmark/benchmark.h>

#include <deque>
#include <functional>

#include "foundation/Logfile.h"
#include "measurement/Framer.h"
#include "measurement/Samples.h"

namespace {

// A binary-protocol packet of `size` bytes filled with values like "D0 12 3B 4C" (12.34... ended).
std::vector<uint8_t> MakePacket(int32_t size) {
    std::vector<uint8_t> p(static_cast<size_t>(size), 0xF7);
    p[0] = 0xFE;
    p[1] = 0;
    p[2] = 0xF0;
    static const uint8_t kValue[] = {0xD0, 0x12, 0x3B, 0x4C, 0xD1, 0xA5, 0x6C};
    for (int32_t i = 3; i + 7 < size - 1; i += 7) std::copy(kValue, kValue + 7, p.begin() + i);
    p[static_cast<size_t>(size) - 1] = 0xFF;
    return p;
}

void BM_ExtractAndDecode(benchmark::State& state) {
    const std::vector<uint8_t> packet = MakePacket(1209);
    std::vector<uint8_t> body;
    tChannelValues channels;
    int channel = 0;
    for (auto _ : state) {
        ExtractPacketBody(packet.data(), static_cast<int32_t>(packet.size()), body);
        DecodeSamples(body, channels, channel);
        if (channels.Count(0) > 100000) channels.Clear();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(packet.size()));
}
BENCHMARK(BM_ExtractAndDecode);

class tVectorSource : public tPacketSource {
  public:
    std::deque<tPacket> Packets;
    int GetPacketCount() override { return static_cast<int>(Packets.size()); }
    void TakePacket(tPacket& out) override {
        out = std::move(Packets.front());
        Packets.pop_front();
    }
};

// About 9 KB: the packets of almost a second at 115200 bit/s, as after a stalled tick.
void BM_IntakeOf9KB(benchmark::State& state) {
    const std::vector<uint8_t> bytes = MakePacket(1209);
    tVectorSource source;
    tChannelValues channels;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 8; ++i) {
            tPacket p;
            p.Data = std::make_unique<uint8_t[]>(bytes.size());
            std::copy(bytes.begin(), bytes.end(), p.Data.get());
            p.Size = static_cast<int32_t>(bytes.size());
            source.Packets.push_back(std::move(p));
        }
        channels.Clear();
        state.ResumeTiming();
        int channel = 0;
        benchmark::DoNotOptimize(TakePackets(source, channels, channel));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 8 *
                            static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_IntakeOf9KB);

// One point's worth of values in and out: the cost must not grow with the backlog size.
void BM_ChannelPopFront(benchmark::State& state) {
    tChannelValues channels;
    for (int64_t i = 0; i < state.range(0); ++i) channels.Append(0, static_cast<double>(i));
    for (auto _ : state) {
        for (int i = 0; i < 5; ++i) channels.Append(0, 1.0);
        channels.PopFront(0, 5);
        benchmark::DoNotOptimize(channels.Front(0));
    }
}
BENCHMARK(BM_ChannelPopFront)->Arg(1000)->Arg(1000000);

// A log that stamps and formats every line as the program's does, and drops it.
class tDroppingLog : public tLogFile {
  public:
    tDroppingLog() { gLogFile = this; }
    ~tDroppingLog() override { gLogFile = nullptr; }
    void Write(const QString& raw) override { benchmark::DoNotOptimize(raw.size()); }
    bool IsOn() const override { return true; }
};

// One failed read cycle of a device that is gone, with the log on: the 300 cycles before the read
// error is posted cost 300 times this (the read itself fails at once).
void BM_FailedCycleLogged(benchmark::State& state) {
    tDroppingLog log;
    tPacketFramer framer(1209, INT32_MAX);
    const std::function<void(tPacket &&)> queue = [](tPacket&&) {};
    for (auto _ : state) {
        tPacket packet = framer.Begin();
        LogAdd(QStringLiteral("Read Error: device unplugged (Input/output error)"));
        framer.Finish(std::move(packet), 0, false, queue);
    }
}
BENCHMARK(BM_FailedCycleLogged);

}  // namespace

BENCHMARK_MAIN();
