// SPDX-License-Identifier: GPL-3.0-or-later
// Chart ticks and repaints on long runs, each beside a plain min/max renderer drawing the same image
// in the same run (its ratio), memory per point, the RTF codec on a 5 MB document, and how long the
// window stalls while a view loads the largest documents it accepts.
// Run: QT_QPA_PLATFORM=offscreen bench_components
#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <cmath>
#include <memory>
#include <vector>

#include "bench/Procstatus.h"
#include "components/Chart.h"
#include "components/Richview.h"
#include "components/Rtf.h"
#include "lesson/Run.h"

namespace {

double Wave(qint64 i) {
    return std::sin(i * 0.001) + 0.1 * std::sin(i * 0.7);
}

// A 1000 x 600 chart showing `runs` runs of `points` points each (a slow wave with noise) over a
// time axis that shows them all, as the live display has it.
struct tLongRun {
    tLongRun(qint64 points, int runs = 1) {
        chart.resize(1000, 600);
        chart.show();
        chart.BottomAxis().SetRange(0, points * 0.1 * 1.5 + 10);
        chart.BottomAxis().SetIncrement(points * 0.01 + 1);
        chart.LeftAxis().SetRange(-2, 2);
        chart.LeftAxis().SetIncrement(0.5);
        for (int r = 0; r < runs; ++r) {
            data.push_back(std::make_unique<tRun>(0.1));
            chart.AddSeries(QString("Series%1").arg(r + 1), r ? Qt::blue : Qt::red)
                ->SetRun(data.back().get());
        }
        for (auto& run : data)
            for (qint64 i = 0; i < points; ++i) run->Append(Wave(i));
        next = points;
        chart.Plot()->replot(QCustomPlot::rpImmediateRefresh);
        chart.Plot()->repaint();
    }
    void Add(int count) {
        for (int i = 0; i < count; ++i) data[0]->Append(Wave(next++));
    }
    double BytesPerPoint() const { return double(data[0]->MemoryBytes()) / double(data[0]->Count()); }
    std::vector<std::unique_ptr<tRun>> data;
    TChart chart;
    qint64 next = 0;
};

// The plain min/max renderer the chart must match: every point into its pixel column, every tick.
struct tReferenceRenderer {
    explicit tReferenceRenderer(TChart& chart)
        : Chart(chart), Image(chart.size(), QImage::Format_ARGB32_Premultiplied) {}
    void Draw(const tRun& run) {
        const QRect rect = Chart.PlotRect();
        const int first = rect.left() - 8, count = rect.width() + 17;
        std::vector<double> lo(count, 0), hi(count, 0), in(count, 0), out(count, 0);
        std::vector<char> used(count, 0);
        TChartAxis& x = Chart.BottomAxis();
        TChartAxis& y = Chart.LeftAxis();
        for (qsizetype i = 0; i < run.Count(); ++i) {
            const int c = int(std::floor(x.ValueToPixel(run.X(i)))) - first;
            if (c < 0 || c >= count) continue;
            const double v = run.Y(i);
            if (!used[c]) used[c] = 1, lo[c] = hi[c] = in[c] = v;
            lo[c] = std::min(lo[c], v);
            hi[c] = std::max(hi[c], v);
            out[c] = v;
        }
        QVector<QLineF> lines;
        QPointF previous;
        bool have = false;
        for (int c = 0; c < count; ++c) {
            if (!used[c]) continue;
            const double cx = first + c + 0.5;
            lines.append(QLineF(cx, y.ValueToPixel(lo[c]), cx, y.ValueToPixel(hi[c])));
            if (have) lines.append(QLineF(previous, QPointF(cx, y.ValueToPixel(in[c]))));
            previous = QPointF(cx, y.ValueToPixel(out[c]));
            have = true;
        }
        Image.fill(Qt::transparent);
        QPainter painter(&Image);
        painter.setClipRect(rect);
        painter.setPen(QPen(Qt::red, 5));
        painter.drawLines(lines);
    }
    TChart& Chart;
    QImage Image;
};

// One live tick: 1000 new points, the curves' layer redrawn and the widget repainted.
void BM_ChartTick(benchmark::State& state) {
    tLongRun run(state.range(0));
    for (auto _ : state) {
        run.Add(1000);
        run.chart.CurvesLayer()->replot();
        run.chart.Plot()->repaint();
    }
    state.counters["bytes_per_point"] = run.BytesPerPoint();
}
BENCHMARK(BM_ChartTick)->Arg(1'000'000)->Arg(10'000'000)->Arg(100'000'000)->Unit(benchmark::kMillisecond);

// The same tick drawn by the plain renderer, which reads every point.
void BM_ChartTickReference(benchmark::State& state) {
    tLongRun run(state.range(0));
    tReferenceRenderer reference(run.chart);
    for (auto _ : state) {
        run.Add(1000);
        reference.Draw(*run.data[0]);
        run.chart.Plot()->repaint();
    }
}
BENCHMARK(BM_ChartTickReference)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

// A full repaint after the range moved (zoom, pan, resize): two runs of 6·10^6 points.
void BM_ChartFullRepaint(benchmark::State& state) {
    tLongRun run(state.range(0), 2);
    double shift = 0;
    for (auto _ : state) {
        shift = shift == 0 ? 1 : 0;
        run.chart.BottomAxis().SetRange(shift, state.range(0) * 0.1 * 1.5 + 10 + shift);
        run.chart.Plot()->replot(QCustomPlot::rpImmediateRefresh);
        run.chart.Plot()->repaint();
    }
    state.counters["resident_MB"] = ProcStatusBytes("VmRSS:") / 1e6;
}
BENCHMARK(BM_ChartFullRepaint)->Arg(6'000'000)->Unit(benchmark::kMillisecond);

void BM_ChartFullRepaintReference(benchmark::State& state) {
    tLongRun run(state.range(0), 2);
    tReferenceRenderer reference(run.chart);
    for (auto _ : state) {
        reference.Draw(*run.data[0]);
        reference.Draw(*run.data[1]);
        run.chart.Plot()->replot(QCustomPlot::rpImmediateRefresh);
        run.chart.Plot()->repaint();
    }
}
BENCHMARK(BM_ChartFullRepaintReference)->Arg(6'000'000)->Unit(benchmark::kMillisecond);

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

// The largest documents a view accepts: pictures up to the file limit (noise, so PNG cannot
// shrink them) and text up to the character limit.
QByteArray LargestDocument(int kind) {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    if (kind == 0) {
        QRandomGenerator random(7);
        QByteArray rtf;
        while (rtf.size() < kMaxRtfBytes - 12 * 1024 * 1024) {
            QImage image(1600, 1200, QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, random.generate() | 0xFF000000);
            cursor.insertImage(AddDocumentImage(doc, image, QSizeF(600, 450)));
            cursor.insertBlock();
            rtf = WriteRtf(doc);
        }
        return rtf;
    }
    const QString line = QString("Температура воды измерялась каждые десять секунд. ").repeated(2);
    while (doc.characterCount() + line.size() + 1 < tRtfLimits().Characters) {
        cursor.insertText(line);
        cursor.insertBlock();
    }
    return WriteRtf(doc);
}

// A view loading a file while the window's loop runs a 5-ms timer: the longest the window went
// without handling it (stall_ms), the load itself, and going to the end of the document (the
// whole layout on the window's thread).
void BM_RichViewLoadStall(benchmark::State& state) {
    const QByteArray rtf = LargestDocument(int(state.range(0)));
    QTemporaryDir dir;
    const QString path = dir.filePath("big.rtf");
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(rtf);
    }
    double stall = 0, toEnd = 0;
    for (auto _ : state) {
        TRichView view;
        view.resize(900, 600);
        view.show();
        QCoreApplication::processEvents();
        QElapsedTimer gap;
        qint64 longest = 0;
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, gap.restart()); });
        tick.start();
        gap.start();
        view.LoadFromFile(path);
        longest = std::max(longest, gap.restart());
        state.PauseTiming();
        QElapsedTimer end;
        end.start();
        view.moveCursor(QTextCursor::End);
        view.ensureCursorVisible();
        toEnd = std::max<double>(toEnd, end.elapsed());
        stall = std::max<double>(stall, longest);
        state.ResumeTiming();
    }
    state.counters["MB"] = rtf.size() / 1e6;
    state.counters["stall_ms"] = stall;
    state.counters["to_end_ms"] = toEnd;
}
BENCHMARK(BM_RichViewLoadStall)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
