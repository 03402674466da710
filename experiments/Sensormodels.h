// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor models, one row each with everything the window does differently for a scenario that
// names the model. Every rule that depends on the sensor's name reads this table, so the code above
// it never compares names, and adding a model is adding a row. A name that is not listed gets the
// row of an ordinary sensor. Read-only; any thread.
#pragma once

#include <QString>
#include <span>

struct tSensorModel {
    const char* Name;     // as the scenario's SensorName spells it; "" for any sensor not listed
    bool Manual;          // no sensor at all: nothing to connect, the chart waits for typed values
    bool PulseFrame;      // the pulse frame, with the heart-rate chart under the wave
    bool ShowsLiveValue;  // the value label shows the newest value during a run
};

// The row of a scenario's SensorName: "NO" in any letter case is the row without a sensor; every
// other name compares exactly (P620 is the pulse sensor, p620 an ordinary one).
const tSensorModel& SensorModelFor(const QString& sensorName);
// The listed rows, without the row for names that are not listed.
std::span<const tSensorModel> SensorModels();
