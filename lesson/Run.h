// SPDX-License-Identifier: GPL-3.0-or-later
// tRun: the points of one measurement run, the one home that the chart, the table, the statistics
// and the lesson file all read. A run is either evenly spaced (values only; X = index × step) or
// irregular (an X stored per point: typed data, heart rates). Point labels are kept by index.
// Values live in chunks of 65536 with min/max summaries per 64 and per 4096 values and per chunk,
// so an evenly spaced run costs about 8.25 bytes a point and the extremes of any index range cost
// per summary, not per point (the chart asks this once per pixel column).
// Not thread-safe: the user-interface thread appends and reads; a worker that needs points gets
// a copy of a range (CopyValues) taken on that thread.
#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// 65536 values of a run and their min/max summaries (per 64 values, per 4096, all).
struct tChunkData {
    struct tSpan {
        double Lo, Hi;
        void Add(double y) {
            if (y < Lo) Lo = y;
            if (y > Hi) Hi = y;
        }
        void Add(const tSpan& s) {
            if (s.Lo < Lo) Lo = s.Lo;
            if (s.Hi > Hi) Hi = s.Hi;
        }
    };
    std::vector<double> Values;
    std::vector<tSpan> Blocks;  // per 64 values
    std::vector<tSpan> Groups;  // per 4096 values
    tSpan All;
};

class tRun {
  public:
    // An evenly spaced run: point i lies at X = i * stepSeconds.
    explicit tRun(double stepSeconds = 0.1);

    // ---- what the run is ----
    QDateTime Started;   // local date and time the run started
    QString SensorName;  // the sensor model that measured it ("" for typed data)
    // Seconds between two points of an evenly spaced run (sampling period × Average).
    double Step() const { return FStep; }
    bool Evenly() const { return !FIrregular; }

    // ---- the points ----
    qsizetype Count() const { return FCount; }
    bool IsEmpty() const { return FCount == 0; }
    double X(qsizetype index) const { return FIrregular ? FX[index] : static_cast<double>(index) * FStep; }
    double Y(qsizetype index) const { return FChunks[index >> kChunkBits]->Values[index & kChunkMask]; }
    // Copies `count` values (and X into `xs` when given) from `from` on.
    void CopyValues(qsizetype from, qsizetype count, double* ys, double* xs = nullptr) const;
    // Values that share the run's storage instead of being copied: the run copies a shared piece
    // before it changes it, so they stay as they were when taken. Taking them costs a pointer per
    // 65536 values; once taken, any thread may read them while the run goes on.
    class tSharedValues {
      public:
        qsizetype Count() const { return FCount; }
        // Copies `count` values from the `at`-th on into `out`.
        void Copy(qsizetype at, qsizetype count, double* out) const;

      private:
        friend class tRun;
        std::vector<std::shared_ptr<const tChunkData>> FChunks;
        qsizetype FFirst = 0;  // offset of the first value in FChunks[0]
        qsizetype FCount = 0;
    };
    tSharedValues ShareValues(qsizetype from, qsizetype count) const;

    // Appends the next point of an evenly spaced run; a non-empty label labels it.
    void Append(double y, const QString& label = QString());
    // Appends a point with its own X (X ascending); turns the run irregular for good.
    void AppendXY(double x, double y, const QString& label = QString());
    // Replaces the value (and X of an irregular run) of an existing point.
    void SetPoint(qsizetype index, double x, double y);
    // Drops every point and label; the step and the irregular flag are kept.
    void Clear();
    void Reserve(qsizetype count);

    // ---- labels ----
    QString Label(qsizetype index) const { return FLabels.value(index); }
    void SetLabel(qsizetype index, const QString& label);  // empty removes it
    const QMap<qsizetype, QString>& Labels() const { return FLabels; }

    // ---- reading helpers ----
    // The smallest and largest value of the points from..to-1; NaN values are skipped. False (and
    // the outputs untouched) when the range holds no number.
    bool MinMax(qsizetype from, qsizetype to, double& lo, double& hi) const;
    // The first index whose X is >= x (Count() when none); X ascending.
    qsizetype LowerBound(double x) const;
    // Counts every change other than appending (edits, clearing, labels set later), so a view
    // that keeps derived data knows when appending alone no longer explains the run.
    std::uint64_t Revision() const { return FEdits + FLabelEdits; }
    // Bytes the points take (values, summaries, X, labels), for memory figures.
    std::size_t MemoryBytes() const;

    // ---- for the lesson file ----
    // A number no other run of this process has: tells runs apart after one is deleted and another
    // takes its address.
    std::uint64_t Uid() const { return FUid; }
    // Counts changes other than appending: edited or cleared points (Edits), changed labels of
    // existing points (LabelEdits). A saver compares them to know what to rewrite.
    std::uint64_t Edits() const { return FEdits; }
    std::uint64_t LabelEdits() const { return FLabelEdits; }

  private:
    static constexpr int kChunkBits = 16;
    static constexpr qsizetype kChunkPoints = qsizetype(1) << kChunkBits;
    static constexpr qsizetype kChunkMask = kChunkPoints - 1;
    static constexpr int kBlockBits = 6;  // 64 values per block, 64 blocks per group
    using tSpan = tChunkData::tSpan;
    using tChunk = tChunkData;
    // The chunk `c`, copied first when a snapshot shares it.
    tChunk& Writable(qsizetype c);
    void PushValue(double y);
    void Resummarise(qsizetype index);
    void SpanInChunk(const tChunk& chunk, qsizetype from, qsizetype to, tSpan& span) const;

    std::uint64_t FUid;
    std::uint64_t FEdits = 0;
    std::uint64_t FLabelEdits = 0;
    double FStep;
    bool FIrregular = false;
    qsizetype FCount = 0;
    std::vector<std::shared_ptr<tChunk>> FChunks;
    std::vector<double> FX;
    QMap<qsizetype, QString> FLabels;
};
