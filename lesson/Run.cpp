#include "lesson/Run.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
std::atomic<std::uint64_t> gNextUid{1};
}

tRun::tRun(double stepSeconds) : FUid(gNextUid++), FStep(stepSeconds > 0 ? stepSeconds : 0.1) {}

void tRun::Append(double y, const QString& label) {
    if (FIrregular) {
        AppendXY(FX.empty() ? 0.0 : FX.back() + FStep, y, label);
        return;
    }
    FY.push_back(y);
    if (!label.isEmpty()) FLabels.insert(Count() - 1, label);
}

void tRun::AppendXY(double x, double y, const QString& label) {
    if (!FIrregular) {
        // Points appended so far were evenly spaced: give them their X once.
        FX.reserve(FY.size() + 1);
        for (std::size_t i = 0; i < FY.size(); ++i) FX.push_back(static_cast<double>(i) * FStep);
        FIrregular = true;
    }
    FX.push_back(x);
    FY.push_back(y);
    if (!label.isEmpty()) FLabels.insert(Count() - 1, label);
}

void tRun::SetPoint(qsizetype index, double x, double y) {
    if (index < 0 || index >= Count()) return;
    ++FEdits;
    FY[index] = y;
    if (FIrregular) FX[index] = x;
}

void tRun::CopyValues(qsizetype from, qsizetype count, double* ys, double* xs) const {
    for (qsizetype i = 0; i < count; ++i) {
        ys[i] = FY[from + i];
        if (xs) xs[i] = X(from + i);
    }
}

void tRun::Clear() {
    ++FEdits;
    FY.clear();
    FX.clear();
    FLabels.clear();
}

void tRun::Reserve(qsizetype count) {
    FY.reserve(count);
    if (FIrregular) FX.reserve(count);
}

void tRun::SetLabel(qsizetype index, const QString& label) {
    if (index < 0 || index >= Count()) return;
    ++FLabelEdits;
    if (label.isEmpty())
        FLabels.remove(index);
    else
        FLabels.insert(index, label);
}

qsizetype tRun::LowerBound(double x) const {
    if (FIrregular) return std::lower_bound(FX.begin(), FX.end(), x) - FX.begin();
    if (!(x > 0)) return 0;
    const double index = std::ceil(x / FStep - 1e-9);
    return index >= static_cast<double>(Count()) ? Count() : static_cast<qsizetype>(index);
}

std::size_t tRun::MemoryBytes() const {
    std::size_t bytes = FY.capacity() * sizeof(double) + FX.capacity() * sizeof(double);
    for (auto it = FLabels.cbegin(); it != FLabels.cend(); ++it) bytes += 48 + it.value().size() * 2;
    return bytes;
}
