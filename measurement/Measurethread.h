// tMeasureThread: runs one measurement session. It borrows the device's open port, sends the start
// request, frames the stream into packets and queues them; the user-interface thread polls the
// queue every 100 ms through the device. The thread never touches widgets: it reports by
// PostAppMessage (WM_DEVICE_WRITE_ERROR, WM_DEVICE_READ_ERROR, WM_DEVICE_DATA).
//
// Threading: FQueueLock guards FQueue only and is never held across I/O, logging or posting.
// RequestStop() may be called from any thread; the owner (tDevice) joins with WaitFor() and then
// destroys the object, which releases packets still queued.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <atomic>

#include "platform/Stopsignal.h"

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
    bool FixWine = true;
    int32_t DeviceNumber = 0;   // port name as an integer (0 when not a number)
    uint8_t Transport = 1;      // 0 FTDI, 1 serial, 2 HID
    int32_t Speed = 0;          // 0 selects the text start protocol
    tCommPort* Comm = nullptr;  // transports 0 and 1 (borrowed)
    tHidPort* Hid = nullptr;    // transport 2 (borrowed)
    bool FtdiLoaded = true;     // transport 0: whether the FTDI library is loaded
};
