// SPDX-License-Identifier: GPL-3.0-or-later
// tBeatDetector: finds heart beats in the raw pulse wave and turns the gap between two beats into a
// rate in beats per minute. Independent of widgets; the pulse frame feeds it the main curve after
// every batch of points. Each call examines only the points added since the previous call, with
// the threshold of the wave's last five seconds at that call (plus the walk that sets it). A wave
// read back without its rates is examined in tenths of a second of its own time, as the display's
// ticks brought it.
#pragma once

#include <functional>

class tBeatDetector {
  public:
    // Read access to the curve: point count and X (seconds) / Y by index, X ascending.
    struct tCurve {
        std::function<int()> Count;
        std::function<double(int)> X;
        std::function<double(int)> Y;
    };
    // Receives one rate point: X midway between the two beats, rate in beats per minute.
    using tEmit = std::function<void(double x, int rate)>;

    // Forget everything: the start of a run.
    void Reset();
    // Examines the points added since the last call and emits a rate for every accepted beat.
    void Scan(const tCurve& curve, const tEmit& onRate);
    // The rates of a whole wave, examined as ticks of a tenth of a second would have brought it
    // (for a wave whose rates were not kept).
    void Derive(const tCurve& curve, const tEmit& onRate);

    double LastBeatTime() const { return FLastBeatTime; }
    double BeatTime() const { return FBeatTime; }
    int NextIndex() const { return FNextIndex; }

    // The wave needs this much history before the first beat is looked for, seconds.
    static constexpr double StartTime = 5.3;
    // Length of the window whose minimum and maximum set the threshold, seconds.
    static constexpr double WindowLength = 5.0;
    // Fraction of the window's span at which a falling wave counts as a beat.
    static constexpr double ThresholdFraction = 0.7;
    // Beats closer than this to the previous one are noise (above 300 per minute), seconds.
    static constexpr double MinGap = 0.2;
    // Length of the stretches a whole wave is examined in (the display's tick), seconds.
    static constexpr double StretchLength = 0.1;

  private:
    // One examination of the points up to `count` (exclusive) with the threshold at their end.
    void ScanUpTo(const tCurve& curve, int count, const tEmit& onRate);

    double FLastBeatTime = -1;
    double FBeatTime = -1;
    int FNextIndex = 0;
};
