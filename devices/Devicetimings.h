// SPDX-License-Identifier: GPL-3.0-or-later
// tDeviceTimings: every fixed wait of the device layer in one place, so tests can shorten them.
// The "Timeout" wait after opening a port is not here: it comes from the settings store.
// Get() may be called from any thread; the setters are test hooks and must not race a search.
#pragma once

struct tDeviceTimings {
    int StopWaitMs = 300;         // tDevice::Stop, after the stop command, before the purge
    int HidWriteTimeoutMs = 500;  // one HID output report of a command exchange
    int CandidatePauseMs = 100;   // between two candidates of a sensor search

    static tDeviceTimings Get();
    static void SetForTests(const tDeviceTimings& timings);
    static void ResetForTests();
};

// Sleeps `ms` milliseconds; nothing for 0 or less.
void DeviceSleep(int ms);
