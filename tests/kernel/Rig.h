// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel rig: a virtual machine boots a distribution's kernel, and the program's ports run on
// that kernel's own drivers. Two sensors sit behind QEMU's emulated FTDI USB serial chips, played
// by the host (rovelin_kernel_rig). The chip reports the modem lines its chardev gives: a chardev
// that has none (socket, QEMU's own pty backend) counts as CTS, DSR and carrier detect on; the tty
// backend asks the tty, and a pty answers nothing, so all lines are off. Hence the hub dialect
// (carrier off) on a pty of ours opened through the tty backend, the single-sensor dialect
// (carrier on) on a socket. The HID sensor is played inside the guest through /dev/uhid.
// The guest's tests (rovelin_kernel_guest) ask the host over a second serial line to unplug and
// re-plug a USB sensor and to say which values it sent.
//
// Control line protocol, one text line each way:
//   guest "UNPLUG <sensor>"  host "OK" (the USB device is gone) or "ERR <text>"
//   guest "PLUG <sensor>"    host "OK" (the device was added again, with a freshly started sensor)
//   guest "SENT <sensor>"    host "SENT <n> <v1> ... <vn>": channel 0 values of the sensor's
//                            current run, in the order they left it
// The guest's last console line is "RIG-EXIT <code>" with the tests' exit code.
#pragma once

#include <QString>

#include "sim/Simsensor.h"

namespace rig {

struct tRigSensor {
    const char* Name;   // word on the control line
    const char* Model;  // the name the sensor reports
    bool Hub;
    int Speed;
    unsigned Seed;
};

inline constexpr tRigSensor kHubSensor{"hub", "T100", true, 115200, 11};
inline constexpr tRigSensor kSingleSensor{"single", "L200", false, 38400, 12};
inline constexpr tRigSensor kHidSensor{"hid", "K330", false, 115200, 13};

// The sensor as it powers up; its sampling period is the host's to set.
inline tSimSensorConfig SensorConfig(const tRigSensor& sensor) {
    tSimSensorConfig config;
    config.Model = QString::fromLatin1(sensor.Model);
    config.Hub = sensor.Hub;
    config.Speed = sensor.Speed;
    config.Channels = 1;
    config.Seed = sensor.Seed;
    return config;
}

inline constexpr const char* kExitMarker = "RIG-EXIT ";

}  // namespace rig
