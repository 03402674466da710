// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Devicetimings.h"

#include <chrono>
#include <thread>

#include "foundation/Sharedrecord.h"

namespace {
tSharedRecord<tDeviceTimings> gTimings;
}  // namespace

tDeviceTimings tDeviceTimings::Get() {
    return gTimings.Get();
}

void tDeviceTimings::SetForTests(const tDeviceTimings& timings) {
    gTimings.Set(timings);
}

void tDeviceTimings::ResetForTests() {
    gTimings.Set(tDeviceTimings{});
}

void DeviceSleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
