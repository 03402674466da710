// SPDX-License-Identifier: GPL-3.0-or-later
// The command exchange and the open-time configuration of a serial-like port, written once over
// tCommPort so the serial port and the FTDI chip behave byte for byte alike. Every step is logged
// through gLogFile; the dumps are formatted only when the log keeps lines.
#pragma once

#include <QString>
#include <cstdint>

#include "platform/Commport.h"

class tSettings;

enum : uint32_t { HubSpeed = 921600, SingleSpeed = 38400 };

// "0xAB " per byte (two upper-case hex digits and a blank).
QString HexBytes(const uint8_t* data, uint32_t n);
// The bytes as characters (Latin-1), as the log shows replies.
QString BinBytes(const uint8_t* data, uint32_t n);

// One request/reply exchange: `length` request bytes, then exactly `replyLength` bytes within
// `timeoutMs`. The hub dialect (and a request of length 0) writes one byte per call. True only when
// everything was written and every expected byte arrived; the bytes that did arrive are in `reply`.
bool CommExchange(tCommPort& port, bool hubMode, const uint8_t* request, uint32_t length, int timeoutMs,
                  uint32_t replyLength, uint8_t* reply);

// Options of the open-time configuration that differ between the serial port and the FTDI chip.
struct tCommOpenOptions {
    QString DisplayName;         // the name shown in error texts
    bool ReadIgnoreCD = true;    // serial only: "IgnoreCD" forces the single-sensor dialect
    bool FtdiUsbTuning = false;  // FTDI only: latency timer and USB transfer sizes
};

// Raises RTS, clears break, reads carrier detect (on = single-sensor dialect), waits "Timeout" ms,
// writes line settings and time-outs and clears both buffers. Returns the dialect (true = hub);
// raises tException with the program's texts on failure.
class tFtdiPort;
bool ConfigureCommPort(tCommPort& port, const tSettings* settings, const tCommOpenOptions& options,
                       tFtdiPort* ftdi);

// The single-sensor dialect's stop leaves the line at the stream speed; this puts it back to 38400
// bit/s with RTS held on. Failures are ignored: the stop result only tells whether it was written.
void RestoreSingleSpeed(tCommPort& port);
