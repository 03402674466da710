// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port of a USB CDC sensor (or any tty) behind tCommPort, on termios.
// Opening takes the port for this program alone: a port held by another program fails to open.
// One thread at a time uses a port (see tCommPort).
//
// Error contract: every call returns false when the system refuses; LastErrorText() then holds
// the system's text. A read or write that runs into its total time-out is not a failure: it returns
// true with the bytes transferred so far. A device that is gone (a USB serial device unplugged: its
// driver hangs the line up) fails every call at once, with "device unplugged (...)" as the text,
// and IsGone() says so from then on.
//
// A pseudo-terminal has no modem lines: there SetRts and GetModemStatus fail (the kernel answers
// ENOTTY or EINVAL) and report it like any other failure, so a device on a pty sees the error.
#pragma once

#include <QString>
#include <memory>

#include "platform/Commport.h"

// Opens the tty at `path` (e.g. /dev/ttyACM0) raw, 8N1, with RTS and DTR held on. Returns null and
// the system's text in errorText on failure.
std::unique_ptr<tCommPort> OpenTermiosPort(const QString& path, QString& errorText);
