// SPDX-License-Identifier: GPL-3.0-or-later
// A USB HID sensor through the kernel's hidraw node, behind tHidPort.
// Whatever the device, callers see the Windows report layout: byte 0 is the report id (0 for a
// device without ids) and lengths count that byte. Waits are bounded by poll(); a read also wakes
// when a tStopSignal is set or the device is unplugged. One thread at a time uses a port.
#pragma once

#include <QString>
#include <memory>

#include "platform/Hiddescriptor.h"
#include "platform/Hidport.h"

// Opens the node of a HID interface path "/dev/hidrawN#vid_vvvv&pid_pppp" (the part before '#';
// a path without '#' is opened whole) and reads its report lengths. Returns null and the system's
// text in errorText when the node cannot be opened.
std::unique_ptr<tHidPort> OpenHidrawPort(const QString& interfacePath, QString& errorText);

// The device node of an interface path: everything before the first '#'.
QString HidrawNodeOfInterfacePath(const QString& interfacePath);

// Test hook: the port over an already open descriptor (taken over; e.g. a SOCK_SEQPACKET socket,
// which like hidraw hands over one report per read). `lengths` null = descriptor not readable.
std::unique_ptr<tHidPort> WrapHidrawFdForTests(int fd, const tHidReportLengths* lengths, bool parsed = true);
