// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Beatdetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// A curve fed to the detector in batches, the way the measurement timer adds points.
struct tWave {
    std::vector<double> X, Y;
    std::vector<std::pair<double, int>> Rates;
    tBeatDetector Detector;

    tBeatDetector::tCurve Curve() {
        return {[this] { return int(X.size()); }, [this](int i) { return X[i]; },
                [this](int i) { return Y[i]; }};
    }
    void Scan() {
        Detector.Scan(Curve(), [this](double x, int rate) { Rates.push_back({x, rate}); });
    }
    // Appends the points of `points` up to time `until`, scanning after every `batch` points.
    void Feed(const std::vector<std::pair<double, double>>& points, double until, int batch = 10) {
        int n = 0;
        for (auto& [x, y] : points) {
            if (x > until + 1e-9) break;
            if (!X.empty() && x <= X.back()) continue;
            X.push_back(x);
            Y.push_back(y);
            if (++n % batch == 0) Scan();
        }
        Scan();
    }
};

// A slowly rising base line (never a falling edge) sampled every 10 ms, with a spike of 100 just
// before every beat instant b, so the wave falls through the threshold exactly at X = b.
std::vector<std::pair<double, double>> Beats(const std::vector<double>& instants, double until = 30) {
    std::vector<std::pair<double, double>> p;
    for (int k = 0; k * 0.01 <= until; ++k) {
        const double t = k * 0.01;
        bool nearBeat = false;
        for (double b : instants) nearBeat |= t > b - 0.002 && t < b + 0.002;
        if (!nearBeat) p.push_back({t, t});
    }
    for (double b : instants) {
        p.push_back({b - 0.001, b + 100});
        p.push_back({b, b});
    }
    std::sort(p.begin(), p.end());
    return p;
}
}  // namespace

// ---- start-up window ----

TEST(BeatDetector, NothingBeforeStartTime) {
    tWave w;
    std::vector<std::pair<double, double>> sine;
    for (int k = 0; k * 0.01 < 5.3 - 1e-9; ++k)
        sine.push_back({k * 0.01, std::sin(k * 0.01 * 2 * M_PI * 1.2) * 50});
    w.Feed(sine, 30);
    EXPECT_TRUE(w.Rates.empty());
    EXPECT_LT(w.Detector.LastBeatTime(), 0);
    EXPECT_EQ(w.Detector.NextIndex(), 0);  // not even a scan position is taken
}

TEST(BeatDetector, FirstEdgeOnlySetsTheReference) {
    tWave w;
    const auto wave = Beats({6.0, 6.8});
    w.Feed(wave, 6.5);
    EXPECT_TRUE(w.Rates.empty());
    EXPECT_DOUBLE_EQ(w.Detector.LastBeatTime(), 6.0);
    w.Feed(wave, 7.5);
    ASSERT_EQ(w.Rates.size(), 1u);
    EXPECT_EQ(w.Rates[0].second, 75);
    EXPECT_DOUBLE_EQ(w.Rates[0].first, 6.4);  // midway between the beats
    EXPECT_DOUBLE_EQ(w.Detector.BeatTime(), 6.8);
}

TEST(BeatDetector, EdgesBeforeStartTimeCountOnceTheScanBegins) {
    tWave w;
    w.Feed(Beats({4.0, 4.8}), 5.2);
    EXPECT_TRUE(w.Rates.empty());
    w.Feed(Beats({4.0, 4.8}), 5.4);
    ASSERT_EQ(w.Rates.size(), 1u);
    EXPECT_EQ(w.Rates[0].second, 75);
}

// ---- gaps and rounding ----

TEST(BeatDetector, GapsOfAtMostMinGapAreIgnored) {
    tWave w;
    // 6.0 sets the reference, 6.15 is too close (ignored, the reference stays), 6.3 gives 60/0.3.
    w.Feed(Beats({6.0, 6.15, 6.3}), 7.0);
    ASSERT_EQ(w.Rates.size(), 1u);
    EXPECT_EQ(w.Rates[0].second, 200);
    EXPECT_DOUBLE_EQ(w.Rates[0].first, 6.15);
    EXPECT_DOUBLE_EQ(w.Detector.LastBeatTime(), 6.3);
}

TEST(BeatDetector, RatesRoundAtPoint49) {
    tWave a;
    a.Feed(Beats({6.0, 6.7}), 8);
    ASSERT_EQ(a.Rates.size(), 1u);
    EXPECT_EQ(a.Rates[0].second, 86);  // 85.71

    tWave b;  // ordinary rounding of 72.495 gives 72
    b.Feed(Beats({6.0, 6.0 + 60 / 72.495}), 8);
    ASSERT_EQ(b.Rates.size(), 1u);
    EXPECT_EQ(b.Rates[0].second, 73);
}

TEST(BeatDetector, SteadyPulseGivesSteadyRate) {
    tWave w;
    std::vector<double> beats;
    for (double t = 1.0; t < 20; t += 60.0 / 72) beats.push_back(t);
    w.Feed(Beats(beats), 20);
    ASSERT_GT(w.Rates.size(), 10u);
    for (auto& [x, rate] : w.Rates) EXPECT_EQ(rate, 72) << x;
    for (size_t i = 1; i < w.Rates.size(); ++i) EXPECT_LT(w.Rates[i - 1].first, w.Rates[i].first);
}

TEST(BeatDetector, FlatWaveEdgesEverywhereRatesOnlyPastMinGap) {
    tWave w;
    std::vector<std::pair<double, double>> flat;
    for (int k = 0; k <= 60; ++k) flat.push_back({k * 0.15, 500});
    w.Feed(flat, 9, 1);
    // Every pair is an edge; gaps of 0.15 s are ignored, so a rate comes every 0.3 s.
    ASSERT_FALSE(w.Rates.empty());
    for (auto& r : w.Rates) EXPECT_EQ(r.second, 200);
}

// ---- incremental scanning ----

TEST(BeatDetector, EachPairExaminedOnceWhateverTheBatches) {
    std::vector<double> beats;
    for (double t = 0.5; t < 15; t += 0.9) beats.push_back(t);
    tWave one, many;
    one.Feed(Beats(beats), 15, 1);
    many.Feed(Beats(beats), 15, 37);
    EXPECT_EQ(one.Rates, many.Rates);
    EXPECT_EQ(one.Detector.NextIndex(), int(one.X.size()));
}

TEST(BeatDetector, AWaveReadBackGivesTheRatesOfTenthSecondTicks) {
    // A pulse wave with noise whose strength grows and falls over the run, so the threshold a
    // batch's end gives differs from batch to batch; shown live by ticks of a tenth of a second.
    std::vector<std::pair<double, double>> wave;
    unsigned noise = 12345;
    for (int k = 0; k < 6000; ++k) {
        const double t = k * 0.01;
        noise = noise * 1103515245u + 12345u;
        const double strength = 300 + 250 * std::sin(t / 7);
        wave.push_back({t, 512 + strength * std::pow(std::sin(t * 2 * M_PI * 1.2), 9) + (noise >> 16) % 40});
    }
    tWave live;
    double tickEnd = -1;
    for (const auto& [x, y] : wave) {
        // A tick takes what came before the next tenth of a second.
        if (x >= tickEnd) {
            if (!live.X.empty()) live.Scan();
            tickEnd = (std::floor(x / 0.1) + 1) * 0.1;
        }
        live.X.push_back(x);
        live.Y.push_back(y);
    }
    live.Scan();
    ASSERT_GT(live.Rates.size(), 50u);

    tWave read;
    read.X = live.X;
    read.Y = live.Y;
    read.Detector.Derive(read.Curve(), [&](double x, int rate) { read.Rates.push_back({x, rate}); });
    ASSERT_EQ(read.Rates.size(), live.Rates.size());
    for (std::size_t i = 0; i < live.Rates.size(); ++i) {
        EXPECT_EQ(read.Rates[i].first, live.Rates[i].first) << i;  // bit for bit
        EXPECT_EQ(read.Rates[i].second, live.Rates[i].second) << i;
    }
    // Deriving again starts afresh.
    std::vector<std::pair<double, int>> again;
    read.Detector.Derive(read.Curve(), [&](double x, int rate) { again.push_back({x, rate}); });
    EXPECT_EQ(again, read.Rates);
}

TEST(BeatDetector, ResetStartsOver) {
    tWave w;
    w.Feed(Beats({6.0, 6.8}), 8);
    w.Detector.Reset();
    EXPECT_LT(w.Detector.LastBeatTime(), 0);
    EXPECT_LT(w.Detector.BeatTime(), 0);
    EXPECT_EQ(w.Detector.NextIndex(), 0);
}
