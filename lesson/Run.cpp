// SPDX-License-Identifier: GPL-3.0-or-later
#include "lesson/Run.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
std::atomic<std::uint64_t> gNextUid{1};
}  // namespace

tRun::tRun(double stepSeconds) : FUid(gNextUid++), FStep(stepSeconds > 0 ? stepSeconds : 0.1) {}

tRun::tChunk& tRun::Writable(qsizetype c) {
    // Only this thread makes new owners of a chunk, so a count of one stays one.
    if (FChunks[c].use_count() > 1) {
        const tChunk& shared = *FChunks[c];
        auto copy = std::make_shared<tChunk>();
        // Room for a whole chunk: growing a copy by doubling would overshoot it.
        copy->Values.reserve(kChunkPoints);
        copy->Values = shared.Values;
        copy->Blocks.reserve(kChunkPoints >> kBlockBits);
        copy->Blocks = shared.Blocks;
        copy->Groups = shared.Groups;
        copy->All = shared.All;
        FChunks[c] = std::move(copy);
    }
    return *FChunks[c];
}

void tRun::PushValue(double y) {
    const qsizetype offset = FCount & kChunkMask;
    if (offset == 0) FChunks.push_back(std::make_shared<tChunk>(tChunk{{}, {}, {}, {kInf, -kInf}}));
    tChunk& chunk = Writable(static_cast<qsizetype>(FChunks.size()) - 1);
    chunk.Values.push_back(y);
    if ((offset & ((1 << kBlockBits) - 1)) == 0) chunk.Blocks.push_back({kInf, -kInf});
    if ((offset & ((1 << 2 * kBlockBits) - 1)) == 0) chunk.Groups.push_back({kInf, -kInf});
    chunk.Blocks.back().Add(y);
    chunk.Groups.back().Add(y);
    chunk.All.Add(y);
    ++FCount;
}

void tRun::Append(double y, const QString& label) {
    if (FIrregular) {
        AppendXY(FX.empty() ? 0.0 : FX.back() + FStep, y, label);
        return;
    }
    PushValue(y);
    if (!label.isEmpty()) FLabels.insert(FCount - 1, label);
}

void tRun::AppendXY(double x, double y, const QString& label) {
    if (!FIrregular) {
        // Points appended so far were evenly spaced: give them their X once.
        FX.reserve(FCount + 1);
        for (qsizetype i = 0; i < FCount; ++i) FX.push_back(static_cast<double>(i) * FStep);
        FIrregular = true;
    }
    FX.push_back(x);
    PushValue(y);
    if (!label.isEmpty()) FLabels.insert(FCount - 1, label);
}

void tRun::Resummarise(qsizetype index) {
    tChunk& chunk = Writable(index >> kChunkBits);
    const qsizetype offset = index & kChunkMask;
    const qsizetype block = offset >> kBlockBits, group = offset >> 2 * kBlockBits;
    tSpan span{kInf, -kInf};
    const qsizetype blockEnd = std::min<qsizetype>((block + 1) << kBlockBits, chunk.Values.size());
    for (qsizetype i = block << kBlockBits; i < blockEnd; ++i) span.Add(chunk.Values[i]);
    chunk.Blocks[block] = span;
    span = {kInf, -kInf};
    const qsizetype groupEnd = std::min<qsizetype>((group + 1) << kBlockBits, chunk.Blocks.size());
    for (qsizetype b = group << kBlockBits; b < groupEnd; ++b) span.Add(chunk.Blocks[b]);
    chunk.Groups[group] = span;
    chunk.All = {kInf, -kInf};
    for (const tSpan& g : chunk.Groups) chunk.All.Add(g);
}

void tRun::SetPoint(qsizetype index, double x, double y) {
    if (index < 0 || index >= Count()) return;
    Writable(index >> kChunkBits).Values[index & kChunkMask] = y;
    Resummarise(index);
    if (FIrregular) FX[index] = x;
    ++FEdits;
}

void tRun::CopyValues(qsizetype from, qsizetype count, double* ys, double* xs) const {
    for (qsizetype i = 0; i < count; ++i) {
        ys[i] = Y(from + i);
        if (xs) xs[i] = X(from + i);
    }
}

tRun::tSharedValues tRun::ShareValues(qsizetype from, qsizetype count) const {
    tSharedValues shared;
    from = std::clamp<qsizetype>(from, 0, FCount);
    count = std::clamp<qsizetype>(count, 0, FCount - from);
    shared.FFirst = from & kChunkMask;
    shared.FCount = count;
    if (count > 0)
        for (qsizetype c = from >> kChunkBits; c <= (from + count - 1) >> kChunkBits; ++c)
            shared.FChunks.push_back(FChunks[c]);
    return shared;
}

void tRun::tSharedValues::Copy(qsizetype at, qsizetype count, double* out) const {
    qsizetype i = FFirst + at;
    for (qsizetype done = 0; done < count;) {
        const std::vector<double>& values = FChunks[i >> kChunkBits]->Values;
        const qsizetype offset = i & kChunkMask;
        const qsizetype n = std::min(count - done, kChunkPoints - offset);
        std::copy(values.begin() + offset, values.begin() + offset + n, out + done);
        done += n;
        i += n;
    }
}

void tRun::Clear() {
    FChunks.clear();
    FX.clear();
    FLabels.clear();
    FCount = 0;
    ++FEdits;
}

void tRun::Reserve(qsizetype count) {
    // Chunks are allocated as they fill; only the per-point X of an irregular run can be reserved.
    if (FIrregular) FX.reserve(count);
}

void tRun::SetLabel(qsizetype index, const QString& label) {
    if (index < 0 || index >= Count()) return;
    if (label.isEmpty())
        FLabels.remove(index);
    else
        FLabels.insert(index, label);
    ++FLabelEdits;
}

void tRun::SpanInChunk(const tChunk& chunk, qsizetype from, qsizetype to, tSpan& span) const {
    constexpr qsizetype kBlock = qsizetype(1) << kBlockBits;
    // Values up to the first whole block, whole blocks (whole groups between), values after.
    const qsizetype b0 = (from + kBlock - 1) >> kBlockBits, b1 = to >> kBlockBits;
    if (b0 >= b1) {
        for (qsizetype i = from; i < to; ++i) span.Add(chunk.Values[i]);
        return;
    }
    for (qsizetype i = from; i < (b0 << kBlockBits); ++i) span.Add(chunk.Values[i]);
    const qsizetype g0 = (b0 + kBlock - 1) >> kBlockBits, g1 = b1 >> kBlockBits;
    if (g0 >= g1) {
        for (qsizetype b = b0; b < b1; ++b) span.Add(chunk.Blocks[b]);
    } else {
        for (qsizetype b = b0; b < (g0 << kBlockBits); ++b) span.Add(chunk.Blocks[b]);
        for (qsizetype g = g0; g < g1; ++g) span.Add(chunk.Groups[g]);
        for (qsizetype b = g1 << kBlockBits; b < b1; ++b) span.Add(chunk.Blocks[b]);
    }
    for (qsizetype i = b1 << kBlockBits; i < to; ++i) span.Add(chunk.Values[i]);
}

bool tRun::MinMax(qsizetype from, qsizetype to, double& lo, double& hi) const {
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, FCount);
    tSpan span{kInf, -kInf};
    while (from < to) {
        const qsizetype c = from >> kChunkBits;
        const qsizetype base = c << kChunkBits;
        const qsizetype end = std::min(to, base + kChunkPoints);
        const tChunk& chunk = *FChunks[c];
        if (from == base && end - base == static_cast<qsizetype>(chunk.Values.size()))
            span.Add(chunk.All);
        else
            SpanInChunk(chunk, from - base, end - base, span);
        from = end;
    }
    if (span.Lo > span.Hi) return false;
    lo = span.Lo;
    hi = span.Hi;
    return true;
}

qsizetype tRun::LowerBound(double x) const {
    if (FIrregular) return std::lower_bound(FX.begin(), FX.end(), x) - FX.begin();
    if (!(x > 0)) return 0;
    const double index = std::ceil(x / FStep - 1e-9);
    return index >= static_cast<double>(Count()) ? Count() : static_cast<qsizetype>(index);
}

std::size_t tRun::MemoryBytes() const {
    std::size_t bytes = FChunks.capacity() * sizeof(std::shared_ptr<tChunk>) + FX.capacity() * sizeof(double);
    for (const auto& chunk : FChunks)
        bytes += sizeof(tChunk) + 16 + chunk->Values.capacity() * sizeof(double) +
                 (chunk->Blocks.capacity() + chunk->Groups.capacity()) * sizeof(tSpan);
    for (auto it = FLabels.cbegin(); it != FLabels.cend(); ++it) bytes += 48 + it.value().size() * 2;
    return bytes;
}
