// SPDX-License-Identifier: GPL-3.0-or-later
// Reading RTF tables: a table of R x 64 short cells beside as many plain paragraphs, a cell merged
// downwards over every row, and a document at the reader's bounds (1,000,000 characters / 100,000
// paragraphs) made mostly of tables. Each size also runs at half its rows, so the pair shows what
// doubling costs (2 for linear time).
// Run: QT_QPA_PLATFORM=offscreen bench_components --benchmark_filter=Rtf
#include <benchmark/benchmark.h>

#include <QTextDocument>

#include "components/Rtf.h"

namespace {

constexpr int kColumns = 64;

QByteArray Cell(int row, int column) {
    return "\\intbl \\'ff\\'f7 " + QByteArray::number(row % 1000) + "." + QByteArray::number(column) +
           "\\cell ";
}

// `rows` rows of `columns` cells of about ten characters; with `mergeDown` the first cell of every
// row is one cell merged downwards over the whole table, and every tenth row joins its second and
// third cells sideways.
QByteArray TableRtf(int rows, int columns, bool mergeDown = false) {
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0\\fs20 ";
    rtf.reserve(rows * columns * 30);
    for (int r = 0; r < rows; ++r) {
        rtf += "\\trowd ";
        for (int c = 0; c < columns; ++c) {
            if (mergeDown && c == 0) rtf += r == 0 ? "\\clvmgf " : "\\clvmrg ";
            if (mergeDown && r % 10 == 0 && c == 2) rtf += "\\clmrg ";
            rtf += "\\clbrdrt\\brdrs\\cellx" + QByteArray::number((c + 1) * 400) + " ";
        }
        for (int c = 0; c < columns; ++c) rtf += Cell(r, c);
        rtf += "\\row\n";
    }
    return rtf + "\\pard\\par}";
}

// As many paragraphs as the table of `rows` rows has cells, with the same text.
QByteArray ParagraphsRtf(int rows) {
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0\\fs20 ";
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < kColumns; ++c)
            rtf +=
                "\\pard \\'ff\\'f7 " + QByteArray::number(r % 1000) + "." + QByteArray::number(c) + "\\par\n";
    return rtf + "}";
}

void Read(benchmark::State& state, const QByteArray& rtf, const tRtfLimits& limits = {}) {
    int blocks = 0;
    for (auto _ : state) {
        QTextDocument doc;
        ReadRtf(rtf, doc, limits);
        blocks = doc.blockCount();
        benchmark::DoNotOptimize(blocks);
    }
    state.counters["paragraphs"] = blocks;
    state.counters["MB"] = rtf.size() / 1e6;
}

void BM_RtfTableRows(benchmark::State& state) {
    Read(state, TableRtf(int(state.range(0)), kColumns));
}
BENCHMARK(BM_RtfTableRows)->Arg(750)->Arg(1500)->Unit(benchmark::kMillisecond);

void BM_RtfParagraphsLikeTableRows(benchmark::State& state) {
    Read(state, ParagraphsRtf(int(state.range(0))));
}
BENCHMARK(BM_RtfParagraphsLikeTableRows)->Arg(750)->Arg(1500)->Unit(benchmark::kMillisecond);

// One cell merged down over every row of a table of 8 columns (a lesson's document: no bounds).
void BM_RtfMergedDown(benchmark::State& state) {
    Read(state, TableRtf(int(state.range(0)), 8, true), kUnlimitedRtf);
}
BENCHMARK(BM_RtfMergedDown)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

// At the bounds: a merged table of 1,400 x 64 cells and 9,000 paragraphs of text around it, within
// 1,000,000 characters and 100,000 paragraphs (the paragraphs counter shows how close).
void BM_RtfAtTheBounds(benchmark::State& state) {
    QByteArray rtf = TableRtf(1400, kColumns, true);
    rtf.chop(1);
    for (int p = 0; p < 9000; ++p) rtf += "\\pard \\'ff\\'f7 " + QByteArray::number(p % 100) + "\\par\n";
    rtf += "}";
    Read(state, rtf);
}
BENCHMARK(BM_RtfAtTheBounds)->Unit(benchmark::kMillisecond);

}  // namespace
