// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Beatdetector.h"

#include <cmath>

#include "foundation/Functions.h"

void tBeatDetector::Reset() {
    FLastBeatTime = -1;
    FBeatTime = -1;
    FNextIndex = 0;
}

void tBeatDetector::Scan(const tCurve& curve, const tEmit& onRate) {
    ScanUpTo(curve, curve.Count(), onRate);
}

void tBeatDetector::Derive(const tCurve& curve, const tEmit& onRate) {
    Reset();
    const int count = curve.Count();
    int done = 0;
    while (done < count) {
        // The tick that would have brought the first point not yet examined: up to the next whole
        // tenth of a second of the wave's time.
        const double end = (std::floor(curve.X(done) / StretchLength) + 1) * StretchLength;
        int next = done + 1;
        while (next < count && curve.X(next) < end) ++next;
        ScanUpTo(curve, next, onRate);
        done = next;
    }
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
