// Chart ticks and repaints on long runs, memory per point, and the RTF codec on a 5 MB document.
// Run: QT_QPA_PLATFORM=offscreen bench_components
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

#include "components/Chart.h"
#include "components/Rtf.h"

namespace {

// Heap in use, including the large blocks malloc serves with mmap (the point container).
size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A 1000 x 600 chart holding `points` points of a slow wave over a time axis that shows them all.
struct tLongRun {
    explicit tLongRun(int points) {
        chart.resize(1000, 600);
        chart.show();
        chart.BottomAxis().SetRange(0, points * 0.1 + 10);
        chart.BottomAxis().SetIncrement(points * 0.01 + 1);
        chart.LeftAxis().SetRange(-2, 2);
        chart.LeftAxis().SetIncrement(0.5);
        series = chart.AddSeries("Series1", Qt::red);
        const size_t before = HeapInUse();
        for (int i = 0; i < points; ++i) Add();
        bytesPerPoint = points > 0 ? double(HeapInUse() - before) / points : 0;
        chart.Plot()->replot(QCustomPlot::rpImmediateRefresh);
    }
    void Add() {
        series->AddXY(next * 0.1, std::sin(next * 0.001) + 0.1 * std::sin(next * 0.7), QString(), Qt::red);
        ++next;
    }
    TChart chart;
    TChartSeries* series;
    qint64 next = 0;
    double bytesPerPoint = 0;
};

void BM_ChartTick(benchmark::State& state) {
    tLongRun run(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i) run.Add();
        run.chart.Plot()->replot(QCustomPlot::rpImmediateRefresh);
    }
    state.counters["bytes_per_point"] = run.bytesPerPoint;
}
BENCHMARK(BM_ChartTick)->RangeMultiplier(10)->Range(10'000, 10'000'000)->Unit(benchmark::kMillisecond);

void BM_ChartFullRepaint(benchmark::State& state) {
    tLongRun run(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(run.chart.ToImage());
}
BENCHMARK(BM_ChartFullRepaint)->RangeMultiplier(10)->Range(10'000, 10'000'000)->Unit(benchmark::kMillisecond);

// About 5 MB of RTF: Russian text paragraphs and ten noisy (barely compressible) PNG pictures.
QByteArray FiveMegabyteDocument() {
    static const QByteArray rtf = [] {
        QTextDocument doc;
        QTextCursor cursor(&doc);
        QRandomGenerator random(42);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        for (int picture = 0; picture < 10; ++picture) {
            for (int p = 0; p < 200; ++p) {
                cursor.insertText(QString("Температура воды измерялась каждые десять секунд, ").repeated(3));
                cursor.insertText(QString("жирный текст"), bold);
                cursor.insertBlock();
            }
            QImage image(330, 330, QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, random.generate() | 0xFF000000);
            cursor.insertImage(AddDocumentImage(doc, image, QSizeF(300, 300)));
            cursor.insertBlock();
        }
        return WriteRtf(doc);
    }();
    return rtf;
}

void BM_RtfLoad(benchmark::State& state) {
    const QByteArray rtf = FiveMegabyteDocument();
    for (auto _ : state) {
        QTextDocument doc;
        ReadRtf(rtf, doc);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    state.counters["MB"] = rtf.size() / 1e6;
    state.SetBytesProcessed(state.iterations() * rtf.size());
}
BENCHMARK(BM_RtfLoad)->Unit(benchmark::kMillisecond);

void BM_RtfSave(benchmark::State& state) {
    QTextDocument doc;
    ReadRtf(FiveMegabyteDocument(), doc);
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray rtf = WriteRtf(doc);
        size = rtf.size();
        benchmark::DoNotOptimize(rtf.data());
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_RtfSave)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
