// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Beatdetector.h"

#include <cmath>

#include "foundation/Functions.h"

void tBeatDetector::Reset() {
    FLastBeatTime = -1;
    FBeatTime = -1;
    FNextIndex = 0;
    FStretchEnd = 0;
}

void tBeatDetector::Scan(const tCurve& curve, const tEmit& onRate) {
    const int count = curve.Count();
    while (FStretchEnd < count) {
        // The stretch that holds the first point not yet examined, and the first point after it.
        const double end = (std::floor(curve.X(FStretchEnd) / StretchLength) + 1) * StretchLength;
        int next = FStretchEnd + 1;
        while (next < count && curve.X(next) < end) ++next;
        if (next >= count) break;  // more points of this stretch may still come
        ScanUpTo(curve, next, onRate);
        FStretchEnd = next;
    }
}

void tBeatDetector::Derive(const tCurve& curve, const tEmit& onRate) {
    Reset();
    Scan(curve, onRate);
}

void tBeatDetector::ScanUpTo(const tCurve& curve, int count, const tEmit& onRate) {
    if (count <= 0) return;
    const double t = curve.X(count - 1);
    if (t < StartTime) return;  // the first seconds only fill the window

    double minimum = 100000;
    double maximum = -100000;
    for (int i = count - 1; i >= 0 && t - curve.X(i) < WindowLength; --i) {
        const double y = curve.Y(i);
        if (y < minimum) minimum = y;
        if (y > maximum) maximum = y;
    }
    const double threshold = minimum + (maximum - minimum) * ThresholdFraction;

    if (FNextIndex < 2) FNextIndex = 2;
    for (int i = FNextIndex; i < count; ++i) {
        const double a = curve.Y(i - 2);
        const double b = curve.Y(i - 1);
        if (!(a >= threshold && b <= threshold)) continue;  // a beat is where the wave falls through
        const double x = curve.X(i - 1);
        if (FLastBeatTime < 0) {
            FLastBeatTime = x;
        } else if (x - FLastBeatTime > MinGap) {
            FBeatTime = x;
            const int rate = RoundHalf049(60 / (FBeatTime - FLastBeatTime));
            if (onRate) onRate((FBeatTime + FLastBeatTime) * 0.5, rate);
            FLastBeatTime = FBeatTime;
        }
    }
    FNextIndex = count;
}
