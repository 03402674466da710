// SPDX-License-Identifier: GPL-3.0-or-later
// What the measurement thread, its reception procedures and the packet framer share: the framed
// packet, what the device hands the thread at start, and the reception's fixed waits.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/Transport.h"
#include "platform/Hidquirks.h"

class tCommPort;
class tHidPort;

// One framed packet of stream bytes; the empty packet has no Data and Size 0.
struct tPacket {
    std::unique_ptr<uint8_t[]> Data;
    int32_t Size = 0;
};

// What the device hands the thread at Start.
struct tMeasureSetup {
    uint8_t StartParameter = 0;
    tHidQuirks HidQuirks;      // HID: report ids and the Wine correction
    int32_t DeviceNumber = 0;  // port name as an integer (0 when not a number)
    tTransport Transport = tTransport::Serial;
    int32_t Speed = 0;          // 0 selects the text start protocol
    tCommPort* Comm = nullptr;  // FTDI and serial (borrowed)
    tHidPort* Hid = nullptr;    // HID (borrowed)
    bool FtdiLoaded = true;     // FTDI: whether the FTDI library is loaded
};

// Fixed waits of the reception in milliseconds, and the failure count that turns silence into an
// error. The defaults are the device protocol's; tests shrink them so that rules counted in failures
// or bounded by waits run in well under a second.
struct tReceptionTimings {
    uint32_t StartReadMs = 1000;        // start reply (serial; FTDI text) and every text-protocol packet
    uint32_t FtdiStartReadMs = 100;     // start reply of the FTDI binary handshake
    uint32_t CycleReadMs = 100;         // one binary-protocol cycle (serial, FTDI)
    uint32_t RestoreReadMs = 500;       // read constant left on the port when streaming ends
    uint32_t HidHandshakeMs = 500;      // HID start report write and start reply read
    uint32_t HidReportWaitMs = 10000;   // wait for one HID stream report
    int32_t FailuresBeforeError = 300;  // failed cycles in a row before WM_DEVICE_READ_ERROR 2

    // The values in force. Read by the measurement thread at the start of a session.
    static tReceptionTimings Get();
    // Test hooks: replace or restore the values (thread-safe, takes effect at the next session).
    static void SetForTests(const tReceptionTimings& timings);
    static void ResetForTests();
};
