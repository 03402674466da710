// SPDX-License-Identifier: GPL-3.0-or-later
// Soak run of the measurement path: a simulated T100 at its fastest stream (1 kHz, 115200 bit/s,
// binary protocol) feeds the real measurement thread (reception, framing), and this thread plays
// the main window's tick: the intake decodes the packets, the point builder makes points, and the
// points go into a chart series. The sensor's clock is simulated and moves on as soon as the thread
// has taken what arrived, so minutes of measurement take seconds.
//
// It reports the points, lost packets (sequence gaps: cycles whose read failed), lost or altered
// values (every decoded value is compared with the sensor's waveform), peak memory (VmHWM) and the
// memory growth per simulated hour, against what the points themselves take (tRun::MemoryBytes).
//   soak_measurement [minutes of simulated time, default 100] [--replot-seconds S, default 1]
#include <QApplication>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "bench/Procstatus.h"
#include "components/Chart.h"
#include "lesson/Run.h"
#include "measurement/Measurethread.h"
#include "measurement/Samples.h"
#include "sim/Simports.h"
#include "sim/Simsensor.h"

namespace {
constexpr int32_t kPeriodUs = 1000;       // the simulator's fastest sampling period
constexpr int64_t kStepNs = 100'000'000;  // the sensor's clock moves in steps of the main window's tick
const QString kModel = QStringLiteral("T100");
const QString kPath = QStringLiteral("sim:T100@soak");

// The measurement thread as the intake's packet source, counting gaps in the sequence numbers.
class tCheckedSource : public tPacketSource {
  public:
    explicit tCheckedSource(tMeasureThread& thread) : FThread(thread) {}
    int GetPacketCount() override { return FThread.GetPacketCount(); }
    void TakePacket(tPacket& out) override {
        FThread.PopPacket(out);
        if (!out.Data || out.Size < 2) return;
        const uint8_t sequence = out.Data[1];
        if (FPackets > 0) Lost += static_cast<uint8_t>(sequence - FExpected);
        FExpected = static_cast<uint8_t>(sequence + 1);
        ++FPackets;
    }
    int64_t Packets() const { return FPackets; }
    int64_t Lost = 0;

  private:
    tMeasureThread& FThread;
    int64_t FPackets = 0;
    uint8_t FExpected = 0;
};

void Report(const char* what, double minutes, int64_t points, int64_t rss) {
    std::printf("%-8s %8.1f min  %10lld points  RSS %8.1f MB  VmHWM %8.1f MB\n", what, minutes,
                static_cast<long long>(points), rss / 1e6, ProcStatusBytes("VmHWM:") / 1e6);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double minutes = 100;
    double replotSeconds = 1;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QStringLiteral("--replot-seconds") && i + 1 < argc)
            replotSeconds = QString::fromLocal8Bit(argv[++i]).toDouble();
        else
            minutes = arg.toDouble();
    }
    const int64_t endNs = static_cast<int64_t>(minutes * 60e9);

    TChart chart;
    chart.resize(1000, 600);
    chart.show();
    chart.BottomAxis().SetRange(0, minutes * 60);
    chart.LeftAxis().SetRange(0, 100);
    TChartSeries* series = chart.AddSeries(QStringLiteral("soak"), Qt::red);
    // As in the main window: the points go into a run, which the series shows.
    tRun run(kPeriodUs * 1e-6);
    series->SetRun(&run);

    std::atomic<int64_t> simNs{0};
    tSimSensorConfig config;
    config.Model = kModel;
    config.PeriodUs = kPeriodUs;
    config.RecordSent = false;  // hours of values would be the sensor's memory, not the program's
    config.Clock = [&simNs] { return simNs.load(); };
    auto sensor = tSimRegistry::Instance().Add(kPath, config);
    QString error;
    std::unique_ptr<tCommPort> port = OpenSimulatedCommPort(kPath, error);
    if (!port) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(error));
        return 2;
    }
    tMeasureSetup setup;
    setup.Transport = tTransport::Serial;
    setup.Speed = sensor->Speed();
    setup.Comm = port.get();

    tChannelValues channels;
    int currentChannel = 0;
    tPointBuilder builder(kPeriodUs, 1);
    int64_t checked = 0, wrong = 0, malformed = 0, firstIndex = -1;
    int waiting = 0;
    auto consume = [&](tCheckedSource& source) {
        const tIntakeResult intake = TakePackets(source, channels, currentChannel);
        if (intake.Malformed) ++malformed;
        // Every value is the sensor's waveform at its index, written as the sensor writes it. The
        // start purges what arrived before the stream was switched on, so the first index is found.
        const auto expected = [&](int64_t index) {
            return SimWaveText(kModel, 0, SimWaveValue(kModel, 0, index, kPeriodUs, config.Seed)).toDouble();
        };
        const auto same = [](double a, double b) {
            return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
        };
        if (firstIndex < 0 && channels.Count(0) >= 8) {
            for (int64_t k = 0; k < 10000 && firstIndex < 0; ++k) {
                bool match = true;
                for (int i = 0; i < 8 && match; ++i) match = same(channels.At(0, i), expected(k + i));
                if (match) firstIndex = k;
            }
            if (firstIndex < 0) firstIndex = 0;
        }
        if (firstIndex < 0) return;
        // The newest value waits in the channel for its successor: it was checked last time.
        for (int i = waiting; i < channels.Count(0); ++i, ++checked)
            if (!same(channels.At(0, i), expected(firstIndex + checked))) ++wrong;
        while (builder.HasPoint(channels)) {
            const tPoint point = builder.Next(channels, static_cast<int>(run.Count()));
            run.Append(point.y);
        }
        waiting = channels.Count(0);
    };

    const auto realStart = std::chrono::steady_clock::now();
    const int64_t rssStart = ProcStatusBytes("VmRSS:");
    Report("start", 0, 0, rssStart);
    int64_t rssEarly = 0, pointsEarly = 0, earlyNs = 0;
    int64_t stalls = 0;
    int64_t nextReplotNs = 0;
    {
        tMeasureThread thread(setup);
        tCheckedSource source(thread);
        int64_t nextReportNs = endNs / 10;
        while (simNs.load() < endNs) {
            // The clock moves on once the reader took what had arrived (or after a real second, so a
            // reader that falls behind shows up as a stall instead of hanging the run).
            const auto waitUntil = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            while (sensor->Available() > 0) {
                if (std::chrono::steady_clock::now() > waitUntil) {
                    ++stalls;
                    break;
                }
                std::this_thread::yield();
            }
            simNs += kStepNs;
            static const uint8_t kNothing = 0;
            sensor->HostWrite(&kNothing, 0);  // wakes a read waiting for bytes
            consume(source);
            if (simNs.load() >= nextReplotNs) {
                chart.Replot();
                nextReplotNs += static_cast<int64_t>(replotSeconds * 1e9);
            }
            QCoreApplication::processEvents();
            if (simNs.load() >= nextReportNs) {
                const int64_t rss = ProcStatusBytes("VmRSS:");
                Report("running", simNs.load() / 60e9, static_cast<int64_t>(run.Count()), rss);
                if (!earlyNs)
                    earlyNs = simNs.load(), rssEarly = rss, pointsEarly = static_cast<int64_t>(run.Count());
                nextReportNs += endNs / 10;
            }
        }
        // The last read ends by its time-out: wait until nothing new comes for half a second, then
        // the thread stops and the rest is decoded.
        while (sensor->Available() > 0) std::this_thread::yield();
        for (int64_t before = -1; before != checked;) {
            before = checked;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            consume(source);
        }
        thread.RequestStop();
        thread.WaitFor();
        consume(source);
        chart.Replot();
        QCoreApplication::processEvents();

        const double realSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
        const int64_t points = static_cast<int64_t>(run.Count());
        const int64_t rssEnd = ProcStatusBytes("VmRSS:");
        const int64_t hwm = ProcStatusBytes("VmHWM:");
        const int64_t expected = endNs / (kPeriodUs * 1000LL);
        const double pointBytes = static_cast<double>(run.MemoryBytes());
        const double bytesPerPoint = pointBytes / std::max<double>(1, static_cast<double>(points));
        const double hours = static_cast<double>(endNs - earlyNs) / 3600e9;
        Report("end", minutes, points, rssEnd);
        std::printf("simulated %.1f min in %.1f s real (%.0fx real time)\n", minutes, realSeconds,
                    minutes * 60 / realSeconds);
        std::printf("points %lld of %lld samples (%lld purged at the start, %lld in flight at the stop)\n",
                    static_cast<long long>(points), static_cast<long long>(expected),
                    static_cast<long long>(firstIndex),
                    static_cast<long long>(expected - firstIndex - points));
        std::printf(
            "packets %lld, lost packets %lld, malformed %lld, values altered or lost %lld, reader stalls "
            "%lld\n",
            static_cast<long long>(source.Packets()), static_cast<long long>(source.Lost),
            static_cast<long long>(malformed), static_cast<long long>(wrong), static_cast<long long>(stalls));
        std::printf(
            "points take %.1f MB (the run's own count, %.2f bytes each); memory growth %.1f MB = %.2f of "
            "that\n",
            pointBytes / 1e6, bytesPerPoint, (rssEnd - rssStart) / 1e6, (rssEnd - rssStart) / pointBytes);
        std::printf("peak memory (VmHWM) %.1f MB, %.1f MB above the start\n", hwm / 1e6,
                    (hwm - rssStart) / 1e6);
        if (hours > 0)
            std::printf("growth per simulated hour %.1f MB (from %.0f min on; the points' share %.1f MB)\n",
                        (rssEnd - rssEarly) / hours / 1e6, earlyNs / 60e9,
                        bytesPerPoint * static_cast<double>(points - pointsEarly) / hours / 1e6);
        const bool ok =
            source.Lost == 0 && wrong == 0 && malformed == 0 && expected - firstIndex - points < 1000;
        std::printf("%s\n", ok ? "no lost packet, no lost value" : "FAILED: packets or values were lost");
        return ok ? 0 : 1;
    }
}
