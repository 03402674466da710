// SPDX-License-Identifier: GPL-3.0-or-later
// Which serial ports and HID interfaces are attached, from udev (the registry and SetupAPI lists
// of the Windows world). Lists come in device-node order with numbers compared as numbers, so the
// search meets candidates in a stable order. Empty lists when udev is unavailable (containers, CI).
// Stateless; any thread may call these.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// Device nodes (/dev/ttyACM0, /dev/ttyUSB1, ...) of tty devices with a USB device above them:
// built-in serial ports (/dev/ttyS*), virtual terminals and ptys are left out.
QStringList EnumerateSerialPorts();

// One interface path "/dev/hidrawN#vid_vvvv&pid_pppp" (lower-case hex) per hidraw device.
QStringList EnumerateHidInterfaces();

// The identifier of a Windows-style port name: characters are deleted from the front until the
// first one is a decimal digit ("COM12" gives "12", "COM" gives "").
QString SerialPortIdentifierDigits(const QString& windowsStyleName);

// Natural order of device node names: runs of digits compare as numbers (ttyACM2 before ttyACM10).
bool DeviceNodeNaturalLess(const QString& a, const QString& b);

// "/dev/hidraw3" with 0x0483, 0x5750 gives "/dev/hidraw3#vid_0483&pid_5750".
QString HidInterfacePath(const QString& node, uint16_t vendorId, uint16_t productId);

// The vendor and product of a HID_ID property "bus:vendor:product" ("0003:00000483:00005750").
bool ParseHidId(const QString& hidId, uint16_t& vendorId, uint16_t& productId);
