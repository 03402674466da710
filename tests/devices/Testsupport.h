// SPDX-License-Identifier: GPL-3.0-or-later
// Shared set-up of the device tests: a captured log, the fake sensors, settings without the
// 5-second open wait and short fixed waits.
#pragma once

#include <gtest/gtest.h>

#include "Fakes.h"
#include "devices/Devicetimings.h"
#include "foundation/Settings.h"

class tDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tDeviceTimings timings;
        timings.StopWaitMs = 0;
        timings.CandidatePauseMs = 0;
        tDeviceTimings::SetForTests(timings);
        Settings.SetSettingByName(QStringLiteral("Timeout"), QStringLiteral("0"));
    }
    void TearDown() override { tDeviceTimings::ResetForTests(); }

    // The lines logged since `from`.
    QStringList LinesFrom(int from) { return Log.Lines().mid(from); }

    tCaptureLog Log;
    tFakeSensors Sensors;
    tSettings Settings;
};
