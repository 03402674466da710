// SPDX-License-Identifier: GPL-3.0-or-later
#include "experiments/Sensormodels.h"

namespace {
// clang-format off
constexpr tSensorModel kModels[] = {
    //  name    manual pulse  live value
    {"NO",     true,  false, true},   // no sensor: the pupil types the pairs into the table
    {"T100",   false, false, true},   // temperature, °C
    {"L200",   false, false, true},   // illuminance, lx
    {"K330",   false, false, false},  // voltage, V: a single value means nothing on its own
    {"P620",   false, true,  true},   // pulse wave
};
// clang-format on
constexpr tSensorModel kOtherSensor = {"", false, false, true};
}  // namespace

const tSensorModel& SensorModelFor(const QString& sensorName) {
    for (const tSensorModel& model : kModels) {
        const QLatin1String name(model.Name);
        // Only the row without a sensor ignores the letter case (its name is upper case).
        if ((model.Manual ? sensorName.toUpper() : sensorName) == name) return model;
    }
    return kOtherSensor;
}

std::span<const tSensorModel> SensorModels() {
    return kModels;
}
