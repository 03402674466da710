// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Simmodels.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// A cup of hot water cooling towards room temperature; a later run starts a little apart.
bool CoolingWater(int channel, double t, double g, double jitter, double& v) {
    if (channel != 0) return false;
    const double start = 80.0 + 4.0 * jitter;
    v = 22.0 + (start - 22.0) * std::exp(-t / 240.0) + 0.1 * g;
    return true;
}

// Room light with a slow drift (clouds), no mains flicker.
bool RoomLight(int channel, double t, double g, double, double& v) {
    if (channel != 0) return false;
    const double pi = std::numbers::pi;
    v = 450.0 + 90.0 * std::sin(2 * pi * t / 120.0) + 35.0 * std::sin(2 * pi * t / 37.0 + 1.3) + 4.0 * g;
    return true;
}

// Voltage on a capacitor charged and discharged through 1 kOhm in 20 s cycles (channel 0, V), and
// the current through the resistor (channel 1, mA, negative while discharging).
bool Capacitor(int channel, double t, double g, double, double& v) {
    const double tau = 1.5, supply = 4.8;
    const double phase = std::fmod(t, 20.0);
    const double top = supply * (1.0 - std::exp(-10.0 / tau));
    const double volts =
        phase < 10.0 ? supply * (1.0 - std::exp(-phase / tau)) : top * std::exp(-(phase - 10.0) / tau);
    if (channel == 0)
        v = std::max(0.0, volts + 0.01 * g);
    else
        v = (phase < 10.0 ? supply - volts : -volts) + 0.01 * g;
    return true;
}

// Finger pulse at 72 beats per minute: a sharp systolic peak and a small dicrotic wave, so only the
// peak crosses 70 % of the range.
bool PulseWave(int channel, double t, double g, double, double& v) {
    if (channel != 0) return false;
    const double beat = 60.0 / 72.0;
    const double s = std::fmod(t, beat);
    const double peak = std::exp(-std::pow((s - 0.12) / 0.025, 2));
    const double wave = std::exp(-std::pow((s - 0.38) / 0.05, 2));
    v = std::clamp(180.0 + 650.0 * peak + 110.0 * wave + 3.0 * g, 0.0, 1023.0);
    return true;
}

// clang-format off
constexpr tSimModel kModels[] = {
    // name   decimals channels hub    speed   period  waveform
    {"T100",  1,       1,       true,  115200, 100000, CoolingWater},
    {"L200",  0,       1,       true,  115200, 100000, RoomLight},
    {"K330",  2,       2,       false, 38400,  100000, Capacitor},
    {"P620",  0,       1,       true,  115200, 10000,  PulseWave},
};
// clang-format on
}  // namespace

const tSimModel* SimModelFor(const QString& name) {
    for (const tSimModel& model : kModels)
        if (name == QLatin1String(model.Name)) return &model;
    return nullptr;
}

std::span<const tSimModel> SimModels() {
    return kModels;
}
