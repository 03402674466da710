// tMeasureThread: runs one measurement session. It borrows the device's open port, sends the start
// request, frames the stream into packets and queues them; the user-interface thread polls the
// queue every 100 ms through the device. The thread never touches widgets: it reports by
// PostAppMessage (WM_DEVICE_WRITE_ERROR, WM_DEVICE_READ_ERROR, WM_DEVICE_DATA).
//
// Threading: FQueueLock guards FQueue only and is never held across I/O, logging or posting.
// RequestStop() may be called from any thread; the owner (tDevice) joins with WaitFor() and then
// destroys the object, which releases packets still queued.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

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

class tMeasureThread {
  public:
    // Starts the thread at once; setup.Comm / setup.Hid stay borrowed until WaitFor() returned.
    explicit tMeasureThread(const tMeasureSetup& setup);
    // Requests a stop and joins when still running, then releases queued packets.
    ~tMeasureThread();
    tMeasureThread(const tMeasureThread&) = delete;
    tMeasureThread& operator=(const tMeasureThread&) = delete;

    // Number of queued packets (takes QueueLock).
    int GetPacketCount();
    // Moves the oldest packet into `out`; `out` becomes the empty packet when the queue is empty.
    void PopPacket(tPacket& out);
    // Sets Terminated, then StopEvent, so a waiting cycle wakes and the loop test ends it. Any thread.
    void RequestStop();
    // Joins the thread (no-op when already joined). Owner thread only.
    void WaitFor();

  private:
    void Execute();
    void QueuePacket(tPacket&& packet);
    void DrainQueue();

    tMeasureSetup FSetup;
    std::atomic<bool> Terminated{false};
    tStopSignal StopEvent;
    std::mutex QueueLock;  // guards FQueue only
    std::deque<tPacket> FQueue;
    std::thread FThread;  // last: starts after every other member exists
};
