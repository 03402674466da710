// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated sensor models, one row each: how a model's demo sensor talks (dialect, speed,
// channels, sampling period) and what it measures (decimals, waveform). The sensor, the ports and
// the demo list read this table and never name a model; adding a model is adding a row.
// Read-only; any thread.
#pragma once

#include <QString>
#include <cstdint>
#include <span>

struct tSimModel {
    const char* Name;
    int Decimals;      // decimals the sensor writes on channel 0 (further channels: 2)
    int Channels;      // channels its demo sensor streams
    bool Hub;          // the hub dialect over serial (HID sensors always speak the single-sensor one)
    int32_t Speed;     // stream speed, bit/s
    int32_t PeriodUs;  // sampling period until the host sends one
    // The model's own value on `channel` `t` seconds into a run; `noise` has unit deviation and
    // `runJitter` (-0.5..0.5, 0 in the first run) sets later runs a little apart. False for a
    // channel the model does not measure (it then streams a slow wave).
    bool (*Wave)(int channel, double t, double noise, double runJitter, double& value);
};

// The row of `name` (exact), null when no simulated model has it.
const tSimModel* SimModelFor(const QString& name);
std::span<const tSimModel> SimModels();
