// SPDX-License-Identifier: GPL-3.0-or-later
// The demo scenes: what a simulated sensor measures when a scenario names a scene (the Demo key of
// experiment.txt). Each scene tells the lesson's story on the scenario's axes; a run's start values
// and rates come from its own seed, so repetitions differ as real ones do.
#include <QHash>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "sim/Simsensor.h"

namespace {

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// One fixed number in [0, 1) per seed and slot: the parameters of a run.
double Param(uint32_t seed, int slot) {
    return static_cast<double>(Mix(Mix(seed) ^ (0xC0FFEEull + static_cast<uint64_t>(slot))) >> 11) /
           9007199254740992.0;
}

// Roughly normal noise with unit deviation, different for every sample.
double Gauss(uint32_t seed, int channel, int64_t index) {
    double s = 0;
    for (int i = 0; i < 4; ++i)
        s += static_cast<double>(Mix(Mix(Mix(seed) ^ static_cast<uint64_t>(channel) * 0x100000001B3ull) ^
                                     static_cast<uint64_t>(index) ^ (static_cast<uint64_t>(i + 8) << 56)) >>
                                 11) /
             9007199254740992.0;
    return (s - 2.0) * std::sqrt(3.0);
}

// A step from 0 to 1 that takes about `width` seconds around `at` (a hand or a switch moving).
double Step(double t, double at, double width) {
    return 0.5 * (1.0 + std::tanh((t - at) / std::max(width, 1e-3) * 2.0));
}

// A liquid's temperature as a sensor sees it after being dipped in at `dipAt`: it follows the
// liquid with the sensor's own time constant of a few seconds.
double Dipped(double t, double dipAt, double before, double liquid) {
    if (t < dipAt) return before;
    return liquid + (before - liquid) * std::exp(-(t - dipAt) / 3.0);
}

using tScene = double (*)(int channel, double t, uint32_t base, uint32_t run, int runIndex, double g);

// A cup of hot water cooling towards the room, from about 80 °C.
double HotWater(int, double t, uint32_t, uint32_t run, int, double g) {
    const double start = 78.0 + 4.0 * Param(run, 0);
    const double room = 21.5 + 1.5 * Param(run, 1);
    const double tau = 220.0 + 100.0 * Param(run, 2);  // a lid makes it larger
    return room + (start - room) * std::exp(-t / tau) + 0.1 * g;
}

// The sensor lies on the desk for about ten seconds, is held in a palm for a minute (warming
// towards 33 °C with its own slowness), then let go and cools down again.
double Palm(int, double t, uint32_t, uint32_t run, int, double g) {
    const double room = 21.5 + 1.5 * Param(run, 0);
    const double grip = 9.0 + 2.5 * Param(run, 1);
    const double release = grip + 58.0 + 4.0 * Param(run, 2);
    const double palm = 32.4 + 1.2 * Param(run, 3);
    const double up = 14.0 + 6.0 * Param(run, 4);
    const double down = 30.0 + 12.0 * Param(run, 5);
    auto held = [&](double s) { return room + (palm - room) * (1.0 - std::exp(-(s - grip) / up)); };
    double v = room;
    if (t >= release)
        v = room + (held(release) - room) * std::exp(-(t - release) / down);
    else if (t >= grip)
        v = held(t);
    return v + 0.05 * g;
}

// Warm water, cold water, then the two mixed half and half: one glass per run, in that order. The
// glasses keep their temperatures over the runs (they come from the sensor's base seed).
double Mixing(int, double t, uint32_t base, uint32_t run, int runIndex, double g) {
    const double room = 21.5 + 1.5 * Param(base, 0);
    const double warm = 44.0 + 4.0 * Param(base, 1);
    const double cold = 9.0 + 4.0 * Param(base, 2);
    const double mixed = (warm + cold) / 2.0 - 1.0 - Param(base, 3);  // the glass takes some heat
    const double glass[3] = {warm, cold, mixed};
    const double liquid = glass[runIndex % 3];
    // The open glass drifts slowly towards the room.
    const double now = room + (liquid - room) * std::exp(-t / 1500.0);
    return Dipped(t, 1.0 + 1.5 * Param(run, 0), room, now) + 0.08 * g;
}

// Classroom light: daylight with passing clouds; the ceiling lamps are switched on for a while.
double Classroom(int, double t, uint32_t, uint32_t run, int, double g) {
    const double pi = std::numbers::pi;
    const double day =
        270.0 + 60.0 * Param(run, 0) + 25.0 * std::sin(2 * pi * t / 47.0 + 6.0 * Param(run, 1));
    const double on = 12.0 + 6.0 * Param(run, 2);
    const double off = on + 18.0 + 6.0 * Param(run, 3);
    const double lamps = 280.0 + 60.0 * Param(run, 4);
    return day + lamps * (Step(t, on, 0.3) - Step(t, off, 0.1)) + 4.0 * g;
}

// A desk lamp over the sensor; paper, cloth, a palm and coloured film cover it in turn for about
// 3.5 s each, with the lamp's full light in between.
double LampShadow(int, double t, uint32_t, uint32_t run, int, double g) {
    const double lamp = 740.0 + 70.0 * Param(run, 0);
    const double first = 3.0 + 1.0 * Param(run, 1);
    const double passes[4] = {0.42, 0.15, 0.03, 0.65};  // paper, cloth, palm, film
    double shade = 0;
    for (int i = 0; i < 4; ++i) {
        const double at = first + i * (6.3 + 0.4 * Param(run, 2 + i));
        const double depth = (1.0 - passes[i]) * (0.92 + 0.16 * Param(run, 8 + i));
        shade += depth * (Step(t, at, 0.4) - Step(t, at + 3.5, 0.4));
    }
    return std::max(0.0, lamp * (1.0 - std::min(shade, 1.0)) + 3.0 * g);
}

// A 1.5 V cell: nothing until the clamps touch it, then its voltage; a fresh cell on the first run,
// a used one on the second, and so on in turn. Channel 1 (current) stays near zero.
double Battery(int channel, double t, uint32_t, uint32_t run, int runIndex, double g) {
    if (channel != 0) return 0.003 * g;
    const double touch = 1.0 + 1.5 * Param(run, 0);
    const double cell = runIndex % 2 == 0 ? 1.55 + 0.05 * Param(run, 1) : 1.22 + 0.1 * Param(run, 1);
    if (t < touch) return std::max(0.0, 0.004 * g);
    return cell - 0.008 * (1.0 - std::exp(-(t - touch) / 6.0)) + 0.003 * g;
}

// A finger pulse: at rest about 72 beats per minute on the first run; on the second, just after the
// squats, fast and slowing down; then at rest again, and so on.
double Pulse(int, double t, uint32_t, uint32_t run, int runIndex, double g) {
    double beats;  // beats since the start: the integral of the rate
    if (runIndex % 2 == 0) {
        const double rate = (70.0 + 4.0 * Param(run, 0)) / 60.0;
        beats = rate * t;
    } else {
        const double from = (100.0 + 10.0 * Param(run, 0)) / 60.0, to = (78.0 + 4.0 * Param(run, 1)) / 60.0;
        const double tau = 20.0 + 10.0 * Param(run, 2);
        beats = to * t + (from - to) * tau * (1.0 - std::exp(-t / tau));
    }
    const double phase = beats - std::floor(beats);  // 0..1 within the current beat
    const double peakAt = 0.15, waveAt = 0.46;
    const double peak = std::exp(-std::pow((phase - peakAt) / 0.03, 2));
    const double wave = std::exp(-std::pow((phase - waveAt) / 0.06, 2));
    const double height = 600.0 + 80.0 * Param(run, 3);
    const double base = 170.0 + 20.0 * Param(run, 4);
    return std::clamp(base + height * peak + 0.17 * height * wave + 3.0 * g, 0.0, 1023.0);
}

const QHash<QString, tScene>& Scenes() {
    static const QHash<QString, tScene> scenes{{QStringLiteral("hot-water"), HotWater},
                                               {QStringLiteral("palm"), Palm},
                                               {QStringLiteral("mixing"), Mixing},
                                               {QStringLiteral("classroom"), Classroom},
                                               {QStringLiteral("lamp-shadow"), LampShadow},
                                               {QStringLiteral("battery"), Battery},
                                               {QStringLiteral("pulse"), Pulse}};
    return scenes;
}

}  // namespace

uint32_t SimRunSeed(uint32_t seed, int runIndex) {
    if (runIndex <= 0) return seed;
    return static_cast<uint32_t>(Mix(seed ^ (static_cast<uint64_t>(runIndex) << 32)));
}

bool SimSceneKnown(const QString& scene) {
    return Scenes().contains(scene.toLower());
}

bool SimSceneValue(const QString& scene, int channel, int64_t index, int32_t periodUs, uint32_t seed,
                   int runIndex, double& value) {
    const auto it = Scenes().constFind(scene.toLower());
    if (it == Scenes().constEnd()) return false;
    const uint32_t run = SimRunSeed(seed, runIndex);
    const double t = static_cast<double>(index) * periodUs / 1e6;
    value = (*it)(channel, t, seed, run, std::max(runIndex, 0), Gauss(run, channel, index));
    return true;
}
