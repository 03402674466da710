// SPDX-License-Identifier: GPL-3.0-or-later
// tBeatDetector: finds heart beats in the raw pulse wave and turns the gap between two beats into a
// rate in beats per minute. Independent of widgets; the pulse frame feeds it the main curve after
// every batch of points. The wave is examined in stretches of a tenth of a second of its own time
// (the display's tick), each once a point after it has come, with the threshold of the stretch's
// end; so the rates depend on the wave alone, not on how its points arrived, and a wave read back
// from a lesson file gives again, point for point, the rates shown while it was measured.
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
    // Examines the stretches completed since the last call and emits a rate for every accepted beat.
    void Scan(const tCurve& curve, const tEmit& onRate);
    // The rates of a whole wave (Reset, then Scan): the same ones, in the same order, that scanning
    // it while it grew gave.
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
    // Length of the stretches the wave is examined in, seconds.
    static constexpr double StretchLength = 0.1;

  private:
    // One examination of the points up to `count` (exclusive) with the threshold at their end.
    void ScanUpTo(const tCurve& curve, int count, const tEmit& onRate);

    double FLastBeatTime = -1;
    double FBeatTime = -1;
    int FNextIndex = 0;
    int FStretchEnd = 0;  // points of the stretches examined so far
};
